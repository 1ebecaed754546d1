#include "core/playlist/PlaylistBookPaths.h"

#include "core/library/SlotStore.h"

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
    // Each book once: whether its file exists, and the file names its rows gave it so far (nearly
    // always one). A name keyed once could only find its key taken again, so a row of a book and name
    // already seen costs one lookup of its path.
    struct Book {
        bool exists = false;
        QStringList names;
    };
    QHash<QString, Book> books;
    const auto keyOnce = [&](const QString &name, const QString &path) {
        const QString key = bookKey(name);
        if (!key.isEmpty() && !paths.m_pathByKey.contains(key))
            paths.m_pathByKey.insert(key, path);
    };
    for (const BookmarkEntry &row : rows) {
        auto book = books.find(row.pdfFilePath);
        if (book == books.end()) {
            book = books.insert(row.pdfFilePath, Book{QFileInfo(row.pdfFilePath).isFile(), {}});
            if (book->exists)
                keyOnce(row.pdfFilePath, row.pdfFilePath);
        }
        if (!book->exists || book->names.contains(row.pdfFileName))
            continue;
        book->names.append(row.pdfFileName);
        keyOnce(row.pdfFileName, row.pdfFilePath);
    }
    return paths;
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
        const QString key = bookKey(file.fileName());
        if (!key.isEmpty() && !paths.m_pathByKey.contains(key))
            paths.m_pathByKey.insert(key, file.filePath());
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
    const auto found = m_pathByKey.constFind(bookKey(name));
    if (found == m_pathByKey.constEnd() || !QFileInfo(found.value()).isFile())
        return std::nullopt;
    return found.value();
}

std::optional<QString> PlaylistBookPaths::resolve(const PlaylistItem &item) const
{
    if (!item.pdfFilePath.isEmpty() && QFileInfo(item.pdfFilePath).isFile())
        return item.pdfFilePath;
    if (m_pathByKey.isEmpty())
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
    std::call_once(m_once, [this] {
        m_paths = PlaylistBookPaths::fromDefaultSlot();
        m_ready = true;
    });
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
