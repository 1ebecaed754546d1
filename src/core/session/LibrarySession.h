#pragma once

#include "core/bookmarks/BookmarkMetadataField.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/common/Result.h"
#include "core/playlist/PlaylistItem.h"
#include "core/session/LandingGate.h"
#include "core/session/RowDeletion.h"
#include "core/storage/StateFile.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct AppendedRows;
class IndexPreparation;
class PlaylistLibrary;
class SlotFiles;
class TitleKeyIndex;
struct RowChange;
struct SlotMerge;

// The library: the slot in use and its rows, and the library folder; one instance for the application
// (AppContext), shared by every window. Main thread only. The operations on whole slots (LibrarySlots)
// and on the files behind the songs (LibraryFiles) work through its mutations; the rows the library
// table shows, searched and sorted, are LibraryShownRows's, which follows the rows through the signals.
//
// Every change of the rows goes through a mutation of this class, which carries out its side effects
// itself: the slot is saved (in the background), the playlists follow (PlaylistLibrary) and
// libraryChanged() tells the windows what changed. A mutation returns its outcome at once; a save that
// fails later arrives as saveFailed(). Mutations made between beginBatch() and commitBatch() (or
// within a BatchScope) save once, sync once and announce once, at the commit.
//
// Saves take a snapshot of the rows (LibraryRows copies share their blocks) and encode and write the
// files on a worker, so that a library of any size never holds up the interface; a read of any of
// those files waits for their writes. A slot whose rows hold no change since they were read from its
// file or written to it is not written (a visit writes nothing); another program's version of the
// slot's file is never replaced unread: the changes not yet written are merged into it (SlotFiles).
class LibrarySession : public QObject {
    Q_OBJECT

public:
    // Slot 0 holds the built-in list, slots 1 to 5 the user's own.
    static constexpr int slotCount = 6;

    // What a change did to the rows. Positions stay valid across edited; the others move them.
    enum class ChangeKind {
        edited,   // fields of existing rows changed (titles, paths and metadata included)
        added,    // rows were appended
        removed,  // rows were deleted
        replaced, // a new library: a slot loaded or switched to, the built-in list adopted
    };
    Q_ENUM(ChangeKind)

    // Whether a batch brings the playlists in line at its commit. Applying the built-in metadata
    // (DEFAULT) saves without it.
    enum class PlaylistSync { sync, skip };

    // Saves and syncs once for every mutation made while it lives (nestable).
    class BatchScope {
    public:
        explicit BatchScope(LibrarySession &session, PlaylistSync sync = PlaylistSync::sync)
            : m_session(session)
        {
            m_session.beginBatch(sync);
        }
        ~BatchScope() { m_session.commitBatch(); }
        BatchScope(const BatchScope &) = delete;
        BatchScope &operator=(const BatchScope &) = delete;

    private:
        LibrarySession &m_session;
    };

    explicit LibrarySession(PlaylistLibrary &playlists, QObject *parent = nullptr);
    // Waits for the saves still being written. Once the application has begun to quit, the rows and
    // their indexes are left to the end of the process instead of being freed.
    ~LibrarySession() override;

    PlaylistLibrary &playlists() const { return m_playlists; }
    qint64 currentSlotId() const { return m_currentSlotId; }
    const LibraryRows &allBookmarks() const { return m_rows; }
    const QString &selectedFolder() const { return m_selectedFolder; }
    void setSelectedFolder(const QString &folder) { m_selectedFolder = folder; }

    // Raised by every change of the rows.
    quint64 libraryVersion() const { return m_libraryVersion; }
    // The rows grouped by normalised title key, for this version of the library; made now when it is
    // not ready yet. Share it with workers (the auto playlist's TitleIndex takes it).
    std::shared_ptr<const TitleKeyIndex> titleKeyIndex() const;
    // The position of the first bookmark with the identity key, or nothing.
    std::optional<qsizetype> firstPositionOf(const QString &identityKey) const;
    // The position in the library of the first bookmark with the entry's identity key.
    std::optional<qsizetype> allBookmarksIndex(const BookmarkEntry &entry) const;

    // ---- The slot and the whole library

    // The slot the slot metadata names, clamped to 0-5; slot 0 without a readable metadata file.
    void restoreActiveSlot();

    // The current slot's rows are being read (LibrarySlots::loadCurrentSlot()): until a library replaces
    // the empty one, nothing writes the slot's file from it.
    void setRowsUnread(bool unread) { m_rowsUnread = unread; }
    bool rowsUnread() const { return m_rowsUnread; }

    // A new library in place of the rows (LibrarySlots loads, switches, clears, extracts and imports
    // through it).
    struct Replacement {
        Replacement(LibraryRows replacingRows, qint64 ofSlot) : rows(std::move(replacingRows)), slot(ofSlot)
        {
        }

        LibraryRows rows;
        // The slot the rows belong to. Another than the current one becomes current: the slot being
        // left is saved first (unless saveLeftSlot is off) and the slot metadata names the new one.
        qint64 slot;
        // The library folder; nothing keeps it.
        std::optional<QString> folder;
        // Written to the slot, with the playlists brought in line unless sync is skip; off for rows
        // that come from the slot's file as they are.
        bool save = true;
        // The version of the slot's file the rows were read from (without it, rows not saved are taken
        // for the version standing there now), or, with save, the one the rows were made from: a later
        // save merges into any other version that stands there by then.
        std::optional<StateFile::FileVersion> fileVersion;
        PlaylistSync sync = PlaylistSync::sync;
        bool saveLeftSlot = true;
        // Made from rows on a worker, so that the main thread need not.
        std::shared_ptr<const TitleKeyIndex> titleKeys;
        std::optional<QHash<QString, qsizetype>> positions;
    };
    // Tells libraryAboutToBeReplaced() first.
    void replaceLibrary(Replacement replacement);
    // Tells libraryAboutToBeReplaced() (after rowsAboutToChange()), for an operation that changes
    // something of the slot (its name) before it replaces the rows.
    void announceReplacement()
    {
        prepareForLanding();
        Q_EMIT libraryAboutToBeReplaced();
    }
    // Work done elsewhere that changes the rows (a slot read, songs appended, a metadata change worked
    // out on a worker, an extraction, another program's version of the slot) lands through the gate:
    // it waits while a field holds text typed for a row.
    LandingGate &landings() { return m_landings; }
    // Work done elsewhere is about to change the rows: tells rowsAboutToChange(), so that text still
    // being typed for a row becomes a change of the rows now (work that lands through landings() finds
    // no field open; a quit, or work that does not, may). Called before the work tests whether the
    // library changed meanwhile (libraryVersion()), so that the test sees that change and the work is
    // done again over it. The mutations that take such work (replaceLibrary(), adoptEditedRows(),
    // adoptAppendedRows()) tell it themselves; the last two then refuse work that what was given to the
    // library made stale.
    void prepareForLanding() { Q_EMIT rowsAboutToChange(); }

    // The built-in list becomes the library of the Default slot, with folder as the library folder;
    // the slot metadata names slot 0 active (stored names kept). Saved, playlists brought in line.
    void adoptDefaultBookmarks(BookmarkList rows, const QString &folder);

    // Writes the current slot, the slot metadata (active slot, stored names kept) and the bookmark
    // cache, when the rows hold changes the slot's file lacks. Returns at once; a failure arrives later
    // through saveFailed().
    void saveCurrentSlot();
    // Stores how many bookmarks the slot's file holds in the slot metadata, in the background (every
    // save of the current slot stores its own).
    void recordSlotCount(qint64 slot, qsizetype count);
    // Returns once every state file write has finished; the application calls it before it quits.
    static void waitForPendingSaves();
    // For background writes of the library's files: reports a failed one through saveFailed().
    std::function<void(const QString &path, bool written, const QString &error)> saveFailureReporter();
    // Brings every playlist item in line with the rows.
    void syncAllPlaylistItems();

    // ---- Mutations: each saves, syncs the playlists and emits libraryChanged(), or leaves that to
    // the commit of the batch it runs in. Bookmarks are taken by value: a caller may pass a row of the
    // library itself, which the mutation changes.

    void beginBatch(PlaylistSync sync = PlaylistSync::sync);
    void commitBatch();

    // Applies edit to the rows at positions (out of range ones skipped) and returns how many it was
    // given. The playlist items of the rows follow them by identity key.
    qsizetype editBookmarks(const QList<qsizetype> &positions,
                            const std::function<void(BookmarkEntry &)> &edit);

    // Metadata belongs to a title: the next three reach every bookmark whose normalised title key
    // equals the entry's, and return how many library bookmarks that was.

    // Sets the field from the text. A new title also renames the songs' playlist items. Refused
    // (nothing changes): an empty or blank title, a rating that is not a finite number.
    Result<qsizetype> setMetadataField(BookmarkMetadataField field, const QString &value,
                                       BookmarkEntry entry);
    // The edit dialog's six values.
    qsizetype applyMetadataValues(BookmarkEntry entry, const MetadataValues &values);
    // What the enrichment of base changed (genre, style, year, composer, tempo, rating, links; a
    // removed year or rating included).
    qsizetype applyEnrichedMetadata(BookmarkEntry enriched, BookmarkEntry base);

    // Removes the rows planned by RowDeletion, takes the imported songs out of every playlist and moves the
    // imported files that nothing uses any more to the trash. Nothing happens when the library changed since
    // the plan was made.
    std::optional<DeletionResult> deleteBookmarks(const DeletionPlan &plan);

    // ---- Changes worked out on a worker

    // The title-key index when it is made already; null otherwise, so that a worker can make it from a
    // copy of the rows instead of the UI thread.
    std::shared_ptr<const TitleKeyIndex> readyTitleKeyIndex() const { return m_titleKeys; }
    // The first position of each identity key when it is made already; nothing otherwise (a worker
    // makes it from a copy of the rows, LibraryRows::firstPositionsById()).
    std::optional<QHash<QString, qsizetype>> readyPositionsByKey() const
    {
        return m_positionsValid ? std::optional(m_positionsByKey) : std::nullopt;
    }

    // Rows that a worker made from the library of version by changing metadata only (no title, book or
    // page) take the library's place, as an edit of the rows with those title and identity keys;
    // change holds the rows it touched (RowChange::changed(), made on the worker too). Refused (false,
    // nothing changes) when the library is no longer that version.
    bool adoptEditedRows(quint64 version, LibraryRows rows, RowChange change, QSet<QString> titleKeys,
                         QSet<QString> identityKeys);

    // Appends the rows at the end of the library; refused (false, nothing changes) when the library is
    // no longer that version. Nothing appended changes nothing.
    bool adoptAppendedRows(AppendedRows appended);

    // The rows of a bookmark file become the current slot's library, with folder as the library
    // folder when there is one. Saved, playlists brought in line.
    void importBookmarks(LibraryRows rows, const std::optional<QString> &folder);

Q_SIGNALS:
    // The rows changed: how, and the normalised title keys of the rows concerned (before and after the
    // change; empty for replaced, which concerns all).
    void libraryChanged(LibrarySession::ChangeKind kind, const QSet<QString> &titleKeys);
    // A save of one of the library's files could not be written; the file keeps what it held.
    void saveFailed(const QString &path, const QString &reason);
    // Another program changed a slot's file and it was read in (merged with the changes not yet
    // written, for the current slot into the rows): the status text that says so.
    void changedElsewhere(const QString &statusText);
    // Told at once, inside a batch too, before libraryChanged(), to what holds positions of the rows:
    // the rows were replaced (every position is void), or the rows at the positions removed
    // (ascending) left and those after them moved up. stampsBefore are the rows' block stamps from
    // before the removal (LibraryRows::blockStamps()).
    void rowsReplaced();
    void rowsRemoved(const QList<qsizetype> &removed, const QList<quint64> &stampsBefore);
    // Work done elsewhere is about to change the rows (see prepareForLanding()); they are still as they
    // were. Whatever holds text typed for a row and not yet given to the library gives it now, to the
    // song it was typed for.
    void rowsAboutToChange();
    // The slot is about to change or the library to be replaced; the rows and the slot are still the
    // old ones. A run that holds a batch open ends it here, so that what it changed is saved to its
    // own slot. Every operation that changes the slot or replaces the rows tells it first, before it
    // reads or writes anything.
    void libraryAboutToBeReplaced();

private:
    struct PendingChange {
        int depth = 0;
        PlaylistSync sync = PlaylistSync::sync;
        bool changed = false;
        bool save = false;
        bool syncAll = false;
        ChangeKind kind = ChangeKind::edited;
        QSet<QString> titleKeys;
        QSet<QString> identityKeys;
    };

    // Records a change of the rows: positions, prepared search data and running passes are stale.
    void noteChange(ChangeKind kind, QSet<QString> titleKeys, QSet<QString> identityKeys, bool save = true);
    void replaceRows(LibraryRows rows);
    // Library positions, ascending, of the bookmarks with that normalised title key; none for an
    // empty key.
    QList<qsizetype> indicesMatchingTitleKey(const QString &key) const;
    // Applies write to every bookmark of the title; returns the library count.
    qsizetype writeToTitle(const QString &title, const std::function<void(BookmarkEntry &)> &write,
                           bool renamesItems = false);
    qsizetype applyEdit(const QList<qsizetype> &positions, const std::function<void(BookmarkEntry &)> &edit,
                        bool renamesItems);
    // A row whose identity key changed.
    struct KeyChange {
        qsizetype position;
        QString before;
        QString after;
    };
    // Keeps the first position of each identity key in step with rows whose key changed.
    void followKeyChanges(const QList<KeyChange> &changes, const TitleKeyIndex &oldTitles);
    void syncPlaylists(const PendingChange &change);
    // Prepares what the library's version lacks (title keys, key positions) on a worker, once the
    // library has stopped changing.
    void prepareIndexes();

    // Keeps the stored names and counts; counts replaces those of its slots.
    void writeMetaInBackground(qint64 activeSlot, const QMap<qint64, qint64> &counts);
    // A change of the rows the slot's file lacks until the next save.
    void noteRowChange(RowChange change);
    // Another program's version of the current slot's file, merged.
    void adoptMerge(const SlotMerge &merge);
    const QHash<QString, qsizetype> &positionsByKey() const;

    PlaylistLibrary &m_playlists;
    LandingGate m_landings;
    qint64 m_currentSlotId = 0;
    std::unique_ptr<SlotFiles> m_slotFiles;
    LibraryRows m_rows;
    QString m_selectedFolder;
    PendingChange m_pending;

    // Counts the changes of the rows, so that nothing prepared from an older library is kept.
    quint64 m_libraryVersion = 0;
    // Kept in step with every change once made; null until then.
    mutable std::shared_ptr<const TitleKeyIndex> m_titleKeys;
    // Identity key -> first library position; kept in step with edits, made again after other changes.
    mutable QHash<QString, qsizetype> m_positionsByKey;
    mutable bool m_positionsValid = false;

    // At a quit, the rows outlive the session as its indexes do.
    IndexPreparation *m_indexes;
    bool m_rowsUnread = false;
};
