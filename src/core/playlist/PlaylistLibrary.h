#pragma once

#include "core/playlist/Playlist.h"
#include "core/storage/FileGuard.h"

#include <QHash>
#include <QMultiHash>
#include <QObject>
#include <QSet>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// What changed in the playlists, for the windows that show them. Positions are those after the change
// (removed: the position the playlist had).
struct PlaylistChange {
    enum class Kind {
        reloaded,     // the whole list is new: read again after another program changed the file
        added,        // playlists appended at the positions
        removed,      // the playlist at the position is gone; those after it moved up
        itemsChanged, // the titles of the playlists at the positions changed (added, removed, moved,
                      // updated) or the playlist took a new name in a merge
    };
    Kind kind = Kind::reloaded;
    QList<qsizetype> playlists;
};
Q_DECLARE_METATYPE(PlaylistChange)

// Imported playlists merged into a copy of the list (PlaylistLibrary::merged()), made on any thread
// and taken over by the library with adoptMerge().
struct PlaylistMerge {
    QList<Playlist> imported;
    bool replaceOnNameConflict = false;
    // The library's revision the merge was made on; the list is the one after the merge.
    quint64 revision = 0;
    QList<Playlist> playlists;
    QStringList storedNames;
    QList<qsizetype> added;
    QList<qsizetype> replaced;
};

// Playlist items brought in line with the library on a copy of the list (PlaylistLibrary::synced()),
// made on any thread and taken over by the library with adoptSync().
struct PlaylistItemSync {
    // The library's revision the sync was made on, and the keys it was asked for.
    quint64 revision = 0;
    QSet<QString> keys;
    // The list after the sync; the items that changed, by key; the positions of their playlists.
    QList<Playlist> playlists;
    QHash<QString, PlaylistItem> updated;
    QList<qsizetype> changed;
    qsizetype changedItems = 0;
};

// A title as a window shows it: its identity key and which of the items with that key it is, counted
// from 0 in list order (a playlist from a file may hold a title twice). Unlike a row number, it still
// finds the same item after titles were added, removed or moved elsewhere.
struct PlaylistItemRef {
    QString key;
    qsizetype occurrence = 0;

    // The item at index; an empty key when index is out of range.
    static PlaylistItemRef at(const QList<PlaylistItem> &items, qsizetype index);
    // Where the item stands in items now; -1 when it is gone.
    qsizetype indexIn(const QList<PlaylistItem> &items) const;

    friend bool operator==(const PlaylistItemRef &, const PlaylistItemRef &) = default;
};

// The user's playlists, read once from "playlists.json" and held in memory; one instance for the
// application (AppContext). Main thread only.
//
// Every operation changes the list at once and returns its outcome; what it changed is told through
// playlistsChanged(), and the file is written in the background (a snapshot, encoded and written on a
// worker, atomically; quick successive changes write it once or twice). A write that fails later
// arrives as saveFailed(). Playlist names match without regard to case (playlistNameKey); the first
// playlist in list order that matches is the one an operation works on. Items are matched by their
// identity key (SongRecord::id()).
//
// The file is kept through a FileGuard: a write never replaces a version of the file this object has
// not read. When another program or another Lyrafold changed it, the file is read, the changes not yet
// written are made again on top of it (playlistsChanged(reloaded)), and that is written. A file that
// does not decode, or a missing one, leaves the playlists in memory as they are (never emptied because
// of such a file); they are written back once it has stayed so for the guard's stable delay.
//
// A window that shows one playlist addresses it by position and name together (see "By position"):
// files written by older versions may hold names that differ only in case, and a change made
// elsewhere may have moved the playlist, so the position alone or the name alone could reach another.
class PlaylistLibrary : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        done,         // stored
        added,        // addToPlaylist: the title was appended
        alreadyThere, // addToPlaylist: the playlist held the title already; nothing changed
        created,      // createPlaylist
        blankName,    // createPlaylist: nothing left after trimming
        nameTaken,    // createPlaylist: a playlist of that name (ignoring case) exists
        notFound,     // no playlist of that name, or a position out of range; nothing changed
    };
    Q_ENUM(Outcome)

    // The first bookmark of the library with the given identity key, or null; the item it is asked for
    // comes along (its title is what the library indexes by).
    using BookmarkLookup = std::function<const BookmarkEntry *(const PlaylistItem &item, const QString &key)>;

    // Reads the file at path (the playlists file of the user's data folder when empty).
    explicit PlaylistLibrary(const QString &path = QString(), QObject *parent = nullptr);
    // Waits for this file's writes still under way.
    ~PlaylistLibrary() override;

    const QList<Playlist> &playlists() const { return m_playlists; }
    qsizetype count() const { return m_playlists.size(); }
    QStringList names() const;
    // The position of the playlist spelled exactly so, else of the first whose name matches ignoring
    // case; -1 when none does.
    qsizetype indexOf(const QString &name) const;

    // ---- By name

    // An empty playlist with the name trimmed of white space at both ends.
    Outcome createPlaylist(const QString &name);
    // Appends the bookmark to the playlist of that name, which is created (name as given, untrimmed)
    // when there is none, unless the playlist holds an item with its identity key. Writes in both cases.
    Outcome addToPlaylist(const QString &playlistName, const BookmarkEntry &entry);
    // Adds playlists read from a playlist file to list, a copy of playlists() taken at revision(): safe
    // on any thread, and linear in the names and titles. A name that matches a stored one replaces that
    // playlist in place (its name as imported) when replaceOnNameConflict is set, or is stored as
    // "<name> (imported)", "<name> (imported 2)", ... (free names tested ignoring case, so that no two
    // names differ only in case). adoptMerge() stores its result, or merges again when the list has
    // changed since, and always writes. Returns the names the playlists were stored under, in order.
    static PlaylistMerge merged(QList<Playlist> list, quint64 revision, QList<Playlist> imported,
                                bool replaceOnNameConflict);
    QStringList adoptMerge(PlaylistMerge merge);
    // Counts the changes of the list.
    quint64 revision() const { return m_revision; }

    // ---- By position, for the window that lists them
    //
    // Each acts on the playlist at the position only while its name is still exactly name, and on the
    // item as the playlist holds it now; otherwise it changes nothing and answers notFound.

    Outcome deletePlaylist(qsizetype playlist, const QString &name);
    // Removes that one item, not the others with its key.
    Outcome removeItemAt(qsizetype playlist, const QString &name, const PlaylistItemRef &item);
    // Moves the item so that it ends up at position to (kept within the playlist).
    Outcome moveItem(qsizetype playlist, const QString &name, const PlaylistItemRef &item, qsizetype to);

    // ---- Following the library (LibrarySession calls these; windows do not)

    // Removes every item with one of the keys from every playlist; returns how many went. Writes only
    // when one did.
    qsizetype removeItems(const QSet<QString> &keys);
    // Replaces every item with the key, where it stands, by an item made from entry; returns how many.
    qsizetype replaceItems(const QString &oldKey, const BookmarkEntry &entry);
    // Every item whose key is among keys takes the fields of the first bookmark with its key (lookup);
    // an item without a bookmark stays as it is. Returns how many items changed; writes only then.
    qsizetype syncItems(const QSet<QString> &keys, const BookmarkLookup &lookup);
    // The same for every item.
    qsizetype syncAllItems(const BookmarkLookup &lookup);
    // What syncItems() does, made on list, a copy of playlists() taken at revision(): safe on any
    // thread (and so must lookup be). adoptSync() stores its result, or syncs the keys again with
    // lookup when the list has changed since, so that no change made meanwhile is lost. Both return
    // how many items changed.
    static PlaylistItemSync synced(QList<Playlist> list, quint64 revision, QSet<QString> keys,
                                   const BookmarkLookup &lookup);
    qsizetype adoptSync(PlaylistItemSync sync, const BookmarkLookup &lookup);

    // The guard's delays (FileGuard::setDelaysForTesting()), for tests that shorten them.
    void setOutsideChangeDelaysForTesting(std::chrono::milliseconds read, std::chrono::milliseconds stable);

Q_SIGNALS:
    void playlistsChanged(const PlaylistChange &change);
    // The file was read after it was seen to change, whatever that found: for tests that wait for it.
    void fileLookedAtForTesting();
    // A background write of the file failed; the file keeps what it held before.
    void saveFailed(const QString &path, const QString &reason);

private:
    struct ItemRef {
        qsizetype playlist;
        qsizetype item;
    };

    // Makes a change again on another list (one read from the file after another program changed it).
    using Replay = std::function<void(QList<Playlist> &list)>;
    struct PendingEdit {
        quint64 sequence;
        Replay replay;
        // For a change that only adds: makes sure a list holds what it added, adding only what is
        // missing, so that it can be made again on a version that may hold it already; and the names
        // of the playlists it made.
        Replay again;
        QStringList newNames;
        // Once written: the last change the write that wrote it wrote.
        quint64 writtenIn = 0;
    };

    // The list changed: the file is written in the background and the change is told.
    // additive: replay only adds what is missing (it serves as PendingEdit::again too), making the
    // playlists newNames.
    void commit(PlaylistChange::Kind kind, QList<qsizetype> playlists, Replay replay, bool additive = false,
                QStringList newNames = {});
    void record(Replay replay, Replay again = {}, QStringList newNames = {});
    // Whether list was made from the version before the changes since (and those not yet written): it
    // holds every playlist held here but those they made.
    bool madeFromVersionBefore(const QList<Playlist> &list, const QList<PendingEdit> &since) const;
    void save();
    void dropWritten(quint64 upTo);
    // list was read from a version of the file that held the changes up to writtenUpTo: every later
    // change is made again on it.
    void rebase(QList<Playlist> list, quint64 writtenUpTo, bool replacedOwnWrite);
    using ItemIndex = QMultiHash<QString, ItemRef>;
    static ItemIndex indexItems(const QList<Playlist> &list);
    const ItemIndex &itemsByKey() const;
    // Brings the items of list that index finds under one of keys (every item: null) in line with their
    // bookmarks.
    static PlaylistItemSync syncIndexed(QList<Playlist> &list, const ItemIndex &index,
                                        const QSet<QString> *keys, const BookmarkLookup &lookup);
    // Records, saves and tells a sync made on m_playlists.
    qsizetype commitSync(const PlaylistItemSync &sync);
    bool holds(qsizetype playlist, const QString &name) const;

    QString m_path;
    QList<Playlist> m_playlists;
    quint64 m_revision = 0;
    // Identity key -> where the items with it stand; built when first needed after the list changed.
    mutable ItemIndex m_itemsByKey;
    mutable bool m_itemsByKeyValid = false;

    // The changes not yet written, in order, and those the last write wrote; and the changes written
    // that a version the guard keeps aside may still need made again on it (FileGuard::changesDone()),
    // with those of the write that made it.
    QList<PendingEdit> m_pending;
    QList<PendingEdit> m_lastWritten;
    QList<PendingEdit> m_written;
    FileGuard m_guard;
};
