#pragma once

#include "core/common/BuildProgress.h"
#include "core/common/Result.h"
#include "pdf/engine/PdfCanvas.h"
#include "pdf/engine/PdfDocument.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <functional>
#include <memory>
#include <optional>

// A URI link area of an output page, in the page's coordinates.
struct PdfLink {
    QRectF rect;
    QString url;
};

// Makes a new PDF from pages of other PDFs, with drawings over them, link areas and an outline. The
// source pages are copied as they are written (content, fonts and images byte for byte, never
// rendered); a book is opened once per writer and a page placed twice is stored once. Drawings are
// made with cairo and stored once however many pages show them.
//
// Threads: one writer belongs to one thread at a time; different writers may work in parallel.
class PdfWriter {
public:
    PdfWriter();
    ~PdfWriter();
    PdfWriter(const PdfWriter &) = delete;
    PdfWriter &operator=(const PdfWriter &) = delete;

    // The page count of a source book, opening it on first use; the errors of PdfDocument::open.
    Result<int> pageCount(const QString &bookPath);
    // A page's boxes and rotation as written in its book.
    Result<PdfPageBoxes> pageBoxes(const QString &bookPath, int pageIndex);

    // A drawing over area, in PDF coordinates, shown by pages through its id: one drawing may serve
    // any number of pages. -1 for an area without size, or when cairo failed.
    int addDrawing(const QRectF &area, const std::function<void(PdfCanvas &)> &draw);

    struct Page {
        QSizeF size; // the media box: 0, 0, width, height
        // The source page, or none for a blank page; box is the part of it shown.
        QString bookPath;
        int pageIndex = -1;
        QRectF box;
        int rotation = 0;
        std::optional<int> contentDrawing; // in the source page's space, placed with its content
        std::optional<int> pageDrawing;    // in the output page's space
        QList<PdfLink> links;
    };

    // Adds a page after the last one and gives its index. Fails, adding nothing, when the source
    // page cannot be read.
    Result<int> addPage(const Page &page);
    int pageCount() const;

    // An outline entry at the top level that opens the page at its top left.
    void addOutlineItem(const QString &title, int pageIndex);

    // Writes the document to path, replacing any file there. Stops when progress is cancelled;
    // nothing is left at path unless the whole document was written.
    Result<bool> write(const QString &path, const BuildProgress *progress = nullptr);

    // Where a source box goes on an output page: the page's rotation applied (clockwise), scaled to
    // fit but never enlarged, centred.
    static QTransform placement(const QRectF &box, int rotation, const QSizeF &pageSize);

    // The box's size as shown, with the rotation applied.
    static QSizeF shownSize(const QSizeF &boxSize, int rotation);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
