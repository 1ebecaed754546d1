#pragma once

#include "core/storage/StateFile.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <any>
#include <chrono>
#include <functional>
#include <memory>

// One state file that this program writes and other programs may write too (a sync tool, an editor,
// another Lyrafold): the owner's changes reach it without ever replacing a version of the file the
// owner has not read. Main thread only; one guard for each file an owner keeps.
//
// The guard knows the version of the file last read or written (StateFile::FileVersion: size, time to
// the nanosecond, the file's identity, and the content's hash). A save encodes the owner's snapshot
// and hashes it on a worker; then, holding a lock file beside the file (".<name>.lock", which every
// Lyrafold's guard takes), it puts the new file in place only while the file is that version: one stat
// compares, and the new file is swapped in by exchanging the two names, so that a version another
// program renamed into place after the stat is swapped back rather than lost. When another program
// changed the file, the file is read instead and handed to the owner (Owner::rebase), which makes its
// changes not yet written again on top of it; that is then saved. A change made elsewhere while nothing
// waits to be written is read the same way once the file has been quiet for a moment; a new time or
// name over the same content is only noted.
//
// A changed file that does not decode, or that is missing, may be in the middle of being rewritten: it
// is read again once it has stayed as it is for the stable delay, and only then is an undecodable one
// set aside ("<name>.unreadable-<date>", told on the notification bus) and a missing one taken as
// gone. The owner's document stays as it is all along (never emptied because of such a file) and is
// written back then (Owner::restore).
//
// A save that fails is not tried again because the file's folder changed (its own temporary file
// changes it): the owner's next change tries again, or a retry after a back-off.
//
// The version a save swaps out is kept under a name of its own for the stable delay, not removed: a
// program that opened the file for writing before the swap and truncates and writes only then (rsync
// --inplace) writes into it. Changed meanwhile, it is read, and taken like another program's version
// with every change of the owner's since the version it replaced made again on it (the owner keeps its
// written changes until changesDone() lets it forget them); once its content stays unreadable, or when
// another version was taken in meanwhile, it is kept beside the file instead, and told on the
// notification bus. The guard is not settled while it keeps one. What they take is bounded (64 MB):
// beyond it, the oldest are looked at before their delay is out.
class FileGuard : public QObject {
    Q_OBJECT

public:
    struct Owner {
        // On a worker: the owner's document made from the file's bytes (read at version), or an empty
        // std::any when they do not decode. The owner's changes up to writtenUpTo reached the file
        // before this version replaced it; those after it are still to be made on it.
        std::function<std::any(const QByteArray &bytes, const StateFile::FileVersion &version,
                               quint64 writtenUpTo)>
            decode;
        // On the guard's thread: another program's version of the file, decoded. The owner takes it,
        // with every change noted after the ones written made again on it. The guard saves afterwards
        // while changes remain unsaved. replacedOwnWrite: that version took the place of the guard's
        // own last write, so it may have been made from the version before it by a program that
        // compares and renames without Lyrafold's lock (and lost the race): what that write added may
        // be missing from it.
        std::function<void(std::any document, bool replacedOwnWrite)> rebase;
        // On the guard's thread: save the document as it is now (a retry after a failure).
        std::function<void()> save;
        // On the guard's thread: the file stayed missing, or was set aside: save the document again
        // if it holds anything.
        std::function<void()> restore;
        // On the guard's thread, optional: the way in for another program's version. Calls take now,
        // or once the owner's document may change (a field holds text typed for it meanwhile, say).
        // Until take runs, the guard records nothing of that version and writes nothing, so that what
        // it saves next is made on that version; a later version of the file stands in for it then.
        // A version another program wrote into the file a save swapped out comes this way too.
        std::function<void(std::function<void()> take)> admit;
    };

    // The file is watched from now on; its version is unknown (taken as missing) until
    // setReadVersion().
    FileGuard(const QString &path, Owner owner, QObject *parent = nullptr);
    // Waits for the file's writes still under way.
    ~FileGuard() override;

    const QString &path() const { return m_path; }

    // The owner's document is the file at version (read from it, or, for a document the owner did not
    // read from the file, the version it replaces: StateFile::stampOf()): the changes noted so far
    // count as written.
    void setReadVersion(const StateFile::FileVersion &version);

    // Counts a change of the owner's document; returns its number. The file lacks it until a save
    // asked for after it is written.
    quint64 noteChange();
    quint64 lastChange() const { return m_lastChange; }
    quint64 writtenUpTo() const { return m_writtenUpTo; }
    bool hasUnsavedChanges() const { return m_writtenUpTo < m_lastChange; }
    // No save is on its way, no change waits, no look at the file is pending and no version a save
    // swapped out is kept.
    bool isSettled() const;

    // Writes the bytes encode() gives (on a worker; a snapshot of the document with every change noted
    // so far) unless another version of the file stands there (see the class comment). A second call
    // before the worker took up the first replaces it.
    void save(StateFile::Encoder encode);

    // How long after the file was seen to change it is read, and how long a changed file that does not
    // decode, or a missing one, must stay so before it is set aside or taken as gone (longer than a
    // program that rewrites a file in place pauses in the middle of it): 0.25 s and 3 s unless set.
    void setDelays(std::chrono::milliseconds read, std::chrono::milliseconds stable);
    // The delays of the guards made from now on, for tests that wait through them; the reset gives the
    // application's own back (and the lock's wait, below).
    static void setDelaysForTesting(std::chrono::milliseconds read, std::chrono::milliseconds stable);
    static void resetDelaysForTesting();
    // The bytes the versions kept aside may take before the oldest are looked at early, for the guards
    // of tests; 0 gives the application's own back.
    static void setKeptBytesForTesting(qint64 bytes);
    // How long a save waits for the lock another Lyrafold holds before it fails (10 s unless set).
    static void setLockWaitForTesting(std::chrono::milliseconds wait);

    // The lock file the guards of path take around their comparison and rename.
    static QString lockPath(const QString &path);

    // Every guard whose last save failed tries again now rather than after its back-off, and the state
    // files written without a guard are written again with what was last meant for them
    // (StateFile::retryFailedWrites()): a quit tries once more before it tells what could not be
    // written. Main thread only.
    static void retryFailedSavesNow();
    // The versions saves swapped out and not looked at yet are looked at now rather than once their
    // delay is out: at a quit, one another program wrote into is taken in and written before the end, and
    // the others go without keeping the quit for the delay. Main thread only.
    static void lookAtKeptVersionsNow();
    // Why a save failed when another Lyrafold kept the file's lock past the wait.
    static QString lockedReason();

    // Every guard is at rest: no save on its way, no look at its file pending, no stable delay running.
    // What is still unsaved then stays so until something changes (a failed save waits for its retry).
    static bool allAtRest();
    // Calls done on context's thread once every guard is at rest, at once if they are now (queued
    // either way). A quit waits so before it tells what it could not write.
    static void whenAllAtRest(QObject *context, std::function<void()> done);

    // The state files whose last save failed and that still lack what it was to give them: the guarded
    // ones as their guards tell (a save refused for a lock another Lyrafold kept among them), the others
    // as StateFile::failedWrites() does. In no particular order.
    static QList<StateFile::FailedWrite> failedSaves();

Q_SIGNALS:
    // The file holds the owner's changes up to upTo (written, or found in another program's version
    // taken in their place: rebase() is told next).
    void written(quint64 upTo);
    // A save could not be written; the file keeps what it held and the changes stay unsaved.
    void saveFailed(const QString &path, const QString &reason);
    // The file was read after it was seen to change, whatever that found (tests wait for it).
    void fileLookedAt();
    // The owner's changes up to upTo are written, and no version a save swapped out can need them made
    // again on it: the owner may forget them. Told after each write, and as each version kept aside
    // goes.
    void changesDone(quint64 upTo);

private:
    struct Shared;
    struct Outside;
    struct KeptLook;
    // A version of the file a save swapped out, kept under a name of its own.
    struct Kept {
        QString path;
        StateFile::FileVersion version; // as it stood in the file's place, with its hash where known
        quint64 writtenUpTo = 0;        // the owner's changes it held
        quint64 generation = 0;         // of the owner's document it was swapped out under
        bool ownWrite = false;          // the guard's own last write
        int looks = 0;                  // how many times it was looked at
        bool looking = false;           // a look at it is under way
    };

    void take(const Outside &read);
    void takeAdmitted();
    void takeDocument(const Outside &read);
    void takeKept(const Outside &read);
    void keepAside(const Kept &kept);
    void lookAtKept(const QString &kept);
    void keepBeside(const QString &kept);
    void letGo(const QString &kept);
    void tellChangesDone();
    void readOutside(bool settleWhenStable);
    void noteWritten(quint64 upTo);
    void saveFailedNow(const QString &reason);
    void watch();
    void checkForOutsideChange();
    // A save on its way, a look at the file pending, or a stable delay running: the guard is not done.
    bool underWay() const;
    static void tellIfAllAtRest();

    QString m_path;
    Owner m_owner;
    std::shared_ptr<Shared> m_shared;
    quint64 m_lastChange = 0;
    quint64 m_writtenUpTo = 0;
    // Counts the saves asked for, and the last one done, so that no outside change is looked for while
    // a save is on its way (its comparison before the rename will tell).
    quint64 m_savesRequested = 0;
    quint64 m_savesDone = 0;
    bool m_readingOutside = false;
    // Another program's version that waits for the owner to admit it (Owner::admit).
    std::shared_ptr<Outside> m_admitting;

    QFileSystemWatcher m_watcher;
    QTimer m_outsideChangeTimer;
    // Runs while a changed file that does not decode, or a missing one, is given time to settle.
    QTimer m_stableTimer;
    StateFile::FileVersion m_unstableVersion;
    // After a failed save: the retry, at growing intervals while saves keep failing.
    QTimer m_retryTimer;
    bool m_failing = false;
    QString m_failure; // why the last save failed, while it is failing
    std::chrono::milliseconds m_retryDelay;
    // The versions saves swapped out, kept for a look after the stable delay.
    QList<Kept> m_kept;
};
