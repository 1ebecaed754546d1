#include "core/playlist/PlaylistBookPaths.h"

#include "core/slotfiles/SlotStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

QString PlaylistBookPaths::bookKey(const QString &path)
{
    const QString decomposed = QFileInfo(path).completeBaseName().normalized(QString::NormalizationForm_D);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing && !c.isSpace())
            folded.append(c);
    }
    folded = folded.toCaseFolded();
    folded.remove(QStringLiteral("pdfdrive"));
    folded.remove(QStringLiteral("pdf"));
    QString key;
    key.reserve(folded.size());
    for (const QChar c : std::as_const(folded)) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            key.append(c);
    }
    return key;
}

PlaylistBookPaths PlaylistBookPaths::fromRows(const BookmarkList &rows)
{
    return fromAnyRows(rows);
}

PlaylistBookPaths PlaylistBookPaths::fromRows(const LibraryRows &rows)
{
    return fromAnyRows(rows);
}

template <typename Rows> PlaylistBookPaths PlaylistBookPaths::fromAnyRows(const Rows &rows)
{
    PlaylistBookPaths paths;
    // Each book once, whether its file is there now or not: the lookup may be kept, and a book that
    // comes back (a drive plugged in again, a folder restored) is found at the next title without it
    // being made again. Per book the file names its rows gave it so far (nearly always one).
    QHash<QString, QStringList> namesByBook;
    for (const BookmarkEntry &row : rows) {
        auto book = namesByBook.find(row.pdfFilePath);
        if (book == namesByBook.end()) {
            book = namesByBook.insert(row.pdfFilePath, {});
            paths.add(row.pdfFilePath, row.pdfFilePath);
        }
        if (book->contains(row.pdfFileName))
            continue;
        book->append(row.pdfFileName);
        paths.add(row.pdfFileName, row.pdfFilePath);
    }
    return paths;
}

void PlaylistBookPaths::add(const QString &name, const QString &path)
{
    const QString key = bookKey(name);
    if (key.isEmpty())
        return;
    QStringList &books = m_pathsByKey[key];
    // A book keyed by its path and then by a file name of the same key comes once.
    if (books.isEmpty() || books.constLast() != path)
        books.append(path);
}

PlaylistBookPaths PlaylistBookPaths::fromDefaultSlot()
{
    return fromRows(SlotStore::loadSlot(0));
}

PlaylistBookPaths PlaylistBookPaths::fromFolder(const QString &folder)
{
    constexpr int maximumEntries = 20000;
    PlaylistBookPaths paths;
    if (folder.isEmpty())
        return paths;
    QDirIterator walk(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    for (int seen = 0; walk.hasNext() && seen < maximumEntries; ++seen) {
        const QFileInfo file(walk.next());
        if (!file.isFile() || file.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
            continue;
        paths.add(file.fileName(), file.filePath());
    }
    return paths;
}

QList<PlaylistItem> PlaylistBookPaths::resolvedInLibrary(const PlaylistBookPaths &defaults,
                                                         QList<PlaylistItem> items,
                                                         const LibraryRows &slotRows,
                                                         const QString &slotFolder, SlotBookPaths &slotBooks)
{
    const auto allFound = [](const QList<PlaylistItem> &list) {
        return std::all_of(list.cbegin(), list.cend(),
                           [](const PlaylistItem &item) { return QFileInfo(item.pdfFilePath).isFile(); });
    };
    items = defaults.resolved(std::move(items));
    if (allFound(items))
        return items;
    items = slotBooks.ofRows(slotRows)->resolved(std::move(items));
    if (allFound(items))
        return items;
    return fromFolder(slotFolder).resolved(std::move(items));
}

std::optional<QString> PlaylistBookPaths::existingBook(const QString &name) const
{
    const auto found = m_pathsByKey.constFind(bookKey(name));
    if (found == m_pathsByKey.constEnd())
        return std::nullopt;
    for (const QString &path : found.value()) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

std::optional<QString> PlaylistBookPaths::resolve(const PlaylistItem &item) const
{
    if (!item.pdfFilePath.isEmpty() && QFileInfo(item.pdfFilePath).isFile())
        return item.pdfFilePath;
    if (m_pathsByKey.isEmpty())
        return std::nullopt;
    if (auto byName = existingBook(item.pdfFileName))
        return byName;
    return existingBook(item.pdfFilePath);
}

QList<PlaylistItem> PlaylistBookPaths::resolved(QList<PlaylistItem> items) const
{
    for (PlaylistItem &item : items) {
        if (const auto path = resolve(item); path && *path != item.pdfFilePath)
            item.pdfFilePath = *path;
    }
    return items;
}

const PlaylistBookPaths &DefaultBookPaths::get()
{
    std::call_once(m_once, [this] { m_paths = PlaylistBookPaths::fromDefaultSlot(); });
    return m_paths;
}

std::shared_ptr<const PlaylistBookPaths> SlotBookPaths::ofRows(const LibraryRows &rows)
{
    // Made under the lock: a second title asked for meanwhile waits for this lookup rather than
    // making its own.
    std::lock_guard lock(m_mutex);
    if (!m_byRows || rows.size() != m_size || rows.blockStamps() != m_stamps) {
        m_byRows = std::make_shared<const PlaylistBookPaths>(PlaylistBookPaths::fromRows(rows));
        m_stamps = rows.blockStamps();
        m_size = rows.size();
    }
    return m_byRows;
}
