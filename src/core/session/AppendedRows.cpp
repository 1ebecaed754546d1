#include "core/session/AppendedRows.h"

#include "core/titles/TitleKeyIndex.h"

AppendedRows AppendedRows::of(quint64 version, LibraryRows library,
                              std::shared_ptr<const TitleKeyIndex> titleKeys,
                              std::optional<QHash<QString, qsizetype>> positions, const BookmarkList &rows)
{
    AppendedRows appended;
    appended.version = version;
    appended.count = rows.size();
    const qsizetype from = library.size();
    if (!titleKeys)
        titleKeys = std::make_shared<const TitleKeyIndex>(library);
    library.append(rows);
    appended.titleKeys = std::make_shared<const TitleKeyIndex>(titleKeys->appended(library, from));
    appended.change = RowChange::appended(library, *appended.titleKeys, from);
    for (qsizetype position = from; position < library.size(); ++position) {
        const QString &key = appended.change.identities.at(position - from).key;
        if (positions && !positions->contains(key))
            positions->insert(key, position);
        appended.identityKeys.insert(key);
        appended.changedTitleKeys.insert(appended.titleKeys->keyOfRow(position));
    }
    appended.changedTitleKeys.remove(QString());
    appended.rows = std::move(library);
    appended.positions = std::move(positions);
    return appended;
}
