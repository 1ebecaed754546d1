#include "core/storage/SafeReplace.h"

#include "core/common/UiText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// A hidden name in the folder that no one else uses, short enough for any file system whatever the
// destination's own name.
QString unusedSibling(const QString &folder, const char *role)
{
    for (;;) {
        const QString path = QStringLiteral("%1/.lyrafold-%2-%3")
                                 .arg(folder, QLatin1String(role))
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFileInfo(path).isSymLink() && !QFileInfo::exists(path))
            return path;
    }
}

bool entryExists(const QFileInfo &info)
{
    return info.isSymLink() || info.exists();
}

Result<bool> failure(const QString &message)
{
    return Result<bool>::failure(message);
}

Result<bool> cancelled()
{
    return Result<bool>::failure(UiText::tr("The save was cancelled."), SafeReplace::cancelledCode);
}

// Copies source to target (a folder with all it holds); on failure names what could not be copied.
// Links to folders inside a folder are left out: they could lead back into the copy.
bool copyEntry(FileOperations &operations, const QFileInfo &source, const QString &target,
               const BuildProgress *progress, Result<bool> &outcome)
{
    if (isCancelled(progress)) {
        outcome = cancelled();
        return false;
    }
    QString reason;
    if (!source.isDir()) {
        if (operations.copyFile(source.filePath(), target, reason))
            return true;
        outcome = failure(UiText::tr("Could not copy “%1”: %2").arg(source.fileName(), reason));
        return false;
    }
    if (!operations.makeFolder(target, reason)) {
        outcome = failure(UiText::tr("Could not copy “%1”: %2").arg(source.fileName(), reason));
        return false;
    }
    const QFileInfoList entries =
        QDir(source.filePath())
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() && entry.isDir())
            continue;
        if (!copyEntry(operations, entry, target + QLatin1Char('/') + entry.fileName(), progress, outcome))
            return false;
    }
    return true;
}

void discard(FileOperations &operations, const QString &path)
{
    QString ignored;
    operations.removeAll(path, ignored);
}

// Puts the complete copy at target where an entry exists already that rename(2) cannot replace (a
// folder, or a folder replaced by a file).
Result<bool> exchangeInto(FileOperations &operations, const QString &copy, const QString &target,
                          const QString &folder)
{
    const QString name = QFileInfo(target).fileName();
    QString reason;
    switch (operations.exchange(copy, target, reason)) {
    case FileOperations::Exchange::done:
        discard(operations, copy); // the old entry, now under the temporary name
        return true;
    case FileOperations::Exchange::failed:
        discard(operations, copy);
        return failure(UiText::tr("Could not replace “%1”: %2").arg(name, reason));
    case FileOperations::Exchange::unsupported:
        break;
    }
    const QString aside = unusedSibling(folder, "old");
    if (!operations.rename(target, aside, reason)) {
        discard(operations, copy);
        return failure(UiText::tr("Could not replace “%1”: %2").arg(name, reason));
    }
    if (!operations.rename(copy, target, reason)) {
        QString restoreReason;
        const bool restored = operations.rename(aside, target, restoreReason);
        discard(operations, copy);
        if (!restored)
            return failure(UiText::tr("Could not replace “%1”: %2. The old one is kept as “%3”.")
                               .arg(name, reason, QFileInfo(aside).fileName()));
        return failure(UiText::tr("Could not replace “%1”: %2").arg(name, reason));
    }
    discard(operations, aside);
    return true;
}

} // namespace

bool FileOperations::copyFile(const QString &from, const QString &to, QString &reason)
{
    const int in = ::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        reason = systemReason(errno);
        return false;
    }
    struct stat info {};
    const mode_t mode = ::fstat(in, &info) == 0 ? (info.st_mode & 0777) : 0644;
    const int out = ::open(encoded(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        reason = systemReason(errno);
        ::close(in);
        return false;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    int error = 0;
    for (;;) {
        const ssize_t read = ::read(in, buffer.data(), size_t(buffer.size()));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            error = read < 0 ? errno : 0;
            break;
        }
        for (ssize_t written = 0; written < read && error == 0;) {
            const ssize_t step = ::write(out, buffer.constData() + written, size_t(read - written));
            if (step < 0 && errno != EINTR)
                error = errno;
            else if (step > 0)
                written += step;
        }
        if (error != 0)
            break;
    }
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (error == 0)
        return true;
    reason = systemReason(error);
    ::unlink(encoded(to).constData());
    return false;
}

bool FileOperations::sync(const QString &path, QString &reason)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    // A folder of many files is flushed in one call for its whole file system, far cheaper than one
    // call per file.
    struct stat info {};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    const int synced = folder ? ::syncfs(fd) : ::fdatasync(fd);
    const int error = errno;
    ::close(fd);
    if (synced == 0)
        return true;
    reason = systemReason(error);
    return false;
}

bool FileOperations::makeFolder(const QString &path, QString &reason)
{
    if (::mkdir(encoded(path).constData(), 0777) == 0)
        return true;
    reason = systemReason(errno);
    return false;
}

bool FileOperations::rename(const QString &from, const QString &to, QString &reason)
{
    if (std::rename(encoded(from).constData(), encoded(to).constData()) == 0)
        return true;
    reason = systemReason(errno);
    return false;
}

FileOperations::Exchange FileOperations::exchange(const QString &first, const QString &second,
                                                  QString &reason)
{
    if (::renameat2(AT_FDCWD, encoded(first).constData(), AT_FDCWD, encoded(second).constData(),
                    RENAME_EXCHANGE) == 0)
        return Exchange::done;
    const int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
        return Exchange::unsupported;
    reason = systemReason(error);
    return Exchange::failed;
}

bool FileOperations::removeAll(const QString &path, QString &reason)
{
    const QFileInfo info(path);
    const bool removed = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively()
                                                           : ::unlink(encoded(path).constData()) == 0;
    if (!removed)
        reason = UiText::tr("“%1” could not be removed").arg(info.fileName());
    return removed;
}

FileOperations &FileOperations::system()
{
    static FileOperations operations;
    return operations;
}

namespace SafeReplace {

Result<bool> replace(const QString &source, const QString &destination, FileOperations &operations,
                     const BuildProgress *progress)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return failure(UiText::tr("“%1” no longer exists.").arg(sourceInfo.fileName()));
    const QFileInfo destinationInfo(destination);
    const QString name = destinationInfo.fileName();
    const QString folder = QFileInfo(destinationInfo.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return failure(UiText::tr("The folder “%1” does not exist.").arg(destinationInfo.absolutePath()));
    if (name.isEmpty())
        return failure(UiText::tr("No name was given to save “%1” under.").arg(sourceInfo.fileName()));

    const QString from = sourceInfo.canonicalFilePath();
    const QString target = folder + QLatin1Char('/') + name;
    if (target == from || target.startsWith(from + QLatin1Char('/')))
        return failure(UiText::tr("“%1” cannot be saved over itself.").arg(sourceInfo.fileName()));
    if (from.startsWith(target + QLatin1Char('/')))
        return failure(UiText::tr("“%1” cannot replace the folder that holds it.").arg(name));

    const QString copy = unusedSibling(folder, "saving");
    Result<bool> outcome = true;
    if (!copyEntry(operations, QFileInfo(from), copy, progress, outcome)) {
        discard(operations, copy);
        return outcome;
    }
    if (isCancelled(progress)) {
        discard(operations, copy);
        return cancelled();
    }
    // On disk before it takes the old one's place, so that a crash can never leave empty files there.
    QString reason;
    if (!operations.sync(copy, reason)) {
        discard(operations, copy);
        return failure(UiText::tr("Could not save “%1”: %2").arg(name, reason));
    }

    const QFileInfo old(target);
    const bool oldIsFolder = old.isDir() && !old.isSymLink();
    if (entryExists(old) && (sourceInfo.isDir() || oldIsFolder))
        return exchangeInto(operations, copy, target, folder);
    if (!operations.rename(copy, target, reason)) {
        discard(operations, copy);
        return failure(UiText::tr("Could not save “%1”: %2").arg(name, reason));
    }
    return true;
}

} // namespace SafeReplace
