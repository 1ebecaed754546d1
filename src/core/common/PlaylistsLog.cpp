#include "core/common/PlaylistsLog.h"

#include "core/common/DiagnosticLog.h"

#include <QDateTime>

namespace {

DiagnosticLog &log()
{
    static DiagnosticLog playlistsLog(DiagnosticLog::tempFilePath(PlaylistsLog::fileName));
    return playlistsLog;
}

} // namespace

QString PlaylistsLog::path()
{
    return log().path();
}

void playlistLog(const QString &message)
{
    log().writeLine(QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QLatin1Char(' ') + message);
}
