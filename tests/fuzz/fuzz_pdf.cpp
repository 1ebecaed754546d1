// Any file the user drops, imports or opens as a PDF: opening it, its outline and page boxes, whether
// its first page is a scan, and the songs taken from its outline. Nothing is expected of the results but that
// they come back sound.

#include "FuzzSupport.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QDir>
#include <QFile>

#include <cmath>

#include <unistd.h>

namespace {

QString inputPath()
{
    static const QString path =
        QDir::tempPath() + QStringLiteral("/lyrafold-fuzz-pdf-%1.pdf").arg(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = inputPath();
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }
    for (const BookmarkEntry &entry : PdfBookmarkExtractor::extractBookmarks(path))
        FUZZ_CHECK(entry.pageNumber >= 0 && entry.pageSpan >= 0);

    const Result<PdfDocumentPtr> opened = PdfDocument::open(path);
    if (!opened) {
        FUZZ_CHECK(!opened.error().message.isEmpty());
    } else {
        const PdfDocument &document = *opened.value();
        const int pages = document.pageCount();
        FUZZ_CHECK(pages >= 0);
        for (const PdfOutlineItem &item : document.outline())
            FUZZ_CHECK(!item.pageIndex || (*item.pageIndex >= 0 && *item.pageIndex < pages));
        if (pages > 0) {
            document.pageBoxes(0);
            document.pageBoxes(pages - 1);
            // Whether the first page is a scan: its drawing is walked, as a render walks it.
            if (const std::optional<QRectF> scan = document.scannedImage(0))
                FUZZ_CHECK(std::isfinite(scan->width()) && std::isfinite(scan->height()));
        }
    }
    QFile::remove(path);
    return 0;
}
