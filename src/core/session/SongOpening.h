#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"

#include <QString>

#include <optional>

class LibrarySession;

// What the PDF viewer is opened with for one song: the book and page, the bookmark, the list to step
// through (none when the song is opened on its own), and the book's bookmarks; with the status line
// that reports it.
struct ViewerOpenRequest {
    QString pdfPath;
    qint64 pageNumber = 0;
    std::optional<BookmarkEntry> bookmarkEntry;
    std::optional<QList<PlaylistItem>> playlistItems;
    qsizetype playlistCurrentIndex = 0;
    BookmarkList sourcePdfBookmarks;
    QString statusText;
};

// The way to open a song: the viewer's request, or the path that holds no file.
struct OpenSongPlan {
    std::optional<ViewerOpenRequest> request;
    QString missingPath;
    // The song's book was found elsewhere under the library folder and its row now points there.
    bool libraryChanged = false;
};

// Opening a song of the library in the PDF viewer.
namespace SongOpening {

// Opens the entry's book: where its file is gone and the library folder holds a PDF of that name (at
// any depth), that PDF; the row with the entry's identity key then points there for good (an edit of
// the session). The book's bookmarks are the library rows of the same path, ignoring case, by page and
// then lower-cased title.
OpenSongPlan planOpenPdf(LibrarySession &session, BookmarkEntry entry);

// The same with a list to step through: a found file is only opened, nothing is stored; the book's
// bookmarks are the context rows of that path, in context order.
OpenSongPlan planOpenPdfWithContext(const LibrarySession &session, const BookmarkEntry &entry,
                                    const BookmarkList &context);

} // namespace SongOpening
