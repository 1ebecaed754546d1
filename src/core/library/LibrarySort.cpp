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

// The rank of value(row) for every row: from known, which first takes the texts it lacks; without it,
// ranked here.
template <typename RowAt, typename Value>
QList<int> ranksOf(const Rows<RowAt> &rows, Value value, TextRanks *known)
{
    if (!known)
        return ranksOfRows(rows, value);
    QList<int> ranks;
    ranks.reserve(rows.count);
    QStringList missing;
    QList<qsizetype> missingRows;
    for (qsizetype i = 0; i < rows.count; ++i) {
        const QString text = value(rows.row(i));
        const std::optional<int> rank = known->rank(text);
        if (!rank) {
            missing.append(text);
            missingRows.append(i);
        }
        ranks.append(rank.value_or(0));
    }
    if (missing.isEmpty())
        return ranks;
    // New texts move the others' ranks up, in their order; a full new ranking moves them anywhere.
    if (const std::optional<std::vector<int>> moved = known->add(missing)) {
        for (int &rank : ranks)
            rank = (*moved)[size_t(rank)];
        for (qsizetype m = 0; m < missingRows.size(); ++m)
            ranks[missingRows.at(m)] = known->rank(missing.at(m)).value_or(0);
    } else {
        for (qsizetype i = 0; i < rows.count; ++i)
            ranks[i] = known->rank(value(rows.row(i))).value_or(0);
    }
    return ranks;
}

// Where each row goes: order[i] is the position among rows of the row that comes i-th.
template <typename RowAt>
std::vector<int> sortedOrder(const Rows<RowAt> &rows, const QString &column, bool ascending, SortRanks *known)
{
    const ValueKind kind = kindOf(column);
    const QList<int> titleRanks = ranksOf(
        rows, [](const BookmarkEntry &row) { return row.title; }, known ? &known->titles : nullptr);
    std::vector<Key> keys(rows.count);
    if (column == LibraryColumns::title) {
        for (qsizetype i = 0; i < rows.count; ++i)
            keys[i].integer = titleRanks.at(i);
    } else if (kind == ValueKind::text) {
        const QList<int> ranks = ranksOf(
            rows, [&column](const BookmarkEntry &row) { return LibrarySort::sortableValue(row, column); },
            known ? &known->columns[column] : nullptr);
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

TextRanks::TextRanks(const QStringList &texts, const BuildProgress *progress)
{
    const QList<int> ranks = LibrarySort::collationRanks(texts, progress);
    if (isCancelled(progress))
        return;
    m_ranks.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        m_ranks.insert(texts.at(i), ranks.at(i));
        if (ranks.at(i) >= m_firstOfRank.size())
            m_firstOfRank.resize(ranks.at(i) + 1);
        if (m_firstOfRank.at(ranks.at(i)).isNull())
            m_firstOfRank[ranks.at(i)] = texts.at(i);
    }
}

std::optional<int> TextRanks::rank(const QString &text) const
{
    const auto found = m_ranks.constFind(text);
    if (found == m_ranks.cend())
        return std::nullopt;
    return *found;
}

std::optional<std::vector<int>> TextRanks::add(const QStringList &texts)
{
    QStringList fresh;
    QSet<QString> seen;
    for (const QString &text : texts) {
        if (!m_ranks.contains(text) && !seen.contains(text)) {
            seen.insert(text);
            fresh.append(text);
        }
    }
    const int known = int(m_firstOfRank.size());
    if (fresh.isEmpty()) {
        std::vector<int> same(size_t(known), 0);
        std::iota(same.begin(), same.end(), 0);
        return same;
    }
    // Each new text costs some twenty sort keys on its way down; many of them, ranking everything again
    // costs less.
    if (fresh.size() * 20 > known) {
        QStringList all = m_ranks.keys();
        all.append(fresh);
        *this = TextRanks(all);
        return std::nullopt;
    }

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto keyOf = [&collator](const QString &text) { return collator.sortKey(text.toCaseFolded()); };
    // Where each new text goes: before rank `at`, or into it when it compares equal to that rank's text.
    struct Placed {
        int at;
        bool joins;
        QCollatorSortKey key;
        QString text;
    };
    std::vector<Placed> placed;
    placed.reserve(fresh.size());
    for (const QString &text : std::as_const(fresh)) {
        QCollatorSortKey key = keyOf(text);
        int low = 0;
        int high = known;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (keyOf(m_firstOfRank.at(middle)).compare(key) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        const bool joins = low < known && keyOf(m_firstOfRank.at(low)).compare(key) == 0;
        placed.push_back({low, joins, std::move(key), text});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) {
        if (a.at != b.at)
            return a.at < b.at;
        return a.key.compare(b.key) < 0;
    });

    // The old ranks and the new ones merged in order; new texts equal to each other share a rank.
    std::vector<int> newRankOf(size_t(known), 0);
    QStringList firstOfRank;
    firstOfRank.reserve(known + qsizetype(placed.size()));
    QHash<QString, int> freshRanks;
    size_t next = 0;
    for (int old = 0; old <= known; ++old) {
        while (next < placed.size() && placed[next].at == old) {
            if (placed[next].joins) {
                ++next;
                continue;
            }
            const int rank = int(firstOfRank.size());
            firstOfRank.append(placed[next].text);
            const QCollatorSortKey &key = placed[next].key;
            for (; next < placed.size() && placed[next].at == old && !placed[next].joins &&
                   placed[next].key.compare(key) == 0;
                 ++next)
                freshRanks.insert(placed[next].text, rank);
        }
        if (old < known) {
            newRankOf[size_t(old)] = int(firstOfRank.size());
            firstOfRank.append(m_firstOfRank.at(old));
        }
    }
    if (!freshRanks.isEmpty()) {
        for (auto it = m_ranks.begin(); it != m_ranks.end(); ++it)
            it.value() = newRankOf[size_t(it.value())];
    }
    for (const Placed &p : placed)
        m_ranks.insert(p.text, p.joins ? newRankOf[size_t(p.at)] : freshRanks.value(p.text));
    m_firstOfRank = std::move(firstOfRank);
    return newRankOf;
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

SortRanks sortRanksOf(const LibraryRows &rows, const BuildProgress *progress)
{
    QStringList columns;
    for (const QString &column : LibraryColumns::identifiers()) {
        if (kindOf(column) == ValueKind::text && column != LibraryColumns::title &&
            column != LibraryColumns::add && column != LibraryColumns::share)
            columns.append(column);
    }
    QSet<QString> titles;
    QList<QSet<QString>> texts(columns.size());
    qsizetype seen = 0;
    for (const BookmarkEntry &row : rows) {
        if (seen++ % cancelCheckRows == 0 && isCancelled(progress))
            return {};
        titles.insert(row.title);
        for (qsizetype c = 0; c < columns.size(); ++c)
            texts[c].insert(LibraryColumns::text(row, columns.at(c)));
    }
    SortRanks ranks;
    ranks.titles = TextRanks(titles.values(), progress);
    for (qsizetype c = 0; c < columns.size(); ++c)
        ranks.columns.insert(columns.at(c), TextRanks(texts.at(c).values(), progress));
    return ranks;
}

void sortBookmarks(BookmarkList &rows, const QString &column, bool ascending, SortRanks *ranks)
{
    if (rows.size() < 2)
        return;
    const auto rowAt = [&rows](qsizetype i) -> const BookmarkEntry & { return rows.at(i); };
    std::vector<int> order = sortedOrder(Rows<decltype(rowAt)>{rowAt, rows.size()}, column, ascending, ranks);
    applyOrder(rows, order);
}

void sortPositions(QList<qsizetype> &positions, const LibraryRows &library, const QString &column,
                   bool ascending, SortRanks *ranks)
{
    if (positions.size() < 2)
        return;
    const auto rowAt = [&](qsizetype i) -> const BookmarkEntry & { return library.at(positions.at(i)); };
    const std::vector<int> order =
        sortedOrder(Rows<decltype(rowAt)>{rowAt, positions.size()}, column, ascending, ranks);
    QList<qsizetype> sorted;
    sorted.reserve(positions.size());
    for (const int i : order)
        sorted.append(positions.at(i));
    positions = std::move(sorted);
}

} // namespace LibrarySort
