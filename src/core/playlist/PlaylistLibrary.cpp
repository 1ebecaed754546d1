#include "core/playlist/PlaylistLibrary.h"

#include "core/common/Hop.h"
#include "core/playlist/PlaylistStore.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QVarLengthArray>

#include <algorithm>

#include <sys/stat.h>

namespace {

// Which file stands at path: device, inode, size and modification time. Every save of ours puts a new
// file in place, so a stamp that is not the one of our last save or read belongs to someone else.
QByteArray fileStamp(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QByteArrayLiteral("missing");
    return QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino)) + ':' +
           QByteArray::number(qint64(info.st_size)) + ':' + QByteArray::number(qint64(info.st_mtim.tv_sec)) +
           '.' + QByteArray::number(qint64(info.st_mtim.tv_nsec));
}

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

// Another program's change is looked at once it has settled.
constexpr int outsideChangeDelayMs = 250;

} // namespace

PlaylistLibrary::PlaylistLibrary(const QString &path, QObject *parent)
    : QObject(parent), m_path(path.isEmpty() ? PlaylistStore::playlistsPath() : path)
{
    qRegisterMetaType<PlaylistChange>();
    m_playlists = PlaylistStore::loadPlaylists(m_path);
    m_knownStamp = fileStamp(m_path);
    m_outsideChangeTimer.setSingleShot(true);
    m_outsideChangeTimer.setInterval(outsideChangeDelayMs);
    connect(&m_outsideChangeTimer, &QTimer::timeout, this, &PlaylistLibrary::checkForOutsideChange);
    watchFile();
}

PlaylistLibrary::~PlaylistLibrary()
{
    StateFile::waitForPendingWrites(m_path);
}

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
    const QString key = playlistNameKey(name);
    qsizetype firstMatch = -1;
    for (qsizetype i = 0; i < m_playlists.size(); ++i) {
        const QString &stored = m_playlists.at(i).name;
        if (stored == name)
            return i;
        if (firstMatch < 0 && playlistNameKey(stored) == key)
            firstMatch = i;
    }
    return firstMatch;
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
    commit(PlaylistChange::Kind::added, {m_playlists.size() - 1});
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
        save();
        return Outcome::alreadyThere;
    }
    m_playlists[index].items.append(PlaylistItem::fromBookmark(entry));
    commit(created ? PlaylistChange::Kind::added : PlaylistChange::Kind::itemsChanged, {index});
    return Outcome::added;
}

QStringList PlaylistLibrary::mergeImportedPlaylists(const QList<Playlist> &imported,
                                                    bool replaceOnNameConflict)
{
    return adoptMerge(merged(m_playlists, m_revision, imported, replaceOnNameConflict));
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
    commit(PlaylistChange::Kind::removed, {playlist});
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
    commit(PlaylistChange::Kind::itemsChanged, {playlist});
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
    commit(PlaylistChange::Kind::itemsChanged, {playlist});
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
        commit(PlaylistChange::Kind::itemsChanged, changed);
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
    commit(PlaylistChange::Kind::itemsChanged, changed);
    return refs.size();
}

qsizetype PlaylistLibrary::syncItems(const QSet<QString> &keys, const BookmarkLookup &lookup)
{
    if (keys.isEmpty())
        return 0;
    return syncWhere([&keys](const QString &key) { return keys.contains(key); }, lookup);
}

qsizetype PlaylistLibrary::syncAllItems(const BookmarkLookup &lookup)
{
    return syncWhere([](const QString &) { return true; }, lookup);
}

qsizetype PlaylistLibrary::syncWhere(const std::function<bool(const QString &key)> &wanted,
                                     const BookmarkLookup &lookup)
{
    const QMultiHash<QString, ItemRef> &index = itemsByKey();
    qsizetype changedItems = 0;
    QList<qsizetype> changed;
    for (auto it = index.cbegin(); it != index.cend(); ++it) {
        if (!wanted(it.key()))
            continue;
        const ItemRef ref = it.value();
        const PlaylistItem &item = m_playlists.at(ref.playlist).items.at(ref.item);
        const BookmarkEntry *bookmark = lookup(item, it.key());
        if (!bookmark)
            continue;
        PlaylistItem fresh = PlaylistItem::fromBookmark(*bookmark);
        if (fresh == item)
            continue;
        // Same key, so the index stays as it is.
        m_playlists[ref.playlist].items[ref.item] = std::move(fresh);
        ++m_revision;
        ++changedItems;
        if (!changed.contains(ref.playlist))
            changed.append(ref.playlist);
    }
    if (changedItems > 0) {
        std::sort(changed.begin(), changed.end());
        save();
        Q_EMIT playlistsChanged({PlaylistChange::Kind::itemsChanged, changed});
    }
    return changedItems;
}

void PlaylistLibrary::commit(PlaylistChange::Kind kind, QList<qsizetype> playlists)
{
    ++m_revision;
    m_itemsByKeyValid = false;
    save();
    Q_EMIT playlistsChanged({kind, std::move(playlists)});
}

void PlaylistLibrary::save()
{
    const quint64 request = ++m_savesRequested;
    const QList<Playlist> snapshot = m_playlists;
    const Hop::Receiver back(this);
    StateFile::writeInBackground(
        m_path, [snapshot] { return PlaylistCodec::encodePlaylists(snapshot); },
        [this, back, request](const QString &path, bool written, const QString &error) {
            // Taken here, right after the write, before any later one can replace the file.
            const QByteArray stamp = fileStamp(path);
            back.post([this, request, stamp, path, written, error] {
                m_savesWritten = request;
                m_knownStamp = stamp;
                if (!written)
                    Q_EMIT saveFailed(path, error);
            });
        });
}

const QMultiHash<QString, PlaylistLibrary::ItemRef> &PlaylistLibrary::itemsByKey() const
{
    if (!m_itemsByKeyValid) {
        m_itemsByKey.clear();
        for (qsizetype p = 0; p < m_playlists.size(); ++p) {
            const QList<PlaylistItem> &items = m_playlists.at(p).items;
            for (qsizetype i = 0; i < items.size(); ++i)
                m_itemsByKey.insert(items.at(i).id(), ItemRef{p, i});
        }
        m_itemsByKeyValid = true;
    }
    return m_itemsByKey;
}

void PlaylistLibrary::watchFile()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    m_watcher.addPath(folder);
    if (QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
    // A file replaced by a rename (as every atomic save does) leaves the watch behind: the folder's
    // watch sees it and the file is watched again.
    const auto noticed = [this] {
        if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
            m_watcher.addPath(m_path);
        m_outsideChangeTimer.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, noticed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, noticed);
}

void PlaylistLibrary::checkForOutsideChange()
{
    if (m_savesWritten != m_savesRequested) {
        // One of ours is still on its way; its stamp will tell.
        m_outsideChangeTimer.start();
        return;
    }
    if (fileStamp(m_path) != m_knownStamp)
        reload();
}

void PlaylistLibrary::reload()
{
    m_playlists = PlaylistStore::loadPlaylists(m_path);
    ++m_revision;
    m_knownStamp = fileStamp(m_path);
    m_itemsByKeyValid = false;
    Q_EMIT playlistsChanged({PlaylistChange::Kind::reloaded, {}});
}
