#include "core/common/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AppPaths {

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

std::optional<QString> undecodableDataFolder()
{
    // Where dataHome() comes from: XDG_DATA_HOME when it is set, else the home folder.
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    const QByteArray named = xdg.isEmpty() ? qgetenv("HOME") + "/.local/share" : xdg;
    if (QByteArrayView(named).isValidUtf8())
        return std::nullopt;
    QString shown;
    for (qsizetype at = 0; at < named.size();) {
        // The longest run of up to four bytes from here that is UTF-8, or one byte that is not.
        qsizetype length = 0;
        for (qsizetype n = 1; n <= 4 && at + n <= named.size(); ++n) {
            if (QByteArrayView(named).sliced(at, n).isValidUtf8())
                length = n;
        }
        if (length == 0) {
            shown += QStringLiteral("\\x") +
                     QStringLiteral("%1").arg(uchar(named.at(at)), 2, 16, QLatin1Char('0')).toUpper();
            ++at;
            continue;
        }
        shown += QString::fromUtf8(named.sliced(at, length));
        at += length;
    }
    return shown + QStringLiteral("/Lyrafold");
}

namespace {

bool deniedByPermission(int error)
{
    return error == EACCES || error == EPERM;
}

std::optional<Refused> refusal(const QString &path, int error)
{
    return Refused{path, QString::fromLocal8Bit(std::strerror(error))};
}

// Opens the folder through "<folder>/.", which needs both the right to read it and to enter it; with
// files, every regular file in it whose name ends ".json" is opened for reading as well. Only a refusal
// for permission counts: a folder not made yet is made by the first save.
std::optional<Refused> refusedIn(const QString &folder, bool withFiles)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return deniedByPermission(errno) ? refusal(folder, errno) : std::nullopt;
    const int fd = ::open((native + "/.").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return deniedByPermission(errno) ? refusal(folder, errno) : std::nullopt;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::optional<Refused> refused;
    while (withFiles && !refused) {
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || !name.endsWith(".json"))
            continue;
        // Through a link (into a sync folder) as the reads go; only a regular file is opened.
        const QString path = folder + QLatin1Char('/') + QFile::decodeName(name);
        struct stat fileInfo {};
        if (::fstatat(::dirfd(dir), entry->d_name, &fileInfo, 0) != 0) {
            if (deniedByPermission(errno))
                refused = refusal(path, errno);
            continue;
        }
        if (!S_ISREG(fileInfo.st_mode))
            continue;
        const int file = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (file >= 0)
            ::close(file);
        else if (deniedByPermission(errno))
            refused = refusal(path, errno);
    }
    ::closedir(dir);
    return refused;
}

} // namespace

std::optional<Refused> refusedStateFolder()
{
    for (const QString &folder : {applicationSupportDir(), slotsDir()}) {
        if (std::optional<Refused> refused = refusedIn(folder, true))
            return refused;
    }
    return refusedIn(annotationCacheDir(), false);
}

QString applicationSupportDir()
{
    return dataHome() + QStringLiteral("/Lyrafold");
}

QString slotsDir()
{
    return applicationSupportDir() + QStringLiteral("/slots");
}

QString bookmarkCachePath()
{
    return applicationSupportDir() + QStringLiteral("/bookmarks_cache.json");
}

QString playlistsPath()
{
    return applicationSupportDir() + QStringLiteral("/playlists.json");
}

QString annotationCacheDir()
{
    return dataHome() + QStringLiteral("/LyrafoldMac/PDFEditCache");
}

QStringList stateFolders()
{
    return {applicationSupportDir(), slotsDir(), annotationCacheDir()};
}

QString documentsDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString importLibraryPath()
{
    const QString documents = documentsDir();
    if (documents.isEmpty())
        return {};
    return QDir::cleanPath(documents + QStringLiteral("/PDFs"));
}

QString instanceLockPath()
{
    return applicationSupportDir() + QStringLiteral("/instance.lock");
}

std::optional<QString> privateTempDir()
{
    return privateFolderIn(QDir::tempPath());
}

std::optional<QString> privateFolderIn(const QString &parent)
{
    const QString path = parent + QStringLiteral("/Lyrafold-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    // Someone else's folder or a link planted under our name must not receive our exports.
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return std::nullopt;
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return std::nullopt;
    return path;
}

} // namespace AppPaths
