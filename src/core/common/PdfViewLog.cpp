#include "core/common/PdfViewLog.h"

#include "core/common/DiagnosticLog.h"
#include "core/common/HoverLog.h"

namespace {

DiagnosticLog &log()
{
    static DiagnosticLog viewerLog(DiagnosticLog::tempFilePath(PdfViewLog::fileName));
    return viewerLog;
}

} // namespace

namespace PdfViewLog {

QString path()
{
    return log().path();
}

QString formatSize(const QSizeF &size)
{
    return QStringLiteral("(%1, %2)")
        .arg(DiagnosticLog::formatNumber(size.width()), DiagnosticLog::formatNumber(size.height()));
}

QString formatRect(const QRectF &rect)
{
    return HoverLog::formatRect(rect);
}

} // namespace PdfViewLog

void pdfLog(const QString &message)
{
    log().writeLine(DiagnosticLog::localTimestamp() + QStringLiteral(": ") + message);
}
