// Changes of the library worked out on a worker, the rows of a bookmark file, and edits of slots that
// are not the current one.

#include "core/common/Hop.h"
#include "core/library/LibrarySession.h"
#include "core/library/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QThreadPool>

bool LibrarySession::adoptEditedRows(quint64 version, LibraryRows rows, QSet<QString> titleKeys,
                                     QSet<QString> identityKeys)
{
    if (version != m_libraryVersion || rows.size() != m_rows.size())
        return false;
    BatchScope batch(*this);
    // The titles, books and pages are the same: the title index and the positions of the identity
    // keys stay as they are, and so do the shown rows. The blocks the change replaced are let go of on
    // a worker: freeing 100,000 rows would hold up the interface.
    QThreadPool::globalInstance()->start([old = std::exchange(m_rows, std::move(rows))] {});
    titleKeys.remove(QString());
    noteChange(ChangeKind::edited, std::move(titleKeys), std::move(identityKeys));
    return true;
}

void LibrarySession::importBookmarks(LibraryRows rows, const std::optional<QString> &folder)
{
    announceReplacement();
    BatchScope batch(*this);
    replaceRows(std::move(rows));
    if (folder)
        m_selectedFolder = *folder;
    noteChange(ChangeKind::replaced, {}, {}, true);
}

bool LibrarySession::editStoredSlot(qint64 slot, StoredRowsEdit edit,
                                    std::function<void(const StoredSlotEdit &)> done)
{
    if (slot < 0 || slot >= slotCount || slot == m_currentSlotId)
        return false;
    // Filled on the slot's writer, read back on the UI thread after the write.
    auto outcome = std::make_shared<StoredSlotEdit>();
    const Hop::Receiver back(this);
    StateFile::editInBackground(
        SlotStore::slotFilePath(slot),
        [slot, edit = std::move(edit), outcome]() -> std::optional<QByteArray> {
            // The file as the writes queued before this one left it.
            SlotStore::SlotContents contents = SlotStore::loadSlotContents(slot);
            outcome->read = !contents.bookmarks.isEmpty();
            if (outcome->read)
                outcome->changed = edit(contents.bookmarks);
            if (outcome->changed == 0)
                return std::nullopt;
            return SlotStore::encodeSlot(contents.bookmarks, contents.selectedFolder);
        },
        [this, back, outcome, done = std::move(done)](const QString &path, bool written,
                                                      const QString &error) {
            back.post([this, outcome, done, path, written, error] {
                StoredSlotEdit result = *outcome;
                if (result.changed > 0) {
                    result.written = written;
                    if (!written) {
                        result.error = error;
                        Q_EMIT saveFailed(path, error);
                    }
                }
                if (done)
                    done(result);
            });
        });
    return true;
}
