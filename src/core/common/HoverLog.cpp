#include "core/common/HoverLog.h"

#include "core/common/DiagnosticLog.h"

#include <QDateTime>

namespace {

DiagnosticLog &log()
{
    static DiagnosticLog hoverLog(DiagnosticLog::tempFilePath(HoverLog::fileName));
    return hoverLog;
}

} // namespace

namespace HoverLog {

QString path()
{
    return log().path();
}

QString formatRect(const QRectF &rect)
{
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(DiagnosticLog::formatNumber(rect.x()), DiagnosticLog::formatNumber(rect.y()),
             DiagnosticLog::formatNumber(rect.width()), DiagnosticLog::formatNumber(rect.height()));
}

} // namespace HoverLog

void hoverLog(const QString &message)
{
    log().writeLine(QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QLatin1Char(' ') + message);
}
