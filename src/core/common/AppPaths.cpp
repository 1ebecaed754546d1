#include "core/common/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace AppPaths {

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
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
