#include "core/playlist/PlaylistStore.h"

#include "core/common/AppPaths.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QHash>

namespace {

qsizetype indexOfPlaylist(const QList<Playlist> &playlists, const QString &name)
{
    const QString key = playlistNameKey(name);
    for (qsizetype i = 0; i < playlists.size(); ++i) {
        if (playlistNameKey(playlists[i].name) == key)
            return i;
    }
    return -1;
}

QString freeImportedName(const QList<Playlist> &playlists, const QString &name)
{
    QString candidate = name + QStringLiteral(" (imported)");
    for (int counter = 2; indexOfPlaylist(playlists, candidate) >= 0; ++counter)
        candidate = name + QStringLiteral(" (imported ") + QString::number(counter) + QLatin1Char(')');
    return candidate;
}

} // namespace

namespace PlaylistStore {

QString playlistsPath()
{
    return AppPaths::playlistsPath();
}

QList<Playlist> loadPlaylists()
{
    return StateFile::load<QList<Playlist>>(playlistsPath(), PlaylistCodec::decodePlaylists)
        .value_or(QList<Playlist>());
}

bool savePlaylists(const QList<Playlist> &playlists)
{
    const auto bytes = PlaylistCodec::encodePlaylists(playlists);
    return bytes && StateFile::write(playlistsPath(), *bytes);
}

bool mergeImportedPlaylists(const QList<Playlist> &imported, bool replaceOnNameConflict)
{
    QList<Playlist> playlists = loadPlaylists();
    for (const Playlist &incoming : imported) {
        const qsizetype match = indexOfPlaylist(playlists, incoming.name);
        if (match < 0) {
            playlists.append(incoming);
        } else if (replaceOnNameConflict) {
            playlists[match] = incoming;
        } else {
            // The free-name test ignores case too, so that no two stored names differ only in case.
            playlists.append(Playlist{freeImportedName(playlists, incoming.name), incoming.items});
        }
    }
    return savePlaylists(playlists);
}

bool addToPlaylist(const QString &playlistName, const BookmarkEntry &entry)
{
    QList<Playlist> playlists = loadPlaylists();
    qsizetype index = indexOfPlaylist(playlists, playlistName);
    if (index < 0) {
        playlists.append(Playlist{playlistName, {}});
        index = playlists.size() - 1;
    }
    PlaylistItem item = PlaylistItem::fromBookmark(entry);
    QList<PlaylistItem> &items = playlists[index].items;
    const QString key = item.id();
    const bool present =
        std::any_of(items.cbegin(), items.cend(), [&](const PlaylistItem &i) { return i.id() == key; });
    if (!present)
        items.append(std::move(item));
    return savePlaylists(playlists);
}

bool removeItems(const QSet<QString> &keys)
{
    if (keys.isEmpty())
        return true;
    QList<Playlist> playlists = loadPlaylists();
    bool removed = false;
    for (Playlist &playlist : playlists) {
        removed |=
            playlist.items.removeIf([&](const PlaylistItem &item) { return keys.contains(item.id()); }) > 0;
    }
    return !removed || savePlaylists(playlists);
}

bool replaceItems(const QString &oldKey, const BookmarkEntry &entry)
{
    QList<Playlist> playlists = loadPlaylists();
    bool replaced = false;
    const PlaylistItem replacement = PlaylistItem::fromBookmark(entry);
    for (Playlist &playlist : playlists) {
        for (PlaylistItem &item : playlist.items) {
            if (item.id() == oldKey) {
                item = replacement;
                replaced = true;
            }
        }
    }
    return !replaced || savePlaylists(playlists);
}

bool syncMetadataFromBookmarks(const BookmarkList &bookmarks)
{
    QList<Playlist> playlists = loadPlaylists();
    if (playlists.isEmpty())
        return true;
    QHash<QString, qsizetype> index;
    index.reserve(bookmarks.size());
    // Of several bookmarks with one key the first wins: fill from the back.
    for (qsizetype i = bookmarks.size() - 1; i >= 0; --i)
        index.insert(bookmarks[i].id(), i);
    bool changed = false;
    for (Playlist &playlist : playlists) {
        for (PlaylistItem &item : playlist.items) {
            const auto found = index.constFind(item.id());
            if (found == index.constEnd())
                continue;
            PlaylistItem fresh = PlaylistItem::fromBookmark(bookmarks[*found]);
            if (!(fresh == item)) {
                item = std::move(fresh);
                changed = true;
            }
        }
    }
    return !changed || savePlaylists(playlists);
}

bool removeItem(const QString &playlistName, const QString &itemKey)
{
    QList<Playlist> playlists = loadPlaylists();
    const qsizetype index = indexOfPlaylist(playlists, playlistName);
    if (index < 0)
        return true;
    playlists[index].items.removeIf([&](const PlaylistItem &item) { return item.id() == itemKey; });
    return savePlaylists(playlists);
}

bool reorderItems(const QString &playlistName, const QList<PlaylistItem> &newOrder)
{
    QList<Playlist> playlists = loadPlaylists();
    const qsizetype index = indexOfPlaylist(playlists, playlistName);
    if (index < 0)
        return true;
    playlists[index].items = newOrder;
    return savePlaylists(playlists);
}

CreateResult createPlaylist(const QString &name)
{
    const QString trimmedName = TextUtils::trimmed(name);
    if (trimmedName.isEmpty())
        return CreateResult::BlankName;
    QList<Playlist> playlists = loadPlaylists();
    if (indexOfPlaylist(playlists, trimmedName) >= 0)
        return CreateResult::NameTaken;
    playlists.append(Playlist{trimmedName, {}});
    return savePlaylists(playlists) ? CreateResult::Created : CreateResult::WriteFailed;
}

} // namespace PlaylistStore
