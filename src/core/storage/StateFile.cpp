#include "core/storage/StateFile.h"

#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThreadPool>
#include <QWaitCondition>

#include <simdjson.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStateFile, "lyrafold.statefile")

namespace {

bool writeNow(const QString &path, const QByteArray &bytes, QString *error,
              const StateFile::ReplaceGuard &guard = {});

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
        m_files.insert(key, QList<Job>{Job{std::move(encode), std::move(done), kind, std::move(guard)}});
        m_pool.start([this, key, path] { run(key, path); });
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

private:
    struct Job {
        StateFile::Encoder encode;
        StateFile::WriteDone done;
        Kind kind = Kind::write;
        StateFile::ReplaceGuard guard;
    };

    BackgroundWriter() { m_pool.setMaxThreadCount(4); }

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
                QFile file(path);
                written = file.remove() || !file.exists();
                if (!written)
                    error = file.errorString();
            } else if (const std::optional<QByteArray> bytes = job->encode ? job->encode() : std::nullopt) {
                written = writeNow(path, *bytes, &error, job->guard);
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

bool writeNow(const QString &path, const QByteArray &bytes, QString *error,
              const StateFile::ReplaceGuard &guard)
{
    const auto fail = [&](const QString &reason) {
        qCWarning(lcStateFile) << "cannot write" << path << reason;
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(UiText::tr("cannot create folder %1").arg(info.absolutePath()));
    // The file is written under a name of our own beside the target, then renamed over it: a crash leaves
    // the previous file whole, and the start-up sweep can tell what we left from the user's own files.
    QTemporaryFile file(StateFile::temporaryTemplate(info.absoluteFilePath()));
    if (!file.open())
        return fail(file.errorString());
    // The new version keeps the target's permissions (a file the user made private stays so).
    struct stat target {};
    const mode_t mode =
        ::stat(QFile::encodeName(path).constData(), &target) == 0 ? target.st_mode & 07777 : newFileMode();
    if (::fchmod(file.handle(), mode) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    // A short write (a full disk, a file size limit) shows in write()'s or flush()'s result, and nothing
    // short is ever renamed into place.
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return fail(file.errorString());
    // rename(2) replaces the target in one step; QTemporaryFile::rename() refuses an existing one.
    int renameError = 0;
    const StateFile::Replace replace = [&] {
        if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) ==
            0)
            return true;
        renameError = errno;
        return false;
    };
    QString refusal;
    if (guard ? !guard(replace, &refusal) : !replace()) {
        if (renameError != 0 || refusal.isEmpty())
            return fail(QString::fromLocal8Bit(std::strerror(renameError)));
        if (error)
            *error = refusal;
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

} // namespace

namespace StateFile {

ReadResult read(const QString &path)
{
    waitForPendingWrites(path);
    QFile file(path);
    if (!file.exists())
        return {ReadStatus::Missing, {}};
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStateFile) << "cannot open" << path << file.errorString();
        return {ReadStatus::Failed, {}};
    }
    const qint64 size = file.size();
    QByteArray bytes;
    // Reserve the parser's padding so it can work on this buffer without copying it.
    bytes.reserve(size + qint64(simdjson::SIMDJSON_PADDING));
    bytes.resize(size);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(bytes.data() + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done != size || !file.atEnd()) {
        qCWarning(lcStateFile) << "cannot read" << path << file.errorString();
        return {ReadStatus::Failed, {}};
    }
    return {ReadStatus::Ok, std::move(bytes)};
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    waitForPendingWrites(path);
    return writeNow(path, bytes, error);
}

void writeInBackground(const QString &path, Encoder encode, WriteDone done, ReplaceGuard guard)
{
    BackgroundWriter::instance().enqueue(path, BackgroundWriter::Kind::write, std::move(encode),
                                         std::move(done), std::move(guard));
}

QByteArray contentHash(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

namespace {

FileVersion statVersion(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, {}};
}

} // namespace

FileVersion versionOf(const QString &path, const QByteArray &contents)
{
    FileVersion version = statVersion(path);
    if (version.exists)
        version.hash = contentHash(contents);
    return version;
}

bool unchangedSince(const QString &path, const FileVersion &known)
{
    const FileVersion now = statVersion(path);
    if (now.exists != known.exists || now.size != known.size || now.modifiedNs != known.modifiedNs)
        return false;
    if (!now.exists)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(now.size + 1);
    return bytes.size() == now.size && contentHash(bytes) == known.hash;
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

std::optional<QString> setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, target)) {
        qCWarning(lcStateFile) << "cannot move undecodable file aside" << path;
        return std::nullopt;
    }
    qCWarning(lcStateFile) << "undecodable file moved aside:" << path << "->" << target;
    Q_EMIT NotificationBus::instance().stateFileSetAside(path, target);
    return target;
}

QString temporaryTemplate(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lyrafold-XXXXXX");
}

int removeInterruptedSaves(const QString &folder)
{
    // Only the names writeNow() gives its temporary files: whatever else lies beside the state files
    // belongs to the user.
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.lyrafold-[A-Za-z0-9]{6}$"));
    QDir dir(folder);
    int removed = 0;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (!leftover.match(name).hasMatch())
            continue;
        if (dir.remove(name))
            ++removed;
        else
            qCWarning(lcStateFile) << "cannot remove the leftover of an interrupted save"
                                   << dir.filePath(name);
    }
    if (removed > 0)
        qCInfo(lcStateFile) << "removed" << removed << "leftovers of interrupted saves in" << folder;
    return removed;
}

} // namespace StateFile
