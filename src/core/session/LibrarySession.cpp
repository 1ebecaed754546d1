#include "core/session/LibrarySession.h"

#include "core/common/BuildProgress.h"
#include "core/common/Hop.h"
#include "core/common/MemoryTrim.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/IndexPreparation.h"
#include "core/slotfiles/SlotFiles.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"
#include "core/titles/TitleKeyIndex.h"

#include <QSet>
#include <QThreadPool>

#include <algorithm>

LibrarySession::LibrarySession(PlaylistLibrary &playlists, QObject *parent)
    : QObject(parent), m_playlists(playlists),
      m_slotFiles(std::make_unique<SlotFiles>(SlotFiles::Host{
          [this] {
              return SlotSnapshot{m_rows, m_selectedFolder};
          },
          [this] { saveCurrentSlot(); },
          [this](std::function<void()> take) {
              m_landings.land(this, std::move(take), LandingGate::AtQuit::land);
          },
      })),
      m_indexes(new IndexPreparation([this] { prepareIndexes(); }, this))
{
    // A run that holds a batch open ends it before the merge is made, in the rows it worked on, as does
    // a cell field still open: their changes are then made on the other version with the rest. What
    // the run saves is refused (the file's version moved on); the merged rows are written after.
    connect(m_slotFiles.get(), &SlotFiles::currentSlotAboutToMerge, this,
            &LibrarySession::announceReplacement);
    connect(m_slotFiles.get(), &SlotFiles::currentSlotMerged, this, &LibrarySession::adoptMerge);
    connect(m_slotFiles.get(), &SlotFiles::mergeTold, this, &LibrarySession::changedElsewhere);
    connect(m_slotFiles.get(), &SlotFiles::saveFailed, this, &LibrarySession::saveFailed);
}

LibrarySession::~LibrarySession()
{
    m_indexes->cancel();
    waitForPendingSaves();
    // The application is quitting and every save is written: the system takes back the memory of a
    // million rows and their indexes at once as the process ends, where freeing them row by row would
    // hold the quit for a second or two.
    if (m_indexes->quitting())
        MemoryTrim::keepToTheEnd(std::move(m_rows), std::move(m_titleKeys), std::move(m_positionsByKey));
}

// ---- The rows and their indexes

void LibrarySession::noteRowChange(RowChange change)
{
    m_slotFiles->noteChange(std::move(change));
}

void LibrarySession::adoptMerge(const SlotMerge &merge)
{
    BatchScope batch(*this, PlaylistSync::skip);
    // The folder stays this computer's own: another computer's path means nothing here.
    replaceRows(merge.merged.rows);
    noteChange(ChangeKind::replaced, {}, {}, false);
}

void LibrarySession::replaceRows(LibraryRows rows)
{
    m_rowsUnread = false;
    // The library left, a million rows with their indexes, is freed on a worker, and the memory goes
    // back to the system.
    MemoryTrim::freeInBackground(std::exchange(m_rows, std::move(rows)), std::exchange(m_titleKeys, nullptr),
                                 std::exchange(m_positionsByKey, {}));
    m_positionsValid = false;
    Q_EMIT rowsReplaced();
}

std::shared_ptr<const TitleKeyIndex> LibrarySession::titleKeyIndex() const
{
    if (!m_titleKeys)
        m_titleKeys = std::make_shared<const TitleKeyIndex>(m_rows);
    return m_titleKeys;
}

QList<qsizetype> LibrarySession::indicesMatchingTitleKey(const QString &key) const
{
    const std::span<const qsizetype> rows = titleKeyIndex()->rowsWithKey(key);
    return QList<qsizetype>(rows.begin(), rows.end());
}

const QHash<QString, qsizetype> &LibrarySession::positionsByKey() const
{
    if (!m_positionsValid) {
        m_positionsByKey = m_rows.firstPositionsById();
        m_positionsValid = true;
    }
    return m_positionsByKey;
}

std::optional<qsizetype> LibrarySession::firstPositionOf(const QString &identityKey) const
{
    const auto &positions = positionsByKey();
    const auto found = positions.constFind(identityKey);
    if (found == positions.cend())
        return std::nullopt;
    return *found;
}

std::optional<qsizetype> LibrarySession::allBookmarksIndex(const BookmarkEntry &entry) const
{
    return firstPositionOf(entry.id());
}

namespace {

struct PreparedIndexes {
    std::shared_ptr<const TitleKeyIndex> titleKeys;
    std::optional<QHash<QString, qsizetype>> positionsByKey;
};

} // namespace

void LibrarySession::prepareIndexes()
{
    const bool needTitles = !m_titleKeys;
    const bool needPositions = !m_positionsValid;
    if (m_rows.isEmpty() || !(needTitles || needPositions) || !m_indexes->startFor(m_libraryVersion))
        return;
    const quint64 version = m_libraryVersion;
    Hop::run(
        this,
        [snapshot = m_rows, needTitles, needPositions, builds = m_indexes->builds()] {
            const BuildProgress *progress = builds.get();
            PreparedIndexes prepared;
            if (needTitles)
                prepared.titleKeys = std::make_shared<const TitleKeyIndex>(snapshot, progress);
            if (needPositions && !progress->isCancelled())
                prepared.positionsByKey = snapshot.firstPositionsById(progress);
            // Whatever a cancel cut short is of no use.
            return progress->isCancelled() ? PreparedIndexes() : prepared;
        },
        [this, version](PreparedIndexes prepared) {
            // What was made from an older library would describe rows that changed since.
            if (version == m_libraryVersion) {
                if (prepared.titleKeys && !m_titleKeys)
                    m_titleKeys = std::move(prepared.titleKeys);
                if (prepared.positionsByKey && !m_positionsValid) {
                    m_positionsByKey = std::exchange(prepared.positionsByKey, std::nullopt).value();
                    m_positionsValid = true;
                }
            }
            // Indexes of 100,000 rows nobody took: let go of on a worker. The library has settled: what
            // its change freed (the indexes it replaced, what made them, a decoded file) goes back to
            // the system.
            MemoryTrim::freeInBackground(std::move(prepared));
        });
}

// ---- Changes, batches and their side effects

void LibrarySession::beginBatch(PlaylistSync sync)
{
    if (m_pending.depth++ == 0) {
        m_pending = PendingChange();
        m_pending.depth = 1;
        m_pending.sync = sync;
    }
}

void LibrarySession::commitBatch()
{
    Q_ASSERT(m_pending.depth > 0);
    if (--m_pending.depth > 0)
        return;
    PendingChange change = std::exchange(m_pending, PendingChange());
    if (!change.changed)
        return;
    if (change.save)
        saveCurrentSlot();
    if (change.sync == PlaylistSync::sync)
        syncPlaylists(change);
    Q_EMIT libraryChanged(change.kind,
                          change.kind == ChangeKind::replaced ? QSet<QString>() : change.titleKeys);
    // A change of the whole library leaves 100,000 keys behind: freed on a worker.
    if (change.titleKeys.size() + change.identityKeys.size() > 10000)
        QThreadPool::globalInstance()->start(
            [keys = std::move(change.titleKeys), ids = std::move(change.identityKeys)] {});
}

void LibrarySession::noteChange(ChangeKind kind, QSet<QString> titleKeys, QSet<QString> identityKeys,
                                bool save)
{
    Q_ASSERT(m_pending.depth > 0);
    ++m_libraryVersion;
    m_indexes->libraryChanged();

    // A batch tells the broadest kind of change it saw.
    PendingChange &pending = m_pending;
    if (!pending.changed || int(kind) > int(pending.kind))
        pending.kind = kind;
    pending.changed = true;
    pending.save |= save;
    // A change of the whole library brings 100,000 keys: taken over, not copied one by one.
    if (pending.titleKeys.isEmpty())
        pending.titleKeys = std::move(titleKeys);
    else
        pending.titleKeys.unite(titleKeys);
    if (pending.identityKeys.isEmpty())
        pending.identityKeys = std::move(identityKeys);
    else
        pending.identityKeys.unite(identityKeys);
    if (kind == ChangeKind::replaced)
        pending.syncAll |= save;
}

void LibrarySession::syncPlaylists(const PendingChange &change)
{
    const auto lookup = [this](const PlaylistItem &, const QString &key) -> const BookmarkEntry * {
        const std::optional<qsizetype> position = firstPositionOf(key);
        return position ? &m_rows.at(*position) : nullptr;
    };
    if (change.syncAll)
        m_playlists.syncAllItems(lookup);
    else
        m_playlists.syncItems(change.identityKeys, lookup);
}

// ---- The slot and the whole library

void LibrarySession::restoreActiveSlot()
{
    m_currentSlotId = SlotStore::activeSlot();
    m_slotFiles->setCurrent(m_currentSlotId);
}

void LibrarySession::replaceLibrary(Replacement replacement)
{
    announceReplacement();
    BatchScope batch(*this, replacement.sync);
    bool heldBack = false;
    if (replacement.slot != m_currentSlotId) {
        if (replacement.saveLeftSlot)
            saveCurrentSlot();
        m_currentSlotId = replacement.slot;
        // A slot left with changes its file still lacks (its writes failed) comes back with them.
        if (std::optional<SlotSnapshot> held = m_slotFiles->setCurrent(replacement.slot);
            held && !replacement.save) {
            replacement.rows = held->rows;
            replacement.folder = held->folder;
            replacement.titleKeys = nullptr;
            replacement.positions.reset();
            heldBack = true;
        }
        writeMetaInBackground(replacement.slot, {{replacement.slot, replacement.rows.size()}});
    }
    if (!heldBack) {
        // Rows not to be saved are the file's own, read from the version given or standing there now.
        if (replacement.fileVersion || !replacement.save)
            m_slotFiles->setRead(replacement.fileVersion.value_or(
                StateFile::stampOf(SlotStore::slotFilePath(m_currentSlotId))));
        if (replacement.save)
            noteRowChange(RowChange::replacedBy(replacement.rows));
    }
    if (replacement.folder)
        m_selectedFolder = *replacement.folder;
    replaceRows(std::move(replacement.rows));
    m_titleKeys = std::move(replacement.titleKeys);
    if (replacement.positions) {
        m_positionsByKey = std::move(*replacement.positions);
        m_positionsValid = true;
    }
    noteChange(ChangeKind::replaced, {}, {}, replacement.save);
}

void LibrarySession::adoptDefaultBookmarks(BookmarkList rows, const QString &folder)
{
    Replacement replacement(LibraryRows(rows), 0);
    replacement.folder = folder;
    replacement.saveLeftSlot = false;
    replaceLibrary(std::move(replacement));
}

void LibrarySession::saveCurrentSlot()
{
    // The slot's file holds its rows while they are being read; the empty library must not replace it.
    if (m_rowsUnread || !m_slotFiles->hasUnsavedChanges())
        return;
    // Shared copies: taking them costs nothing, and later edits copy only the blocks they change.
    m_slotFiles->save({m_rows, m_selectedFolder});
    writeMetaInBackground(SlotStore::clampSlot(m_currentSlotId), {{m_currentSlotId, m_rows.size()}});
}

void LibrarySession::waitForPendingSaves()
{
    StateFile::waitForAllPendingWrites();
}

void LibrarySession::syncAllPlaylistItems()
{
    PendingChange everything;
    everything.syncAll = true;
    syncPlaylists(everything);
}

void LibrarySession::recordSlotCount(qint64 slot, qsizetype count)
{
    writeMetaInBackground(SlotStore::clampSlot(m_currentSlotId), {{slot, count}});
}

void LibrarySession::writeMetaInBackground(qint64 activeSlot, const QMap<qint64, qint64> &counts)
{
    SlotMeta meta;
    meta.activeSlot = activeSlot;
    if (const std::optional<SlotMeta> stored = SlotStore::loadMeta()) {
        meta.slotNames = stored->slotNames;
        meta.slotCounts = stored->slotCounts;
    }
    meta.slotCounts.insert(counts);
    const QByteArray bytes = SlotStore::encodeMeta(meta);
    StateFile::writeInBackground(
        SlotStore::metaFilePath(), [bytes]() -> std::optional<QByteArray> { return bytes; },
        saveFailureReporter());
}

std::function<void(const QString &, bool, const QString &)> LibrarySession::saveFailureReporter()
{
    // Called on the worker; the report is posted to this object, if it is still there.
    const Hop::Receiver back(this);
    return [this, back](const QString &path, bool written, const QString &error) {
        if (!written)
            back.post([this, path, error] { Q_EMIT saveFailed(path, error); });
    };
}
