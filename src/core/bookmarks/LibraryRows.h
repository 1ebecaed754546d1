#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/BuildProgress.h"

#include <QHash>
#include <QList>

#include <iterator>

// The library's bookmarks in order, held in blocks that copies share. A copy (a save's snapshot, a
// search on a worker) costs a few hundred handles whatever the size of the library, and a change of a
// row copies only the block it lies in while a copy still holds that block: an edit right after a
// save does not copy 100,000 rows. Copies are safe to hand to other threads; each thread changes only
// its own copy.
class LibraryRows {
public:
    static constexpr qsizetype blockSize = 256;

    LibraryRows() = default;
    explicit LibraryRows(const BookmarkList &rows);
    // Takes the rows over without copying them (unless another list shares them) and lets go of the
    // list at once, so that a large library is not held twice while the blocks are made.
    explicit LibraryRows(BookmarkList &&rows);
    // Takes rows already in blocks over as they are, when each holds blockSize rows and the last at
    // most that many (BookmarkCacheCodec::decodeInBlocks()); rows in other blocks are moved into blocks.
    static LibraryRows fromBlocks(QList<BookmarkList> blocks);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const BookmarkEntry &at(qsizetype position) const
    {
        return m_blocks.at(position / blockSize).at(position % blockSize);
    }
    const BookmarkEntry &operator[](qsizetype position) const { return at(position); }

    // The row to change in place; its block is copied first when a copy of the rows still holds it.
    BookmarkEntry &edit(qsizetype position)
    {
        m_stamps[position / blockSize] = nextStamp();
        return m_blocks[position / blockSize][position % blockSize];
    }

    // A stamp for each block of blockSize rows (the last may hold fewer). A block's stamp changes with
    // every change of its rows and is never that of another block, of these rows or any others: what
    // is made from the rows can tell by the stamps which blocks it has to make again.
    const QList<quint64> &blockStamps() const { return m_stamps; }

    void append(BookmarkEntry row);
    void append(const BookmarkList &rows);
    // Removes the rows at the given positions (any order, repeats and positions out of range ignored);
    // the others keep their order.
    void remove(QList<qsizetype> positions);

    // A flat copy of every row: costs a copy of each, so for tests and for work off the UI thread.
    BookmarkList toList() const;
    // Identity key (SongRecord::id()) -> the position of the first row with it. Makes every row's key:
    // off the UI thread for a large library. Stops early, unfinished, when progress is cancelled.
    QHash<QString, qsizetype> firstPositionsById(const BuildProgress *progress = nullptr) const;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = BookmarkEntry;
        using difference_type = qsizetype;
        using pointer = const BookmarkEntry *;
        using reference = const BookmarkEntry &;

        const_iterator() = default;
        const_iterator(const LibraryRows *rows, qsizetype position) : m_rows(rows), m_position(position) {}
        reference operator*() const { return m_rows->at(m_position); }
        pointer operator->() const { return &m_rows->at(m_position); }
        const_iterator &operator++()
        {
            ++m_position;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator was = *this;
            ++m_position;
            return was;
        }
        qsizetype position() const { return m_position; }
        friend bool operator==(const const_iterator &a, const const_iterator &b)
        {
            return a.m_position == b.m_position;
        }

    private:
        const LibraryRows *m_rows = nullptr;
        qsizetype m_position = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

    friend bool operator==(const LibraryRows &a, const LibraryRows &b);

private:
    static quint64 nextStamp();

    QList<BookmarkList> m_blocks;
    QList<quint64> m_stamps; // one a block
    qsizetype m_size = 0;
};
