#include "core/library/LibrarySort.h"

#include "core/library/LibraryColumns.h"
#include "core/text/TextUtils.h"

#include <QCollator>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

enum class ValueKind { text, integer, real };

ValueKind kindOf(const QString &column)
{
    if (column == LibraryColumns::page || column == LibraryColumns::pages || column == LibraryColumns::year)
        return ValueKind::integer;
    if (column == LibraryColumns::rating)
        return ValueKind::real;
    return ValueKind::text;
}

// One row's sort key. Absent numbers carry present = false and order before every number.
struct Key {
    bool present = true;
    qint64 integer = 0; // a whole number, or the rank of a text
    double real = 0;
    int titleRank = 0;
};

// -1, 0 or 1, absent before present.
int compareValues(const Key &a, const Key &b, ValueKind kind)
{
    if (a.present != b.present)
        return a.present ? 1 : -1;
    if (!a.present)
        return 0;
    if (kind == ValueKind::real)
        return a.real < b.real ? -1 : (b.real < a.real ? 1 : 0);
    return a.integer < b.integer ? -1 : (b.integer < a.integer ? 1 : 0);
}

// Ranks for the distinct texts that value() gives for the rows, mapped back to every row.
// The rows to sort: row(i) for i below count.
template <typename RowAt> struct Rows {
    RowAt row;
    qsizetype count;
};

template <typename RowAt, typename Value> QList<int> ranksOfRows(const Rows<RowAt> &rows, Value value)
{
    QHash<QString, int> idOf;
    QStringList distinct;
    QList<int> ids;
    ids.reserve(rows.count);
    for (qsizetype i = 0; i < rows.count; ++i) {
        const QString text = value(rows.row(i));
        auto found = idOf.constFind(text);
        if (found == idOf.cend()) {
            found = idOf.insert(text, int(distinct.size()));
            distinct.append(text);
        }
        ids.append(*found);
    }
    const QList<int> ranks = LibrarySort::collationRanks(distinct);
    for (int &id : ids)
        id = ranks.at(id);
    return ids;
}

// Puts rows into the order given (order[i] is the old position of the new row i) one cycle at a
// time, in place: a second list of a large library would cost more in fresh memory than the moves.
void applyOrder(BookmarkList &rows, std::vector<int> &order)
{
    BookmarkEntry *data = rows.data();
    for (int start = 0; start < int(order.size()); ++start) {
        if (order[start] == start || order[start] < 0)
            continue;
        BookmarkEntry held = std::move(data[start]);
        int to = start;
        for (int from = order[to]; from != start; from = order[to]) {
            data[to] = std::move(data[from]);
            order[to] = -1;
            to = from;
        }
        data[to] = std::move(held);
        order[to] = -1;
    }
}

template <typename RowAt> QList<int> titleRanksOf(const Rows<RowAt> &rows, const TitleOrder *titles)
{
    if (titles) {
        QList<int> ranks;
        ranks.reserve(rows.count);
        for (qsizetype i = 0; i < rows.count; ++i) {
            const std::optional<int> rank = titles->rank(rows.row(i).title);
            if (!rank)
                break;
            ranks.append(*rank);
        }
        if (ranks.size() == rows.count)
            return ranks;
    }
    return ranksOfRows(rows, [](const BookmarkEntry &row) { return row.title; });
}

// Where each row goes: order[i] is the position among rows of the row that comes i-th.
template <typename RowAt>
std::vector<int> sortedOrder(const Rows<RowAt> &rows, const QString &column, bool ascending,
                             const TitleOrder *titles)
{
    const ValueKind kind = kindOf(column);
    const QList<int> titleRanks = titleRanksOf(rows, titles);
    std::vector<Key> keys(rows.count);
    if (column == LibraryColumns::title) {
        for (qsizetype i = 0; i < rows.count; ++i)
            keys[i].integer = titleRanks.at(i);
    } else if (kind == ValueKind::text) {
        const QList<int> ranks = ranksOfRows(
            rows, [&column](const BookmarkEntry &row) { return LibrarySort::sortableValue(row, column); });
        for (qsizetype i = 0; i < rows.count; ++i)
            keys[i].integer = ranks.at(i);
    } else {
        for (qsizetype i = 0; i < rows.count; ++i) {
            const BookmarkEntry &row = rows.row(i);
            Key &key = keys[i];
            if (column == LibraryColumns::page) {
                key.integer = row.pageNumber;
            } else if (column == LibraryColumns::pages) {
                key.integer = row.pageSpan;
            } else if (column == LibraryColumns::year) {
                key.present = row.firstReleaseYear.has_value();
                key.integer = row.firstReleaseYear.value_or(0);
            } else {
                const std::optional<double> rating = TextUtils::finiteRating(row.rating);
                key.present = rating.has_value();
                key.real = rating.value_or(0);
            }
        }
    }
    for (qsizetype i = 0; i < rows.count; ++i)
        keys[i].titleRank = titleRanks.at(i);

    std::vector<int> order(rows.count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int byValue = compareValues(keys[a], keys[b], kind);
        if (byValue != 0)
            return ascending ? byValue < 0 : byValue > 0;
        // The title decides ties, ascending whatever the direction.
        return keys[a].titleRank < keys[b].titleRank;
    });
    return order;
}

} // namespace

TitleOrder::TitleOrder(const QStringList &titles, const BuildProgress *progress)
{
    const QList<int> ranks = LibrarySort::collationRanks(titles, progress);
    if (isCancelled(progress))
        return;
    m_ranks.reserve(titles.size());
    for (qsizetype i = 0; i < titles.size(); ++i)
        m_ranks.insert(titles.at(i), ranks.at(i));
}

std::optional<int> TitleOrder::rank(const QString &title) const
{
    const auto found = m_ranks.constFind(title);
    if (found == m_ranks.cend())
        return std::nullopt;
    return *found;
}

namespace LibrarySort {

QList<int> collationRanks(const QStringList &texts, const BuildProgress *progress)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // One sort key per text: comparing keys is a byte comparison, the collator walks the texts.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    // Folded first: in the C locale the sort keys keep the case that the comparison ignores.
    for (const QString &text : texts) {
        if (qsizetype(keys.size()) % cancelCheckRows == 0 && isCancelled(progress))
            return {};
        keys.push_back(collator.sortKey(text.toCaseFolded()));
    }
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    const auto before = [&](int a, int b) { return keys[a].compare(keys[b]) < 0; };
    // Sorted in runs that are then merged, so that a cancel is seen between two of them.
    constexpr size_t run = 65536;
    for (size_t start = 0; start < order.size(); start += run) {
        if (isCancelled(progress))
            return {};
        std::sort(order.begin() + start, order.begin() + std::min(order.size(), start + run), before);
    }
    for (size_t width = run; width < order.size(); width *= 2) {
        for (size_t start = 0; start + width < order.size(); start += 2 * width) {
            if (isCancelled(progress))
                return {};
            std::inplace_merge(order.begin() + start, order.begin() + start + width,
                               order.begin() + std::min(order.size(), start + 2 * width), before);
        }
    }

    QList<int> ranks(texts.size(), 0);
    int rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i - 1]].compare(keys[order[i]]) != 0)
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

QString sortableValue(const BookmarkEntry &entry, const QString &column)
{
    return LibraryColumns::text(entry, column);
}

BookmarkList sortedByPageAndTitle(BookmarkList rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const BookmarkEntry &a, const BookmarkEntry &b) {
        if (a.pageNumber != b.pageNumber)
            return a.pageNumber < b.pageNumber;
        return TextUtils::compareCodePoints(a.title.toLower(), b.title.toLower()) < 0;
    });
    return rows;
}

void sortBookmarks(BookmarkList &rows, const QString &column, bool ascending, const TitleOrder *titles)
{
    if (rows.size() < 2)
        return;
    const auto rowAt = [&rows](qsizetype i) -> const BookmarkEntry & { return rows.at(i); };
    std::vector<int> order =
        sortedOrder(Rows<decltype(rowAt)>{rowAt, rows.size()}, column, ascending, titles);
    applyOrder(rows, order);
}

void sortPositions(QList<qsizetype> &positions, const LibraryRows &library, const QString &column,
                   bool ascending, const TitleOrder *titles)
{
    if (positions.size() < 2)
        return;
    const auto rowAt = [&](qsizetype i) -> const BookmarkEntry & { return library.at(positions.at(i)); };
    const std::vector<int> order =
        sortedOrder(Rows<decltype(rowAt)>{rowAt, positions.size()}, column, ascending, titles);
    QList<qsizetype> sorted;
    sorted.reserve(positions.size());
    for (const int i : order)
        sorted.append(positions.at(i));
    positions = std::move(sorted);
}

} // namespace LibrarySort
