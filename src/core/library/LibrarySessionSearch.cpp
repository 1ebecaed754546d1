// The search and the column sort of the rows the library table shows.

#include "core/library/LibrarySearch.h"
#include "core/library/LibrarySession.h"
#include "core/library/LibrarySort.h"
#include "core/text/TextUtils.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

void LibrarySession::updateFilteredList(const QString &text)
{
    const SearchQuery query = LibrarySearch::parseSearchQuery(TextUtils::trimmed(text));
    const qint64 generation = ++m_searchFilterGeneration;
    if (query.isEmpty()) {
        m_filteredBookmarks = m_allBookmarks;
        Q_EMIT filteredBookmarksChanged();
        return;
    }
    BookmarkList firstPass = LibrarySearch::runFilter(m_allBookmarks, 0, searchFirstPassCount, query);
    // Queued ahead of the full pass's result, which cannot arrive before this returns.
    QMetaObject::invokeMethod(
        this,
        [this, generation, rows = std::move(firstPass)]() mutable {
            applySearchPass(generation, std::move(rows));
        },
        Qt::QueuedConnection);
    startFullSearchPass(query, generation);
}

void LibrarySession::startFullSearchPass(const SearchQuery &query, qint64 generation)
{
    QPointer<LibrarySession> self(this);
    const BookmarkList snapshot = m_allBookmarks;
    const quint64 version = m_libraryVersion;
    QThreadPool::globalInstance()->start([self, snapshot, index = m_searchIndex, query, generation, version] {
        // The first pass after a change of the library prepares the library; later ones reuse it.
        std::shared_ptr<const LibrarySearchIndex> used =
            index ? index : std::make_shared<const LibrarySearchIndex>(snapshot);
        BookmarkList rows = used->runFilter(query);
        // The application object outlives every session; the session may be gone by now.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, used, version, generation, rows = std::move(rows)]() mutable {
                if (!self)
                    return;
                self->adoptSearchIndex(used, version);
                self->applySearchPass(generation, std::move(rows));
            },
            Qt::QueuedConnection);
    });
}

void LibrarySession::prepareSearchIndex()
{
    if (m_searchIndex || m_allBookmarks.isEmpty() || m_preparingVersion == m_libraryVersion)
        return;
    m_preparingVersion = m_libraryVersion;
    QPointer<LibrarySession> self(this);
    QThreadPool::globalInstance()->start([self, snapshot = m_allBookmarks, version = m_libraryVersion] {
        auto index = std::make_shared<const LibrarySearchIndex>(snapshot);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, index, version] {
                if (self)
                    self->adoptSearchIndex(index, version);
            },
            Qt::QueuedConnection);
    });
}

void LibrarySession::adoptSearchIndex(std::shared_ptr<const LibrarySearchIndex> index, quint64 version)
{
    // An index of an older library would search rows that are gone.
    if (version == m_libraryVersion && !m_searchIndex)
        m_searchIndex = std::move(index);
}

void LibrarySession::applySearchPass(qint64 generation, BookmarkList rows)
{
    if (generation != m_searchFilterGeneration)
        return;
    m_filteredBookmarks = std::move(rows);
    Q_EMIT filteredBookmarksChanged();
}

bool LibrarySession::sortFilteredByColumn(const QString &column)
{
    if (m_filteredBookmarks.isEmpty())
        return false;
    if (m_sortColumn == column) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    LibrarySort::sortBookmarks(m_filteredBookmarks, column, m_sortAscending,
                               m_searchIndex ? &m_searchIndex->titleOrder() : nullptr);
    return true;
}
