#pragma once

#include <QString>

// The launch log records the numbered steps of start-up, one line per step, so that a start that
// stops half-way can be traced. It survives the process and collects the lines of every launch.
namespace LaunchLog {

inline const QString fileName = QStringLiteral("Lyrafold_launch.log");

// <temporary folder>/Lyrafold_launch.log, fixed by the first line written.
QString path();

} // namespace LaunchLog

// The lines written before the application object exists, stamped in UTC with the zone offset; they go
// to standard error as well.
void logStart(const QString &message);

// A line stamped in local time that goes to standard error as well.
void logToFile(const QString &message);

// A line stamped in local time, to the file only.
void logLaunch(const QString &message);
