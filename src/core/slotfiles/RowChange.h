#pragma once

#include "core/bookmarks/LibraryRows.h"

#include <QHash>
#include <QList>

#include <optional>

class TitleKeyIndex;

// Which row of a list a row is: its identity key (SongRecord::id()) and which of the rows with that key
// it is, counted in list order from 0 (as a PlaylistItemRef finds an item). Another version of the
// list finds the same song by it, wherever the song stands there.
struct RowIdentity {
    QString key;
    qsizetype occurrence = 0;

    // The identities of the rows at positions of rows, in the order of positions; titles is rows' title
    // index. Only the rows that share a title with one of them are looked at (for a row without a
    // title key, the rows on its page), so that a change of one song costs the rows of its title.
    static QList<RowIdentity> of(const LibraryRows &rows, const TitleKeyIndex &titles,
                                 const QList<qsizetype> &positions);
};

// A change of a slot's rows that its file does not hold yet, kept so that it can be made again on
// another program's version of the file. It holds what changed, the rows it touched by identity, never
// the lists it was made on: a change of one row costs one row whatever the size of the library, and
// leaves the library's blocks to the library alone (a block a change held would be copied by the next
// edit of any of its rows).
struct RowChange {
    enum class Kind {
        fields,   // rows changed in place: identities in the list before; each row as it became, and
                  // the fields the change made differ (changedFields())
        appended, // the rows appended; identities in the list after
        removed,  // the rows of identities went
        replaced, // the whole list became replacement
    };
    Kind kind = Kind::fields;
    QList<RowIdentity> identities;
    BookmarkList rows;
    QList<quint16> fields; // fields: a bit for each field that differs, in SongRecord's order
    LibraryRows replacement;

    // The rows at positions (each once) of before, changed in place into those of after; titles is
    // before's title index.
    static RowChange changed(const LibraryRows &before, const LibraryRows &after, const TitleKeyIndex &titles,
                             const QList<qsizetype> &positions);
    // The same in two steps, for a change made in place: who the rows at positions are and what they
    // hold before it, then (noteAfter()) what they became.
    static RowChange before(const LibraryRows &rows, const TitleKeyIndex &titles,
                            const QList<qsizetype> &positions);
    void noteAfter(const LibraryRows &rows, const QList<qsizetype> &positions);
    // The rows of rows from position from on, appended; titles is rows' title index.
    static RowChange appended(const LibraryRows &rows, const TitleKeyIndex &titles, qsizetype from);
    static RowChange removed(QList<RowIdentity> identities);
    static RowChange replacedBy(LibraryRows rows);

    // The bits of the fields in which a and b differ.
    static quint16 changedFields(const BookmarkEntry &a, const BookmarkEntry &b);
};

// Makes changes on a list one after another, finding their rows there by identity. The list is indexed
// once for all of them (and again after a removal), not once a change: a merge may have thousands of
// single-row changes to make.
class RowReplay {
public:
    explicit RowReplay(BookmarkList &rows) : m_rows(rows) {}

    // A changed field reaches the row whatever else differs there; a changed row that the list lacks is
    // added as changed, and a replacement replaces. Returns false when the change took something of the
    // list's own away that way: a row it no longer had, or rows other than those the replacement was
    // made on.
    bool make(const RowChange &change);

private:
    // Identity key -> the positions of the rows with it, ascending.
    using KeyIndex = QHash<QString, QList<qsizetype>>;

    KeyIndex &index();
    qsizetype find(const RowIdentity &identity);
    bool makeFields(const RowChange &change);
    void makeAppended(const RowChange &change);
    void makeRemoved(const RowChange &change);
    void moveInIndex(qsizetype position, const QString &from, const QString &to);

    BookmarkList &m_rows;
    std::optional<KeyIndex> m_index;
};
