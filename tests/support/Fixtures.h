#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/playlist/Playlist.h"

#include <optional>

class LibraryShownRows;
class LibrarySession;

// Builders for bookmark lists and playlists, shared by the tests and the benchmarks.
class LibrarySlots;

namespace Fixtures {

// A bookmark with the identity fields set and every metadata field empty.
BookmarkEntry bookmark(const QString &pdfFilePath, qint64 pageNumber, const QString &title);

// A bookmark with every field set, distinct for each n.
BookmarkEntry fullBookmark(int n);

// A library of count bookmarks with the field lengths of a real collection: long paths to a few
// hundred books, titles of two to five words, most metadata filled in, links for about half of them.
// About 450 bytes of JSON a bookmark. The same seed gives the same library.
BookmarkList realisticLibrary(int count, quint32 seed = 1);

// playlists playlists "Gig 0", "Gig 1", ... of titles titles each, drawn from library in a scattered
// order.
QList<Playlist> playlistsOf(const BookmarkList &library, int playlists, int titles);

// The rows become the library of the current slot as a load gives them: the slot's file is taken to
// hold them, and nothing is written.
void setRows(LibrarySession &session, const BookmarkList &rows);
// The rows become the library of the current slot and are written to it (in the background), as an
// extraction's are; the playlists are left as they are.
void setSavedRows(LibrarySession &session, const BookmarkList &rows);
// The rows are appended to the library, as an import appends them.
void appendRows(LibrarySession &session, const BookmarkList &rows);

// The bookmarks the table shows, in display order.
BookmarkList shownRows(const LibraryShownRows &shown);

// A slot's count as withSlotCount() tells it at once, without reading the slot: nothing when it would
// have to count the slot's file on a worker.
std::optional<qsizetype> countKnownAtOnce(LibrarySlots &slots, qint64 slot);

} // namespace Fixtures
