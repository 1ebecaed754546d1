#include "core/books/CustomPdfFiles.h"

#include "core/common/UiText.h"
#include "core/search/LibrarySort.h"
#include "core/storage/StateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace CustomPdfFiles {

QString bookNameLabel(const BookmarkEntry &entry)
{
    return SlotStore::isCustomSingle(entry) ? customSinglesLabel : entry.pdfFileName;
}

bool isCustomBookmark(const BookmarkEntry &entry)
{
    SlotStore::ImportLibraryTest library;
    return isCustomBookmark(entry, library);
}

bool isCustomBookmark(const BookmarkEntry &entry, SlotStore::ImportLibraryTest &library)
{
    const QString &name = entry.pdfFileName;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return false;
    return name.startsWith(QLatin1String("Custom Single")) ||
           name.contains(QLatin1String("(Custom)"), Qt::CaseInsensitive) ||
           library.contains(entry.pdfFilePath);
}

namespace {

QString groupKey(const BookmarkEntry &row)
{
    return row.pdfFilePath.isEmpty() ? row.pdfFileName.toLower() : row.pdfFilePath;
}

struct GroupDraft {
    const BookmarkEntry *first = nullptr;
    QMap<qint64, bool> slotIds;
    qsizetype count = 0;
    bool single = false;
};

CustomFileGroup finishedGroup(const GroupDraft &draft, const QStringList &slotNames)
{
    CustomFileGroup group;
    const BookmarkEntry &first = *draft.first;
    group.pdfFileName = first.pdfFileName;
    group.pdfFilePath = first.pdfFilePath;
    group.slotIds = draft.slotIds.keys();
    group.titleCount = draft.count;
    group.isCustomSingle = draft.single;
    if (draft.single)
        group.displayName = first.title.isEmpty() ? QStringLiteral("Custom Single") : first.title;
    else
        group.displayName = QFileInfo(first.pdfFileName).completeBaseName();
    QStringList names;
    for (const qint64 slot : std::as_const(group.slotIds))
        names.append(slotNames.value(slot, SlotStore::builtInSlotName(slot)));
    group.subtitle = (draft.single ? UiText::tr("Custom Single • %1 title(s) • %2")
                                   : UiText::tr("Custom Book • %1 title(s) • %2"))
                         .arg(QString::number(draft.count), names.join(QStringLiteral(", ")));
    if (!group.pdfFilePath.isEmpty()) {
        const QFileInfo file(group.pdfFilePath);
        if (file.isFile())
            group.fileModified = file.lastModified();
    }
    return group;
}

} // namespace

QList<CustomFileGroup> customFileGroups(const QList<LibraryRows> &rowsOfSlots, const QStringList &slotNames)
{
    SlotStore::ImportLibraryTest library;
    QHash<QString, qsizetype> indexOfKey;
    QList<GroupDraft> drafts;
    for (qint64 slot = 1; slot < rowsOfSlots.size(); ++slot) {
        for (const BookmarkEntry &row : rowsOfSlots.at(slot)) {
            if (!isCustomBookmark(row, library))
                continue;
            const QString key = groupKey(row);
            auto found = indexOfKey.constFind(key);
            if (found == indexOfKey.constEnd()) {
                found = indexOfKey.insert(key, drafts.size());
                drafts.append(GroupDraft{&row, {}, 0, false});
            }
            GroupDraft &draft = drafts[*found];
            draft.slotIds.insert(slot, true);
            ++draft.count;
            draft.single = draft.single || SlotStore::isCustomSingle(row);
        }
    }
    QList<CustomFileGroup> groups;
    groups.reserve(drafts.size());
    QStringList names;
    for (const GroupDraft &draft : std::as_const(drafts)) {
        groups.append(finishedGroup(draft, slotNames));
        names.append(groups.constLast().displayName);
    }
    return LibrarySort::sortedByCollation(std::move(groups), names);
}

namespace {

std::pair<qint64, qint64> stampOf(const QString &path)
{
    StateFile::waitForPendingWrites(path);
    const QFileInfo info(path);
    if (!info.exists())
        return {-1, 0};
    return {info.size(), info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch()};
}

} // namespace

bool OtherSlotsUse::unchanged() const
{
    for (qint64 slot = 0, at = 0; slot < SlotStore::slotCount; ++slot) {
        if (slot == currentSlot)
            continue;
        if (at >= stamps.size() || stamps.at(at++) != stampOf(SlotStore::slotFilePath(slot)))
            return false;
    }
    return true;
}

OtherSlotsUse otherSlotsUse(const QStringList &paths, qint64 currentSlot)
{
    QSet<QString> asked;
    for (const QString &path : paths) {
        if (!path.isEmpty())
            asked.insert(SlotStore::standardizedPath(path));
    }
    OtherSlotsUse use;
    use.currentSlot = currentSlot;
    for (qint64 slot = 0; slot < SlotStore::slotCount; ++slot) {
        if (slot == currentSlot)
            continue;
        // Taken before the read: a write in between makes the plan read again, never miss a use.
        use.stamps.append(stampOf(SlotStore::slotFilePath(slot)));
        if (asked.isEmpty())
            continue;
        if (const std::optional<BookmarkCache> stored = SlotStore::loadSlotFile(slot)) {
            for (const BookmarkEntry &row : stored->bookmarks) {
                if (!row.pdfFilePath.isEmpty()) {
                    const QString key = SlotStore::standardizedPath(row.pdfFilePath);
                    if (asked.contains(key))
                        use.used.insert(key);
                }
            }
        }
    }
    return use;
}

QStringList unusedManagedPdfs(const QStringList &paths, const OtherSlotsUse &otherSlots,
                              const LibraryRows &currentRows, const QList<Playlist> &playlists,
                              const QSet<QString> &leavingPlaylistKeys)
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
    for (const QString &key : otherSlots.used) {
        if (seen.contains(key))
            used.insert(key);
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

CustomFileSelection::CustomFileSelection(const QList<CustomFileGroup> &groups)
{
    for (const CustomFileGroup &group : groups) {
        if (group.pdfFilePath.isEmpty())
            m_names.insert(group.pdfFileName.toLower());
        else
            m_paths.insert(group.pdfFilePath);
    }
}

bool CustomFileSelection::contains(const BookmarkEntry &row) const
{
    return row.pdfFilePath.isEmpty() ? m_names.contains(row.pdfFileName.toLower())
                                     : m_paths.contains(row.pdfFilePath);
}

QStringList CustomFileSelection::paths() const
{
    return QStringList(m_paths.cbegin(), m_paths.cend());
}
