#include "core/library/CustomPdfFiles.h"

#include "core/library/SlotStore.h"

#include <QFile>
#include <QFileInfo>

namespace CustomPdfFiles {

QString bookNameLabel(const BookmarkEntry &entry)
{
    return SlotStore::isCustomSingle(entry) ? QStringLiteral("Custom Singles") : entry.pdfFileName;
}

bool isCustomBookmark(const BookmarkEntry &entry)
{
    const QString &name = entry.pdfFileName;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return false;
    return name.startsWith(QLatin1String("Custom Single")) ||
           name.contains(QLatin1String("(Custom)"), Qt::CaseInsensitive) ||
           SlotStore::isInDefaultImportLibrary(entry);
}

QStringList unusedManagedPdfs(const QStringList &paths, qint64 currentSlot, const LibraryRows &currentRows,
                              const QList<Playlist> &playlists, const QSet<QString> &leavingPlaylistKeys)
{
    QStringList candidates;
    QSet<QString> seen;
    for (const QString &path : paths) {
        if (path.isEmpty() || !SlotStore::isInDefaultImportLibrary(path) || !QFileInfo(path).isFile())
            continue;
        const QString key = SlotStore::standardizedPath(path);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        candidates.append(path);
    }
    if (candidates.isEmpty())
        return {};

    // The Default slot counts too: a file that any row still points at stays.
    QSet<QString> used;
    const auto use = [&used, &seen](const QString &path) {
        if (path.isEmpty())
            return;
        const QString key = SlotStore::standardizedPath(path);
        if (seen.contains(key))
            used.insert(key);
    };
    for (const BookmarkEntry &row : currentRows)
        use(row.pdfFilePath);
    for (qint64 slot = 0; slot < SlotStore::slotCount; ++slot) {
        if (slot == currentSlot)
            continue;
        if (const std::optional<BookmarkCache> stored = SlotStore::loadSlotFile(slot)) {
            for (const BookmarkEntry &row : stored->bookmarks)
                use(row.pdfFilePath);
        }
    }
    for (const Playlist &playlist : playlists) {
        for (const PlaylistItem &item : playlist.items) {
            if (!leavingPlaylistKeys.contains(item.id()))
                use(item.pdfFilePath);
        }
    }
    QStringList unused;
    for (const QString &path : std::as_const(candidates)) {
        if (!used.contains(SlotStore::standardizedPath(path)))
            unused.append(path);
    }
    return unused;
}

TrashResult moveToTrash(const QStringList &files)
{
    TrashResult result;
    for (const QString &file : files) {
        if (QFile::moveToTrash(file))
            result.trashed.append(file);
        else
            result.failed.append(file);
    }
    return result;
}

} // namespace CustomPdfFiles
