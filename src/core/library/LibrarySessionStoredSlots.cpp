// Changes of the library worked out on a worker, the rows of a bookmark file, and edits of slots that
// are not the current one.

#include "core/common/Hop.h"
#include "core/library/LibrarySession.h"
#include "core/library/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QMutex>

struct LibrarySession::StoredSlotQueue {
    struct Item {
        StoredRowsEdit edit;
        std::function<void(const StoredSlotEdit &)> done;
    };
    QMutex lock;
    QList<Item> waiting;
};

bool LibrarySession::adoptEditedRows(quint64 version, LibraryRows rows, QSet<QString> titleKeys,
                                     QSet<QString> identityKeys)
{
    if (version != m_libraryVersion || rows.size() != m_rows.size())
        return false;
    BatchScope batch(*this);
    // The titles, books and pages are the same: the title index and the positions of the identity
    // keys stay as they are, and so do the shown rows.
    m_rows = std::move(rows);
    titleKeys.remove(QString());
    noteChange(ChangeKind::edited, std::move(titleKeys), std::move(identityKeys));
    return true;
}

void LibrarySession::importBookmarks(BookmarkList rows, const std::optional<QString> &folder)
{
    announceReplacement();
    BatchScope batch(*this);
    replaceRows(LibraryRows(rows));
    if (folder)
        m_selectedFolder = *folder;
    noteChange(ChangeKind::replaced, {}, {}, true);
}

bool LibrarySession::editStoredSlot(qint64 slot, StoredRowsEdit edit,
                                    std::function<void(const StoredSlotEdit &)> done)
{
    if (slot < 0 || slot >= slotCount || slot == m_currentSlotId)
        return false;
    std::shared_ptr<StoredSlotQueue> &queue = m_storedSlotQueues[size_t(slot)];
    if (!queue)
        queue = std::make_shared<StoredSlotQueue>();
    {
        QMutexLocker lock(&queue->lock);
        queue->waiting.append({std::move(edit), std::move(done)});
        // A write already waits for the slot's writer and takes this edit along: a second write queued
        // behind it would replace it, and its edits would be lost.
        if (queue->waiting.size() > 1)
            return true;
    }

    // Filled on the writer thread, read back on the UI thread after the write.
    struct Batch {
        QList<StoredSlotQueue::Item> items;
        QList<StoredSlotEdit> outcomes;
    };
    auto batch = std::make_shared<Batch>();
    const Hop::Receiver back(this);
    StateFile::writeInBackground(
        SlotStore::slotFilePath(slot),
        [queue, slot, batch]() -> std::optional<QByteArray> {
            {
                QMutexLocker lock(&queue->lock);
                batch->items = std::exchange(queue->waiting, {});
            }
            // Reads the file as the writes before this one left it.
            SlotStore::SlotContents contents = SlotStore::loadSlotContents(slot);
            qsizetype changed = 0;
            for (const StoredSlotQueue::Item &item : std::as_const(batch->items)) {
                StoredSlotEdit outcome;
                outcome.read = !contents.bookmarks.isEmpty();
                if (outcome.read)
                    outcome.changed = item.edit(contents.bookmarks);
                changed += outcome.changed;
                batch->outcomes.append(outcome);
            }
            if (changed == 0)
                return std::nullopt;
            return SlotStore::encodeSlot(contents.bookmarks, contents.selectedFolder);
        },
        [this, back, batch](const QString &path, bool written, const QString &error) {
            back.post([this, batch, path, written, error] {
                bool failed = false;
                for (qsizetype i = 0; i < batch->items.size(); ++i) {
                    StoredSlotEdit outcome = batch->outcomes.value(i);
                    if (outcome.changed > 0) {
                        outcome.written = written;
                        if (!written)
                            outcome.error = error;
                        failed |= !written;
                    }
                    if (batch->items[i].done)
                        batch->items[i].done(outcome);
                }
                if (failed)
                    Q_EMIT saveFailed(path, error);
            });
        });
    return true;
}
