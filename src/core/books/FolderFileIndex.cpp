#include "core/books/FolderFileIndex.h"

#include "core/text/TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QQueue>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Case-insensitive equality under canonical equivalence, as a hash key. Folding can decompose a
// composed character, hence the second composition.
QString nameKey(const QString &name)
{
    return TextUtils::nfc(TextUtils::nfc(name).toCaseFolded());
}

bool isPdfName(const QString &name)
{
    return name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

bool isPlainName(const QString &fileName)
{
    return !fileName.isEmpty() && !fileName.contains(QLatin1Char('/')) && !fileName.contains(QChar(0));
}

// The folder without trailing separators, or empty when there is no folder to look in.
QString rootOf(const QString &folder)
{
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString join(const QString &root, const QString &relative)
{
    return root.endsWith(QLatin1Char('/')) ? root + relative : root + QLatin1Char('/') + relative;
}

std::optional<QFileInfoList> readFolder(const QString &path)
{
    const QFileInfo folder(path);
    if (!folder.isReadable() || !folder.isExecutable())
        return std::nullopt;
    return QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                    QDir::NoSort);
}

// Whether the entry name of the folder open as parent is a PDF: a file, or a link to one, named so.
bool isPdfEntry(int parent, const char *name, const struct stat &entry)
{
    struct stat target {};
    return isPdfName(QFile::decodeName(name)) &&
           (S_ISREG(entry.st_mode) ||
            (S_ISLNK(entry.st_mode) && ::fstatat(parent, name, &target, 0) == 0 && S_ISREG(target.st_mode)));
}

// The PDFs at any depth in the folder name of the folder open as parent, by the bytes of their names, as
// paths after prefix: below a folder whose name does not decode, a book with a sound name is out of reach
// too. Links to folders are not followed, so that no book the walk reaches is named again.
void pdfsBelow(int parent, const char *name, const QString &prefix, int depth, QStringList &names)
{
    constexpr int maxDepth = 64;
    const int opened = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened < 0)
        return;
    DIR *folder = ::fdopendir(opened);
    if (!folder) {
        ::close(opened);
        return;
    }
    while (const dirent *entry = ::readdir(folder)) {
        if (qstrcmp(entry->d_name, ".") == 0 || qstrcmp(entry->d_name, "..") == 0)
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString path = prefix + QFile::decodeName(entry->d_name);
        if (S_ISDIR(info.st_mode) && depth < maxDepth)
            pdfsBelow(::dirfd(folder), entry->d_name, path + QLatin1Char('/'), depth + 1, names);
        else if (isPdfEntry(::dirfd(folder), entry->d_name, info))
            names.append(path);
    }
    ::closedir(folder);
}

// The PDFs in the folder at path, or below it, whose paths are not valid UTF-8 from there (their names,
// or the names of folders above them), which Qt's listings leave out without a word; each byte that does
// not decode shown as U+FFFD.
QStringList undecodableEntries(const QString &path)
{
    QStringList names;
    DIR *folder = ::opendir(QFile::encodeName(path).constData());
    if (!folder)
        return names;
    while (const dirent *entry = ::readdir(folder)) {
        if (QByteArrayView(entry->d_name).isValidUtf8())
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (S_ISDIR(info.st_mode))
            pdfsBelow(::dirfd(folder), entry->d_name, name + QLatin1Char('/'), 1, names);
        else if (isPdfEntry(::dirfd(folder), entry->d_name, info))
            names.append(name);
    }
    ::closedir(folder);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return TextUtils::compareCodePoints(a, b) < 0; });
    return names;
}

// Calls visit(relativePath, info) for every file in walk order until visit returns false. Returns the
// number of folders that could not be read. Read from the disk, the folders also give the names no path
// reaches to undecodable, when given.
template <typename Visit>
qsizetype walk(const QString &root, Visit visit, const FolderFileIndex::FolderReader &reader = {},
               QStringList *undecodable = nullptr)
{
    QSet<QString> walked; // canonical paths
    QQueue<QString> pending;
    qsizetype unreadable = 0;
    pending.enqueue(QString());
    while (!pending.isEmpty()) {
        const QString relative = pending.dequeue();
        const QString path = relative.isEmpty() ? root : join(root, relative);
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty() || walked.contains(canonical))
            continue;
        walked.insert(canonical);

        std::optional<QFileInfoList> listed = reader ? reader(path) : readFolder(path);
        if (!listed) {
            ++unreadable;
            continue;
        }
        if (undecodable && !reader) {
            for (const QString &name : undecodableEntries(path))
                undecodable->append(relative.isEmpty() ? name : relative + QLatin1Char('/') + name);
        }
        QFileInfoList &entries = *listed;
        std::sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
            return TextUtils::compareCodePoints(a.fileName(), b.fileName()) < 0;
        });
        for (const QFileInfo &entry : std::as_const(entries)) {
            const QString entryPath =
                relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName();
            if (entry.isDir())
                pending.enqueue(entryPath);
            else if (entry.isFile() && !visit(entryPath, entry))
                return unreadable;
        }
    }
    return unreadable;
}

bool isDirectFile(const QString &root, const QString &fileName)
{
    return isPlainName(fileName) && QFileInfo(join(root, fileName)).isFile();
}

} // namespace

FolderFileIndex::FolderFileIndex(const QString &folder) : m_folder(rootOf(folder))
{
    if (m_folder.isEmpty())
        return;
    walk(m_folder, [this](const QString &relative, const QFileInfo &info) {
        const QString name = info.fileName();
        if (relative.size() == name.size())
            m_directFiles.insert(name);
        if (isPdfName(name)) {
            const QString key = nameKey(name);
            if (!m_pdfs.contains(key))
                m_pdfs.insert(key, relative);
        }
        return true;
    });
}

std::optional<QString> FolderFileIndex::resolve(const QString &fileName) const
{
    if (m_folder.isEmpty() || !isPlainName(fileName))
        return std::nullopt;
    if (m_directFiles.contains(fileName))
        return join(m_folder, fileName);
    const auto found = m_pdfs.constFind(nameKey(fileName));
    if (found == m_pdfs.cend())
        return std::nullopt;
    return join(m_folder, *found);
}

std::optional<QString> FolderFileIndex::resolvePathInFolder(const QString &folder, const QString &fileName)
{
    const QString root = rootOf(folder);
    if (root.isEmpty() || !isPlainName(fileName))
        return std::nullopt;
    if (isDirectFile(root, fileName))
        return join(root, fileName);
    const QString wanted = nameKey(fileName);
    std::optional<QString> result;
    walk(root, [&](const QString &relative, const QFileInfo &info) {
        if (isPdfName(info.fileName()) && nameKey(info.fileName()) == wanted)
            result = join(root, relative);
        return !result;
    });
    return result;
}

FolderFileIndex::PdfListing FolderFileIndex::listPdfs(const QString &folder, const FolderReader &reader)
{
    PdfListing listing;
    const QString root = rootOf(folder);
    if (root.isEmpty())
        return listing;
    listing.unreadableFolders = walk(
        root,
        [&](const QString &relative, const QFileInfo &info) {
            if (isPdfName(info.fileName()))
                listing.paths.append(join(root, relative));
            return true;
        },
        reader, &listing.undecodableNames);
    return listing;
}

bool FolderFileIndex::sameFolder(const QString &a, const QString &b)
{
    const auto resolved = [](const QString &path) {
        const QFileInfo folder(path);
        const QString canonical = folder.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(folder.absoluteFilePath()) : canonical;
    };
    if (TextUtils::trimmed(a).isEmpty() || TextUtils::trimmed(b).isEmpty())
        return false;
    return resolved(a) == resolved(b);
}
