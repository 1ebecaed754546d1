// The search and the column sort of the rows the library table shows, and the indexes prepared for
// them on a worker.

#include "core/common/BuildProgress.h"
#include "core/common/Hop.h"
#include "core/library/LibrarySearch.h"
#include "core/library/LibrarySession.h"
#include "core/library/LibrarySort.h"
#include "core/library/TitleKeyIndex.h"
#include "core/text/TextUtils.h"

#include <QThreadPool>

void LibrarySession::updateFilteredList(const QString &text)
{
    const SearchQuery query = LibrarySearch::parseSearchQuery(TextUtils::trimmed(text));
    const qint64 generation = ++m_searchFilterGeneration;
    if (query.isEmpty()) {
        showAllRows();
        Q_EMIT filteredBookmarksChanged();
        return;
    }
    QList<qsizetype> firstPass = LibrarySearch::runFilter(m_rows, 0, searchFirstPassCount, query);
    // Queued ahead of the full pass's result, which cannot arrive before this returns.
    QMetaObject::invokeMethod(
        this,
        [this, generation, rows = std::move(firstPass)]() mutable {
            applySearchPass(generation, std::move(rows));
        },
        Qt::QueuedConnection);
    startFullSearchPass(query, generation);
}

namespace {

struct SearchPass {
    std::shared_ptr<const LibrarySearchIndex> index;
    QList<qsizetype> positions;
    bool cancelled = false;
};

} // namespace

void LibrarySession::startFullSearchPass(const SearchQuery &query, qint64 generation)
{
    const quint64 version = m_libraryVersion;
    Hop::run(
        this,
        [snapshot = m_rows, index = m_searchIndex, query, builds = m_indexBuilds] {
            // The first pass after a change of the library prepares the library; later ones reuse it.
            SearchPass pass{index ? index
                                  : std::make_shared<const LibrarySearchIndex>(snapshot, 0, -1, builds.get()),
                            {}};
            pass.cancelled = builds->isCancelled();
            if (!pass.cancelled)
                pass.positions = pass.index->runFilterPositions(query);
            return pass;
        },
        [this, version, generation](SearchPass pass) {
            if (pass.cancelled)
                return;
            if (version == m_libraryVersion && !m_searchIndex)
                m_searchIndex = pass.index;
            applySearchPass(generation, std::move(pass.positions));
        });
}

namespace {

struct PreparedIndexes {
    std::shared_ptr<const LibrarySearchIndex> search;
    std::shared_ptr<const TitleKeyIndex> titleKeys;
    std::optional<QHash<QString, qsizetype>> positionsByKey;
    std::optional<SortRanks> sortRanks;
};

struct SortedRows {
    QList<qsizetype> positions;
    SortRanks ranks;
};

} // namespace

void LibrarySession::prepareIndexes()
{
    const bool needSearch = !m_searchIndex;
    const bool needTitles = !m_titleKeys;
    const bool needPositions = !m_positionsValid;
    const bool needRanks = m_sortRanks.columns.isEmpty();
    if (m_rows.isEmpty() || m_preparingVersion == m_libraryVersion ||
        !(needSearch || needTitles || needPositions || needRanks))
        return;
    m_preparingVersion = m_libraryVersion;
    const quint64 version = m_libraryVersion;
    Hop::run(
        this,
        [snapshot = m_rows, needSearch, needTitles, needPositions, needRanks, builds = m_indexBuilds] {
            const BuildProgress *progress = builds.get();
            PreparedIndexes prepared;
            if (needSearch)
                prepared.search = std::make_shared<const LibrarySearchIndex>(snapshot, 0, -1, progress);
            if (needTitles && !progress->isCancelled())
                prepared.titleKeys = std::make_shared<const TitleKeyIndex>(snapshot, progress);
            if (needPositions && !progress->isCancelled())
                prepared.positionsByKey = snapshot.firstPositionsById(progress);
            if (needRanks && !progress->isCancelled())
                prepared.sortRanks = LibrarySort::sortRanksOf(snapshot, progress);
            // Whatever a cancel cut short is of no use.
            return progress->isCancelled() ? PreparedIndexes() : prepared;
        },
        [this, version](PreparedIndexes prepared) {
            // The ranks know by the rows' stamps which rows changed since: a sort ranks those again.
            if (prepared.sortRanks && m_sortRanks.columns.isEmpty())
                m_sortRanks = std::move(*prepared.sortRanks);
            // What was made from an older library would describe rows that changed since.
            if (version == m_libraryVersion) {
                if (prepared.search && !m_searchIndex)
                    m_searchIndex = std::move(prepared.search);
                if (prepared.titleKeys && !m_titleKeys)
                    m_titleKeys = std::move(prepared.titleKeys);
                if (prepared.positionsByKey && !m_positionsValid) {
                    m_positionsByKey = std::exchange(prepared.positionsByKey, std::nullopt).value();
                    m_positionsValid = true;
                }
            }
            // Indexes of 100,000 rows nobody took: let go of on a worker.
            QThreadPool::globalInstance()->start([leftover = std::move(prepared)] {});
        });
}

void LibrarySession::applySearchPass(qint64 generation, QList<qsizetype> positions)
{
    if (generation != m_searchFilterGeneration)
        return;
    m_filtered = std::move(positions);
    m_sortPending = false;
    m_sortShown = false;
    Q_EMIT filteredBookmarksChanged();
}

bool LibrarySession::sortFilteredByColumn(const QString &column)
{
    if (m_filtered.isEmpty())
        return false;
    if (m_sortColumn == column) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    m_sortShown = true;
    const qint64 generation = ++m_sortGeneration;
    if (m_filtered.size() < m_workerSortRows) {
        m_sortPending = false;
        LibrarySort::sortPositions(m_filtered, m_rows, column, m_sortAscending, &m_sortRanks);
        return true;
    }
    // A large list would hold the window for a second: sorted on a worker, from copies that share the
    // rows and the ranks.
    m_sortPending = true;
    const qint64 searchGeneration = m_searchFilterGeneration;
    Hop::run(
        this,
        [rows = m_rows, positions = m_filtered, column, ascending = m_sortAscending,
         ranks = m_sortRanks]() mutable {
            LibrarySort::sortPositions(positions, rows, column, ascending, &ranks);
            return SortedRows{std::move(positions), std::move(ranks)};
        },
        [this, generation, searchGeneration](SortedRows sorted) {
            if (generation != m_sortGeneration || searchGeneration != m_searchFilterGeneration)
                return;
            m_sortPending = false;
            m_filtered = std::move(sorted.positions);
            m_sortRanks = std::move(sorted.ranks);
            Q_EMIT filteredBookmarksChanged();
        });
    return true;
}
