#pragma once

#include <QString>

// The playlists window's trace: building the window, loading and selecting playlists, one line per
// event, each beginning with the time in UTC (ISO 8601) and a blank. Nothing reads it; it serves to
// trace a selection that goes astray. Appended to and rotated like the launch log.
namespace PlaylistsLog {

inline const QString fileName = QStringLiteral("Lyrafold_playlists.log");

// <temporary folder>/Lyrafold_playlists.log, fixed by the first line written.
QString path();

} // namespace PlaylistsLog

// Writes one line; failures are ignored.
void playlistLog(const QString &message);
