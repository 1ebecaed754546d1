#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/slotfiles/RowChange.h"

#include <QHash>
#include <QSet>

#include <memory>
#include <optional>

class TitleKeyIndex;

// Rows appended to the library of version, with what the library would otherwise work out when it
// takes them: made by of() anywhere (a worker for many rows), taken by
// LibrarySession::adoptAppendedRows().
struct AppendedRows {
    quint64 version = 0;
    LibraryRows rows;
    std::shared_ptr<const TitleKeyIndex> titleKeys;
    std::optional<QHash<QString, qsizetype>> positions;
    QSet<QString> changedTitleKeys;
    QSet<QString> identityKeys;
    // What the slot's file lacks until it is saved: the rows appended, by identity.
    RowChange change;
    qsizetype count = 0;

    // The library's rows (with their title index and, when made, key positions) and rows after them.
    static AppendedRows of(quint64 version, LibraryRows library,
                           std::shared_ptr<const TitleKeyIndex> titleKeys,
                           std::optional<QHash<QString, qsizetype>> positions, const BookmarkList &rows);
};
