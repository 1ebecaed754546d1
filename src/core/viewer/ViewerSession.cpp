#include "core/viewer/ViewerSession.h"

#include "core/search/LibrarySort.h"
#include "core/viewer/ViewerNavigation.h"

#include <QFileInfo>

ViewerSession::ViewerSession(const QString &pdfPath, qint64 pageNumber,
                             const std::optional<BookmarkEntry> &bookmarkEntry,
                             const std::optional<QList<PlaylistItem>> &playlistItems,
                             qint64 playlistCurrentIndex, const BookmarkList &sourcePdfBookmarks)
    : m_pdfPath(pdfPath), m_pageNumber(std::max<qint64>(pageNumber, 1)), m_bookmarkEntry(bookmarkEntry),
      m_playlistItems(playlistItems), m_playlistCurrentIndex(ViewerNavigation::clampedPlaylistIndex(
                                          playlistCurrentIndex, playlistItems ? playlistItems->size() : 0)),
      m_sourcePdfBookmarks(LibrarySort::sortedByPageAndTitle(sourcePdfBookmarks)), m_currentPdfPath(pdfPath),
      m_currentPageNumber(m_pageNumber)
{
    if (m_bookmarkEntry)
        m_initialTitle = m_bookmarkEntry->title;
}

void ViewerSession::setCurrent(const QString &pdfPath, qint64 pageNumber)
{
    m_currentPdfPath = pdfPath;
    m_currentPageNumber = std::max<qint64>(pageNumber, 1);
}

std::optional<PlaylistItem> ViewerSession::stepTitle(int direction)
{
    if (!m_playlistItems)
        return std::nullopt;
    const qint64 next = m_playlistCurrentIndex + (direction > 0 ? 1 : -1);
    if (next < 0 || next >= m_playlistItems->size())
        return std::nullopt;
    m_playlistCurrentIndex = next;
    return m_playlistItems->at(next);
}

qint64 ViewerSession::currentTitlePageSpan() const
{
    ViewerNavigation::SpanContext context;
    context.playlistItems = m_playlistItems ? &*m_playlistItems : nullptr;
    context.playlistCurrentIndex = m_playlistCurrentIndex;
    context.bookmarkEntry = &m_bookmarkEntry;
    context.sourcePdfBookmarks = &m_sourcePdfBookmarks;
    context.currentPageNumber = m_currentPageNumber;
    context.currentPdfPath = m_currentPdfPath;
    return ViewerNavigation::currentTitlePageSpan(context);
}

BookmarkEntry ViewerSession::currentShareBookmarkEntry(std::optional<int> bookPageCount) const
{
    if (m_playlistItems && m_playlistCurrentIndex >= 0 && m_playlistCurrentIndex < m_playlistItems->size())
        return BookmarkEntry(m_playlistItems->at(m_playlistCurrentIndex));
    if (m_bookmarkEntry && m_bookmarkEntry->pdfFilePath == m_currentPdfPath)
        return *m_bookmarkEntry;
    const BookmarkEntry *anyBook = nullptr;
    for (const BookmarkEntry &entry : m_sourcePdfBookmarks) {
        if (entry.pageNumber != m_currentPageNumber)
            continue;
        if (entry.pdfFilePath == m_currentPdfPath)
            return entry;
        if (!anyBook)
            anyBook = &entry;
    }
    if (anyBook)
        return *anyBook;
    const QFileInfo file(m_currentPdfPath);
    BookmarkEntry made;
    made.pdfFileName = file.fileName();
    made.pdfFilePath = m_currentPdfPath;
    made.pageNumber = m_currentPageNumber;
    made.title = m_initialTitle && !m_initialTitle->isEmpty() ? *m_initialTitle : file.completeBaseName();
    made.level = 0;
    made.pageSpan = 1;
    made.totalPages = bookPageCount.value_or(1);
    return made;
}
