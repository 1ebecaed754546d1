#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/search/LibrarySort.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class IndexPreparation;
class LibrarySearchIndex;
class LibrarySession;
struct SearchQuery;

// How the shown rows work where the application and a benchmark or test may want otherwise.
struct ShownRowsOptions {
    // A sort of this many shown rows or more runs on a worker; fewer are sorted at once.
    qsizetype workerSortRows = 200000;
};

// The rows the library table shows: positions in the session's library, in display order, as the
// search filtered and ranked them and a header click sorted them, and the cap on how many the table
// shows. One instance for the application (AppContext), beside the session it follows; main thread
// only.
//
// It follows the session's rows as they change: a new library shows all its rows in library order,
// removed rows leave and the others move up, edited and added rows keep the order shown (the window
// searches again on libraryChanged()). A search pass or a sort that began on an earlier version of
// the library is dropped when it lands. The search index and the sort ranks of a library are
// prepared on a worker once the library stops changing.
class LibraryShownRows : public QObject {
    Q_OBJECT

public:
    // Shows the session's whole library.
    explicit LibraryShownRows(LibrarySession &session, ShownRowsOptions options = {},
                              QObject *parent = nullptr);
    ~LibraryShownRows() override;

    // ---- The shown rows: library positions in display order

    const QList<qsizetype> &filteredPositions() const { return m_positions; }
    qsizetype filteredCount() const { return m_positions.size(); }
    // min(filtered rows, maxDisplayRows); displayedBookmark() is null for a row outside them.
    int displayedRowCount() const;
    const BookmarkEntry *displayedBookmark(int row) const;
    // Library positions of the bookmarks shown in the given rows: ascending by row, one per identity
    // key (the first bookmark of the library with it), rows outside the shown ones skipped.
    QList<qsizetype> uniqueAllBookmarksIndices(const QList<int> &displayRows) const;
    // As many, but each the position of a shown row itself (the first given row of its identity key):
    // what a deletion of the selected rows takes, so that a bookmark the search hides, even one with
    // the same identity, is never among them.
    QList<qsizetype> uniqueDisplayedPositions(const QList<int> &displayRows) const;

    // ---- Search and sort

    // A text without phrases or words shows the whole library at once, in library order. Any other
    // text is ranked first over the first searchFirstPassCount bookmarks and then over the whole
    // library on a worker; each pass is applied from the event loop, the first one first.
    // filteredBookmarksChanged() tells of every list applied.
    void updateFilteredList(const QString &text);

    // The column the shown rows were last sorted by, and the direction.
    const std::optional<QString> &sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }
    // Sorts the shown rows (all of them, also beyond the displayed ones): ascending for a new column,
    // the other direction for the column sorted last. No rows: nothing changes, the state neither.
    // Returns whether it sorted. From ShownRowsOptions::workerSortRows rows on, the sort runs on a
    // worker and its order arrives through filteredBookmarksChanged(); a later click, search or change
    // of the library supersedes it.
    bool sortFilteredByColumn(const QString &column);
    // A sort on a worker has not landed yet.
    bool sortPending() const { return m_sortPending; }
    // The shown rows stand (or are about to stand) in the order of sortColumn() and sortAscending();
    // a search or a new library puts them back into their own order.
    bool sortShown() const { return m_sortShown; }

    // ---- While a row is being typed into

    // While held, a new order of the shown rows (a search pass, a sort, every row shown again for an
    // emptied search) waits and the rows stay as they are shown, so that a row being typed into keeps
    // its song and its place; the last order that waited is shown on release. A change of the rows
    // themselves (a new library, rows removed), or an order that is the one shown, is shown at once.
    void holdOrder() { m_orderHeld = true; }
    void releaseOrder();
    bool orderHeld() const { return m_orderHeld; }

Q_SIGNALS:
    // A search pass, a sort on a worker, or an update that shows everything replaced the shown rows.
    void filteredBookmarksChanged();

private:
    // The table shows at most this many of the filtered rows; every mapping of a shown row back to a
    // bookmark applies the same cap.
    static constexpr int maxDisplayRows = 2000;
    // The first search pass ranks this many bookmarks at once, so the table answers even in a large
    // library before the full pass lands.
    static constexpr int searchFirstPassCount = 100;

    void showAllRows();
    // Shows the positions in their order (a search's or a sort's), or keeps them until the order is
    // released.
    void showOrder(QList<qsizetype> positions, bool sorted);
    // The order shown, or about to be once released.
    const QList<qsizetype> &latestOrder() const
    {
        return m_waitingOrder ? m_waitingOrder->positions : m_positions;
    }
    // The session's rows at the positions removed (ascending) are gone.
    void followRemoval(const QList<qsizetype> &removed, const QList<quint64> &stampsBefore);
    void libraryChanged();
    // One position per identity key among the shown rows, in ascending row order, as positionOf
    // gives it for the first given row of the key.
    QList<qsizetype> positionsOfShownSongs(
        const QList<int> &displayRows,
        const std::function<std::optional<qsizetype>(int row, const QString &key)> &positionOf) const;

    void applySearchPass(qint64 generation, quint64 version, QList<qsizetype> positions);
    void startFullSearchPass(const SearchQuery &query, qint64 generation, quint64 version);
    // The search index of the library as it is now; null when there is none yet.
    std::shared_ptr<const LibrarySearchIndex> currentSearchIndex() const;
    void adoptSearchIndex(quint64 version, std::shared_ptr<const LibrarySearchIndex> index);
    void releaseSearchIndex();
    // Prepares what the library's version lacks (search index, sort ranks) on a worker, once the
    // library has stopped changing.
    void prepareIndexes();

    LibrarySession &m_session;
    ShownRowsOptions m_options;
    QList<qsizetype> m_positions;

    // Raised by every search update; a pass applies its rows only while the generation is still the
    // one it began with, and the library the version it began on.
    qint64 m_searchGeneration = 0;
    std::shared_ptr<const LibrarySearchIndex> m_searchIndex;
    quint64 m_searchIndexVersion = 0;
    // At a quit, the indexes outlive the shown rows.
    IndexPreparation *m_indexes;

    std::optional<QString> m_sortColumn;
    bool m_sortAscending = true;
    // Kept across edits, which only add the texts they bring; made anew for a new library.
    SortRanks m_sortRanks;
    qint64 m_sortGeneration = 0;
    bool m_sortPending = false;
    bool m_sortShown = false;

    bool m_orderHeld = false;
    struct WaitingOrder {
        QList<qsizetype> positions;
        bool sorted = false;
    };
    std::optional<WaitingOrder> m_waitingOrder;
};
