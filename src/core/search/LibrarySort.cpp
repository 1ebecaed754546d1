#include "core/search/LibrarySort.h"

#include "core/bookmarks/LibraryColumns.h"
#include "core/text/TextUtils.h"

#include <QCollator>

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>
#include <optional>
#include <vector>

namespace {

enum class ValueKind { text, integer, real, none };

ValueKind kindOf(const QString &column)
{
    if (column == LibraryColumns::page || column == LibraryColumns::pages || column == LibraryColumns::year)
        return ValueKind::integer;
    if (column == LibraryColumns::rating)
        return ValueKind::real;
    // The button columns show no text: every row is equal there.
    if (column == LibraryColumns::add || column == LibraryColumns::share ||
        !LibraryColumns::identifiers().contains(column))
        return ValueKind::none;
    return ValueKind::text;
}

constexpr quint64 signBit = quint64(1) << 63;

quint64 orderedInteger(qint64 value)
{
    return quint64(value) ^ signBit;
}

// A finite double as an unsigned number of the same order; 0 and -0 are one value.
quint64 orderedReal(double value)
{
    const quint64 bits = std::bit_cast<quint64>(value == 0 ? 0.0 : value);
    return (bits & signBit) ? ~bits : bits | signBit;
}

// The value of a row in a number column as an unsigned number of the same order; nothing for an
// absent year or rating.
using NumberOf = std::optional<quint64> (*)(const BookmarkEntry &row);

NumberOf numberOf(const QString &column)
{
    if (column == LibraryColumns::page)
        return
            [](const BookmarkEntry &row) -> std::optional<quint64> { return orderedInteger(row.pageNumber); };
    if (column == LibraryColumns::pages)
        return
            [](const BookmarkEntry &row) -> std::optional<quint64> { return orderedInteger(row.pageSpan); };
    if (column == LibraryColumns::year)
        return [](const BookmarkEntry &row) -> std::optional<quint64> {
            return row.firstReleaseYear ? std::optional(orderedInteger(*row.firstReleaseYear)) : std::nullopt;
        };
    return [](const BookmarkEntry &row) -> std::optional<quint64> {
        const std::optional<double> rating = TextUtils::finiteRating(row.rating);
        return rating ? std::optional(orderedReal(*rating)) : std::nullopt;
    };
}

// The columns whose values are ranked, the title first: every column the table sorts by.
const QStringList &rankedColumns()
{
    static const QStringList columns = [] {
        QStringList list{LibraryColumns::title};
        for (const QString &column : LibraryColumns::identifiers()) {
            if (column != LibraryColumns::title && kindOf(column) != ValueKind::none)
                list.append(column);
        }
        return list;
    }();
    return columns;
}

// One row's place in the sort: its key, and the row's index among the rows sorted, which keeps rows of
// equal keys in their order.
template <typename Key> struct Keyed {
    Key key;
    quint32 index;
};

// Entries that come in the order of their indexes into the order of their keys: a radix sort a byte at
// a time, from the lowest of the bytes the keys use to the highest. Each pass keeps the order of
// entries equal in its byte, so entries of equal keys keep the order of their indexes. A few passes
// over the entries cost less than the comparisons of a sort of 100,000 of them; a byte that is the same
// in all of them costs no pass.
template <typename Key> void radixSort(std::vector<Keyed<Key>> &entries, int bytes)
{
    const auto byteOf = [](const Keyed<Key> &entry, int byte) -> unsigned {
        return unsigned(entry.key >> (8 * byte)) & 0xFF;
    };
    std::vector<std::array<size_t, 256>> counts(size_t(bytes), std::array<size_t, 256>{});
    for (const Keyed<Key> &entry : entries) {
        for (int byte = 0; byte < bytes; ++byte)
            ++counts[size_t(byte)][byteOf(entry, byte)];
    }
    std::vector<Keyed<Key>> moved(entries.size());
    for (int byte = 0; byte < bytes; ++byte) {
        std::array<size_t, 256> &next = counts[size_t(byte)];
        if (entries.empty() || next[byteOf(entries.front(), byte)] == entries.size())
            continue;
        size_t start = 0;
        for (size_t &count : next) {
            const size_t inByte = count;
            count = start;
            start += inByte;
        }
        for (const Keyed<Key> &entry : entries)
            moved[next[byteOf(entry, byte)]++] = entry;
        entries.swap(moved);
    }
}

template <typename Key, typename KeyOf> std::vector<int> orderOfKeys(qsizetype count, int bits, KeyOf keyOf)
{
    std::vector<Keyed<Key>> entries;
    entries.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        entries.push_back({Key(keyOf(i)), quint32(i)});
    radixSort(entries, (bits + 7) / 8);
    std::vector<int> order;
    order.reserve(size_t(count));
    for (const Keyed<Key> &entry : entries)
        order.push_back(int(entry.index));
    return order;
}

// Where each row goes: order[i] is the index among the rows of the row that comes i-th. valueRank(i) is
// the rank of row i's value in the column, below valueRanks, or negative when it has none (no year, no
// rating); titleRank(i) is the rank of its title, below titleRanks. A row without a value comes first
// ascending and last descending; equal values are ordered by title ascending in both directions.
template <typename ValueRank, typename TitleRank>
std::vector<int> sortedOrder(qsizetype count, bool ascending, int valueRanks, ValueRank valueRank,
                             int titleRanks, TitleRank titleRank)
{
    // Value and title in one key: the value's place above the title's rank.
    const int titleBits = int(std::bit_width(unsigned(std::max(titleRanks - 1, 0))));
    const int valueBits = int(std::bit_width(unsigned(valueRanks) + 1));
    const auto keyOf = [&](qsizetype i) {
        const int value = valueRank(i);
        Q_ASSERT(value < valueRanks && titleRank(i) < std::max(titleRanks, 1));
        const quint64 place = value < 0 ? (ascending ? 0 : quint64(valueRanks) + 1)
                                        : (ascending ? quint64(value) + 1 : quint64(valueRanks - value));
        return place << titleBits | quint64(titleRank(i));
    };
    // Half the memory to move when the key fits 32 bits, as it does for most columns of a million rows.
    if (titleBits + valueBits <= 32)
        return orderOfKeys<quint32>(count, titleBits + valueBits, keyOf);
    return orderOfKeys<quint64>(count, titleBits + valueBits, keyOf);
}

// The distinct texts of count rows (text(i) of each), their ranks, and the rank of every row's.
struct RankedTexts {
    QStringList distinct;
    QList<int> ranks;
    QList<int> rows;
    int rankCount = 0;
};

template <typename Text>
RankedTexts rankTexts(qsizetype count, Text text, const BuildProgress *progress = nullptr)
{
    RankedTexts ranked;
    QHash<QString, int> idOf;
    ranked.rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (i % cancelCheckRows == 0 && isCancelled(progress))
            return {};
        QString value = text(i);
        auto found = idOf.constFind(value);
        if (found == idOf.cend()) {
            found = idOf.insert(value, int(ranked.distinct.size()));
            ranked.distinct.append(std::move(value));
        }
        ranked.rows.append(*found);
    }
    ranked.ranks = LibrarySort::collationRanks(ranked.distinct, progress);
    if (isCancelled(progress))
        return {};
    for (int &id : ranked.rows)
        id = ranked.ranks.at(id);
    for (const int rank : std::as_const(ranked.ranks))
        ranked.rankCount = std::max(ranked.rankCount, rank + 1);
    return ranked;
}

// The values of count rows (value(i) of each, nothing for none) in order, and the rank of every
// row's (-1 for none).
struct RankedNumbers {
    NumberRanks values;
    QList<int> rows;
};

template <typename Value>
RankedNumbers rankNumbers(qsizetype count, Value value, const BuildProgress *progress = nullptr)
{
    std::vector<std::optional<quint64>> values;
    values.reserve(size_t(count));
    std::vector<quint64> present;
    present.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        if (i % cancelCheckRows == 0 && isCancelled(progress))
            return {};
        values.push_back(value(i));
        if (values.back())
            present.push_back(*values.back());
    }
    RankedNumbers ranked{NumberRanks(std::move(present)), {}};
    ranked.rows.reserve(count);
    for (const std::optional<quint64> &v : values)
        ranked.rows.append(v ? ranked.values.rank(*v).value_or(-1) : -1);
    return ranked;
}

QString textOf(const BookmarkEntry &row, const QString &column)
{
    return column == LibraryColumns::title ? row.title : LibrarySort::sortableValue(row, column);
}

// Brings ranks, the column's ranks kept in column, up to date with library: the rows of the blocks that
// changed since are ranked again (valueOf(row) the value of a row, nothing for none), taking the values
// they bring into ranks.
template <typename Ranks, typename ValueOf>
const QList<int> &refreshed(ColumnRanks &column, Ranks &ranks, const LibraryRows &library, ValueOf valueOf)
{
    const QList<quint64> &stamps = library.blockStamps();
    QList<qsizetype> changed;
    for (qsizetype block = 0; block < stamps.size(); ++block) {
        if (block >= column.stamps.size() || column.stamps.at(block) != stamps.at(block))
            changed.append(block);
    }
    if (changed.isEmpty() && column.rows.size() == library.size())
        return column.rows;
    const auto rowsOf = [&library](qsizetype block) {
        const qsizetype first = block * LibraryRows::blockSize;
        return std::pair{first, std::min(library.size(), first + LibraryRows::blockSize)};
    };
    // Values not ranked yet are taken in one go, then the rows holding them are given their ranks.
    column.rows.resize(library.size());
    using Values = std::conditional_t<std::is_same_v<Ranks, TextRanks>, QStringList, std::vector<quint64>>;
    Values missing;
    QList<qsizetype> missingRows;
    for (const qsizetype block : std::as_const(changed)) {
        for (auto [position, end] = rowsOf(block); position < end; ++position) {
            auto value = valueOf(library.at(position));
            const std::optional<int> rank = value ? ranks.rank(*value) : std::optional<int>(-1);
            column.rows[position] = rank.value_or(-1);
            if (!rank) {
                missing.push_back(std::move(*value));
                missingRows.append(position);
            }
        }
    }
    if (!missingRows.isEmpty()) {
        // The other rows keep their values, whose ranks moved.
        const std::vector<int> moved = ranks.add(missing);
        if (!moved.empty()) {
            for (int &rank : column.rows) {
                if (rank >= 0)
                    rank = moved[size_t(rank)];
            }
        }
        for (qsizetype m = 0; m < missingRows.size(); ++m)
            column.rows[missingRows.at(m)] = ranks.rank(missing[size_t(m)]).value_or(-1);
    }
    column.stamps = stamps;
    return column.rows;
}

// The column's ranks brought up to date with library, and how many there are.
std::pair<QList<int>, int> refreshedColumn(ColumnRanks &column, const LibraryRows &library,
                                           const QString &name)
{
    if (kindOf(name) == ValueKind::text || name == LibraryColumns::title) {
        const QList<int> rows = refreshed(column, column.texts, library, [&name](const BookmarkEntry &row) {
            return std::optional<QString>(textOf(row, name));
        });
        return {rows, column.texts.rankCount()};
    }
    const QList<int> rows = refreshed(column, column.numbers, library, numberOf(name));
    return {rows, column.numbers.rankCount()};
}

// The order of count rows, rowAt(i) the row of index i, with their values ranked here.
template <typename RowAt>
std::vector<int> orderRankingValues(qsizetype count, const QString &column, bool ascending, RowAt rowAt)
{
    const RankedTexts titles = rankTexts(count, [&](qsizetype i) { return rowAt(i).title; });
    const auto titleAt = [&titles](qsizetype i) { return titles.rows.at(i); };
    const auto none = [](qsizetype) { return 0; };
    switch (kindOf(column)) {
    case ValueKind::none:
        return sortedOrder(count, ascending, 1, none, titles.rankCount, titleAt);
    case ValueKind::text: {
        if (column == LibraryColumns::title)
            return sortedOrder(count, ascending, titles.rankCount, titleAt, 1, none);
        const RankedTexts texts = rankTexts(count, [&](qsizetype i) { return textOf(rowAt(i), column); });
        return sortedOrder(
            count, ascending, texts.rankCount, [&texts](qsizetype i) { return texts.rows.at(i); },
            titles.rankCount, titleAt);
    }
    default: {
        const RankedNumbers numbers =
            rankNumbers(count, [&, number = numberOf(column)](qsizetype i) { return number(rowAt(i)); });
        return sortedOrder(
            count, ascending, numbers.values.rankCount(),
            [&numbers](qsizetype i) { return numbers.rows.at(i); }, titles.rankCount, titleAt);
    }
    }
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

} // namespace

TextRanks::TextRanks(const QStringList &texts, const BuildProgress *progress)
{
    const QList<int> ranks = LibrarySort::collationRanks(texts, progress);
    if (!isCancelled(progress))
        *this = TextRanks(texts, ranks);
}

TextRanks::TextRanks(const QStringList &texts, const QList<int> &ranks)
{
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

std::vector<int> TextRanks::add(const QStringList &texts)
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
        const QStringList firstOfRank = std::move(m_firstOfRank);
        *this = TextRanks(all);
        std::vector<int> newRankOf(size_t(known), 0);
        for (int old = 0; old < known; ++old)
            newRankOf[size_t(old)] = m_ranks.value(firstOfRank.at(old));
        return newRankOf;
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

NumberRanks::NumberRanks(std::vector<quint64> values) : m_values(std::move(values))
{
    std::sort(m_values.begin(), m_values.end());
    m_values.erase(std::unique(m_values.begin(), m_values.end()), m_values.end());
    m_values.shrink_to_fit();
}

std::optional<int> NumberRanks::rank(quint64 value) const
{
    const auto found = std::lower_bound(m_values.cbegin(), m_values.cend(), value);
    if (found == m_values.cend() || *found != value)
        return std::nullopt;
    return int(found - m_values.cbegin());
}

std::vector<int> NumberRanks::add(const std::vector<quint64> &values)
{
    std::vector<quint64> merged = m_values;
    merged.insert(merged.end(), values.cbegin(), values.cend());
    NumberRanks all(std::move(merged));
    std::vector<int> newRankOf(m_values.size());
    for (size_t old = 0; old < m_values.size(); ++old)
        newRankOf[old] = all.rank(m_values[old]).value_or(0);
    *this = std::move(all);
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
    SortRanks ranks;
    for (const QString &column : rankedColumns()) {
        ColumnRanks made;
        if (kindOf(column) == ValueKind::text) {
            RankedTexts ranked = rankTexts(
                rows.size(), [&](qsizetype i) { return textOf(rows.at(i), column); }, progress);
            made.texts = TextRanks(ranked.distinct, ranked.ranks);
            made.rows = std::move(ranked.rows);
        } else {
            RankedNumbers ranked = rankNumbers(
                rows.size(), [&, number = numberOf(column)](qsizetype i) { return number(rows.at(i)); },
                progress);
            made.numbers = std::move(ranked.values);
            made.rows = std::move(ranked.rows);
        }
        if (isCancelled(progress))
            return {};
        made.stamps = rows.blockStamps();
        ranks.columns.insert(column, std::move(made));
    }
    return ranks;
}

void followRemoval(SortRanks &ranks, const QList<quint64> &stampsBefore, const QList<qsizetype> &removed,
                   const LibraryRows &after)
{
    for (ColumnRanks &column : ranks.columns) {
        if (column.stamps != stampsBefore)
            continue; // ranked again where it is out of date
        qsizetype kept = 0;
        auto next = removed.cbegin();
        for (qsizetype position = 0; position < column.rows.size(); ++position) {
            if (next != removed.cend() && *next == position) {
                ++next;
                continue;
            }
            column.rows[kept++] = column.rows.at(position);
        }
        column.rows.resize(kept);
        column.stamps = after.blockStamps();
    }
}

void sortBookmarks(BookmarkList &rows, const QString &column, bool ascending)
{
    if (rows.size() < 2)
        return;
    std::vector<int> order = orderRankingValues(
        rows.size(), column, ascending, [&rows](qsizetype i) -> const BookmarkEntry & { return rows.at(i); });
    applyOrder(rows, order);
}

void sortPositions(QList<qsizetype> &positions, const LibraryRows &library, const QString &column,
                   bool ascending, SortRanks *ranks)
{
    if (positions.size() < 2)
        return;
    const ValueKind kind = kindOf(column);
    std::vector<int> order;
    if (ranks && ranks->columns.contains(LibraryColumns::title) &&
        (kind == ValueKind::none || ranks->columns.contains(column))) {
        // Copies that share the lists: the second look-up in the hash may move the first. (Named
        // apart rather than bound: the lambdas below capture them, which clang 14 refuses for bindings.)
        const std::pair<QList<int>, int> titleRanks =
            refreshedColumn(ranks->columns[LibraryColumns::title], library, LibraryColumns::title);
        const QList<int> &titles = titleRanks.first;
        const int titleCount = titleRanks.second;
        const auto titleAt = [&](qsizetype i) { return titles.at(positions.at(i)); };
        const auto none = [](qsizetype) { return 0; };
        if (kind == ValueKind::none) {
            order = sortedOrder(positions.size(), ascending, 1, none, titleCount, titleAt);
        } else if (column == LibraryColumns::title) {
            order = sortedOrder(positions.size(), ascending, titleCount, titleAt, 1, none);
        } else {
            const std::pair<QList<int>, int> valueRanks =
                refreshedColumn(ranks->columns[column], library, column);
            const QList<int> &values = valueRanks.first;
            order = sortedOrder(
                positions.size(), ascending, valueRanks.second,
                [&](qsizetype i) { return values.at(positions.at(i)); }, titleCount, titleAt);
        }
    } else {
        // Not prepared (yet): the values of the rows shown are ranked, not those of the library.
        order = orderRankingValues(
            positions.size(), column, ascending,
            [&](qsizetype i) -> const BookmarkEntry & { return library.at(positions.at(i)); });
    }
    QList<qsizetype> sorted;
    sorted.reserve(positions.size());
    for (const int i : order)
        sorted.append(positions.at(i));
    positions = std::move(sorted);
}

} // namespace LibrarySort
