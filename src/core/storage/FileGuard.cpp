#include "core/storage/FileGuard.h"

#include "core/common/Hop.h"
#include "core/common/UiText.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <atomic>

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
    return !hasUnsavedChanges() && !underWay();
}

bool FileGuard::underWay() const
{
    return m_savesDone != m_savesRequested || m_readingOutside || m_stableTimer.isActive();
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
            back.post([this, request, writtenUpTo, written, error] {
                m_savesDone = request;
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
                *reason = UiText::tr("another Lyrafold kept the file locked");
                return false;
            }
            QMutexLocker locker(&shared->mutex);
            const StateFile::Replaced replaced =
                shared->generation == generation ? replace(shared->known) : StateFile::Replaced::changed;
            if (replaced == StateFile::Replaced::changed) {
                outcome->changed = true;
                *reason = UiText::tr("the file changed meanwhile");
            }
            if (replaced != StateFile::Replaced::done)
                return false;
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
    {
        QMutexLocker lock(&m_shared->mutex);
        if (read.generation != m_shared->generation)
            return; // a newer version was taken meanwhile
    }
    noteWritten(read.writtenUpTo);
    if (read.document.has_value()) {
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
        return;
    }
    // It may still be being written, or about to be made again: looked at once it stayed so.
    if (m_stableTimer.isActive() && read.version == m_unstableVersion)
        return;
    m_unstableVersion = read.version;
    m_stableTimer.start();
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
    if (m_savesDone != m_savesRequested || m_readingOutside) {
        // One of ours is still on its way; its comparison before the rename will tell.
        m_outsideChangeTimer.start();
        return;
    }
    if (!m_stableTimer.isActive())
        readOutside(false);
}
