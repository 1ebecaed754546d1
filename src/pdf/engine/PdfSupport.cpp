#include "pdf/engine/PdfSupport.h"

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "pdf/engine/PdfDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <cmath>

namespace {

// Readers find the header within the first kilobyte and the end marker within the last one.
constexpr qint64 markerWindow = 1024;

} // namespace

namespace PdfSupport {

std::optional<LyrafoldError> checkFile(const QString &path)
{
    const auto fail = [&](PdfOpenError error, const QString &message) {
        return LyrafoldError{QStringLiteral("Lyrafold"), int(error), message.arg(path)};
    };
    if (path.isEmpty() || !QFileInfo(path).isAbsolute())
        return fail(PdfOpenError::NotAbsolute, UiText::tr("The path \"%1\" is not absolute."));
    const QFileInfo info(path);
    if (!info.exists())
        return fail(PdfOpenError::Missing, UiText::tr("The file %1 does not exist."));
    QFile file;
    if (InputFile::open(path, file) != InputFile::Status::ok)
        return fail(PdfOpenError::Unreadable, UiText::tr("The file %1 cannot be read."));
    const QByteArray head = file.read(markerWindow);
    if (!head.contains("%PDF-"))
        return fail(PdfOpenError::NotPdf, UiText::tr("The file %1 is not a PDF document."));
    const qint64 size = file.size();
    if (!file.seek(std::max<qint64>(0, size - markerWindow)))
        return fail(PdfOpenError::Unreadable, UiText::tr("The file %1 cannot be read."));
    if (!file.read(markerWindow).contains("%%EOF"))
        return fail(PdfOpenError::Truncated, UiText::tr("The file %1 is incomplete: its end is missing."));
    return std::nullopt;
}

QRectF rectangle(QPDFObjectHandle box)
{
    if (!box.isArray() || box.getArrayNItems() != 4)
        return {};
    double v[4];
    for (int i = 0; i < 4; ++i) {
        QPDFObjectHandle item = box.getArrayItem(i);
        if (!item.isNumber())
            return {};
        v[i] = item.getNumericValue();
        if (!std::isfinite(v[i]))
            return {};
    }
    return QRectF(QPointF(v[0], v[1]), QPointF(v[2], v[3])).normalized();
}

int rotation(QPDFObjectHandle rotate)
{
    if (rotate.isInteger())
        return rotate.getIntValueAsInt();
    if (rotate.isReal() && std::isfinite(rotate.getNumericValue()))
        return int(std::clamp(std::lround(rotate.getNumericValue()), long(INT_MIN), long(INT_MAX)));
    return 0;
}

PdfPageBoxes boxes(QPDFPageObjectHelper page)
{
    PdfPageBoxes boxes;
    boxes.mediaBox = rectangle(page.getAttribute("/MediaBox", false));
    boxes.cropBox = rectangle(page.getAttribute("/CropBox", false));
    boxes.rotation = rotation(page.getAttribute("/Rotate", false));
    return boxes;
}

int shownRotation(int rotation)
{
    if (rotation % 90 != 0)
        return 0;
    return ((rotation % 360) + 360) % 360;
}

bool commitComplete(QSaveFile &file, qint64 bytesWritten)
{
    if (!file.flush() || file.size() != bytesWritten) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace PdfSupport
