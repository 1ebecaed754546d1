#include "pdf/render/BookCover.h"

#include "core/resources/UIAssetFiles.h"
#include "pdf/engine/PdfDocument.h"

#include <QImageReader>
#include <QPainter>

namespace BookCover {

namespace {

QImage shippedCover(const QString &coverName)
{
    if (coverName.isEmpty())
        return {};
    for (const QString &file : UIAssetFiles::coverFiles(coverName)) {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        if (!image.isNull())
            return image;
    }
    return {};
}

QImage letterboxed(const QImage &picture, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const double scale = PdfDocument::fitScale(picture.size(), size);
    const QSizeF drawn = QSizeF(picture.size()) * scale;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        QRectF(QPointF((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2), drawn),
        picture);
    return image;
}

} // namespace

std::optional<QImage> render(const QString &pdfPath, const QString &coverName, const QSize &pixelSize)
{
    if (pixelSize.isEmpty())
        return std::nullopt;
    if (const QImage cover = shippedCover(coverName); !cover.isNull())
        return letterboxed(cover, pixelSize);
    const Result<PdfDocumentPtr> opened = PdfDocument::open(pdfPath);
    if (!opened || opened.value()->pageCount() < 1)
        return std::nullopt;
    const PdfDocument &document = *opened.value();
    // A first page without an area has nothing to show; it is tried again the next time.
    if (const Result<PdfPageBoxes> boxes = document.pageBoxes(0);
        boxes && boxes->mediaBox.isEmpty() && boxes->cropBox.isEmpty())
        return std::nullopt;
    QImage image = document.thumbnail(0, pixelSize);
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace BookCover
