#include "core/bookmarks/LibraryRows.h"

#include <algorithm>
#include <atomic>

quint64 LibraryRows::nextStamp()
{
    static std::atomic<quint64> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

LibraryRows::LibraryRows(const BookmarkList &rows)
{
    append(rows);
}

LibraryRows::LibraryRows(BookmarkList &&rows)
{
    // A list that another one shares is copied as it is walked; the other keeps its rows.
    m_blocks.reserve((rows.size() + blockSize - 1) / blockSize);
    m_stamps.reserve(m_blocks.capacity());
    for (BookmarkEntry &row : rows)
        append(std::move(row));
    rows = BookmarkList();
}

LibraryRows LibraryRows::fromBlocks(QList<BookmarkList> blocks)
{
    LibraryRows rows;
    bool asKept = true;
    for (qsizetype index = 0; index < blocks.size() && asKept; ++index) {
        const qsizetype size = blocks.at(index).size();
        asKept = index + 1 < blocks.size() ? size == blockSize : size > 0 && size <= blockSize;
    }
    if (!asKept) {
        for (BookmarkList &block : blocks) {
            for (BookmarkEntry &row : block)
                rows.append(std::move(row));
        }
        return rows;
    }
    rows.m_stamps.reserve(blocks.size());
    for (const BookmarkList &block : std::as_const(blocks)) {
        rows.m_stamps.append(nextStamp());
        rows.m_size += block.size();
    }
    rows.m_blocks = std::move(blocks);
    return rows;
}

void LibraryRows::append(BookmarkEntry row)
{
    if (m_blocks.isEmpty() || m_blocks.constLast().size() == blockSize) {
        m_blocks.append(BookmarkList());
        m_blocks.last().reserve(blockSize);
        m_stamps.append(0);
    }
    m_blocks.last().append(std::move(row));
    m_stamps.last() = nextStamp();
    ++m_size;
}

void LibraryRows::append(const BookmarkList &rows)
{
    for (const BookmarkEntry &row : rows)
        append(row);
}

QHash<QString, qsizetype> LibraryRows::firstPositionsById(const BuildProgress *progress) const
{
    QHash<QString, qsizetype> positions;
    positions.reserve(m_size);
    // Walked backwards so that the first position of a key is the one that stays.
    for (qsizetype i = m_size - 1; i >= 0; --i) {
        if (i % cancelCheckRows == 0 && isCancelled(progress))
            break;
        positions.insert(at(i).id(), i);
    }
    return positions;
}

void LibraryRows::remove(QList<qsizetype> positions)
{
    positions.removeIf([this](qsizetype p) { return p < 0 || p >= m_size; });
    if (positions.isEmpty())
        return;
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // The blocks before the first removed row stay as they are, shared with any copy; the rest are
    // laid out again.
    const qsizetype firstBlock = positions.first() / blockSize;
    LibraryRows tail;
    qsizetype next = 0;
    for (qsizetype position = firstBlock * blockSize; position < m_size; ++position) {
        if (next < positions.size() && positions.at(next) == position) {
            ++next;
            continue;
        }
        tail.append(at(position));
    }
    m_blocks.resize(firstBlock);
    m_stamps.resize(firstBlock);
    m_size = firstBlock * blockSize;
    m_blocks.append(tail.m_blocks);
    m_stamps.append(tail.m_stamps);
    m_size += tail.m_size;
}

BookmarkList LibraryRows::toList() const
{
    BookmarkList rows;
    rows.reserve(m_size);
    for (const BookmarkList &block : m_blocks)
        rows.append(block);
    return rows;
}

bool operator==(const LibraryRows &a, const LibraryRows &b)
{
    return a.m_blocks == b.m_blocks;
}
