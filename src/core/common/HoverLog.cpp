#include "common/HoverLog.h"

#include "common/DiagnosticLog.h"

#include <QDateTime>
#include <QLocale>

namespace {

DiagnosticLog &log()
{
    static DiagnosticLog hoverLog(DiagnosticLog::tempFilePath(HoverLog::fileName));
    return hoverLog;
}

QString formatNumber(qreal value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    // "1e+21", "inf" and "nan" stay as they are; only plain whole numbers get their ".0".
    bool plainInteger = true;
    for (const QChar c : std::as_const(text)) {
        if (!c.isDigit() && c != QLatin1Char('-'))
            plainInteger = false;
    }
    if (plainInteger)
        text += QStringLiteral(".0");
    return text;
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
        .arg(formatNumber(rect.x()), formatNumber(rect.y()), formatNumber(rect.width()),
             formatNumber(rect.height()));
}

} // namespace HoverLog

void hoverLog(const QString &message)
{
    log().writeLine(QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QLatin1Char(' ') + message);
}
