// The imported files over the user's slots and the books of a slot: what the custom files window and
// the bookmark workshop show, and their deletion and relinking.

#include "core/library/CustomPdfFiles.h"
#include "core/library/LibrarySession.h"
#include "core/library/SlotStore.h"
#include "core/library/WorkshopBooks.h"
#include "core/playlist/PlaylistLibrary.h"

#include <QFileInfo>

std::function<QList<CustomFileGroup>()> LibrarySession::customFileGroupsJob() const
{
    return [current = m_currentSlotId, rows = m_rows] {
        QList<LibraryRows> rowsOfSlots(slotCount);
        for (qint64 slot = 1; slot < slotCount; ++slot)
            rowsOfSlots[slot] = slot == current ? rows : LibraryRows(SlotStore::loadSlot(slot));
        return CustomPdfFiles::customFileGroups(rowsOfSlots, slotTileNames());
    };
}

std::function<QList<WorkshopSlotBook>()> LibrarySession::slotBooksJob(qint64 slot) const
{
    if (slot == m_currentSlotId)
        return [rows = m_rows, folder = m_selectedFolder] { return WorkshopBooks::slotBooks(rows, folder); };
    return [slot] {
        if (slot < 0 || slot >= slotCount)
            return QList<WorkshopSlotBook>();
        const SlotStore::SlotContents stored = SlotStore::loadSlotContents(slot);
        return WorkshopBooks::slotBooks(LibraryRows(stored.bookmarks), stored.selectedFolder);
    };
}

void LibrarySession::deleteCustomFileGroups(const QList<CustomFileGroup> &groups,
                                            std::function<void(const CustomFileDeletion &)> done)
{
    struct Run {
        CustomFileDeletion result;
        QStringList paths;
        // The songs of the other slots' removed rows, which leave the playlists at the end.
        QSet<QString> leavingKeys;
        int pending = 1;
    };
    const CustomFileSelection selection(groups);
    auto run = std::make_shared<Run>();
    run->paths = selection.paths();

    // The files go only once every slot has let go of them: the same rule as a deletion of rows.
    const auto finish = [this, run, done = std::move(done)] {
        if (--run->pending > 0)
            return;
        if (!run->leavingKeys.isEmpty())
            m_playlists.removeItems(run->leavingKeys);
        const CustomPdfFiles::TrashResult trash = CustomPdfFiles::moveToTrash(
            CustomPdfFiles::unusedManagedPdfs(run->paths, m_currentSlotId, m_rows, m_playlists.playlists()));
        run->result.trashed += trash.trashed;
        run->result.notTrashed += trash.failed;
        if (done)
            done(run->result);
    };

    // The current slot first, while the other slots still hold their rows: its own deletion keeps
    // the files they use, and the end of the run decides on those.
    if (m_currentSlotId > 0) {
        QList<qsizetype> positions;
        for (auto row = m_rows.begin(); row != m_rows.end(); ++row) {
            if (selection.contains(*row))
                positions.append(row.position());
        }
        if (!positions.isEmpty()) {
            if (const std::optional<DeletionResult> deleted = deleteBookmarks(planDeletion(positions))) {
                run->result.rowsRemoved += deleted->deleted;
                run->result.trashed += deleted->trashed;
                run->result.notTrashed += deleted->notTrashed;
            }
        }
    }
    for (qint64 slot = 1; slot < slotCount; ++slot) {
        if (slot == m_currentSlotId)
            continue;
        // Filled on the slot's writer, read on the UI thread once the edit is written.
        auto removedKeys = std::make_shared<QSet<QString>>();
        const auto remove = [selection, removedKeys](BookmarkList &rows) -> qsizetype {
            const qsizetype before = rows.size();
            rows.removeIf([&](const BookmarkEntry &row) {
                if (!selection.contains(row))
                    return false;
                removedKeys->insert(row.id());
                return true;
            });
            return before - rows.size();
        };
        ++run->pending;
        editStoredSlot(slot, remove, [run, removedKeys, slot, finish](const StoredSlotEdit &edit) {
            if (edit.changed > 0 && edit.written) {
                run->result.rowsRemoved += edit.changed;
                run->leavingKeys.unite(*removedKeys);
            } else if (edit.changed > 0) {
                run->result.slotsNotWritten.append(slot);
            }
            finish();
        });
    }
    finish();
}

void LibrarySession::relinkDefaultBook(const QString &expectedPdfFileName, const QString &newPath,
                                       std::function<void(const BookRelink &)> done)
{
    const auto relink = [fileName = QFileInfo(newPath).fileName(), newPath](BookmarkEntry &row) {
        row.pdfFileName = fileName;
        row.pdfFilePath = newPath;
    };
    if (m_currentSlotId == 0) {
        const QList<qsizetype> positions = WorkshopBooks::positionsOfBook(m_rows, expectedPdfFileName);
        BookRelink result;
        if (!positions.isEmpty())
            result.relinked = editBookmarks(positions, relink);
        done(result);
        return;
    }
    const auto edit = [expectedPdfFileName, relink](BookmarkList &rows) -> qsizetype {
        const QList<qsizetype> positions =
            WorkshopBooks::positionsOfBook(LibraryRows(rows), expectedPdfFileName);
        for (const qsizetype position : positions)
            relink(rows[position]);
        return positions.size();
    };
    editStoredSlot(0, edit, [done = std::move(done)](const StoredSlotEdit &stored) {
        done(BookRelink{stored.changed, stored.changed == 0 || stored.written});
    });
}
