#include "core/library/LibrarySort.h"

#include "core/library/LibraryColumns.h"
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

// The columns whose texts are ranked, the title first.
const QStringList &rankedColumns()
{
    static const QStringList columns = [] {
        QStringList list{LibraryColumns::title};
        for (const QString &column : LibraryColumns::identifiers()) {
            if (column != LibraryColumns::title && kindOf(column) == ValueKind::text)
                list.append(column);
        }
        return list;
    }();
    return columns;
}

// One row's place in the sort: the value mapped to an unsigned number that orders as the value does
// (turned over for a descending sort), then the rank of the title; the row's index among the rows
// sorted keeps rows equal in both in their order.
struct Entry {
    quint64 value;
    quint32 title;
    quint32 index;
};

// Entries that come in the order of their indexes into the order of their values, then titles: a
// radix sort a byte at a time, from the title's lowest byte to the value's highest. Each pass keeps
// the order of entries equal in its byte, so entries equal in both keep the order of their indexes.
// A few passes over the entries cost less than the comparisons of a sort of 100,000 of them; bytes
// that are the same in all of them (the high bytes of ranks and page numbers) cost no pass.
void radixSort(std::vector<Entry> &entries)
{
    constexpr int titleBytes = 4;
    constexpr int bytes = titleBytes + 8;
    const auto byteOf = [](const Entry &entry, int byte) -> unsigned {
        return byte < titleBytes ? (entry.title >> (8 * byte)) & 0xFF
                                 : (entry.value >> (8 * (byte - titleBytes))) & 0xFF;
    };
    std::vector<std::array<size_t, 256>> counts(bytes);
    for (const Entry &entry : entries) {
        for (int byte = 0; byte < bytes; ++byte)
            ++counts[size_t(byte)][byteOf(entry, byte)];
    }
    std::vector<Entry> moved(entries.size());
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
        for (const Entry &entry : entries)
            moved[next[byteOf(entry, byte)]++] = entry;
        entries.swap(moved);
    }
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

// The value of the row in the column, mapped by Entry; nothing for an absent year or rating.
std::optional<quint64> numericValue(const BookmarkEntry &row, const QString &column)
{
    if (column == LibraryColumns::page)
        return orderedInteger(row.pageNumber);
    if (column == LibraryColumns::pages)
        return orderedInteger(row.pageSpan);
    if (column == LibraryColumns::year)
        return row.firstReleaseYear ? std::optional(orderedInteger(*row.firstReleaseYear)) : std::nullopt;
    const std::optional<double> rating = TextUtils::finiteRating(row.rating);
    return rating ? std::optional(orderedReal(*rating)) : std::nullopt;
}

// Where each row goes: order[i] is the index among the rows of the row that comes i-th. rowAt(i) is
// the row of index i, textRank(i) the rank of its text in a text column, titleRank(i) that of its title.
template <typename RowAt, typename TextRank, typename TitleRank>
std::vector<int> sortedOrder(qsizetype count, const QString &column, bool ascending, RowAt rowAt,
                             TextRank textRank, TitleRank titleRank)
{
    const ValueKind kind = kindOf(column);
    std::vector<Entry> present;
    std::vector<Entry> absent;
    present.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        std::optional<quint64> value = 0;
        if (kind == ValueKind::text)
            value = quint64(textRank(i));
        else if (kind != ValueKind::none)
            value = numericValue(rowAt(i), column);
        const Entry entry{value ? (ascending ? *value : ~*value) : 0, quint32(titleRank(i)), quint32(i)};
        (value ? present : absent).push_back(entry);
    }
    radixSort(present);
    radixSort(absent);
    // An absent value comes first ascending, last descending.
    std::vector<int> order;
    order.reserve(size_t(count));
    for (const std::vector<Entry> *part :
         ascending ? std::array{&absent, &present} : std::array{&present, &absent}) {
        for (const Entry &entry : *part)
            order.push_back(int(entry.index));
    }
    return order;
}

// The distinct texts of count rows (text(i) of each), their ranks, and the rank of every row's.
struct RankedTexts {
    QStringList distinct;
    QList<int> ranks;
    QList<int> rows;
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
    return ranked;
}

QString textOf(const BookmarkEntry &row, const QString &column)
{
    return column == LibraryColumns::title ? row.title : LibrarySort::sortableValue(row, column);
}

// Brings the column's ranks up to date with library: the rows of the blocks that changed since are
// ranked again, taking the texts they bring into the ranks of the texts.
const QList<int> &refreshed(ColumnRanks &ranks, const LibraryRows &library, const QString &column)
{
    const QList<quint64> &stamps = library.blockStamps();
    QList<qsizetype> changed;
    for (qsizetype block = 0; block < stamps.size(); ++block) {
        if (block >= ranks.stamps.size() || ranks.stamps.at(block) != stamps.at(block))
            changed.append(block);
    }
    if (changed.isEmpty() && ranks.rows.size() == library.size())
        return ranks.rows;
    const auto rowsOf = [&library](qsizetype block) {
        const qsizetype first = block * LibraryRows::blockSize;
        return std::pair{first, std::min(library.size(), first + LibraryRows::blockSize)};
    };
    // Texts not ranked yet are taken in one go, then the rows holding them are given their ranks.
    ranks.rows.resize(library.size());
    QStringList missing;
    QList<qsizetype> missingRows;
    for (const qsizetype block : std::as_const(changed)) {
        for (auto [position, end] = rowsOf(block); position < end; ++position) {
            QString text = textOf(library.at(position), column);
            const std::optional<int> rank = ranks.texts.rank(text);
            ranks.rows[position] = rank.value_or(0);
            if (!rank) {
                missing.append(std::move(text));
                missingRows.append(position);
            }
        }
    }
    if (!missing.isEmpty()) {
        // The other rows keep their texts, whose ranks moved.
        const std::vector<int> moved = ranks.texts.add(missing);
        if (!moved.empty()) {
            for (int &rank : ranks.rows)
                rank = moved[size_t(rank)];
        }
        for (qsizetype m = 0; m < missing.size(); ++m)
            ranks.rows[missingRows.at(m)] = ranks.texts.rank(missing.at(m)).value_or(0);
    }
    ranks.stamps = stamps;
    return ranks.rows;
}

// The order of count rows, rowAt(i) the row of index i, with their texts ranked here.
template <typename RowAt>
std::vector<int> orderRankingTexts(qsizetype count, const QString &column, bool ascending, RowAt rowAt)
{
    const QList<int> titles = rankTexts(count, [&](qsizetype i) { return rowAt(i).title; }).rows;
    QList<int> texts = titles;
    if (kindOf(column) == ValueKind::text && column != LibraryColumns::title)
        texts = rankTexts(count, [&](qsizetype i) { return textOf(rowAt(i), column); }).rows;
    return sortedOrder(
        count, column, ascending, rowAt, [&texts](qsizetype i) { return texts.at(i); },
        [&titles](qsizetype i) { return titles.at(i); });
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
        RankedTexts ranked = rankTexts(
            rows.size(), [&](qsizetype i) { return textOf(rows.at(i), column); }, progress);
        if (isCancelled(progress))
            return {};
        ranks.columns.insert(column, ColumnRanks{TextRanks(ranked.distinct, ranked.ranks),
                                                 std::move(ranked.rows), rows.blockStamps()});
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
    std::vector<int> order = orderRankingTexts(
        rows.size(), column, ascending, [&rows](qsizetype i) -> const BookmarkEntry & { return rows.at(i); });
    applyOrder(rows, order);
}

void sortPositions(QList<qsizetype> &positions, const LibraryRows &library, const QString &column,
                   bool ascending, SortRanks *ranks)
{
    if (positions.size() < 2)
        return;
    const auto rowAt = [&](qsizetype i) -> const BookmarkEntry & { return library.at(positions.at(i)); };
    const bool text = kindOf(column) == ValueKind::text;
    std::vector<int> order;
    if (ranks && ranks->columns.contains(LibraryColumns::title) &&
        (!text || ranks->columns.contains(column))) {
        // Copies that share the lists: the second look-up in the hash may move the first.
        const QList<int> titles =
            refreshed(ranks->columns[LibraryColumns::title], library, LibraryColumns::title);
        const QList<int> texts = text ? refreshed(ranks->columns[column], library, column) : QList<int>();
        order = sortedOrder(
            positions.size(), column, ascending, rowAt,
            [&](qsizetype i) { return texts.at(positions.at(i)); },
            [&](qsizetype i) { return titles.at(positions.at(i)); });
    } else {
        // Not prepared (yet): the texts of the rows shown are ranked, not those of the library.
        order = orderRankingTexts(positions.size(), column, ascending, rowAt);
    }
    QList<qsizetype> sorted;
    sorted.reserve(positions.size());
    for (const int i : order)
        sorted.append(positions.at(i));
    positions = std::move(sorted);
}

} // namespace LibrarySort
