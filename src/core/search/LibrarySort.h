#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/common/BuildProgress.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

// Where each text of a column stands under the localized case-insensitive comparison of the current
// locale, as a rank: texts that the comparison finds equal share one. Comparing two ranks costs an
// integer comparison where the collator would cost a Unicode walk, so a large sort asks the collator
// once per distinct text. Kept with the library and brought up to date with the texts an edit brings
// (add) instead of being made again. Copies share their data until one of them changes, so a copy
// may go to another thread.
class TextRanks {
public:
    TextRanks() = default;
    // Stops early, unfinished, when progress is cancelled.
    explicit TextRanks(const QStringList &texts, const BuildProgress *progress = nullptr);
    // Distinct texts with the ranks that LibrarySort::collationRanks() gave them.
    TextRanks(const QStringList &texts, const QList<int> &ranks);

    bool isEmpty() const { return m_ranks.isEmpty(); }
    // Every rank is below it.
    int rankCount() const { return int(m_firstOfRank.size()); }
    // Nothing for a text that was not given.
    std::optional<int> rank(const QString &text) const;
    // Ranks the texts it does not know yet; the ranks of the others may change, keeping their order. A
    // text no row holds any more may stay: it only leaves a gap. Returns the new rank of every old
    // one.
    std::vector<int> add(const QStringList &texts);

private:
    QHash<QString, int> m_ranks;
    QStringList m_firstOfRank; // one text of each rank, in rank order
};

// Where each value of a number column stands, as a rank: the values in order, a value's rank its
// place among them. Values are numbers mapped to unsigned ones of the same order.
class NumberRanks {
public:
    NumberRanks() = default;
    explicit NumberRanks(std::vector<quint64> values);

    int rankCount() const { return int(m_values.size()); }
    std::optional<int> rank(quint64 value) const;
    // Ranks the values it does not know yet, as TextRanks::add() does.
    std::vector<int> add(const std::vector<quint64> &values);

private:
    std::vector<quint64> m_values; // distinct, ascending
};

// One column's ranks kept with the library: those of its texts (or numbers), and the rank of every
// row's text by its position in the library (-1 for a row without a year or rating). A header click
// then compares integers it reads by position instead of looking at the rows. stamps holds the stamps
// of the library's row blocks that rows was made from: the rows of a block whose stamp differs, or
// that was not there, are ranked again.
struct ColumnRanks {
    TextRanks texts;
    NumberRanks numbers;
    QList<int> rows;
    QList<quint64> stamps;
};

// The ranks a sort of the library table keeps, by column identifier: the titles' (every sort's
// tie-break) and those of every other column the table sorts by. Copies share their data until one of
// them changes.
struct SortRanks {
    QHash<QString, ColumnRanks> columns;
};

// Sorting the rows the library table shows by one of its columns.
namespace LibrarySort {

// For every text its rank under the localized case-insensitive comparison: 0 for the first, equal
// texts equal ranks. Safe on any thread. When progress is cancelled it stops early and the ranks are
// of no use.
QList<int> collationRanks(const QStringList &texts, const BuildProgress *progress = nullptr);

// The items in the order of their keys (same positions) under the same comparison; items of equal keys
// keep their order. Safe on any thread.
template <typename T> QList<T> sortedByCollation(QList<T> items, const QStringList &keys)
{
    const QList<int> ranks = collationRanks(keys);
    std::vector<int> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&ranks](int a, int b) { return ranks[a] < ranks[b]; });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const int i : order)
        sorted.append(std::move(items[i]));
    return sorted;
}

// A book's bookmarks as the viewer lists them: by page, then by lower-cased title; equal ones keep their
// order.
BookmarkList sortedByPageAndTitle(BookmarkList rows);

// What a cell of the column shows for the entry (the rating rounded); empty for the button columns
// and unknown identifiers.
QString sortableValue(const BookmarkEntry &entry, const QString &column);

// The ranks of the titles and of the other columns, of their values and of every row of rows. Stops
// early, unfinished, when progress is cancelled.
SortRanks sortRanksOf(const LibraryRows &rows, const BuildProgress *progress = nullptr);

// Takes the removal of the rows at the positions removed (ascending, no repeats) into the ranks of
// the rows, so that the rows after them are not ranked again. stampsBefore are the block stamps of
// the library before the removal, after the library as it is now.
void followRemoval(SortRanks &ranks, const QList<quint64> &stampsBefore, const QList<qsizetype> &removed,
                   const LibraryRows &after);

// A stable sort by the column. "Page", "Pages" and "Year" compare as whole numbers and "Rating" by
// its stored value (so 2 comes before 10, and 4.4 before 4.5); the other columns compare their
// sortable values with the localized case-insensitive comparison. An absent year or rating comes
// first ascending and last descending. Equal values are ordered by title, ascending in both
// directions; rows equal in both keep their order.
void sortBookmarks(BookmarkList &rows, const QString &column, bool ascending);
// The same order for the rows of library at positions: the positions are put into it. ranks, when
// given and made (sortRanksOf), are brought up to date with library for the column and the titles
// (only the rows of the blocks that changed are looked at again) and spare the sort every row;
// otherwise the values of the rows at positions are ranked here.
void sortPositions(QList<qsizetype> &positions, const LibraryRows &library, const QString &column,
                   bool ascending, SortRanks *ranks = nullptr);

} // namespace LibrarySort
