#include "core/storage/StateFile.h"

#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QThreadPool>
#include <QWaitCondition>

#include <simdjson.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStateFile, "lyrafold.statefile")

namespace {

// Whether a failed write is kept, to be told (and, for a file written without a guard, tried again
// with the bytes meant for it), or is its caller's alone to report (a copy, an export, an edit).
enum class Track { kept, caller };

bool writeNow(const QString &path, const QByteArray &bytes, QString *error,
              const StateFile::ReplaceGuard &guard = {}, Track track = Track::kept);
bool removeNow(const QString &path, QString *error);

QString fileKey(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// The file a worker of this thread is writing, so that a done callback that reads it back does not
// wait for itself.
thread_local const QString *writingKey = nullptr;

// Per file, at most one worker at a time; behind it, edits in turn and at most one write after the last
// of them: a newer write replaces the waiting one.
class BackgroundWriter {
public:
    enum class Kind { write, edit, remove };

    static BackgroundWriter &instance()
    {
        static BackgroundWriter writer;
        return writer;
    }

    // A write (or a removal) replaces the writes waiting after the last edit. An edit, which reads the
    // file it rewrites, waits behind them, and keeps its place: it always runs and is told how it went.
    void enqueue(const QString &path, Kind kind, StateFile::Encoder encode, StateFile::WriteDone done,
                 StateFile::ReplaceGuard guard = {})
    {
        const QString key = fileKey(path);
        QMutexLocker lock(&m_mutex);
        auto busy = m_files.find(key);
        if (busy != m_files.end()) {
            while (kind != Kind::edit && !busy->isEmpty() && busy->constLast().kind != Kind::edit)
                busy->removeLast();
            busy->append(Job{std::move(encode), std::move(done), kind, std::move(guard)});
            return;
        }
        start(key, path, Job{std::move(encode), std::move(done), kind, std::move(guard)});
    }

    // Writes what was last meant for the file again, unless anything for it is queued or running: that
    // is newer.
    void retry(const QString &path, const StateFile::Unwritten &meant)
    {
        const QString key = fileKey(path);
        QMutexLocker lock(&m_mutex);
        if (m_files.contains(key))
            return;
        if (meant.removed)
            start(key, path, Job{{}, {}, Kind::remove, {}});
        else
            start(key, path,
                  Job{[bytes = meant.bytes] { return std::optional(bytes); }, {}, Kind::write, {}});
    }

    void wait(const QString &path)
    {
        const QString key = fileKey(path);
        if (writingKey && *writingKey == key)
            return;
        QMutexLocker lock(&m_mutex);
        while (m_files.contains(key))
            m_idle.wait(&m_mutex);
    }

    void waitAll()
    {
        QMutexLocker lock(&m_mutex);
        while (!m_files.isEmpty())
            m_idle.wait(&m_mutex);
    }

    bool busy()
    {
        QMutexLocker lock(&m_mutex);
        return !m_files.isEmpty();
    }

private:
    struct Job {
        StateFile::Encoder encode;
        StateFile::WriteDone done;
        Kind kind = Kind::write;
        StateFile::ReplaceGuard guard;
    };

    BackgroundWriter() { m_pool.setMaxThreadCount(4); }

    // Under m_mutex, for a file nothing is queued for.
    void start(const QString &key, const QString &path, Job job)
    {
        m_files.insert(key, QList<Job>{std::move(job)});
        m_pool.start([this, key, path] { run(key, path); });
    }

    void run(const QString &key, const QString &path)
    {
        writingKey = &key;
        for (;;) {
            std::optional<Job> job;
            {
                QMutexLocker lock(&m_mutex);
                auto entry = m_files.find(key);
                if (entry->isEmpty()) {
                    m_files.erase(entry);
                    m_idle.wakeAll();
                    break;
                }
                job = entry->takeFirst();
            }
            QString error;
            bool written = false;
            if (job->kind == Kind::remove) {
                written = removeNow(path, &error);
            } else if (const std::optional<QByteArray> bytes = job->encode ? job->encode() : std::nullopt) {
                written = writeNow(path, *bytes, &error, job->guard,
                                   job->kind == Kind::edit ? Track::caller : Track::kept);
            } else {
                error = UiText::tr("the data could not be encoded");
            }
            if (job->done)
                job->done(path, written, error);
        }
        writingKey = nullptr;
    }

    QMutex m_mutex;
    QWaitCondition m_idle;
    // Present while a worker has the file; the value is what waits behind it.
    QHash<QString, QList<Job>> m_files;
    // Last, so that it is destroyed first: its destructor waits for the workers, which use the rest.
    QThreadPool m_pool;
};

// The mode of a file the user creates: what the umask leaves of 0666, read once where no other thread
// can change the umask meanwhile.
mode_t newFileMode()
{
    static const mode_t mode = [] {
        mode_t mask = 022;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("Umask:"))
                    mask = mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

StateFile::FileVersion versionFromStat(const struct stat &info)
{
    return {true,
            qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            quint64(info.st_dev),
            quint64(info.st_ino),
            {}};
}

// Moves the version a write swapped out from the temporary name to a name of its own beside the file,
// one the start-up sweep leaves. Where no such name can be taken it stays, and goes with the temporary
// file.
void keepReplaced(const QByteArray &temporary, const QString &file, QString *keptAs)
{
    const QFileInfo info(file);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QStringLiteral("%1/.%2.replaced-%3")
                                 .arg(info.absolutePath(), info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, QFile::encodeName(name).constData(),
                        RENAME_NOREPLACE) == 0) {
            *keptAs = name;
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

// The files whose last write failed, so that a failure is told once until a write of the file
// succeeds again, with what was meant for the files written without a guard.
class FailingFiles {
public:
    static FailingFiles &instance()
    {
        static FailingFiles files;
        return files;
    }

    // Returns whether the file fails now for the first time since it last succeeded. The reason and
    // what was meant of the last failure are kept.
    bool failed(const QString &key, const QString &reason, std::optional<StateFile::Unwritten> meant)
    {
        QMutexLocker lock(&m_mutex);
        const bool first = !m_failures.contains(key);
        m_failures.insert(key, Failure{reason, std::move(meant)});
        return first;
    }

    // Returns whether the file had failed.
    bool written(const QString &key)
    {
        QMutexLocker lock(&m_mutex);
        return m_failures.remove(key);
    }

    QList<StateFile::FailedWrite> all()
    {
        QMutexLocker lock(&m_mutex);
        QList<StateFile::FailedWrite> failed;
        for (auto file = m_failures.cbegin(); file != m_failures.cend(); ++file)
            failed.append({file.key(), file->reason});
        return failed;
    }

    std::optional<StateFile::Unwritten> meant(const QString &key)
    {
        QMutexLocker lock(&m_mutex);
        const auto file = m_failures.constFind(key);
        return file == m_failures.cend() ? std::nullopt : file->meant;
    }

    QList<std::pair<QString, StateFile::Unwritten>> allMeant()
    {
        QMutexLocker lock(&m_mutex);
        QList<std::pair<QString, StateFile::Unwritten>> meant;
        for (auto file = m_failures.cbegin(); file != m_failures.cend(); ++file) {
            if (file->meant)
                meant.append({file.key(), *file->meant});
        }
        return meant;
    }

private:
    struct Failure {
        QString reason;
        std::optional<StateFile::Unwritten> meant;
    };

    QMutex m_mutex;
    QHash<QString, Failure> m_failures;
};

// What a test makes of the writes (StateFile::setWriteCheckForTesting()).
QMutex writeCheckMutex;
std::function<std::optional<QString>(const QString &path)> writeCheck;

std::optional<QString> writeCheckedForTesting(const QString &path)
{
    std::function<std::optional<QString>(const QString &)> check;
    {
        const QMutexLocker lock(&writeCheckMutex);
        check = writeCheck;
    }
    return check ? check(path) : std::nullopt;
}

bool writeNow(const QString &path, const QByteArray &bytes, QString *error,
              const StateFile::ReplaceGuard &guard, Track track)
{
    const QFileInfo info(path);
    const std::optional<QString> linked = StateFile::linkedFile(info.absoluteFilePath());
    // The file replaced: the path's own, or the one its link leads to, beside which the new version is
    // made, so that the link stays.
    const QString file = linked.value_or(info.absoluteFilePath());
    const QString folder = QFileInfo(file).absolutePath();
    const auto fail = [&](const QString &reason) {
        qCWarning(lcStateFile) << "cannot write" << path << reason;
        if (error)
            *error = reason;
        if (track == Track::caller)
            return false;
        // A guard's owner keeps its document and writes it again itself.
        std::optional<StateFile::Unwritten> meant;
        if (!guard)
            meant = StateFile::Unwritten{false, bytes};
        if (FailingFiles::instance().failed(fileKey(path), reason, std::move(meant)))
            Q_EMIT NotificationBus::instance().stateFileSaveFailed(info.absoluteFilePath(), reason);
        return false;
    };
    const auto failWith = [&](int errorNumber) {
        return fail(StateFile::writeFailureReason(errorNumber, folder));
    };
    if (const std::optional<QString> refusal = writeCheckedForTesting(info.absoluteFilePath()))
        return fail(*refusal);
    if (!linked)
        return failWith(ELOOP);
    // The folder a link leads into is the user's to make: a link into one that is gone fails.
    if (file == info.absoluteFilePath() && !QDir().mkpath(folder))
        return fail(UiText::tr("cannot create folder %1").arg(folder));
    // The file is written under a name of our own beside the target, then renamed over it: a crash leaves
    // the previous file whole, and the start-up sweep can tell what we left from the user's own files.
    QByteArray temporary = QFile::encodeName(StateFile::temporaryTemplate(file));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failWith(errno);
    const auto abandon = [&](int errorNumber) {
        ::close(fd);
        ::unlink(temporary.constData());
        return failWith(errorNumber);
    };
    // The new version keeps the target's permissions (a file the user made private stays so).
    struct stat target {};
    const mode_t mode =
        ::stat(QFile::encodeName(file).constData(), &target) == 0 ? target.st_mode & 07777 : newFileMode();
    if (::fchmod(fd, mode) != 0)
        return abandon(errno);
    // A short write (a full disk, a file size limit) fails here, with the system's own reason, and
    // nothing short is ever renamed into place.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : ENOSPC);
        done += n;
    }
    struct stat written {};
    if (::fsync(fd) != 0 || ::fstat(fd, &written) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int closeError = errno;
        ::unlink(temporary.constData());
        return failWith(closeError);
    }
    // rename(2) replaces the target in one step.
    int renameError = 0;
    const QByteArray targetName = QFile::encodeName(file);
    const auto renamed = [&](unsigned int flags) {
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, targetName.constData(), flags) == 0)
            return true;
        renameError = errno;
        return false;
    };
    const StateFile::FileVersion ours = versionFromStat(written);
    const StateFile::Replace replace = [&](const StateFile::FileVersion &expected, QString *keptAs) {
        using StateFile::Replaced;
        if (!StateFile::stampOf(file).sameStamp(expected))
            return Replaced::changed;
        const bool unsupported = [&] {
            // Compared and put in place in one step: no name may appear meanwhile, or the one that stood
            // there is swapped out and looked at.
            if (renamed(expected.exists ? RENAME_EXCHANGE : RENAME_NOREPLACE))
                return false;
            return renameError == EINVAL || renameError == ENOSYS;
        }();
        if (unsupported) {
            renameError = 0;
            return renamed(0) ? Replaced::done : Replaced::failed;
        }
        if (renameError == EEXIST || renameError == ENOENT) {
            renameError = 0;
            return Replaced::changed; // made, or removed, since the comparison
        }
        if (renameError != 0)
            return Replaced::failed;
        if (!expected.exists)
            return Replaced::done;
        if (StateFile::stampOf(QFile::decodeName(temporary)).sameStamp(expected)) {
            if (keptAs)
                keepReplaced(temporary, file, keptAs);
            return Replaced::done;
        }
        // Another version took the file's place between the comparison and the exchange: it goes back,
        // and should yet another have come meanwhile, that one is kept beside the file.
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, targetName.constData(), RENAME_EXCHANGE) ==
                0 &&
            !StateFile::stampOf(QFile::decodeName(temporary)).sameStamp(ours)) {
            // Written into by a program that opened the file in those moments: kept, and told.
            if (const std::optional<QString> kept =
                    StateFile::keepOtherVersion(QFile::decodeName(temporary), file))
                Q_EMIT NotificationBus::instance().stateFileOtherVersionKept(info.absoluteFilePath(), *kept);
        }
        return Replaced::changed;
    };
    QString refusal;
    const bool replaced = guard ? guard(replace, ours, &refusal) : renamed(0);
    // What stands under the temporary name now: nothing, the version that was replaced (unless it is
    // kept), or ours.
    ::unlink(temporary.constData());
    if (!replaced) {
        if (renameError != 0 || refusal.isEmpty())
            return failWith(renameError);
        if (error)
            *error = refusal;
        return false;
    }
    if (FailingFiles::instance().written(fileKey(path)))
        qCInfo(lcStateFile) << "written again after a failure:" << path;
    return true;
}

bool removeNow(const QString &path, QString *error)
{
    const std::optional<QString> file = StateFile::linkedFile(QFileInfo(path).absoluteFilePath());
    if (file && (::unlink(QFile::encodeName(*file).constData()) == 0 || errno == ENOENT)) {
        // A file gone lacks nothing a failed write was to give it.
        FailingFiles::instance().written(fileKey(path));
        return true;
    }
    const int errorNumber = file ? errno : ELOOP;
    const QString reason =
        StateFile::writeFailureReason(errorNumber, QFileInfo(file.value_or(path)).absolutePath());
    qCWarning(lcStateFile) << "cannot remove" << path << reason;
    if (error)
        *error = reason;
    if (FailingFiles::instance().failed(fileKey(path), reason, StateFile::Unwritten{true, {}}))
        Q_EMIT NotificationBus::instance().stateFileSaveFailed(QFileInfo(path).absoluteFilePath(), reason);
    return false;
}

int removeLeftovers(const QDir &dir, const QRegularExpression &leftover)
{
    int removed = 0;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (!leftover.match(name).hasMatch())
            continue;
        if (QFile::remove(dir.filePath(name)))
            ++removed;
        else
            qCWarning(lcStateFile) << "cannot remove the leftover of an interrupted save"
                                   << dir.filePath(name);
    }
    if (removed > 0)
        qCInfo(lcStateFile) << "removed" << removed << "leftovers of interrupted saves in" << dir.path();
    return removed;
}

// A file built into the program (a Qt resource path): in memory, never anything but a file.
StateFile::ReadResult readResource(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {StateFile::ReadStatus::Failed, {}, {}, file.errorString(), false};
    QByteArray bytes;
    bytes.reserve(file.size() + qint64(simdjson::SIMDJSON_PADDING));
    bytes = file.readAll();
    bytes.reserve(bytes.size() + qint64(simdjson::SIMDJSON_PADDING));
    return {StateFile::ReadStatus::Ok, std::move(bytes), {}, {}, false};
}

} // namespace

namespace StateFile {

ReadResult read(const QString &path)
{
    waitForPendingWrites(path);
    return readNow(path);
}

ReadResult readNow(const QString &path)
{
    const auto failed = [&path](const QString &reason) {
        qCWarning(lcStateFile) << "cannot read" << path << reason;
        return ReadResult{ReadStatus::Failed, {}, {}, reason, false};
    };
    if (path.startsWith(QLatin1Char(':')))
        return readResource(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return {};
        return failed(QString::fromLocal8Bit(std::strerror(error)));
    }
    const auto refuse = [&] {
        ReadResult result =
            failed(UiText::tr("“%1” is not a regular file and was not read").arg(QFileInfo(path).fileName()));
        result.notRegular = true;
        return result;
    };
    if (!S_ISREG(info.st_mode))
        return refuse();
    // Without waiting: should a named pipe or a device have taken the file's place since the stat, the
    // open returns at once, and the fstat below refuses it.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    const auto closed = [fd](ReadResult result) {
        ::close(fd);
        return result;
    };
    if (::fstat(fd, &info) != 0)
        return closed(failed(QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISREG(info.st_mode))
        return closed(refuse());
    const qint64 size = qint64(info.st_size);
    QByteArray bytes;
    // Reserve the parser's padding so it can work on this buffer without copying it.
    bytes.reserve(size + qint64(simdjson::SIMDJSON_PADDING));
    bytes.resize(size);
    qint64 done = 0;
    int error = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        done += n;
    }
    char more = 0;
    if (done != size || error != 0 || ::read(fd, &more, 1) > 0)
        return closed(failed(error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                        : UiText::tr("the file changed while it was read")));
    return closed({ReadStatus::Ok, std::move(bytes), versionFromStat(info), {}, false});
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    waitForPendingWrites(path);
    return writeNow(path, bytes, error);
}

bool writeCopy(const QString &path, const QByteArray &bytes, QString *error)
{
    waitForPendingWrites(path);
    return writeNow(path, bytes, error, {}, Track::caller);
}

void writeInBackground(const QString &path, Encoder encode, WriteDone done, ReplaceGuard guard)
{
    BackgroundWriter::instance().enqueue(path, BackgroundWriter::Kind::write, std::move(encode),
                                         std::move(done), std::move(guard));
}

QString writeFailureReason(int error, const QString &folder)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return UiText::tr("the disk is full");
    case EROFS:
        return UiText::tr("the folder %1 is read-only").arg(folder);
    case EACCES:
    case EPERM:
        return UiText::tr("Lyrafold is not permitted to write in the folder %1").arg(folder);
    case EFBIG:
        return UiText::tr("the file is larger than the system allows");
    case ENOENT:
        return UiText::tr("the folder %1 does not exist").arg(folder);
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

FileVersion stampOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return versionFromStat(info);
}

QByteArray contentHash(const QByteArray &bytes)
{
    // Qt's own hash of data, seeded afresh at each start and many times faster than a cryptographic
    // one (a state file is hashed whole at every save); two seeds make 128 bits.
    const size_t first = qHashBits(bytes.constData(), size_t(bytes.size()), 0x2545f491u);
    const size_t second = qHashBits(bytes.constData(), size_t(bytes.size()), 0x9e3779b9u);
    QByteArray hash;
    hash.append(reinterpret_cast<const char *>(&first), sizeof first);
    hash.append(reinterpret_cast<const char *>(&second), sizeof second);
    return hash;
}

void editInBackground(const QString &path, Encoder encode, WriteDone done)
{
    BackgroundWriter::instance().enqueue(path, BackgroundWriter::Kind::edit, std::move(encode),
                                         std::move(done));
}

void removeInBackground(const QString &path, WriteDone done)
{
    BackgroundWriter::instance().enqueue(path, BackgroundWriter::Kind::remove, {}, std::move(done));
}

void waitForPendingWrites(const QString &path)
{
    BackgroundWriter::instance().wait(path);
}

void waitForAllPendingWrites()
{
    BackgroundWriter::instance().waitAll();
}

bool hasPendingWrites()
{
    return BackgroundWriter::instance().busy();
}

QList<FailedWrite> failedWrites()
{
    return FailingFiles::instance().all();
}

std::optional<Unwritten> unwritten(const QString &path)
{
    return FailingFiles::instance().meant(fileKey(path));
}

void retryFailedWrites()
{
    for (const auto &[path, meant] : FailingFiles::instance().allMeant())
        BackgroundWriter::instance().retry(path, meant);
}

void setWriteCheckForTesting(std::function<std::optional<QString>(const QString &path)> check)
{
    const QMutexLocker lock(&writeCheckMutex);
    writeCheck = std::move(check);
}

std::optional<QString> setAside(const QString &path)
{
    const std::optional<QString> file = linkedFile(QFileInfo(path).absoluteFilePath());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = file.value_or(path) + QStringLiteral(".unreadable-") + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    // Never over a name that appeared meanwhile; and only a rename, never a copy, whatever stands there.
    const QByteArray from = QFile::encodeName(file.value_or(path));
    const QByteArray to = QFile::encodeName(target);
    const bool renamed =
        file && (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0 ||
                 ((errno == EINVAL || errno == ENOSYS) && !QFileInfo(target).isSymLink() &&
                  !QFileInfo::exists(target) && ::rename(from.constData(), to.constData()) == 0));
    if (!renamed) {
        qCWarning(lcStateFile) << "cannot move undecodable file aside" << path;
        return std::nullopt;
    }
    qCWarning(lcStateFile) << "undecodable file moved aside:" << path << "->" << target;
    Q_EMIT NotificationBus::instance().stateFileSetAside(path, target);
    return target;
}

std::optional<QString> keepOtherVersion(const QString &version, const QString &path)
{
    const QString base = path + QStringLiteral(".before-merge-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2;; ++n) {
        if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink()) {
            const QByteArray from = QFile::encodeName(version);
            const QByteArray to = QFile::encodeName(target);
            if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0 ||
                ((errno == EINVAL || errno == ENOSYS) && ::rename(from.constData(), to.constData()) == 0))
                break;
            if (errno != EEXIST) {
                qCWarning(lcStateFile)
                    << "cannot keep another version of" << path << "beside it:" << std::strerror(errno);
                return std::nullopt;
            }
        }
        target = base + QLatin1Char('-') + QString::number(n);
    }
    qCWarning(lcStateFile) << "another version of" << path << "kept as" << target;
    return target;
}

QString temporaryTemplate(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lyrafold-XXXXXX");
}

std::optional<QString> linkedFile(const QString &path)
{
    // As many links as the system itself follows in one path before it gives up.
    constexpr int maxLinks = 40;
    QString file = path;
    for (int links = 0; links <= maxLinks; ++links) {
        const QByteArray native = QFile::encodeName(file);
        struct stat info {};
        if (::lstat(native.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return file;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(native.constData(), target.data(), size_t(target.size()));
        if (length <= 0 || length >= target.size())
            return std::nullopt;
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        const qsizetype slash = next.lastIndexOf(QLatin1Char('/'));
        // The target's folder as the system finds it (its own links and ".." resolved, as a relative link
        // is read from the link's folder); a folder that does not exist is left as the link names it.
        const QString from =
            QDir::isAbsolutePath(next) ? QString() : QFileInfo(file).absolutePath() + QLatin1Char('/');
        const QString folder = from + (slash < 0    ? QStringLiteral(".")
                                       : slash == 0 ? QStringLiteral("/")
                                                    : next.left(slash));
        const QString real = QFileInfo(folder).canonicalFilePath();
        const QString name = next.mid(slash + 1);
        if (real.isEmpty())
            file = folder + QLatin1Char('/') + name;
        else
            file = real + (real.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
    }
    return std::nullopt;
}

int removeInterruptedSaves(const QString &folder)
{
    // Only the names writeNow() gives its temporary files: whatever else lies beside the state files
    // belongs to the user.
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.lyrafold-[A-Za-z0-9]{6}$"));
    QDir dir(folder);
    int removed = removeLeftovers(dir, leftover);
    // Beside the file a link leads to (a sync folder), only those of that file: the folder is not ours.
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (!entry.isSymLink())
            continue;
        const std::optional<QString> file = linkedFile(entry.absoluteFilePath());
        if (!file || *file == entry.absoluteFilePath())
            continue;
        const QFileInfo target(*file);
        const QRegularExpression ofTarget(QStringLiteral("^\\.") +
                                          QRegularExpression::escape(target.fileName()) +
                                          QStringLiteral("\\.lyrafold-[A-Za-z0-9]{6}$"));
        removed += removeLeftovers(QDir(target.absolutePath()), ofTarget);
    }
    return removed;
}

} // namespace StateFile
