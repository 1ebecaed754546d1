#include "core/playlist/PlaylistLibrary.h"

#include "core/common/Hop.h"
#include "core/common/UiText.h"
#include "core/playlist/PlaylistStore.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QThreadPool>
#include <QVarLengthArray>

#include <algorithm>

namespace {

// Where the names of a list stand, for a merge: the first position of each spelling and of each name
// key, and for each name key of an imported name the next counter of "(imported n)" worth trying.
class NameIndex {
public:
    explicit NameIndex(const QList<Playlist> &list)
    {
        m_byName.reserve(list.size());
        m_byKey.reserve(list.size());
        for (qsizetype i = 0; i < list.size(); ++i)
            add(list.at(i).name, i);
    }

    // As PlaylistLibrary::indexOf().
    qsizetype find(const QString &name, const QString &key) const
    {
        const auto exact = m_byName.constFind(name);
        return exact != m_byName.cend() ? *exact : m_byKey.value(key, -1);
    }

    void add(const QString &name, qsizetype position)
    {
        keepFirst(m_byName, name, position);
        keepFirst(m_byKey, playlistNameKey(name), position);
    }

    // The playlist at position, once called oldName, is now called newName (a name of the same key).
    void rename(const QList<Playlist> &list, qsizetype position, const QString &oldName,
                const QString &newName)
    {
        if (oldName == newName)
            return;
        if (m_byName.value(oldName) == position) {
            m_byName.remove(oldName);
            for (qsizetype i = position + 1; i < list.size(); ++i) {
                if (list.at(i).name == oldName) {
                    m_byName.insert(oldName, i);
                    break;
                }
            }
        }
        keepFirst(m_byName, newName, position);
    }

    // The first of "<name> (imported)", "<name> (imported 2)", ... whose key no name has. Names are
    // only added during a merge, so counters found taken stay taken, and the search for the next name
    // of the same key goes on where this one ended.
    QString freeImportedName(const QString &name, const QString &key)
    {
        qsizetype &counter = m_nextCounter[key];
        for (counter = qMax<qsizetype>(counter, 1);; ++counter) {
            QString candidate = counter == 1 ? name + QStringLiteral(" (imported)")
                                             : name + QStringLiteral(" (imported ") +
                                                   QString::number(counter) + QLatin1Char(')');
            if (!m_byKey.contains(playlistNameKey(candidate))) {
                ++counter;
                return candidate;
            }
        }
    }

private:
    static void keepFirst(QHash<QString, qsizetype> &hash, const QString &key, qsizetype position)
    {
        if (!hash.contains(key))
            hash.insert(key, position);
    }

    QHash<QString, qsizetype> m_byName;
    QHash<QString, qsizetype> m_byKey;
    QHash<QString, qsizetype> m_nextCounter;
};

// Finds the items with one identity key. Keys join path, page and title, and making one normalises
// the texts, which is slow; the page, a whole "|"-separated part of the key, rules out nearly every
// other item of a playlist before its key is made.
class KeyMatcher {
public:
    explicit KeyMatcher(const QString &key) : m_key(key)
    {
        for (const QStringView part : QStringView(key).tokenize(u'|')) {
            if (const auto number = TextUtils::wholeNumber(part))
                m_pages.append(*number);
        }
    }

    bool matches(const PlaylistItem &item) const
    {
        return m_pages.contains(item.pageNumber) && item.id() == m_key;
    }

private:
    const QString &m_key;
    QVarLengthArray<qint64, 4> m_pages;
};

// The playlist at position when it still has exactly that name, else the first of that name.
qsizetype locate(const QList<Playlist> &list, qsizetype position, const QString &name)
{
    if (position >= 0 && position < list.size() && list.at(position).name == name)
        return position;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).name == name)
            return i;
    }
    return -1;
}

qsizetype indexIn(const QList<Playlist> &list, const QString &name)
{
    const QString key = playlistNameKey(name);
    qsizetype firstMatch = -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString &stored = list.at(i).name;
        if (stored == name)
            return i;
        if (firstMatch < 0 && playlistNameKey(stored) == key)
            firstMatch = i;
    }
    return firstMatch;
}

} // namespace

PlaylistLibrary::PlaylistLibrary(const QString &path, QObject *parent)
    : QObject(parent), m_path(path.isEmpty() ? PlaylistStore::playlistsPath() : path),
      m_guard(m_path, FileGuard::Owner{
                          [](const QByteArray &bytes, const StateFile::FileVersion &,
                             quint64 writtenUpTo) -> std::any {
                              if (Result<QList<Playlist>> decoded = PlaylistCodec::decodePlaylists(bytes))
                                  return std::pair(std::move(decoded).value(), writtenUpTo);
                              return {};
                          },
                          [this](std::any read, bool replacedOwnWrite) {
                              auto [list, writtenUpTo] =
                                  std::any_cast<std::pair<QList<Playlist>, quint64>>(std::move(read));
                              rebase(std::move(list), writtenUpTo, replacedOwnWrite);
                          },
                          [this] { save(); },
                          [this] {
                              if (!m_playlists.isEmpty())
                                  save();
                          },
                          {},
                      })
{
    qRegisterMetaType<PlaylistChange>();
    const StateFile::Loaded<QList<Playlist>> file =
        StateFile::loadVersioned<QList<Playlist>>(m_path, PlaylistCodec::decodePlaylists);
    if (file.value)
        m_playlists = *file.value;
    // A named pipe or a folder where the file belongs: moved aside at once (and told), as an undecodable
    // file is, so that the playlists can be written.
    if (file.notRegular)
        StateFile::setAside(m_path);
    m_guard.setReadVersion(file.version);
    connect(&m_guard, &FileGuard::written, this, &PlaylistLibrary::dropWritten);
    // The write that made the oldest version the guard keeps aside is kept too (see rebase()).
    connect(&m_guard, &FileGuard::changesDone, this, [this](quint64 upTo) {
        m_written.removeIf([upTo](const PendingEdit &edit) { return edit.writtenIn < upTo; });
    });
    connect(&m_guard, &FileGuard::saveFailed, this, &PlaylistLibrary::saveFailed);
    connect(&m_guard, &FileGuard::fileLookedAt, this, &PlaylistLibrary::fileLookedAtForTesting);
}

PlaylistLibrary::~PlaylistLibrary() = default;

QStringList PlaylistLibrary::names() const
{
    QStringList list;
    list.reserve(m_playlists.size());
    for (const Playlist &playlist : m_playlists)
        list.append(playlist.name);
    return list;
}

qsizetype PlaylistLibrary::indexOf(const QString &name) const
{
    return indexIn(m_playlists, name);
}

PlaylistItemRef PlaylistItemRef::at(const QList<PlaylistItem> &items, qsizetype index)
{
    if (index < 0 || index >= items.size())
        return {};
    PlaylistItemRef ref{items.at(index).id(), 0};
    const KeyMatcher matcher(ref.key);
    for (qsizetype i = 0; i < index; ++i) {
        if (matcher.matches(items.at(i)))
            ++ref.occurrence;
    }
    return ref;
}

qsizetype PlaylistItemRef::indexIn(const QList<PlaylistItem> &items) const
{
    if (key.isEmpty())
        return -1;
    const KeyMatcher matcher(key);
    qsizetype seen = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (matcher.matches(items.at(i)) && seen++ == occurrence)
            return i;
    }
    return -1;
}

PlaylistLibrary::Outcome PlaylistLibrary::createPlaylist(const QString &name)
{
    const QString trimmedName = TextUtils::trimmed(TextUtils::singleLine(name));
    if (trimmedName.isEmpty())
        return Outcome::blankName;
    if (indexOf(trimmedName) >= 0)
        return Outcome::nameTaken;
    m_playlists.append(Playlist{trimmedName, {}});
    commit(PlaylistChange::Kind::added, {m_playlists.size() - 1},
           [trimmedName](QList<Playlist> &list) {
               if (indexIn(list, trimmedName) < 0)
                   list.append(Playlist{trimmedName, {}});
           },
           true, {trimmedName});
    return Outcome::created;
}

PlaylistLibrary::Outcome PlaylistLibrary::addToPlaylist(const QString &playlistName,
                                                        const BookmarkEntry &entry)
{
    qsizetype index = indexOf(playlistName);
    const bool created = index < 0;
    if (created) {
        m_playlists.append(Playlist{TextUtils::singleLine(playlistName), {}});
        index = m_playlists.size() - 1;
    }
    const QString key = entry.id();
    const QList<PlaylistItem> &items = m_playlists.at(index).items;
    if (std::any_of(items.cbegin(), items.cend(),
                    [&](const PlaylistItem &item) { return item.id() == key; })) {
        // Written even so; after another program's change there is nothing to make again.
        record([](QList<Playlist> &) {});
        save();
        return Outcome::alreadyThere;
    }
    const PlaylistItem item = PlaylistItem::fromBookmark(entry);
    m_playlists[index].items.append(item);
    commit(
        created ? PlaylistChange::Kind::added : PlaylistChange::Kind::itemsChanged, {index},
        [playlistName, item, key](QList<Playlist> &list) {
            qsizetype at = indexIn(list, playlistName);
            if (at < 0) {
                list.append(Playlist{playlistName, {}});
                at = list.size() - 1;
            }
            QList<PlaylistItem> &items = list[at].items;
            if (std::none_of(items.cbegin(), items.cend(),
                             [&](const PlaylistItem &stored) { return stored.id() == key; }))
                items.append(item);
        },
        true, created ? QStringList{m_playlists.at(index).name} : QStringList());
    return Outcome::added;
}

PlaylistMerge PlaylistLibrary::merged(QList<Playlist> list, quint64 revision, QList<Playlist> imported,
                                      bool replaceOnNameConflict)
{
    PlaylistMerge merge{std::move(imported), replaceOnNameConflict, revision, {}, {}, {}, {}};
    NameIndex index(list);
    list.reserve(list.size() + merge.imported.size());
    merge.storedNames.reserve(merge.imported.size());
    for (const Playlist &incoming : std::as_const(merge.imported)) {
        const QString key = playlistNameKey(incoming.name);
        const qsizetype match = index.find(incoming.name, key);
        if (match >= 0 && replaceOnNameConflict) {
            const QString oldName = list.at(match).name;
            list[match] = incoming;
            index.rename(list, match, oldName, incoming.name);
            if (!merge.replaced.contains(match))
                merge.replaced.append(match);
            merge.storedNames.append(incoming.name);
            continue;
        }
        const QString name = match < 0 ? incoming.name : index.freeImportedName(incoming.name, key);
        list.append(Playlist{name, incoming.items});
        index.add(name, list.size() - 1);
        merge.added.append(list.size() - 1);
        merge.storedNames.append(name);
    }
    merge.playlists = std::move(list);
    return merge;
}

QStringList PlaylistLibrary::adoptMerge(PlaylistMerge merge)
{
    if (merge.revision != m_revision)
        merge = merged(m_playlists, m_revision, std::move(merge.imported), merge.replaceOnNameConflict);
    m_playlists = std::move(merge.playlists);
    ++m_revision;
    m_itemsByKeyValid = false;
    QList<Playlist> stored;
    for (qsizetype i = 0; i < merge.storedNames.size(); ++i)
        stored.append(Playlist{merge.storedNames.at(i), merge.imported.at(i).items});
    QStringList newNames;
    for (const qsizetype added : std::as_const(merge.added))
        newNames.append(m_playlists.at(added).name);
    record([imported = merge.imported, replace = merge.replaceOnNameConflict](
               QList<Playlist> &list) { list = merged(std::move(list), 0, imported, replace).playlists; },
           [stored](QList<Playlist> &list) {
               // Each under the name it was stored under, with the items imported.
               for (const Playlist &playlist : stored) {
                   const qsizetype at = locate(list, -1, playlist.name);
                   if (at < 0)
                       list.append(playlist);
                   else
                       list[at].items = playlist.items;
               }
           },
           newNames);
    save();
    if (!merge.replaced.isEmpty())
        Q_EMIT playlistsChanged({PlaylistChange::Kind::itemsChanged, merge.replaced});
    if (!merge.added.isEmpty())
        Q_EMIT playlistsChanged({PlaylistChange::Kind::added, merge.added});
    return merge.storedNames;
}

bool PlaylistLibrary::holds(qsizetype playlist, const QString &name) const
{
    return playlist >= 0 && playlist < m_playlists.size() && m_playlists.at(playlist).name == name;
}

PlaylistLibrary::Outcome PlaylistLibrary::deletePlaylist(qsizetype playlist, const QString &name)
{
    if (!holds(playlist, name))
        return Outcome::notFound;
    m_playlists.removeAt(playlist);
    commit(PlaylistChange::Kind::removed, {playlist}, [playlist, name](QList<Playlist> &list) {
        if (const qsizetype at = locate(list, playlist, name); at >= 0)
            list.removeAt(at);
    });
    return Outcome::done;
}

PlaylistLibrary::Outcome PlaylistLibrary::removeItemAt(qsizetype playlist, const QString &name,
                                                       const PlaylistItemRef &item)
{
    if (!holds(playlist, name))
        return Outcome::notFound;
    const qsizetype index = item.indexIn(m_playlists.at(playlist).items);
    if (index < 0)
        return Outcome::notFound;
    m_playlists[playlist].items.removeAt(index);
    commit(PlaylistChange::Kind::itemsChanged, {playlist}, [playlist, name, item](QList<Playlist> &list) {
        const qsizetype at = locate(list, playlist, name);
        if (const qsizetype i = at < 0 ? -1 : item.indexIn(list.at(at).items); i >= 0)
            list[at].items.removeAt(i);
    });
    return Outcome::done;
}

PlaylistLibrary::Outcome PlaylistLibrary::moveItem(qsizetype playlist, const QString &name,
                                                   const PlaylistItemRef &item, qsizetype to)
{
    if (!holds(playlist, name))
        return Outcome::notFound;
    const QList<PlaylistItem> &items = m_playlists.at(playlist).items;
    const qsizetype from = item.indexIn(items);
    if (from < 0)
        return Outcome::notFound;
    to = std::clamp<qsizetype>(to, 0, items.size() - 1);
    if (from == to)
        return Outcome::done;
    m_playlists[playlist].items.move(from, to);
    commit(PlaylistChange::Kind::itemsChanged, {playlist}, [playlist, name, item, to](QList<Playlist> &list) {
        const qsizetype at = locate(list, playlist, name);
        if (const qsizetype i = at < 0 ? -1 : item.indexIn(list.at(at).items); i >= 0)
            list[at].items.move(i, std::clamp<qsizetype>(to, 0, list.at(at).items.size() - 1));
    });
    return Outcome::done;
}

qsizetype PlaylistLibrary::removeItems(const QSet<QString> &keys)
{
    if (keys.isEmpty())
        return 0;
    qsizetype removed = 0;
    QList<qsizetype> changed;
    for (qsizetype p = 0; p < m_playlists.size(); ++p) {
        const QList<PlaylistItem> &items = m_playlists.at(p).items;
        if (std::none_of(items.cbegin(), items.cend(),
                         [&keys](const PlaylistItem &item) { return keys.contains(item.id()); }))
            continue;
        removed += m_playlists[p].items.removeIf(
            [&keys](const PlaylistItem &item) { return keys.contains(item.id()); });
        changed.append(p);
    }
    if (removed > 0)
        commit(PlaylistChange::Kind::itemsChanged, changed, [keys](QList<Playlist> &list) {
            for (Playlist &playlist : list)
                playlist.items.removeIf(
                    [&keys](const PlaylistItem &item) { return keys.contains(item.id()); });
        });
    return removed;
}

qsizetype PlaylistLibrary::replaceItems(const QString &oldKey, const BookmarkEntry &entry)
{
    const QList<ItemRef> refs = itemsByKey().values(oldKey);
    if (refs.isEmpty())
        return 0;
    const PlaylistItem replacement = PlaylistItem::fromBookmark(entry);
    QList<qsizetype> changed;
    for (const ItemRef &ref : refs) {
        m_playlists[ref.playlist].items[ref.item] = replacement;
        if (!changed.contains(ref.playlist))
            changed.append(ref.playlist);
    }
    std::sort(changed.begin(), changed.end());
    commit(PlaylistChange::Kind::itemsChanged, changed, [oldKey, replacement](QList<Playlist> &list) {
        for (Playlist &playlist : list) {
            for (PlaylistItem &item : playlist.items) {
                if (item.id() == oldKey)
                    item = replacement;
            }
        }
    });
    return refs.size();
}

qsizetype PlaylistLibrary::syncItems(const QSet<QString> &keys, const BookmarkLookup &lookup)
{
    if (keys.isEmpty())
        return 0;
    return commitSync(syncIndexed(m_playlists, itemsByKey(), &keys, lookup));
}

qsizetype PlaylistLibrary::syncAllItems(const BookmarkLookup &lookup)
{
    return commitSync(syncIndexed(m_playlists, itemsByKey(), nullptr, lookup));
}

PlaylistItemSync PlaylistLibrary::synced(QList<Playlist> list, quint64 revision, QSet<QString> keys,
                                         const BookmarkLookup &lookup)
{
    PlaylistItemSync sync;
    if (!keys.isEmpty())
        sync = syncIndexed(list, indexItems(list), &keys, lookup);
    sync.revision = revision;
    sync.keys = std::move(keys);
    sync.playlists = std::move(list);
    return sync;
}

qsizetype PlaylistLibrary::adoptSync(PlaylistItemSync sync, const BookmarkLookup &lookup)
{
    if (sync.revision != m_revision)
        return syncItems(sync.keys, lookup);
    if (sync.changedItems == 0)
        return 0;
    // The same playlists and items in the same places: the index of the keys stays as it is. The
    // items the sync replaced are let go of on a worker.
    QThreadPool::globalInstance()->start([old = std::exchange(m_playlists, std::move(sync.playlists))] {});
    return commitSync(sync);
}

PlaylistItemSync PlaylistLibrary::syncIndexed(QList<Playlist> &list, const ItemIndex &index,
                                              const QSet<QString> *keys, const BookmarkLookup &lookup)
{
    PlaylistItemSync sync;
    const auto syncItem = [&](const QString &key, const ItemRef ref) {
        const PlaylistItem &item = list.at(ref.playlist).items.at(ref.item);
        const BookmarkEntry *bookmark = lookup(item, key);
        if (!bookmark)
            return;
        PlaylistItem fresh = PlaylistItem::fromBookmark(*bookmark);
        if (fresh == item)
            return;
        // Same key, so the index stays as it is.
        sync.updated.insert(key, fresh);
        list[ref.playlist].items[ref.item] = std::move(fresh);
        ++sync.changedItems;
        if (!sync.changed.contains(ref.playlist))
            sync.changed.append(ref.playlist);
    };
    if (keys && keys->size() < index.size()) {
        // An edit of one title asks for a few keys among the thousands of items of every playlist: each
        // is looked up, where going through the items would hash every item's key on every edit.
        for (const QString &key : *keys) {
            for (auto [it, end] = index.equal_range(key); it != end; ++it)
                syncItem(key, it.value());
        }
    } else {
        for (auto it = index.cbegin(); it != index.cend(); ++it) {
            if (!keys || keys->contains(it.key()))
                syncItem(it.key(), it.value());
        }
    }
    std::sort(sync.changed.begin(), sync.changed.end());
    return sync;
}

qsizetype PlaylistLibrary::commitSync(const PlaylistItemSync &sync)
{
    if (sync.changedItems == 0)
        return 0;
    ++m_revision;
    record([updated = sync.updated](QList<Playlist> &list) {
        for (Playlist &playlist : list) {
            for (PlaylistItem &item : playlist.items) {
                if (const auto fresh = updated.constFind(item.id()); fresh != updated.cend())
                    item = *fresh;
            }
        }
    });
    save();
    Q_EMIT playlistsChanged({PlaylistChange::Kind::itemsChanged, sync.changed});
    return sync.changedItems;
}

void PlaylistLibrary::commit(PlaylistChange::Kind kind, QList<qsizetype> playlists, Replay replay,
                             bool additive, QStringList newNames)
{
    ++m_revision;
    m_itemsByKeyValid = false;
    Replay again = additive ? replay : Replay();
    record(std::move(replay), std::move(again), std::move(newNames));
    save();
    Q_EMIT playlistsChanged({kind, std::move(playlists)});
}

void PlaylistLibrary::record(Replay replay, Replay again, QStringList newNames)
{
    m_pending.append(
        PendingEdit{m_guard.noteChange(), std::move(replay), std::move(again), std::move(newNames)});
}

bool PlaylistLibrary::madeFromVersionBefore(const QList<Playlist> &list,
                                            const QList<PendingEdit> &since) const
{
    QSet<QString> made;
    for (const QList<PendingEdit> *edits : {&since, &m_pending}) {
        for (const PendingEdit &edit : *edits)
            made.unite(QSet<QString>(edit.newNames.cbegin(), edit.newNames.cend()));
    }
    QSet<QString> there;
    for (const Playlist &playlist : list)
        there.insert(playlist.name);
    return std::all_of(m_playlists.cbegin(), m_playlists.cend(), [&](const Playlist &playlist) {
        return made.contains(playlist.name) || there.contains(playlist.name);
    });
}

void PlaylistLibrary::dropWritten(quint64 upTo)
{
    if (m_pending.isEmpty() || m_pending.constFirst().sequence > upTo)
        return;
    m_lastWritten.clear();
    while (!m_pending.isEmpty() && m_pending.constFirst().sequence <= upTo) {
        if (m_pending.constFirst().again)
            m_lastWritten.append(m_pending.constFirst());
        m_written.append(m_pending.takeFirst());
        m_written.last().writtenIn = upTo;
    }
}

void PlaylistLibrary::save()
{
    m_guard.save([snapshot = m_playlists] { return PlaylistCodec::encodePlaylists(snapshot); });
}

void PlaylistLibrary::setOutsideChangeDelaysForTesting(std::chrono::milliseconds read,
                                                       std::chrono::milliseconds stable)
{
    m_guard.setDelays(read, stable);
}

void PlaylistLibrary::rebase(QList<Playlist> list, quint64 writtenUpTo, bool replacedOwnWrite)
{
    // Nothing written since the version list replaced, unless another program wrote list into the
    // version a save had just swapped out (the guard keeps it a while): what was written since is made
    // again on it, and the write that made the version swapped out counts as the last write below.
    QList<PendingEdit> lastWrite = std::exchange(m_lastWritten, {});
    QList<PendingEdit> since;
    if (!m_written.isEmpty() && m_written.constLast().sequence > writtenUpTo) {
        lastWrite.clear();
        for (const PendingEdit &edit : std::as_const(m_written)) {
            if (edit.sequence > writtenUpTo)
                since.append(edit);
            else if (edit.writtenIn == writtenUpTo && edit.again)
                lastWrite.append(edit);
        }
    }
    // Made from the version before the last write by a program that compared and renamed (or opened the
    // file) just as that write landed (it holds all that was there before): what the write added comes
    // back, and waits to be written like a change made now, made again on any version that comes before
    // it lands. A version that lacks more than that replaced the list on purpose.
    if (replacedOwnWrite && !lastWrite.isEmpty() && madeFromVersionBefore(list, lastWrite + since)) {
        for (PendingEdit &edit : lastWrite) {
            edit.again(list);
            // Made again as it was made now: only what a version lacks of it is added.
            edit.replay = edit.again;
            edit.sequence = m_guard.noteChange();
            m_pending.append(std::move(edit));
        }
    }
    for (const PendingEdit &edit : std::as_const(since))
        edit.replay(list);
    for (const PendingEdit &edit : std::as_const(m_pending))
        edit.replay(list);
    m_playlists = std::move(list);
    ++m_revision;
    m_itemsByKeyValid = false;
    Q_EMIT playlistsChanged({PlaylistChange::Kind::reloaded, {}});
}

PlaylistLibrary::ItemIndex PlaylistLibrary::indexItems(const QList<Playlist> &list)
{
    ItemIndex index;
    for (qsizetype p = 0; p < list.size(); ++p) {
        const QList<PlaylistItem> &items = list.at(p).items;
        for (qsizetype i = 0; i < items.size(); ++i)
            index.insert(items.at(i).id(), ItemRef{p, i});
    }
    return index;
}

const PlaylistLibrary::ItemIndex &PlaylistLibrary::itemsByKey() const
{
    if (!m_itemsByKeyValid) {
        m_itemsByKey = indexItems(m_playlists);
        m_itemsByKeyValid = true;
    }
    return m_itemsByKey;
}
