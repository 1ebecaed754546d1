// Pictures from other people, made into a PDF page as the image import makes them.

#include "FuzzSupport.h"
#include "pdf/engine/PdfDrawingStream.h"
#include "pdf/import/PictureFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<PictureFile> picture = PictureFile::readForTesting(fuzzInput(data, size));
    if (!picture) {
        const QString &reason = picture.error().message;
        FUZZ_CHECK(reason.isEmpty() || reason.startsWith(QStringLiteral("Picture too large: ")));
        return 0;
    }
    // Nothing larger than the budget is ever decoded or drawn.
    const QSize shown = picture->uprightSize;
    FUZZ_CHECK(!shown.isEmpty() && qint64(shown.width()) * shown.height() <= PictureFile::maxPixels);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    PdfDrawingStream pages(&out, PdfDrawingStream::Images::Once);
    const QRectF page(0, 0, 612, 792);
    pages.addPage(page, [&](PdfCanvas &canvas) { return picture->draw(canvas, page); });
    pages.finish();
    return 0;
}
