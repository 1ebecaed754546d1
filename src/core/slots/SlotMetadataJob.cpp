#include "core/slots/SlotMetadataJob.h"

#include "core/common/Hop.h"
#include "core/common/MemoryTrim.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/slotfiles/RowChange.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleKeyIndex.h"

#include <QPointer>
#include <QScopeGuard>
#include <QSet>

#include <future>

namespace {

// What the session needs to adopt a change made on a worker.
struct Prepared {
    quint64 version = 0;
    LibraryRows rows;
    qsizetype matched = 0;
    qsizetype changed = 0;
    QSet<QString> titleKeys;
    QSet<QString> identityKeys;
    RowChange change;
    // When the playlists follow: the first position of each identity key they hold among the changed
    // ones (of every key, when the session had them ready), and their items brought in line.
    QHash<QString, qsizetype> positions;
    std::optional<PlaylistItemSync> playlists;
};

// The first bookmark of rows with the key; fallback answers for a key that positions lacks.
PlaylistLibrary::BookmarkLookup lookupIn(const LibraryRows &rows, const QHash<QString, qsizetype> &positions,
                                         const PlaylistLibrary::BookmarkLookup &fallback = {})
{
    return
        [&rows, &positions, fallback](const PlaylistItem &item, const QString &key) -> const BookmarkEntry * {
            const auto found = positions.constFind(key);
            if (found != positions.cend())
                return &rows.at(*found);
            return fallback ? fallback(item, key) : nullptr;
        };
}

// The title an identity key holds (songIdentityKey()): folded, so that a row stored before titles were
// folded meets its playlist entries.
QString keyTitle(const QString &title)
{
    return TextUtils::nfc(TextUtils::foldedTitle(title));
}

// The first position in rows of each of the identity keys that the playlists hold. Keeps only those
// few, not 100,000 of them, and makes the key only of the rows that bear the title of one of them (a key
// holds its title).
QHash<QString, qsizetype> firstPositionsInPlaylists(const LibraryRows &rows, const QList<Playlist> &playlists)
{
    QSet<QString> wanted;
    QSet<QString> titles;
    for (const Playlist &playlist : playlists) {
        for (const PlaylistItem &item : playlist.items) {
            if (QString key = item.id(); !wanted.contains(key)) {
                wanted.insert(std::move(key));
                titles.insert(keyTitle(item.title));
            }
        }
    }
    QHash<QString, qsizetype> positions;
    positions.reserve(wanted.size());
    for (qsizetype i = 0; i < rows.size() && positions.size() < wanted.size(); ++i) {
        const BookmarkEntry &row = rows.at(i);
        if (!titles.contains(keyTitle(row.title)))
            continue;
        if (QString key = row.id(); wanted.contains(key) && !positions.contains(key))
            positions.insert(std::move(key), i);
    }
    return positions;
}

} // namespace

SlotMetadataJob::SlotMetadataJob(LibrarySlots &librarySlots, qint64 slot, Edit edit,
                                 LibrarySession::PlaylistSync sync, QObject *parent)
    : QObject(parent), m_slots(librarySlots), m_session(librarySlots.session()), m_slot(slot),
      m_edit(std::move(edit)), m_sync(sync)
{
}

void SlotMetadataJob::start()
{
    attempt();
}

void SlotMetadataJob::attempt()
{
    if (m_session.currentSlotId() != m_slot) {
        editStoredSlot();
        return;
    }
    // Copies that share the session's blocks; the title keys come with the library's version when
    // they are made already, and are made on the worker otherwise.
    const quint64 version = m_session.libraryVersion();
    const LibraryRows rows = m_session.allBookmarks();
    const std::shared_ptr<const TitleKeyIndex> ready = m_session.readyTitleKeyIndex();
    // The playlists follow on the worker too, from a copy of the list; adoptSync() keeps what was
    // changed in them meanwhile.
    const bool sync = m_sync == LibrarySession::PlaylistSync::sync;
    const std::optional<QHash<QString, qsizetype>> readyPositions =
        sync ? m_session.readyPositionsByKey() : std::nullopt;
    const QList<Playlist> playlists = sync ? m_session.playlists().playlists() : QList<Playlist>();
    const quint64 playlistRevision = m_session.playlists().revision();
    Hop::run(
        this,
        [edit = m_edit, version, rows, ready, sync, readyPositions, playlists, playlistRevision] {
            // A change of metadata leaves the identity keys where they were: where the playlists' songs
            // are is looked up in the rows as they are, on a thread of its own beside the change.
            std::future<QHash<QString, qsizetype>> positions;
            if (sync && !readyPositions)
                positions = std::async(std::launch::async, [&rows, &playlists] {
                    return firstPositionsInPlaylists(rows, playlists);
                });
            Prepared prepared;
            prepared.version = version;
            prepared.rows = rows;
            const std::shared_ptr<const TitleKeyIndex> titles =
                ready ? ready : std::make_shared<const TitleKeyIndex>(rows);
            const Change change = edit(prepared.rows, *titles);
            prepared.matched = change.matched;
            prepared.changed = change.positions.size();
            // The identity keys are those the rows had: the change leaves titles, books and pages.
            prepared.change = RowChange::changed(rows, prepared.rows, *titles, change.positions);
            prepared.titleKeys.reserve(change.positions.size());
            prepared.identityKeys.reserve(change.positions.size());
            for (qsizetype i = 0; i < change.positions.size(); ++i) {
                prepared.titleKeys.insert(titles->keyOfRow(change.positions.at(i)));
                prepared.identityKeys.insert(prepared.change.identities.at(i).key);
            }
            if (positions.valid())
                prepared.positions = positions.get();
            if (sync && prepared.changed > 0) {
                if (readyPositions)
                    prepared.positions = *readyPositions;
                prepared.playlists =
                    PlaylistLibrary::synced(playlists, playlistRevision, prepared.identityKeys,
                                            lookupIn(prepared.rows, prepared.positions));
            }
            return prepared;
        },
        m_session.landings().landing(this, [this](Prepared prepared) {
            // What the change leaves (a library's rows in its blocks, the playlists' positions) is let
            // go of on a worker, adopted or not: freeing it here held the interface.
            const auto leftovers =
                qScopeGuard([&prepared] { MemoryTrim::freeInBackground(std::move(prepared)); });
            // Text still being typed for a row is the library's before the change lands: the change is
            // then worked out again over it.
            if (prepared.changed > 0 && m_session.currentSlotId() == m_slot)
                m_session.prepareForLanding();
            if (m_session.currentSlotId() != m_slot || prepared.version != m_session.libraryVersion()) {
                // Another slot, or the same slot changed meanwhile: worked out again from what is
                // there now.
                attempt();
                return;
            }
            Outcome outcome;
            outcome.slot = m_slot;
            outcome.matched = prepared.matched;
            outcome.changed = prepared.changed;
            outcome.rowCount = prepared.rows.size();
            if (prepared.changed > 0) {
                // The playlists were brought in line on the worker already.
                LibrarySession::BatchScope batch(m_session, LibrarySession::PlaylistSync::skip);
                if (!m_session.adoptEditedRows(prepared.version, std::move(prepared.rows),
                                               std::move(prepared.change), std::move(prepared.titleKeys),
                                               std::move(prepared.identityKeys))) {
                    attempt();
                    return;
                }
                // Should the playlists have changed meanwhile, a title added to one asks for a key the
                // worker did not look for: the session answers for it.
                const LibrarySession &session = m_session;
                if (prepared.playlists)
                    m_session.playlists().adoptSync(
                        std::move(*prepared.playlists),
                        lookupIn(
                            session.allBookmarks(), prepared.positions,
                            [&session](const PlaylistItem &, const QString &key) -> const BookmarkEntry * {
                                const std::optional<qsizetype> position = session.firstPositionOf(key);
                                return position ? &session.allBookmarks().at(*position) : nullptr;
                            }));
            }
            finish(outcome);
        }));
}

void SlotMetadataJob::editStoredSlot()
{
    // Filled on the slot's writer, read in done on the UI thread after it.
    struct Stored {
        Outcome outcome;
        BookmarkList changedRows; // as written, for the playlists
    };
    auto stored = std::make_shared<Stored>();
    stored->outcome.slot = m_slot;
    const bool queued = m_slots.editStoredSlot(
        m_slot,
        [edit = m_edit, stored](BookmarkList &rows) -> qsizetype {
            LibraryRows library(rows);
            const Change change = edit(library, TitleKeyIndex(library));
            stored->changedRows.reserve(change.positions.size());
            for (const qsizetype position : change.positions) {
                rows[position] = library.at(position);
                stored->changedRows.append(rows[position]);
            }
            stored->outcome.matched = change.matched;
            stored->outcome.rowCount = library.size();
            return change.positions.size();
        },
        [self = QPointer<SlotMetadataJob>(this), stored](const LibrarySlots::StoredSlotEdit &edit) {
            if (!self)
                return;
            Outcome outcome = stored->outcome;
            outcome.changed = edit.changed;
            if (!edit.read)
                outcome.kind = Outcome::Kind::slotEmpty;
            else if (edit.changed > 0 && !edit.written)
                outcome.kind = Outcome::Kind::writeFailed;
            else
                outcome.kind = Outcome::Kind::appliedToStored;
            outcome.error = edit.error;
            if (edit.written && self->m_sync == LibrarySession::PlaylistSync::sync)
                self->syncPlaylistsWith(stored->changedRows);
            self->finish(outcome);
        });
    if (!queued) // its slot became the current one again
        attempt();
}

void SlotMetadataJob::syncPlaylistsWith(const BookmarkList &changedRows)
{
    // The playlists' items of these songs take what was just written to their slot, as they would
    // had the slot still been the current one.
    QHash<QString, const BookmarkEntry *> byKey;
    byKey.reserve(changedRows.size());
    for (const BookmarkEntry &row : changedRows) {
        if (QString key = row.id(); !byKey.contains(key))
            byKey.insert(std::move(key), &row);
    }
    if (byKey.isEmpty())
        return;
    const QList<QString> keys = byKey.keys();
    m_session.playlists().syncItems(
        QSet<QString>(keys.cbegin(), keys.cend()),
        [&byKey](const PlaylistItem &, const QString &key) { return byKey.value(key); });
}

void SlotMetadataJob::finish(Outcome outcome)
{
    // The change may hold what it was made from (a decoded metadata file of 50,000 records): let go of
    // on a worker, not on the UI thread, and the memory of the run goes back to the system.
    MemoryTrim::freeInBackground(std::exchange(m_edit, {}));
    Q_EMIT finished(outcome);
    deleteLater();
}
