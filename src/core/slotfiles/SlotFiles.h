#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/slotfiles/RowChange.h"
#include "core/storage/FileGuard.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

// What a save of a slot writes: its rows and its folder.
struct SlotSnapshot {
    LibraryRows rows;
    QString folder;
};

// Another program's version of a slot's file, with the changes not yet written made again on it.
struct SlotMerge {
    qint64 slot = 0;
    SlotSnapshot merged; // the folder is the other version's
    bool changesMade = false;
    // Where the other version was kept because the merge took something of it away; empty when
    // nothing was.
    QString keptAs;

    // For the status line: the slot was changed by another program and read again, or merged, and
    // where the other version was kept.
    QString statusText() const;
};

// The files a save of the current slot writes, each kept through a FileGuard: the slot's own file and
// the bookmark cache (a copy of the slot last saved). Main thread only; one instance, the library's.
//
// The slot's rows are taken as the version of its file they were read from (or, for rows that did not
// come from the file, the version that stood there when they replaced it); every change of the rows
// after that is noted (noteChange()) until a save writes it. A slot without such changes is never
// written. A save that finds another version of the slot's file makes the changes not yet written
// again on that version by row identity; the library takes the result (merged()) and it is written.
// Should the merge have to take something of the other version away (a change of a row the other
// version removed, a replacement of the whole list), the other version is first kept beside the file
// as "<name>.before-merge-<date>-<time>". A change made elsewhere while nothing waits to be written is
// read the same way.
//
// The bookmark cache follows the slot: it is written with each save of the current slot's rows, and a
// version another program left there is read (so it is never replaced unseen) but not merged: it is a
// copy of the slot it was written from, whose own file the merge reads.
//
// A slot left with changes still unwritten keeps its rows and writes them itself (merging as above)
// until its file holds them.
class SlotFiles : public QObject {
    Q_OBJECT

public:
    // The current slot's rows and folder as they are now, and a save of everything a save of the
    // current slot writes (the library's saveCurrentSlot()).
    struct Host {
        std::function<SlotSnapshot()> current;
        std::function<void()> save;
        // Takes another program's version of the current slot's file in (take), now or once the rows
        // may change (FileGuard::Owner::admit).
        std::function<void(std::function<void()> take)> admit;
    };

    explicit SlotFiles(Host host, QObject *parent = nullptr);
    ~SlotFiles() override;

    // The slot whose rows the library now holds. A slot left with changes still unwritten goes on
    // writing them itself; one that becomes current again while it does gives back its rows (the
    // library takes those rather than its file's). The version is unknown until setRead() or a
    // change.
    std::optional<SlotSnapshot> setCurrent(qint64 slot);

    // The library's rows are the current slot's file at version: nothing of them waits to be written.
    void setRead(const StateFile::FileVersion &version);
    // A change of the library's rows; the slot's file lacks it until the next save.
    void noteChange(RowChange change);
    bool hasUnsavedChanges() const;

    // Writes the current slot's file and the bookmark cache from snapshot, when changes wait.
    void save(const SlotSnapshot &snapshot);

Q_SIGNALS:
    // Another program's version of the current slot's file is about to be taken: what the library still
    // holds back (a field being typed into, a batch open) becomes a change now, and is made on that
    // version with the others.
    void currentSlotAboutToMerge();
    // Another program's version of the current slot's file with the changes not yet written made on
    // it: the library takes merge.merged as its rows (and the folder, unless it changed the folder
    // itself), and saves.
    void currentSlotMerged(const SlotMerge &merge);
    // Any slot's file was read after another program changed it: what to tell the user.
    void mergeTold(const QString &statusText);
    void saveFailed(const QString &path, const QString &reason);

private:
    class SlotFile;

    SlotFile &current();
    void writeCache(const SlotSnapshot &snapshot);
    void dropIfSettled(qint64 slot);
    // The guard of slot's file asks: save what waits, write what it holds after the file went, take
    // a merge made on a worker.
    void saveSlot(qint64 slot);
    void restoreSlot(qint64 slot);
    void takeMerge(qint64 slot, std::any made);

    Host m_host;
    qint64 m_currentSlot = 0;
    // The current slot's, and those of slots left with changes still unwritten.
    QHash<qint64, SlotFile *> m_files;
    std::unique_ptr<FileGuard> m_cache;
};
