#include "core/share/ExportNaming.h"

#include "core/common/AppPaths.h"
#include "core/text/TextUtils.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Removes the entry name inside the open folder dirFd. Folders are opened with O_NOFOLLOW and walked
// by descriptor, so a link anywhere in the tree is unlinked itself and nothing outside is touched.
bool removeEntryAt(int dirFd, const char *name)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT;

    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    // Names first, removal after: a folder that changes while it is read may skip entries.
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName != "." && entryName != "..")
            names.push_back(entryName);
    }
    bool ok = true;
    for (const std::string &entryName : names)
        ok = removeEntryAt(fd, entryName.c_str()) && ok;
    ::closedir(dir);
    return ok && (::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT);
}

bool removeFromFolder(const QString &folder, const QString &name)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool removed = removeEntryAt(fd, QFile::encodeName(name).constData());
    ::close(fd);
    return removed;
}

} // namespace

namespace ExportNaming {

QString safeName(const QString &name)
{
    QString safe = TextUtils::singleLine(name);
    safe.replace(QLatin1Char('/'), QLatin1Char('-'));
    safe.replace(QLatin1Char(':'), QLatin1Char('-'));
    return safe;
}

QString datedStem(const QString &name, const QDate &day)
{
    return safeName(name) + QLatin1Char('_') + QLocale().toString(day, QStringLiteral("yyyy-MM-dd"));
}

QString fileName(const QString &base, const QString &suffix)
{
    QString safeBase = base;
    safeBase.replace(QLatin1Char('/'), QLatin1Char('-'));
    safeBase.replace(QChar(0), QLatin1Char('-'));
    const qsizetype room = maxFileNameBytes - suffix.toUtf8().size();
    return TextUtils::truncatedAtCharacter(safeBase, qMax<qsizetype>(room, 0),
                                           TextUtils::TextMeasure::Utf8Bytes) +
           suffix;
}

std::optional<QString> exportPath(const QString &base, const QString &suffix)
{
    const QString name = fileName(base, suffix);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    const auto folder = AppPaths::privateTempDir();
    if (!folder || !removeFromFolder(*folder, name))
        return std::nullopt;
    return *folder + QLatin1Char('/') + name;
}

} // namespace ExportNaming
