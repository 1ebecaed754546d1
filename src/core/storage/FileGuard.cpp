#include "core/storage/FileGuard.h"

#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <atomic>

#include <unistd.h>

namespace {

// The delays new guards take (tests shorten them).
constexpr std::chrono::milliseconds defaultReadDelay{250};
constexpr std::chrono::milliseconds defaultStableDelay{3000};
std::atomic<qint64> readDelayMs{defaultReadDelay.count()};
std::atomic<qint64> stableDelayMs{defaultStableDelay.count()};
// How long a write waits for another Lyrafold's write of the same file.
constexpr std::chrono::milliseconds defaultLockWait{10000};
std::atomic<qint64> lockWaitMs{defaultLockWait.count()};
// The first retry after a failed save, and the longest wait between retries.
constexpr std::chrono::milliseconds firstRetry{2000};
constexpr std::chrono::milliseconds longestRetry{60000};
// How many times a version kept aside that another program changed is looked at, a stable delay apart,
// before one that still does not read whole is kept beside the file.
constexpr int keptLooks = 3;
// How many bytes the versions kept aside that no one was seen to write into take at most: a burst of
// saves of a large file would otherwise keep a copy of it for each (tests lower it).
constexpr qint64 defaultKeptBytes = 64 * 1024 * 1024;
std::atomic<qint64> keptBytes{defaultKeptBytes};

} // namespace

// What the writer thread, the workers and the guard share about the file: the version last read or
// written, a generation counted up whenever another program's version is taken (a snapshot made before
// must not be written), and the last change written.
struct FileGuard::Shared {
    QMutex mutex;
    StateFile::FileVersion known;
    // The known version is the guard's own last write.
    bool knownIsOwnWrite = false;
    quint64 generation = 0;
    quint64 writtenUpTo = 0;
    // Every version a save swapped out and the guard has not let go, known here from the moment it is
    // kept, so that the guard's end settles it even before the guard heard of it.
    QList<Kept> kept;

    // Reads the file when it is not the known version. The comparison and the read are made under the
    // mutex, so that a write of the guard's own is never taken for another program's.
    std::optional<Outside> readIfChanged(const QString &path, const Owner &owner);
};

// A version of the file found on a worker.
struct FileGuard::Outside {
    quint64 generation = 0;
    quint64 writtenUpTo = 0;
    StateFile::FileVersion version; // default-made for a missing file
    std::any document;              // empty when the file is missing or does not decode
    bool missing = false;
    bool replacedOwnWrite = false;
    // It stayed missing or undecodable for the stable delay and is now taken as gone.
    bool gone = false;
    // Not the file: the version a save swapped out, written into since, at this path. writtenUpTo and
    // generation are those it was swapped out under.
    QString kept;
};

// What a look at a version kept aside found: another program's version to take, a version still being
// written (looked at again), or one to keep beside the file; else it went, as nothing wrote into it.
struct FileGuard::KeptLook {
    std::optional<Outside> read;
    bool again = false;
    bool keepBeside = false;
};

std::optional<FileGuard::Outside> FileGuard::Shared::readIfChanged(const QString &path, const Owner &owner)
{
    Outside read;
    StateFile::ReadResult file;
    {
        QMutexLocker lock(&mutex);
        if (StateFile::stampOf(path).sameStamp(known))
            return std::nullopt;
        read.generation = generation;
        read.writtenUpTo = writtenUpTo;
        read.replacedOwnWrite = knownIsOwnWrite;
        // Not StateFile::read(): it would wait for the writer, which may be waiting for this mutex.
        file = StateFile::readNow(path);
        if (file.status == StateFile::ReadStatus::Missing) {
            read.missing = true;
            return read;
        }
        if (file.status != StateFile::ReadStatus::Ok) {
            read.version = StateFile::stampOf(path);
            return read; // like a file that does not decode
        }
        read.version = file.version;
        read.version.hash = StateFile::contentHash(file.bytes);
        if (known.exists && read.version.hash == known.hash) {
            // The same content under a new time or name (a sync tool that copied it back, a touch).
            known = read.version;
            return std::nullopt;
        }
    }
    read.document = owner.decode(file.bytes, read.version, read.writtenUpTo);
    return read;
}

namespace {

// The guards alive, on the main thread.
QSet<FileGuard *> &liveGuards()
{
    static QSet<FileGuard *> guards;
    return guards;
}

// Who waits for every guard to be at rest (FileGuard::whenAllAtRest()), on the main thread.
QList<std::pair<QPointer<QObject>, std::function<void()>>> &restWaiters()
{
    static QList<std::pair<QPointer<QObject>, std::function<void()>>> waiters;
    return waiters;
}

} // namespace

FileGuard::FileGuard(const QString &path, Owner owner, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath()), m_owner(std::move(owner)),
      m_shared(std::make_shared<Shared>()), m_retryDelay(firstRetry)
{
    liveGuards().insert(this);
    m_outsideChangeTimer.setSingleShot(true);
    m_outsideChangeTimer.setInterval(std::chrono::milliseconds(readDelayMs.load()));
    connect(&m_outsideChangeTimer, &QTimer::timeout, this, &FileGuard::checkForOutsideChange);
    m_stableTimer.setSingleShot(true);
    m_stableTimer.setInterval(std::chrono::milliseconds(stableDelayMs.load()));
    connect(&m_stableTimer, &QTimer::timeout, this, [this] { readOutside(true); });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (hasUnsavedChanges())
            m_owner.save();
    });
    watch();
}

FileGuard::~FileGuard()
{
    liveGuards().remove(this);
    StateFile::waitForPendingWrites(m_path);
    // A version still kept aside goes, unless another program wrote into it: then it stays beside the
    // file.
    QList<Kept> kept;
    {
        QMutexLocker lock(&m_shared->mutex);
        kept = std::exchange(m_shared->kept, {});
    }
    for (const Kept &version : std::as_const(kept)) {
        const StateFile::FileVersion now = StateFile::stampOf(version.path);
        if (now.sameStamp(version.version))
            ::unlink(QFile::encodeName(version.path).constData());
        else if (now.exists)
            keepBeside(version.path);
    }
    tellIfAllAtRest();
}

void FileGuard::retryFailedSavesNow()
{
    // A save may make or remove guards (a slot left settles): the ones alive now, looked up each time.
    const QSet<FileGuard *> guards = liveGuards();
    for (FileGuard *guard : guards) {
        if (!liveGuards().contains(guard) || !guard->m_failing || !guard->hasUnsavedChanges())
            continue;
        guard->m_retryTimer.stop();
        guard->m_owner.save();
    }
    StateFile::retryFailedWrites();
}

QString FileGuard::lockedReason()
{
    return UiText::tr("another Lyrafold kept the file locked");
}

void FileGuard::lookAtKeptVersionsNow()
{
    const QSet<FileGuard *> guards = liveGuards();
    for (FileGuard *guard : guards) {
        QStringList kept;
        for (const Kept &version : std::as_const(guard->m_kept)) {
            if (version.looks == 0)
                kept.append(version.path);
        }
        for (const QString &path : std::as_const(kept)) {
            if (liveGuards().contains(guard))
                guard->lookAtKept(path);
        }
    }
}

bool FileGuard::allAtRest()
{
    const QSet<FileGuard *> &guards = liveGuards();
    return std::all_of(guards.begin(), guards.end(),
                       [](const FileGuard *guard) { return !guard->underWay(); });
}

void FileGuard::whenAllAtRest(QObject *context, std::function<void()> done)
{
    restWaiters().append({context, std::move(done)});
    tellIfAllAtRest();
}

void FileGuard::tellIfAllAtRest()
{
    if (restWaiters().isEmpty() || !allAtRest())
        return;
    // Out of the guard's own work, which called this.
    for (auto &[context, done] : std::exchange(restWaiters(), {})) {
        if (context)
            QMetaObject::invokeMethod(context, std::move(done), Qt::QueuedConnection);
    }
}

QList<StateFile::FailedWrite> FileGuard::failedSaves()
{
    QList<StateFile::FailedWrite> failed;
    QSet<QString> guarded;
    for (const FileGuard *guard : liveGuards()) {
        guarded.insert(guard->m_path);
        if (guard->m_failing && guard->hasUnsavedChanges())
            failed.append({guard->m_path, guard->m_failure});
    }
    for (const StateFile::FailedWrite &write : StateFile::failedWrites()) {
        if (!guarded.contains(write.path))
            failed.append(write);
    }
    return failed;
}

QString FileGuard::lockPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

void FileGuard::setReadVersion(const StateFile::FileVersion &version)
{
    {
        QMutexLocker lock(&m_shared->mutex);
        ++m_shared->generation;
        m_shared->known = version;
        m_shared->knownIsOwnWrite = false;
        m_shared->writtenUpTo = m_lastChange;
    }
    m_stableTimer.stop();
    noteWritten(m_lastChange);
    tellIfAllAtRest();
}

quint64 FileGuard::noteChange()
{
    return ++m_lastChange;
}

bool FileGuard::isSettled() const
{
    return !hasUnsavedChanges() && !underWay() && m_kept.isEmpty();
}

bool FileGuard::underWay() const
{
    // A version kept aside that is being looked at, or waits to be taken in; one whose delay is still
    // out is not: a quit looks at it at once.
    return m_savesDone != m_savesRequested || m_readingOutside || m_stableTimer.isActive() || m_admitting ||
           std::any_of(m_kept.cbegin(), m_kept.cend(), [](const Kept &version) { return version.looking; });
}

void FileGuard::setDelays(std::chrono::milliseconds read, std::chrono::milliseconds stable)
{
    m_outsideChangeTimer.setInterval(read);
    m_stableTimer.setInterval(stable);
}

void FileGuard::setDelaysForTesting(std::chrono::milliseconds read, std::chrono::milliseconds stable)
{
    readDelayMs = read.count();
    stableDelayMs = stable.count();
}

void FileGuard::setKeptBytesForTesting(qint64 bytes)
{
    keptBytes = bytes > 0 ? bytes : defaultKeptBytes;
}

void FileGuard::resetDelaysForTesting()
{
    setDelaysForTesting(defaultReadDelay, defaultStableDelay);
    setLockWaitForTesting(defaultLockWait);
}

void FileGuard::setLockWaitForTesting(std::chrono::milliseconds wait)
{
    lockWaitMs = wait.count();
}

void FileGuard::save(StateFile::Encoder encode)
{
    m_retryTimer.stop();
    // Made on another program's version once the owner has taken it (take() saves then).
    if (m_admitting)
        return;
    const quint64 request = ++m_savesRequested;
    const quint64 upTo = m_lastChange;
    const std::shared_ptr<Shared> shared = m_shared;
    quint64 generation = 0;
    {
        QMutexLocker lock(&shared->mutex);
        generation = shared->generation;
    }
    // Filled on the writer thread.
    struct Outcome {
        QByteArray hash;
        bool changed = false;
        std::optional<Kept> kept;
    };
    const auto outcome = std::make_shared<Outcome>();
    const Hop::Receiver back(this);
    StateFile::writeInBackground(
        m_path,
        [encode = std::move(encode), outcome]() -> std::optional<QByteArray> {
            std::optional<QByteArray> bytes = encode();
            // Hashed here, before the lock: under it there is only a stat.
            if (bytes)
                outcome->hash = StateFile::contentHash(*bytes);
            return bytes;
        },
        [this, back, request, shared, outcome, owner = m_owner](const QString &path, bool written,
                                                                const QString &error) {
            if (!written && outcome->changed) {
                // Another version stands there: read it, and make the changes again on top of it.
                std::optional<Outside> read = shared->readIfChanged(path, owner);
                back.post([this, request, read = std::move(read)] {
                    m_savesDone = request;
                    if (read)
                        take(*read);
                    else if (hasUnsavedChanges())
                        m_owner.save();
                    tellIfAllAtRest();
                });
                return;
            }
            quint64 writtenUpTo = 0;
            {
                QMutexLocker lock(&shared->mutex);
                writtenUpTo = shared->writtenUpTo;
            }
            back.post([this, request, writtenUpTo, written, error, kept = outcome->kept] {
                m_savesDone = request;
                if (kept)
                    keepAside(*kept);
                noteWritten(writtenUpTo);
                if (written) {
                    m_failing = false;
                    m_failure.clear();
                    m_retryDelay = firstRetry;
                } else {
                    saveFailedNow(error);
                }
                tellIfAllAtRest();
            });
        },
        [path = m_path, shared, generation, upTo,
         outcome](const StateFile::Replace &replace, const StateFile::FileVersion &written, QString *reason) {
            // Lyrafold's own writers, in any process, one at a time from here to the rename; beside the
            // file a link leads to, which other links may lead to as well.
            QLockFile lock(lockPath(StateFile::linkedFile(path).value_or(path)));
            if (!lock.tryLock(std::chrono::milliseconds(lockWaitMs.load()))) {
                *reason = lockedReason();
                return false;
            }
            QMutexLocker locker(&shared->mutex);
            QString keptAs;
            const StateFile::Replaced replaced = shared->generation == generation
                                                     ? replace(shared->known, &keptAs)
                                                     : StateFile::Replaced::changed;
            if (replaced == StateFile::Replaced::changed) {
                outcome->changed = true;
                *reason = UiText::tr("the file changed meanwhile");
            }
            if (replaced != StateFile::Replaced::done)
                return false;
            if (!keptAs.isEmpty()) {
                outcome->kept = Kept{keptAs, shared->known, shared->writtenUpTo, shared->generation,
                                     shared->knownIsOwnWrite};
                shared->kept.append(*outcome->kept);
            }
            shared->known = written;
            shared->known.hash = outcome->hash;
            shared->knownIsOwnWrite = true;
            shared->writtenUpTo = upTo;
            return true;
        });
}

void FileGuard::noteWritten(quint64 upTo)
{
    if (upTo <= m_writtenUpTo)
        return;
    m_writtenUpTo = upTo;
    Q_EMIT written(upTo);
    tellChangesDone();
}

void FileGuard::tellChangesDone()
{
    quint64 upTo = m_writtenUpTo;
    for (const Kept &kept : std::as_const(m_kept))
        upTo = std::min(upTo, kept.writtenUpTo);
    Q_EMIT changesDone(upTo);
}

void FileGuard::saveFailedNow(const QString &reason)
{
    Q_EMIT saveFailed(m_path, reason);
    // Tried again after a while, and again at growing intervals while it keeps failing; a change made
    // meanwhile tries at once.
    if (m_failing)
        m_retryDelay = std::min(m_retryDelay * 2, longestRetry);
    m_failing = true;
    m_failure = reason;
    m_retryTimer.start(m_retryDelay);
}

void FileGuard::take(const Outside &read)
{
    if (!read.kept.isEmpty()) {
        if (!m_owner.admit) {
            takeKept(read);
            return;
        }
        // As another program's version of the file itself, it waits for what the owner is in the middle
        // of (text being typed for a row); kept and looked at meanwhile, the guard stays unsettled.
        m_owner.admit([guard = QPointer<FileGuard>(this), read] {
            if (guard)
                guard->takeKept(read);
        });
        return;
    }
    {
        QMutexLocker lock(&m_shared->mutex);
        if (read.generation != m_shared->generation)
            return; // a newer version was taken meanwhile
    }
    if (read.document.has_value() && m_owner.admit) {
        // Only the newest version waits; the owner is asked once.
        const bool asked = bool(m_admitting);
        m_admitting = std::make_shared<Outside>(read);
        m_stableTimer.stop();
        if (!asked)
            m_owner.admit([guard = QPointer<FileGuard>(this)] {
                if (guard)
                    guard->takeAdmitted();
            });
        return;
    }
    if (read.document.has_value()) {
        takeDocument(read);
        return;
    }
    noteWritten(read.writtenUpTo);
    // It may still be being written, or about to be made again: looked at once it stayed so.
    if (m_stableTimer.isActive() && read.version == m_unstableVersion)
        return;
    m_unstableVersion = read.version;
    m_stableTimer.start();
}

void FileGuard::takeAdmitted()
{
    const std::shared_ptr<Outside> read = std::exchange(m_admitting, nullptr);
    if (!read)
        return;
    {
        QMutexLocker lock(&m_shared->mutex);
        if (read->generation != m_shared->generation)
            return; // the owner took another version meanwhile (a slot read again)
    }
    // Rewritten again while it waited: what stands there now is read once, and taken in its place.
    if (!StateFile::stampOf(m_path).sameStamp(read->version)) {
        readOutside(false);
        return;
    }
    takeDocument(*read);
}

void FileGuard::takeDocument(const Outside &read)
{
    noteWritten(read.writtenUpTo);
    m_stableTimer.stop();
    // The owner may save the document it held before taking this one (a run it ends first): the
    // generation, counted up only afterwards, keeps such a save from being written.
    m_owner.rebase(read.document, read.replacedOwnWrite);
    {
        QMutexLocker lock(&m_shared->mutex);
        ++m_shared->generation;
        m_shared->known = read.version;
        m_shared->knownIsOwnWrite = false;
    }
    if (hasUnsavedChanges())
        m_owner.save();
}

void FileGuard::keepAside(const Kept &kept)
{
    m_kept.append(kept);
    QTimer::singleShot(m_stableTimer.intervalAsDuration(), this,
                       [this, path = kept.path] { lookAtKept(path); });
    // Beyond the bytes allowed, the oldest not looked at yet are looked at before their delay is out; the
    // newest stays, and so does one found written into.
    const auto unseen = [](const Kept &version) { return version.looks == 0 && !version.looking; };
    qint64 bytes = 0;
    for (const Kept &version : std::as_const(m_kept))
        bytes += unseen(version) ? version.version.size : 0;
    for (qsizetype i = 0; i + 1 < m_kept.size() && bytes > keptBytes.load(); ++i) {
        if (unseen(m_kept.at(i))) {
            bytes -= m_kept.at(i).version.size;
            lookAtKept(m_kept.at(i).path);
        }
    }
}

void FileGuard::lookAtKept(const QString &path)
{
    const auto found = std::find_if(m_kept.begin(), m_kept.end(),
                                    [&path](const Kept &version) { return version.path == path; });
    // Let go already, or a look at it under way (one made before its delay was out, or one whose version
    // waits to be taken in).
    if (found == m_kept.end() || found->looking)
        return;
    found->looking = true;
    ++found->looks;
    Hop::run(
        this,
        [shared = m_shared, owner = m_owner, kept = *found]() -> KeptLook {
            const StateFile::FileVersion now = StateFile::stampOf(kept.path);
            if (!now.exists)
                return {};
            const auto unchanged = [&kept] {
                ::unlink(QFile::encodeName(kept.path).constData());
                return KeptLook{};
            };
            if (now.sameStamp(kept.version))
                return unchanged();
            StateFile::ReadResult file = StateFile::readNow(kept.path);
            if (file.status == StateFile::ReadStatus::Ok) {
                Outside read;
                read.generation = kept.generation;
                read.writtenUpTo = kept.writtenUpTo;
                read.replacedOwnWrite = kept.ownWrite;
                read.kept = kept.path;
                read.version = file.version;
                read.version.hash = StateFile::contentHash(file.bytes);
                // The same content under a new time (touched, or written again as it was).
                if (!kept.version.hash.isEmpty() && read.version.hash == kept.version.hash)
                    return unchanged();
                {
                    // Not merged on a document it was not swapped out under (see takeKept()).
                    QMutexLocker lock(&shared->mutex);
                    if (shared->generation != kept.generation)
                        return {std::nullopt, false, true};
                }
                read.document = owner.decode(file.bytes, read.version, read.writtenUpTo);
                if (read.document.has_value())
                    return {std::move(read), false, false};
            }
            // Still being written, or never to be read whole.
            return {std::nullopt, kept.looks < keptLooks, kept.looks >= keptLooks};
        },
        [this, path](KeptLook found) {
            if (found.read) {
                take(*found.read);
            } else if (found.again) {
                for (Kept &version : m_kept) {
                    if (version.path == path)
                        version.looking = false;
                }
                tellIfAllAtRest();
                QTimer::singleShot(m_stableTimer.intervalAsDuration(), this,
                                   [this, path] { lookAtKept(path); });
            } else {
                if (found.keepBeside)
                    keepBeside(path);
                letGo(path);
            }
        });
}

void FileGuard::takeKept(const Outside &read)
{
    bool sameDocument = false;
    {
        QMutexLocker lock(&m_shared->mutex);
        sameDocument = read.generation == m_shared->generation;
    }
    // Another version was taken in since this one was swapped out: the owner's document is no longer
    // the version this one replaced, and taking this one would drop that other version's content.
    if (!sameDocument) {
        keepBeside(read.kept);
        letGo(read.kept);
        return;
    }
    // Another program wrote it in place of the version it replaced: the owner takes it, with every
    // change made since that version made again on it, and the file, which lacks it, is written.
    m_owner.rebase(read.document, read.replacedOwnWrite);
    {
        // As in take(): a snapshot made before holds none of it. And a version swapped out before it was
        // taken (which another program may have made without it, not seeing its own write) is no longer
        // merged: kept beside the file, it cannot drop it.
        QMutexLocker lock(&m_shared->mutex);
        ++m_shared->generation;
    }
    StateFile::removeInBackground(read.kept);
    noteChange();
    letGo(read.kept);
    m_owner.save();
}

void FileGuard::keepBeside(const QString &kept)
{
    const QString file = StateFile::linkedFile(m_path).value_or(m_path);
    if (const std::optional<QString> target = StateFile::keepOtherVersion(kept, file))
        Q_EMIT NotificationBus::instance().stateFileOtherVersionKept(m_path, *target);
}

void FileGuard::letGo(const QString &kept)
{
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->kept.removeIf([&kept](const Kept &version) { return version.path == kept; });
    }
    m_kept.removeIf([&kept](const Kept &version) { return version.path == kept; });
    tellChangesDone();
    tellIfAllAtRest();
}

void FileGuard::readOutside(bool settleWhenStable)
{
    const std::shared_ptr<Shared> shared = m_shared;
    const StateFile::FileVersion unstable = m_unstableVersion;
    m_readingOutside = true;
    Hop::run(
        this,
        [shared, path = m_path, owner = m_owner, settleWhenStable, unstable]() -> std::optional<Outside> {
            std::optional<Outside> read = shared->readIfChanged(path, owner);
            if (!read || read->document.has_value() || !settleWhenStable || !(read->version == unstable))
                return read;
            // The same for the stable delay: a missing file is taken as gone; an undecodable one is set
            // aside, and the document is written back.
            QMutexLocker lock(&shared->mutex);
            if (shared->generation != read->generation || !StateFile::stampOf(path).sameStamp(read->version))
                return std::nullopt;
            if (!read->missing && !StateFile::setAside(path))
                return std::nullopt;
            ++shared->generation;
            shared->known = {};
            shared->knownIsOwnWrite = false;
            read->generation = shared->generation;
            read->gone = true;
            return read;
        },
        [this](const std::optional<Outside> &read) {
            m_readingOutside = false;
            if (read && read->gone) {
                m_stableTimer.stop();
                noteWritten(read->writtenUpTo);
                if (!m_failing)
                    m_owner.restore();
            } else if (read) {
                take(*read);
            } else if (hasUnsavedChanges() && !m_failing && m_savesDone == m_savesRequested) {
                m_owner.save();
            }
            Q_EMIT fileLookedAt();
            tellIfAllAtRest();
        });
}

void FileGuard::watch()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    m_watcher.addPath(folder);
    // Where the file is a link, another program replaces the file it leads to, in that file's folder.
    if (const std::optional<QString> linked = StateFile::linkedFile(m_path); linked && *linked != m_path) {
        const QString linkedFolder = QFileInfo(*linked).absolutePath();
        if (linkedFolder != folder && QFileInfo::exists(linkedFolder))
            m_watcher.addPath(linkedFolder);
    }
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

void FileGuard::checkForOutsideChange()
{
    // A version that waits to be taken is compared with the file as it is taken.
    if (m_admitting)
        return;
    if (m_savesDone != m_savesRequested || m_readingOutside) {
        // One of ours is still on its way; its comparison before the rename will tell.
        m_outsideChangeTimer.start();
        return;
    }
    if (!m_stableTimer.isActive())
        readOutside(false);
}
