#pragma once

#include "core/session/LibrarySession.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class TitleKeyIndex;

// A slot about to be emptied, with the one question every way of emptying a slot asks first (Clear
// slot, a new extraction, a full extraction over a filled slot, the workshop's clear).
struct SlotClearPlan {
    qint64 slot = 0;
    QString slotName;
    qsizetype bookmarkCount = 0;
    quint64 libraryVersion = 0;
    // Of a full extraction from the slot's own folder, once its books are read: the slot's bookmarks it
    // does not bring back (ExtractionPlan::bookmarksLost).
    qsizetype bookmarksLost = 0;

    // "Clear Slot 3?" (with the slot's own name when it has one) and the count of bookmarks lost: what an
    // extraction asks before it empties the slot.
    QString message() const;
    QString informativeText() const;
    // What Clear Current Slot… asks: the slot's number whatever its name, and no count.
    QString clearCommandMessage() const;
    static QString clearCommandInformativeText();
    // A full extraction into the slot: its bookmarks are rebuilt from the books, the metadata of every
    // title found again is kept, and the bookmarks lost are counted as removed with their metadata.
    QString rebuildMessage() const;
    QString rebuildInformativeText() const;

private:
    QString slotLabel() const;
};

// What an extraction from a folder gives a slot.
struct ExtractionResult {
    qint64 slot = 1;
    // The slot's new name; "Slot <n>" (or empty) leaves it without one.
    QString slotName;
    // Becomes the library folder.
    QString folder;
    // The books' songs, in the order of the books.
    BookmarkList bookmarks;
    // A partial run: the lower-cased file names of the books it read again; the slot's songs of other
    // books stay. Nothing: a full run, which replaces every song of the slot.
    std::optional<QSet<QString>> rereadBooks;
};

// An extraction merged into its slot's rows, worked out on a worker, with what the library would
// otherwise compute on the main thread when it takes the rows.
struct ExtractionPlan {
    ExtractionResult result;
    LibraryRows rows;
    std::shared_ptr<const TitleKeyIndex> titleKeys;
    QHash<QString, qsizetype> positions; // identity key -> first position
    // The slot's rows the plan merged from, and how many of those neither a partial run leaves nor a
    // song of the run gives back by identity key (as many as it has songs with that key): the rows, and
    // their metadata, the plan removes.
    qsizetype slotRows = 0;
    qsizetype bookmarksLost = 0;
    // What the plan was made from.
    qint64 currentSlot = 0;
    quint64 libraryVersion = 0;
    // For another slot than the current one: the version of its file the rows were read from.
    std::optional<StateFile::FileVersion> slotFileVersion;
};

// The six slots of the library: loading, switching, saving and reloading, copying, merging and
// emptying them, the two ways a slot takes in songs from outside (an extraction from a folder, an
// import of files), and changes of slots that are not the current one. It changes the library only
// through the session's mutations, so every side effect of a change stays the session's. Main thread
// only; one instance for the application (AppContext).
class LibrarySlots : public QObject {
    Q_OBJECT

public:
    explicit LibrarySlots(LibrarySession &session, QObject *parent = nullptr);

    LibrarySession &session() const { return m_session; }

    enum class LoadSource { slot, cache, nothing };
    struct LoadResult {
        LoadSource source = LoadSource::nothing;
        // For the status line; empty when nothing was loaded.
        QString statusText;
    };
    // Fills the library with the current slot's rows and the folder stored with them, read on a worker
    // as a switch reads its slot, so that the window can show first. An empty slot takes the bookmark
    // cache's rows and folder once, moves them into the slot and brings the playlists' metadata in line.
    // Until the rows are in, the library holds none of them (currentSlotRead() is false) and the slot's
    // file is not written from it. A switch, a reload or another replacement of the library meanwhile
    // supersedes the load. done runs, while context lives, once the library holds what was read; never
    // for a load superseded.
    void loadCurrentSlot(QObject *context = nullptr, std::function<void(const LoadResult &)> done = {});
    // Whether the library holds the current slot's rows: false from loadCurrentSlot() until they (or a
    // slot switched to, or a library that replaced them) are in.
    bool currentSlotRead() const { return !m_session.rowsUnread(); }

    // Told the status text once a switch or a reload is over; never when a later one superseded it.
    using LoadDone = std::function<void(const QString &status)>;

    // Starts a switch to slot: its file is read and decoded on a worker, and then, in one step on the
    // UI thread, the slot being left is saved from memory (edits made meanwhile included), slot becomes
    // the active one and the library takes its rows and folder. A later switch or reload supersedes
    // one still loading; a switch back to the current slot drops it. Returns whether a switch
    // started: not for a slot outside 0-5, the current slot or the slot already loading. done runs
    // while context lives.
    bool switchToSlot(qint64 slot, QObject *context = nullptr, LoadDone done = {});
    // The slot a switch is loading.
    std::optional<qint64> loadingSlot() const;
    // The slot the user asked for: the one loading, else the current one.
    qint64 requestedSlot() const;

    // The six slot names: the stored name trimmed, else "Default" or "Slot N".
    static QStringList slotTileNames();

    // For a worker: the rows of a slot as they are now, the library's (taken here) for the current
    // slot once it is read, else the slot's file's, read when called.
    std::function<BookmarkList()> slotBookmarksJob(qint64 slot) const;
    // Gives the count: the known one, or (run on a worker) the rows of the slot's file counted.
    std::function<qsizetype()> slotCounter(qint64 slot) const;
    // For a worker: whether folder is the one stored with slot (FolderFileIndex::sameFolder), read
    // from the slot's file when called, after the writes asked for before.
    std::function<bool()> storedFolderMatcher(qint64 slot, const QString &folder) const;
    // Calls done(count) on the UI thread: at once when the count is known, else once a worker counted
    // the slot's file (the count is stored then). Never when context is gone by then.
    void withSlotCount(qint64 slot, QObject *context, std::function<void(qsizetype count)> done);

    // ---- Slot commands (the "Slots" menu, extraction, imports, the workshop). Each returns the
    // status text to show; a write that fails later arrives through the session's saveFailed().

    // Saves the current slot and brings every playlist item in line with it: "<name> saved".
    QString saveSlotNow();
    // The current slot's rows from its file again (the folder stays), read on a worker as a switch
    // is; done is told "<name> reloaded (<n> bookmarks)". Read again when the library changes before
    // the rows arrive.
    void reloadCurrentSlot(QObject *context = nullptr, LoadDone done = {});
    // Replaces destination's file with the current slot's rows and folder, written on a worker; the
    // current slot stays. done is told "Copied <name> to <name>" once the file is written; a write that
    // failed is told by the session's saveFailed() instead. False (nothing written) for a destination
    // outside 0-5 or the current slot, or while the current slot is being read.
    bool copyCurrentSlotTo(qint64 destination, QObject *context = nullptr, LoadDone done = {});
    // Appends the songs of the sources (0-5 but the current slot, each once, ascending) that the current
    // slot lacks by identity key. The sources are read and the rows to append worked out on a worker;
    // the library takes them in one step, or they are worked out again when it changed meanwhile.
    // done is told "Merged <n> bookmark(s) into <name>", or why nothing was merged. False (and
    // nothing done) for the Default slot, which takes no merge.
    bool mergeSlotsIntoCurrent(const QList<qint64> &sources, QObject *context = nullptr, LoadDone done = {});

    // Emptying a slot: the plan names it and its count, for the question; the act checks that the
    // library has not changed since.
    // The count is the slot's known one unless the caller counted it.
    SlotClearPlan planClearSlot(qint64 slot, std::optional<qsizetype> count = std::nullopt) const;
    // Empties the current slot (not Default) and drops its name; the playlists keep their items.
    // "<name> cleared", or nothing when the plan is not the current slot's or the library changed.
    std::optional<QString> clearCurrentSlot(const SlotClearPlan &plan);
    // Empties the current slot, whichever it is, and forgets the library folder, for a fresh
    // extraction. False when the library changed since the plan.
    bool startNewExtraction(const SlotClearPlan &plan);

    // Puts an extraction into its slot, which becomes the current one: a full run replaces the slot's
    // songs, a partial one those of the books it read (the others stay first, in their order). The
    // slot's rows are taken as they are when the plan is made, so edits made while the run went on
    // survive, and a new song with the identity key of an old one keeps the old one's metadata. Names
    // the slot, sets the folder. In two steps, so that a large library is merged off the main thread:
    // the planner (made here, run on a worker) merges; adopting the plan on the main thread only takes
    // its rows and returns the number of songs in the slot. Nothing when the library or the current
    // slot changed since the plan was made, or changed when told it is about to be replaced: plan again.
    std::function<ExtractionPlan()> extractionPlanner(ExtractionResult result) const;
    std::optional<qsizetype> adoptExtraction(ExtractionPlan plan);

    // Appends imported songs to slot, which becomes the current one; the library folder becomes
    // destinationFolder, or the slot's stored folder when that is empty. Another slot's file is read on
    // a worker first (again when it is written meanwhile); done runs, while context lives, once the
    // songs are in the library. A quit that comes while that file is read drops the songs: dropped is
    // called then.
    void appendImportedBookmarks(const BookmarkList &rows, qint64 slot, const QString &destinationFolder,
                                 QObject *context = nullptr, std::function<void()> done = {},
                                 std::function<void()> dropped = {});

    // The summary a slot's load gives its rows, for the tests of the rule.
    static QString availabilitySummaryForTesting(const LibraryRows &rows, const QString &folder)
    {
        return availabilitySummary(rows, folder);
    }

    // ---- Slots that are not the current one

    struct StoredSlotEdit {
        bool read = false; // the slot held bookmarks
        qsizetype changed = 0;
        bool written = false;
        QString error;       // why a change was not written
        qsizetype count = 0; // the rows written
    };
    using StoredRowsEdit = std::function<qsizetype(BookmarkList &rows)>;
    // Changes the rows stored in slot, which must not be the current one (false otherwise): on the
    // writer of the slot's file, after the writes queued before it, the stored rows are read, changed
    // by edit (on that thread; it returns how many rows it changed) and written back whole. done runs
    // on the UI thread. A failed write is told through the session's saveFailed() as well.
    bool editStoredSlot(qint64 slot, StoredRowsEdit edit, std::function<void(const StoredSlotEdit &)> done);

Q_SIGNALS:
    // requestedSlot() changed: a switch started, or one was dropped. (A switch that is over tells
    // the library's libraryChanged().)
    void requestedSlotChanged();

private:
    // "<books> books (<available> available, <unavailable> unavailable)"; a book is the rows of one
    // PDF file name, ignoring case, found at its path or in folder.
    static QString availabilitySummary(const LibraryRows &rows, const QString &folder);

    // A slot's bookmark count without reading the slot: the library's for the current slot once it is
    // read, else the count stored when the slot's file was last written; nothing when none was stored.
    std::optional<qsizetype> knownSlotCount(qint64 slot) const;
    // A switch or reload (or the load at start) whose rows a worker is reading.
    struct PendingLoad {
        quint64 generation = 0;
        qint64 slot = 0;
        bool reload = false;
        // The load at start: the slot's folder comes with the rows, and the cache stands in for an
        // empty slot.
        std::function<void(const LoadResult &)> started;
        // The library it was asked of, and the writes of slot's file asked for by then.
        qint64 fromSlot = 0;
        quint64 libraryVersion = 0;
        quint64 slotWrites = 0;
        bool tells = false;
        QPointer<QObject> context;
        LoadDone done;
    };
    struct LoadedSlot;
    void startLoad(qint64 slot, bool reload, QObject *context, LoadDone done,
                   std::function<void(const LoadResult &)> started = {});
    void adoptStartLoad(const PendingLoad &load, LoadedSlot loaded);
    void planMerge(qint64 slot, const QList<qint64> &sources, const QPointer<QObject> &context,
                   const LoadDone &done);
    void readPendingLoad();
    void adoptLoad(quint64 generation, LoadedSlot loaded);
    // A write of slot's file other than the current slot's own saves.
    void noteSlotWrite(qint64 slot) { ++m_slotWrites[slot]; }

    LibrarySession &m_session;
    std::optional<PendingLoad> m_load;
    quint64 m_loadGeneration = 0;
    QHash<qint64, quint64> m_slotWrites;
};
