#pragma once

#include "core/library/LibrarySession.h"

#include <QObject>

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

    // "Clear Slot 3?" (with the slot's own name when it has one) and the count of bookmarks lost.
    QString message() const;
    QString informativeText() const;
    // A full extraction into the slot: its bookmarks are rebuilt from the books, and the metadata of every
    // title found again is kept.
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
    // What the plan was made from.
    qint64 currentSlot = 0;
    quint64 libraryVersion = 0;
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
    // Fills the library from the current slot's file, with the folder stored there. An empty slot
    // takes the bookmark cache's rows and folder once, moves them into the slot and brings the
    // playlists' metadata in line.
    LoadResult loadCurrentSlot();

    // Saves the slot being left, makes slot the active one and loads it with its folder. Returns
    // the status text, or nothing (and does nothing) for the current slot or one outside 0-5.
    std::optional<QString> switchToSlot(qint64 slot);

    // The six slot names: the stored name trimmed, else "Default" or "Slot N".
    static QStringList slotTileNames();

    // The rows of a slot as they are now: the library for the current slot, else the slot's file.
    BookmarkList slotBookmarks(qint64 slot) const;
    // A slot's bookmark count without reading the slot: the library's for the current slot, else the
    // count stored when the slot's file was last written; nothing when none was stored.
    std::optional<qsizetype> knownSlotCount(qint64 slot) const;
    // Gives the count: the known one, or (run on a worker) the rows of the slot's file counted.
    std::function<qsizetype()> slotCounter(qint64 slot) const;
    // Calls done(count) on the UI thread: at once when the count is known, else once a worker counted
    // the slot's file (the count is stored then). Never when context is gone by then.
    void withSlotCount(qint64 slot, QObject *context, std::function<void(qsizetype count)> done);

    // ---- Slot commands (the "Slots" menu, extraction, imports, the workshop). Each returns the
    // status text to show; a write that fails later arrives through the session's saveFailed().

    // Saves the current slot and brings every playlist item in line with it: "<name> saved".
    QString saveSlotNow();
    // The current slot's rows from its file again (the folder stays): "<name> reloaded (<n> bookmarks)".
    QString reloadCurrentSlot();
    // Replaces destination's file with the current slot's rows and folder; the current slot stays.
    // Nothing (and nothing written) for a destination outside 0-5 or the current slot.
    std::optional<QString> copyCurrentSlotTo(qint64 destination);
    // Appends the songs of the sources (0-5 but the current slot, each once, ascending) that the current
    // slot lacks by identity key: "Merged <n> bookmark(s) into <name>". Nothing for the Default slot,
    // which takes no merge.
    std::optional<QString> mergeSlotsIntoCurrent(const QList<qint64> &sources);

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
    // slot's rows are taken as they are now, so edits made while the run went on survive, and a new
    // song with the identity key of an old one keeps the old one's metadata. Names the slot, sets the
    // folder. Returns the number of songs in the slot.
    qsizetype adoptExtraction(const ExtractionResult &result);
    // The same in two steps, so that a large library is merged off the main thread: the planner (made
    // here, run on a worker) merges; adopting the plan on the main thread only takes its rows. Nothing
    // when the library or the current slot changed since the plan was made: plan again.
    std::function<ExtractionPlan()> extractionPlanner(ExtractionResult result) const;
    std::optional<qsizetype> adoptExtraction(ExtractionPlan plan);

    // Appends imported songs to slot, which becomes the current one; the library folder becomes
    // destinationFolder, or the slot's stored folder when that is empty.
    void appendImportedBookmarks(const BookmarkList &rows, qint64 slot, const QString &destinationFolder);

    // "<books> books (<available> available, <unavailable> unavailable)"; a book is the rows of one
    // PDF file name, ignoring case.
    QString slotAvailabilitySummary(const LibraryRows &rows) const;

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

private:
    LibrarySession &m_session;
};
