#include "core/common/LaunchLog.h"

#include "core/common/DiagnosticLog.h"

#include <QDateTime>

#include <cstdio>

namespace {

DiagnosticLog &launchLog()
{
    static DiagnosticLog log(DiagnosticLog::tempFilePath(LaunchLog::fileName));
    return log;
}

void write(const QString &timestamp, const QString &message, bool toStandardError)
{
    const QString line = timestamp + QStringLiteral(": ") + message;
    launchLog().writeLine(line);
    if (toStandardError) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
}

} // namespace

QString LaunchLog::path()
{
    return launchLog().path();
}

void logStart(const QString &message)
{
    const QString utc = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    write(utc + QStringLiteral(" +0000"), message, true);
}

void logToFile(const QString &message)
{
    write(DiagnosticLog::localTimestamp(), message, true);
}

void logLaunch(const QString &message)
{
    write(DiagnosticLog::localTimestamp(), message, false);
}
