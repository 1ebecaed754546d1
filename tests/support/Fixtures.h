#pragma once

#include "core/library/BookmarkEntry.h"
#include "core/playlist/Playlist.h"

class LibraryShownRows;

// Builders for bookmark lists and playlists, shared by the tests and the benchmarks.
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

// The bookmarks the table shows, in display order.
BookmarkList shownRows(const LibraryShownRows &shown);

} // namespace Fixtures
