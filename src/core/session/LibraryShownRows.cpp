#include "core/session/LibraryShownRows.h"

#include "core/common/BuildProgress.h"
#include "core/common/Hop.h"
#include "core/common/MemoryTrim.h"
#include "core/search/LibrarySearch.h"
#include "core/session/IndexPreparation.h"
#include "core/session/LibrarySession.h"
#include "core/text/TextUtils.h"

#include <QCoreApplication>
#include <QSet>
#include <QThreadPool>

#include <algorithm>
#include <numeric>
#include <utility>

LibraryShownRows::LibraryShownRows(LibrarySession &session, ShownRowsOptions options, QObject *parent)
    : QObject(parent), m_session(session), m_options(options),
      m_indexes(new IndexPreparation([this] { prepareIndexes(); }, this))
{

    // Told at once, inside a batch too, so that no position shown is one the rows no longer have.
    connect(&session, &LibrarySession::rowsReplaced, this, [this] {
        // The indexes of the library left, a million rows' worth, are freed on a worker, and the memory
        // goes back to the system.
        MemoryTrim::freeInBackground(std::exchange(m_sortRanks, SortRanks()),
                                     std::exchange(m_searchIndex, nullptr));
        showAllRows();
    });
    connect(&session, &LibrarySession::rowsRemoved, this, &LibraryShownRows::followRemoval);
    connect(&session, &LibrarySession::libraryChanged, this, &LibraryShownRows::libraryChanged);
    showAllRows();
}

LibraryShownRows::~LibraryShownRows()
{
    m_indexes->cancel();
    // A quit leaves the indexes of a million rows to the end of the process, as the session its rows.
    if (m_indexes->quitting())
        MemoryTrim::keepToTheEnd(std::move(m_positions), std::move(m_sortRanks), std::move(m_searchIndex));
}

// ---- The shown rows

void LibraryShownRows::showAllRows()
{
    m_sortPending = false;
    m_sortShown = false;
    // An order that waited was one of the rows that are gone.
    m_waitingOrder.reset();
    m_positions.resize(m_session.allBookmarks().size());
    std::iota(m_positions.begin(), m_positions.end(), qsizetype(0));
}

void LibraryShownRows::showOrder(QList<qsizetype> positions, bool sorted)
{
    m_sortPending = false;
    // The same rows in the same order are shown at once, so that the table shows what changed in them.
    if (m_orderHeld && positions != m_positions) {
        m_waitingOrder = WaitingOrder{std::move(positions), sorted};
        return;
    }
    m_waitingOrder.reset();
    m_positions = std::move(positions);
    m_sortShown = sorted;
    Q_EMIT filteredBookmarksChanged();
}

void LibraryShownRows::releaseOrder()
{
    m_orderHeld = false;
    if (std::optional<WaitingOrder> waiting = std::exchange(m_waitingOrder, std::nullopt))
        showOrder(std::move(waiting->positions), waiting->sorted);
}

void LibraryShownRows::followRemoval(const QList<qsizetype> &removed, const QList<quint64> &stampsBefore)
{
    LibrarySort::followRemoval(m_sortRanks, stampsBefore, removed, m_session.allBookmarks());
    // The shown rows lose the removed ones and the others move up, so that until the search runs again
    // the table shows what is left, in its order.
    QList<qsizetype> shown;
    shown.reserve(m_positions.size());
    for (const qsizetype position : std::as_const(m_positions)) {
        const auto before = std::lower_bound(removed.cbegin(), removed.cend(), position);
        if (before == removed.cend() || *before != position)
            shown.append(position - (before - removed.cbegin()));
    }
    m_positions = std::move(shown);
    // The window searches again over what is left.
    m_waitingOrder.reset();
}

void LibraryShownRows::libraryChanged()
{
    // What was made from an earlier library is no use; 100,000 rows' worth is let go of on a worker.
    if (m_searchIndex && m_searchIndexVersion != m_session.libraryVersion())
        releaseSearchIndex();
    m_indexes->libraryChanged();
}

int LibraryShownRows::displayedRowCount() const
{
    return int(std::min<qsizetype>(m_positions.size(), maxDisplayRows));
}

const BookmarkEntry *LibraryShownRows::displayedBookmark(int row) const
{
    if (row < 0 || row >= displayedRowCount())
        return nullptr;
    return &m_session.allBookmarks().at(m_positions.at(row));
}

QList<qsizetype> LibraryShownRows::uniqueAllBookmarksIndices(const QList<int> &displayRows) const
{
    return positionsOfShownSongs(displayRows,
                                 [this](int, const QString &key) { return m_session.firstPositionOf(key); });
}

QList<qsizetype> LibraryShownRows::uniqueDisplayedPositions(const QList<int> &displayRows) const
{
    return positionsOfShownSongs(displayRows, [this](int row, const QString &) {
        return std::optional<qsizetype>(m_positions.at(row));
    });
}

QList<qsizetype> LibraryShownRows::positionsOfShownSongs(
    const QList<int> &displayRows,
    const std::function<std::optional<qsizetype>(int row, const QString &key)> &positionOf) const
{
    QList<int> rows = displayRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QSet<QString> seen;
    QList<qsizetype> positions;
    for (int row : std::as_const(rows)) {
        const BookmarkEntry *entry = displayedBookmark(row);
        if (!entry)
            continue;
        QString key = entry->id();
        if (seen.contains(key))
            continue;
        if (const std::optional<qsizetype> position = positionOf(row, key))
            positions.append(*position);
        seen.insert(std::move(key));
    }
    return positions;
}

// ---- The search

void LibraryShownRows::updateFilteredList(const QString &text)
{
    const SearchQuery query = LibrarySearch::parseSearchQuery(TextUtils::trimmed(text));
    const qint64 generation = ++m_searchGeneration;
    if (query.isEmpty()) {
        QList<qsizetype> all(m_session.allBookmarks().size());
        std::iota(all.begin(), all.end(), qsizetype(0));
        showOrder(std::move(all), false);
        return;
    }
    const quint64 version = m_session.libraryVersion();
    QList<qsizetype> firstPass =
        LibrarySearch::runFilter(m_session.allBookmarks(), 0, searchFirstPassCount, query);
    // Queued ahead of the full pass's result, which cannot arrive before this returns.
    QMetaObject::invokeMethod(
        this,
        [this, generation, version, rows = std::move(firstPass)]() mutable {
            applySearchPass(generation, version, std::move(rows));
        },
        Qt::QueuedConnection);
    startFullSearchPass(query, generation, version);
}

namespace {

struct SearchPass {
    std::shared_ptr<const LibrarySearchIndex> index;
    QList<qsizetype> positions;
    bool cancelled = false;
};

} // namespace

void LibraryShownRows::startFullSearchPass(const SearchQuery &query, qint64 generation, quint64 version)
{
    Hop::run(
        this,
        [snapshot = m_session.allBookmarks(), index = currentSearchIndex(), query,
         builds = m_indexes->builds()] {
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
            adoptSearchIndex(version, std::move(pass.index));
            applySearchPass(generation, version, std::move(pass.positions));
        });
}

void LibraryShownRows::applySearchPass(qint64 generation, quint64 version, QList<qsizetype> positions)
{
    if (generation != m_searchGeneration || version != m_session.libraryVersion())
        return;
    showOrder(std::move(positions), false);
}

std::shared_ptr<const LibrarySearchIndex> LibraryShownRows::currentSearchIndex() const
{
    return m_searchIndexVersion == m_session.libraryVersion() ? m_searchIndex : nullptr;
}

void LibraryShownRows::adoptSearchIndex(quint64 version, std::shared_ptr<const LibrarySearchIndex> index)
{
    // What was made from an older library would describe rows that changed since. An index of
    // 100,000 rows that is not taken is let go of on a worker: freeing it here held the interface for
    // tens of milliseconds whenever the library changed while it was made.
    if (!index || version != m_session.libraryVersion() || currentSearchIndex()) {
        if (index)
            MemoryTrim::freeInBackground(std::move(index));
        return;
    }
    releaseSearchIndex();
    m_searchIndex = std::move(index);
    m_searchIndexVersion = version;
}

void LibraryShownRows::releaseSearchIndex()
{
    if (m_searchIndex)
        QThreadPool::globalInstance()->start([index = std::exchange(m_searchIndex, nullptr)] {});
}

namespace {

struct PreparedIndexes {
    std::shared_ptr<const LibrarySearchIndex> search;
    std::optional<SortRanks> sortRanks;
};

struct SortedRows {
    QList<qsizetype> positions;
    SortRanks ranks;
};

} // namespace

void LibraryShownRows::prepareIndexes()
{
    const quint64 version = m_session.libraryVersion();
    const bool needSearch = !currentSearchIndex();
    const bool needRanks = m_sortRanks.columns.isEmpty();
    if (m_session.allBookmarks().isEmpty() || !(needSearch || needRanks) || !m_indexes->startFor(version))
        return;
    Hop::run(
        this,
        [snapshot = m_session.allBookmarks(), needSearch, needRanks, builds = m_indexes->builds()] {
            const BuildProgress *progress = builds.get();
            PreparedIndexes prepared;
            if (needSearch)
                prepared.search = std::make_shared<const LibrarySearchIndex>(snapshot, 0, -1, progress);
            if (needRanks && !progress->isCancelled())
                prepared.sortRanks = LibrarySort::sortRanksOf(snapshot, progress);
            // Whatever a cancel cut short is of no use.
            return progress->isCancelled() ? PreparedIndexes() : prepared;
        },
        [this, version](PreparedIndexes prepared) {
            // The ranks know by the rows' stamps which rows changed since: a sort ranks those again.
            if (prepared.sortRanks && m_sortRanks.columns.isEmpty())
                m_sortRanks = std::move(*prepared.sortRanks);
            adoptSearchIndex(version, std::exchange(prepared.search, nullptr));
            // Indexes of 100,000 rows nobody took: let go of on a worker, and what making them freed goes
            // back to the system.
            MemoryTrim::freeInBackground(std::move(prepared));
        });
}

// ---- The sort

bool LibraryShownRows::sortFilteredByColumn(const QString &column)
{
    if (latestOrder().isEmpty())
        return false;
    if (m_sortColumn == column) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    const qint64 generation = ++m_sortGeneration;
    if (latestOrder().size() < m_options.workerSortRows) {
        // Sorted in place, unless the order shown waits for an open field.
        QList<qsizetype> positions = m_orderHeld ? latestOrder() : std::exchange(m_positions, {});
        LibrarySort::sortPositions(positions, m_session.allBookmarks(), column, m_sortAscending,
                                   &m_sortRanks);
        // Told by the caller, which shows the rows again.
        const QSignalBlocker quiet(this);
        showOrder(std::move(positions), true);
        return true;
    }
    m_sortShown = true;
    // A large list would hold the window for a second: sorted on a worker, from copies that share the
    // rows and the ranks.
    m_sortPending = true;
    const qint64 searchGeneration = m_searchGeneration;
    const quint64 version = m_session.libraryVersion();
    Hop::run(
        this,
        [rows = m_session.allBookmarks(), positions = latestOrder(), column, ascending = m_sortAscending,
         ranks = m_sortRanks]() mutable {
            LibrarySort::sortPositions(positions, rows, column, ascending, &ranks);
            return SortedRows{std::move(positions), std::move(ranks)};
        },
        [this, generation, searchGeneration, version](SortedRows sorted) {
            if (generation != m_sortGeneration || searchGeneration != m_searchGeneration ||
                version != m_session.libraryVersion())
                return;
            m_sortRanks = std::move(sorted.ranks);
            showOrder(std::move(sorted.positions), true);
        });
    return true;
}
