#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QString>

class PdfDocument;

// Turns the outline of a PDF book into library songs: one bookmark per outline item that names a
// song, with its start page, outline depth, cleaned title, composer and the pages it covers.
// Stateless; safe on any thread, and meant to run off the UI thread.
namespace PdfBookmarkExtractor {

// The songs of the book at path, in outline pre-order (an item before its children), spans
// computed. A file that cannot be opened as a PDF, or one without an outline, gives an empty list.
BookmarkList extractBookmarks(const QString &path);

// What became of one book: its songs, or why it has none.
struct ExtractedBook {
    enum class Status {
        extracted,   // at least one song
        noBookmarks, // opened, but its outline names no song (or it has none)
        unreadable,  // not opened: missing, unreadable, not a PDF, damaged, locked
    };
    Status status = Status::unreadable;
    BookmarkList bookmarks;
};
ExtractedBook extractBook(const QString &path);
// The same for a book opened already; path is the one the bookmarks name.
ExtractedBook extractBook(const PdfDocument &document, const QString &path);

// Recomputes the page span of every bookmark in place, book by book (by pdfFilePath), from the
// start pages of that book's bookmarks and the page count of its first bookmark in page order.
// Nothing else changes, and the order of the list is kept.
void recalculatePageSpans(BookmarkList &bookmarks);

} // namespace PdfBookmarkExtractor
