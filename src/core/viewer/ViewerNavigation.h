#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"
#include "core/viewer/PageLayout.h"

#include <QList>
#include <QString>

#include <optional>

// The viewer's rules for moving through pages and titles and for naming what is shown. Page indexes
// count from 0 as the page view does; page numbers count from 1 as bookmarks and the page field do.
namespace ViewerNavigation {

// The page a turn in direction (above 0 forward, else back) lands on: one page, two in two-up mode,
// kept within the document. Nothing when it would stay where it is.
std::optional<int> turnedPage(int current, int pageCount, PageDisplayMode mode, int direction);

// The page view's own keys, as a reader of PDF books gives them: what the viewer's keys leave to it.
enum class ViewKey { pageDown, pageUp, lineDown, lineUp, firstPage, lastPage };

// The vertical scroll of the shown pages: 0 at their top, maximum at their bottom.
struct VerticalScroll {
    int value = 0;
    int maximum = 0;
    int pageStep = 0;
    int lineStep = 0;
};

// What a key of the page view does: scroll to a position, or show another page (scrolled to its
// bottom when paging back, so that reading goes on upwards).
struct ViewKeyMove {
    std::optional<int> scrollTo;
    std::optional<int> page;
    bool atBottom = false;
};

// Page down scrolls a screenful down the shown pages and, at their bottom, turns to the next page
// (spread); page up the same way back. The line keys only scroll. The first and last page keys show
// that page from its top. Nothing when nothing would move.
std::optional<ViewKeyMove> viewKeyMove(ViewKey key, const VerticalScroll &scroll, int currentPage,
                                       int pageCount, PageDisplayMode mode);

// The number typed into the page field: blanks and line breaks around it are dropped; then an
// optional sign and decimal digits only, within the 64-bit range. Anything else gives nothing.
std::optional<qint64> parsePageNumber(const QString &text);

// The page index for a typed number: 0 and below give the first page, past the end the last.
int pageIndexForNumber(qint64 number, int pageCount);

// A playlist position kept within 0 and the number of items; one past the last item is allowed.
qint64 clampedPlaylistIndex(qint64 index, qsizetype itemCount);

// The title without surrounding blanks; longer than maxLength characters, its first maxLength - 1
// characters and "…".
QString truncatedPlaylistTitle(const QString &title, int maxLength);

// Two-page mode starts a title of two or more pages on the left of a spread: the cover page is taken
// out of the pairing when the title's first page has an even index.
bool coverPageRemovedForTwoPage(qint64 titlePageSpan, qint64 titleStartPage);

// What the title label is chosen from.
struct TitleContext {
    // Set when the last load failed: the file name of the book that could not be opened.
    std::optional<QString> failedFileName;
    const QList<PlaylistItem> *playlistItems = nullptr; // none when the viewer plays no list
    qint64 playlistCurrentIndex = 0;
    std::optional<int> currentPageIndex; // none without a document or a current page
    bool userHasBrowsedPages = false;
    std::optional<QString> initialTitle;
    const BookmarkList *sourcePdfBookmarks = nullptr; // sorted
};

// The text of the title label.
QString currentTitle(const TitleContext &context);

// The text the title label shows for a book that could not be opened.
QString couldNotOpenText(const QString &fileName);

// The page span of the title being shown, at least 1: the current playlist item's, else the opened
// bookmark's, else that of the library title starting at the title's start page (in this book if
// one does, else in any).
struct SpanContext {
    const QList<PlaylistItem> *playlistItems = nullptr;
    qint64 playlistCurrentIndex = 0;
    const std::optional<BookmarkEntry> *bookmarkEntry = nullptr;
    const BookmarkList *sourcePdfBookmarks = nullptr;
    qint64 currentPageNumber = 1;
    QString currentPdfPath;
};
qint64 currentTitlePageSpan(const SpanContext &context);

} // namespace ViewerNavigation
