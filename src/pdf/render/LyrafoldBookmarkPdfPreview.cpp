#include "pdf/render/LyrafoldBookmarkPdfPreview.h"

#include "pdf/engine/PdfDocument.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

namespace {

struct OpenBook {
    QMutex lock;
    QString path;
    QDateTime modified;
    PdfDocumentPtr document;
};

// Never destroyed: at exit the document would be closed after the PDF libraries' own statics are
// gone, and closing it then crashes.
OpenBook &openBook()
{
    static OpenBook *const book = new OpenBook;
    return *book;
}

// The document at path, reopened when the file changed since it was opened.
PdfDocumentPtr documentAt(const QString &path, const QDateTime &modified)
{
    OpenBook &book = openBook();
    QMutexLocker locker(&book.lock);
    if (book.document && book.path == path && book.modified == modified)
        return book.document;
    Result<PdfDocumentPtr> opened = PdfDocument::open(path);
    if (!opened)
        return {};
    book.path = path;
    book.modified = modified;
    book.document = opened.value();
    return book.document;
}

} // namespace

namespace LyrafoldBookmarkPdfPreview {

std::optional<QImage> thumbnail(const QString &pdfPath, qint64 pageNumber, const QSize &pixelSize)
{
    const QFileInfo file(pdfPath);
    if (pdfPath.isEmpty() || !file.isFile())
        return std::nullopt;
    const PdfDocumentPtr document = documentAt(file.absoluteFilePath(), file.lastModified());
    if (!document || pageNumber < 1 || pageNumber > document->pageCount())
        return std::nullopt;
    QImage image = document->thumbnail(int(pageNumber - 1), pixelSize);
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace LyrafoldBookmarkPdfPreview
