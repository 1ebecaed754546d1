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
