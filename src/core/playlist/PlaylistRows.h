#pragma once

#include "core/playlist/PlaylistLibrary.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The rules of the playlists window's two lists, apart from the widgets: what a title card says, which
// address its link buttons open (the auto playlist's cards follow the same rule), the payload of a dragged
// title and where it lands, and which playlist stays selected when the playlists change.
namespace PlaylistRows {

// "<book> · p.<page> · <pages> page(s)" (at least one page), then, when the title has any, " — " and
// its tags joined by " · ": genre, style, year, composer, tempo, "★" with the rating rounded (halves
// away from zero), "Spotify" and "YouTube" for the links stored.
QString subtitle(const PlaylistItem &item);

enum class Link { spotify, youtube };

// The stored link when it is an http or https address; otherwise the web search for the title as it is
// stored, blanks around it included (WebSearch::encodedQuery()). An empty address when neither exists
// (no such link, a title without content).
QUrl linkAddress(const SongRecord &song, Link link);

// The drag of a title within its list: this type, holding the title's row in decimal (UTF-8).
inline const QString rowDragType = QStringLiteral("lyrafold.playlist.item.row");
QByteArray rowPayload(qsizetype row);
// The row of a payload: a whole decimal number, optionally signed; nothing for anything else.
std::optional<qsizetype> rowFromPayload(const QByteArray &payload);

// Where a title dragged from row from ends up when dropped above dropRow of count rows (dropRow count:
// below the last): the row before the drop row when it came from above, else the drop row, never past
// the last row.
qsizetype moveDestination(qsizetype from, qsizetype dropRow, qsizetype count);

// The position of the selected playlist after a change: it follows a removal before it, and a new list
// read from the file keeps it when a playlist of that exact name is still there. -1 when it is gone
// (or nothing was selected).
qsizetype selectionAfterChange(qsizetype selected, const QString &selectedName, const PlaylistChange &change,
                               const QList<Playlist> &now);

} // namespace PlaylistRows
