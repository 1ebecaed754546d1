#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageIOHandler>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <memory>

struct _cairo;

// Draws on one page of a PDF made by cairo, in PDF coordinates: points, y up, within the area the
// page shows. Text is laid out by pango and embedded as text with its fonts.
class PdfCanvas {
public:
    struct Font {
        QString family = QStringLiteral("Sans"); // the desktop's sans-serif face through fontconfig
        double size = 12;                        // in points
        bool bold = false;
    };

    // The pictures drawn into one document, each stored there once however often it is drawn. Lives
    // as long as the document is being written.
    class ImageStore {
    public:
        ImageStore();
        ~ImageStore();
        ImageStore(const ImageStore &) = delete;
        ImageStore &operator=(const ImageStore &) = delete;

    private:
        friend class PdfCanvas;
        struct Impl;
        std::unique_ptr<Impl> m_impl;
    };

    // context draws one page of a cairo PDF surface whose page shows area (the page's lower left is
    // area's lower left).
    PdfCanvas(_cairo *context, const QRectF &area, ImageStore &images);

    void fillRect(const QRectF &rect, const QColor &color);
    void strokeRect(const QRectF &rect, const QColor &color, double lineWidth);
    void fillEllipse(const QRectF &rect, const QColor &color);

    // A path through the points with round caps and joins; multiply darkens what lies below instead
    // of covering it (a highlighter).
    void strokePolyline(const QList<QPointF> &points, const QColor &color, double lineWidth, bool multiply);

    // The size of text laid out in font, as drawText draws it.
    QSizeF textSize(const QString &text, const Font &font);
    // Draws text upright with the top left of its layout at topLeft.
    void drawText(const QString &text, const QPointF &topLeft, const Font &font, const QColor &color);

    // Draws the image stretched over target; false when cairo cannot take it (a side above 32767 pixels).
    bool drawImage(const QImage &image, const QRectF &target);

    // Embeds the JPEG data unchanged (no decoding, no loss) and draws it stretched over target after
    // orientation, which turns the stored pixelSize picture upright. Only greyscale and YCbCr/RGB
    // JPEGs: CMYK ones would lose their colours. False when cairo cannot take it.
    bool drawJpeg(const QByteArray &jpeg, const QSize &pixelSize,
                  QImageIOHandler::Transformations orientation, const QRectF &target);

private:
    QPointF device(const QPointF &point) const;
    QRectF device(const QRectF &rect) const;
    void setColor(const QColor &color);

    _cairo *m_cr;
    QRectF m_area;
    ImageStore &m_images;
};
