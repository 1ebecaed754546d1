#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/common/BuildProgress.h"

#include <QHash>
#include <QStringList>

#include <optional>
#include <span>
#include <vector>

// The library's rows grouped by normalised title key (TitleMetadataIndex::normalizedTitleKey): the rows
// that share a title, and the titles in the order in which the library first names them. Rows whose
// key is empty belong to no title.
//
// Normalising 100,000 titles takes 50 to 80 ms, so LibrarySession keeps one index per library version
// and hands it out shared (LibrarySession::titleKeyIndex()); each change derives the next version's
// index from the last without normalising a title it has seen. Immutable once made: share it freely
// between threads.
class TitleKeyIndex {
public:
    static constexpr qsizetype noTitle = -1;

    TitleKeyIndex() = default;
    // Normalises every distinct title of rows once. Stops early, unfinished, when progress is
    // cancelled: the index is then of no use.
    explicit TitleKeyIndex(const LibraryRows &rows, const BuildProgress *progress = nullptr);

    qsizetype rowCount() const { return qsizetype(m_keyOfRow.size()); }

    qsizetype titleCount() const { return qsizetype(m_titleKey.size()); }
    const QString &key(qsizetype title) const { return m_keyNames.at(m_titleKey[title]); }
    // The positions of the title's rows, ascending.
    std::span<const qsizetype> rows(qsizetype title) const;

    // Empty for a row without a key.
    QString keyOfRow(qsizetype position) const;
    // The title of the row, or noTitle for a row without a key.
    qsizetype titleOfRow(qsizetype position) const
    {
        const int key = m_keyOfRow[size_t(position)];
        return key < 0 ? noTitle : m_titleOfKey[size_t(key)];
    }
    // The title with that key, or noTitle (always for the empty key).
    qsizetype titleOf(const QString &key) const;
    // The positions of the rows with that key, ascending; none for an unknown or empty key.
    std::span<const qsizetype> rowsWithKey(const QString &key) const;

    // The index after rows at positions changed their titles; rows holds the library after the change.
    TitleKeyIndex retitled(const QList<qsizetype> &positions, const LibraryRows &rows) const;
    // The index after the rows at positions (ascending, each once) were removed.
    TitleKeyIndex withoutRows(const QList<qsizetype> &positions) const;
    // The index after the rows of rows from position from on were appended.
    TitleKeyIndex appended(const LibraryRows &rows, qsizetype from) const;

private:
    int keyId(const QString &title, QHash<QString, int> &seenTitles);
    // Groups the rows by key again, titles in the order of their first rows.
    void group();

    // Every key seen so far; a key no row has any more may stay.
    QStringList m_keyNames;
    QHash<QString, int> m_keyIds;
    std::vector<int> m_keyOfRow; // -1: empty key

    std::vector<int> m_titleKey;         // title -> key id
    std::vector<qsizetype> m_titleOfKey; // key id -> title or noTitle
    std::vector<qsizetype> m_start;      // title t's rows are m_rows[m_start[t] .. m_start[t + 1])
    std::vector<qsizetype> m_rows;
};
