#pragma once

#include "core/playlist/PlaylistItem.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The exports of a playlist that are text: a plain list, an HTML page and the playlist file. Each
// builder writes into the private export folder under the playlist's dated stem (ExportNaming) and
// returns the file's path, or nothing for an empty playlist or a failed write. Safe on any thread;
// nothing is shown or logged.
namespace PlaylistTextExport {

// The plain list: the playlist name, an empty line, then one numbered line per title, optionally with
// its page, page count and book, and its stored streaming links; lines joined by a line feed, none
// after the last.
QString textDetailed(const QList<PlaylistItem> &items, const QString &playlistName, bool includeBookAndPages,
                     bool includeStreamingLinks);

// The same as one line of HTML, every text escaped by htmlEscaped().
QString html(const QList<PlaylistItem> &items, const QString &playlistName, bool includeBookAndPages,
             bool includeStreamingLinks);

// "&", "<", ">", the double quote and "'" as entities, the ampersand first.
QString htmlEscaped(const QString &text);

// Whether a stored link may be written into an export: its scheme is http, https or spotify. Other
// schemes (javascript:, file:, data:, ...), a scheme after leading blanks and links with control
// characters are left out.
bool isShareableLink(const QString &link);

// The Spotify and YouTube web searches for the item's title; the stored links play no part.
QUrl effectiveSpotifyURL(const PlaylistItem &item);
QUrl effectiveYouTubeURL(const PlaylistItem &item);

// now decides the date in the file name and, for the playlist file, its export time.
std::optional<QString> buildPlaylistTextDetailed(const QList<PlaylistItem> &items,
                                                 const QString &playlistName, bool includeBookAndPages,
                                                 bool includeStreamingLinks,
                                                 const QDateTime &now = QDateTime::currentDateTime());
std::optional<QString> buildPlaylistHTML(const QList<PlaylistItem> &items, const QString &playlistName,
                                         bool includeBookAndPages, bool includeStreamingLinks,
                                         const QDateTime &now = QDateTime::currentDateTime());
std::optional<QString> buildPlaylistLYF(const QString &playlistName, const QList<PlaylistItem> &items,
                                        const QDateTime &now = QDateTime::currentDateTime());

} // namespace PlaylistTextExport
