#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"

#include <QList>
#include <QString>

#include <optional>

// What a viewer was opened for and where it is in it: the book, page and title it was opened at, the
// list of titles it plays through (if any) and the position in that list, the library's titles of the
// same book, and the book and start page of the title being shown. Page numbers count from 1.
class ViewerSession {
public:
    // pageNumber below 1 opens page 1; playlistCurrentIndex is kept within 0 and the number of items;
    // sourcePdfBookmarks are sorted by page, then title.
    ViewerSession(const QString &pdfPath, qint64 pageNumber,
                  const std::optional<BookmarkEntry> &bookmarkEntry,
                  const std::optional<QList<PlaylistItem>> &playlistItems, qint64 playlistCurrentIndex,
                  const BookmarkList &sourcePdfBookmarks);

    const QString &pdfPath() const { return m_pdfPath; }
    qint64 pageNumber() const { return m_pageNumber; }
    // The title the viewer was opened for, whatever it shows now.
    const std::optional<BookmarkEntry> &bookmarkEntry() const { return m_bookmarkEntry; }
    const std::optional<QString> &initialTitle() const { return m_initialTitle; }
    const std::optional<QList<PlaylistItem>> &playlistItems() const { return m_playlistItems; }
    qint64 playlistCurrentIndex() const { return m_playlistCurrentIndex; }
    const BookmarkList &sourcePdfBookmarks() const { return m_sourcePdfBookmarks; }

    // The book and start page of the title shown (or asked for, when its book could not be opened).
    const QString &currentPdfPath() const { return m_currentPdfPath; }
    qint64 currentPageNumber() const { return m_currentPageNumber; }
    void setCurrent(const QString &pdfPath, qint64 pageNumber);

    // Moves through the list by one (direction above 0 forward, else back): the item to show, or
    // nothing at either end or without a list.
    std::optional<PlaylistItem> stepTitle(int direction);

    // The page span of the title shown, at least 1.
    qint64 currentTitlePageSpan() const;

    // The title to share, the first rule that applies: the current list item; the title the viewer was
    // opened for, while its book is shown; the library title of the book starting at the title's page,
    // else one in any book starting there; else a title made of the book and page, named as opened or
    // after the file. bookPageCount is the page count of the book shown, if one is.
    BookmarkEntry currentShareBookmarkEntry(std::optional<int> bookPageCount) const;

private:
    QString m_pdfPath;
    qint64 m_pageNumber;
    std::optional<BookmarkEntry> m_bookmarkEntry;
    std::optional<QString> m_initialTitle;
    std::optional<QList<PlaylistItem>> m_playlistItems;
    qint64 m_playlistCurrentIndex = 0;
    BookmarkList m_sourcePdfBookmarks;
    QString m_currentPdfPath;
    qint64 m_currentPageNumber;
};
