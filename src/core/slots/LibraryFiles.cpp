#include "core/slots/LibraryFiles.h"

#include "core/books/CustomPdfFiles.h"
#include "core/books/WorkshopBooks.h"
#include "core/common/Hop.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"

#include <QFileInfo>

LibraryFiles::LibraryFiles(LibrarySlots &librarySlots) : m_slots(librarySlots) {}

std::function<QList<CustomFileGroup>()> LibraryFiles::customFileGroupsJob() const
{
    const LibrarySession &session = m_slots.session();
    return [current = session.currentSlotId(), rows = session.allBookmarks()] {
        QList<LibraryRows> rowsOfSlots(LibrarySession::slotCount);
        for (qint64 slot = 1; slot < LibrarySession::slotCount; ++slot)
            rowsOfSlots[slot] = slot == current ? rows : LibraryRows(SlotStore::loadSlot(slot));
        return CustomPdfFiles::customFileGroups(rowsOfSlots, LibrarySlots::slotTileNames());
    };
}

namespace {

// Gives the slot's rows and folder: the library's for the current slot, else read from the slot's file
// when called (on a worker); nothing for a slot outside 0-5.
std::function<std::pair<LibraryRows, QString>()> slotRows(const LibrarySession &session, qint64 slot)
{
    if (slot == session.currentSlotId())
        return [rows = session.allBookmarks(), folder = session.selectedFolder()] {
            return std::pair(rows, folder);
        };
    return [slot] {
        if (slot < 0 || slot >= LibrarySession::slotCount)
            return std::pair(LibraryRows(), QString());
        SlotStore::SlotContents stored = SlotStore::loadSlotContents(slot);
        return std::pair(LibraryRows(stored.bookmarks), std::move(stored.selectedFolder));
    };
}

} // namespace

std::function<QList<WorkshopSlotBook>()> LibraryFiles::slotBooksJob(qint64 slot) const
{
    return [rows = slotRows(m_slots.session(), slot)] {
        const auto [bookmarks, folder] = rows();
        return WorkshopBooks::slotBooks(bookmarks, folder);
    };
}

std::function<BookmarkList()> LibraryFiles::bookTitlesJob(qint64 slot, const QString &bookName) const
{
    return [rows = slotRows(m_slots.session(), slot), bookName] {
        return WorkshopBooks::bookTitles(rows().first, bookName);
    };
}

void LibraryFiles::deleteCustomFileGroups(const QList<CustomFileGroup> &groups,
                                          std::function<void(const CustomFileDeletion &)> done)
{
    LibrarySession &session = m_slots.session();
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
    const auto finish = [&session, run, done = std::move(done)] {
        if (--run->pending > 0)
            return;
        // The other slots' files, written by now, are read on a worker.
        Hop::run(
            &session,
            [paths = run->paths, slot = session.currentSlotId()] {
                return CustomPdfFiles::otherSlotsUse(paths, slot);
            },
            [session = &session, run, done](CustomPdfFiles::OtherSlotsUse otherSlots) {
                if (otherSlots.currentSlot != session->currentSlotId() || !otherSlots.unchanged())
                    otherSlots = CustomPdfFiles::otherSlotsUse(run->paths, session->currentSlotId());
                PlaylistLibrary &playlists = session->playlists();
                if (!run->leavingKeys.isEmpty())
                    playlists.removeItems(run->leavingKeys);
                const CustomPdfFiles::TrashResult trash =
                    CustomPdfFiles::moveToTrash(CustomPdfFiles::unusedManagedPdfs(
                        run->paths, otherSlots, session->allBookmarks(), playlists.playlists()));
                run->result.trashed += trash.trashed;
                run->result.notTrashed += trash.failed;
                if (done)
                    done(run->result);
            });
    };

    // The current slot first, while the other slots still hold their rows: its own deletion keeps
    // the files they use, and the end of the run decides on those.
    const qint64 current = session.currentSlotId();
    if (current > 0) {
        const LibraryRows &rows = session.allBookmarks();
        QList<qsizetype> positions;
        for (auto row = rows.begin(); row != rows.end(); ++row) {
            if (selection.contains(*row))
                positions.append(row.position());
        }
        if (!positions.isEmpty()) {
            // Its files are left to the end of the run.
            if (const std::optional<DeletionResult> deleted =
                    session.deleteBookmarks(RowDeletion::plan(session, positions, std::nullopt))) {
                run->result.rowsRemoved += deleted->deleted;
                run->result.trashed += deleted->trashed;
                run->result.notTrashed += deleted->notTrashed;
            }
        }
    }
    for (qint64 slot = 1; slot < LibrarySession::slotCount; ++slot) {
        if (slot == current)
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
        m_slots.editStoredSlot(slot, remove,
                               [run, removedKeys, slot, finish](const LibrarySlots::StoredSlotEdit &edit) {
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

void LibraryFiles::relinkDefaultBook(const QString &expectedPdfFileName, const QString &newPath,
                                     std::function<void(const BookRelink &)> done)
{
    LibrarySession &session = m_slots.session();
    const auto relink = [fileName = QFileInfo(newPath).fileName(), newPath](BookmarkEntry &row) {
        row.pdfFileName = fileName;
        row.pdfFilePath = newPath;
    };
    if (session.currentSlotId() == 0) {
        const QList<qsizetype> positions =
            WorkshopBooks::positionsOfBook(session.allBookmarks(), expectedPdfFileName);
        BookRelink result;
        if (!positions.isEmpty())
            result.relinked = session.editBookmarks(positions, relink);
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
    m_slots.editStoredSlot(0, edit, [done = std::move(done)](const LibrarySlots::StoredSlotEdit &stored) {
        done(BookRelink{stored.changed, stored.changed == 0 || stored.written});
    });
}
