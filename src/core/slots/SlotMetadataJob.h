#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/slots/LibrarySlots.h"

#include <QObject>
#include <QString>

#include <functional>

class TitleKeyIndex;

// A change of the metadata of many rows (the built-in metadata, a metadata file), worked out on a
// worker from a copy of the library and applied to the slot that was current when the user asked for
// it. When the result comes back, the session adopts it if the library is still the version it was
// made from; when the library changed meanwhile it is worked out again from the rows of the moment;
// when another slot has become current it goes into the stored rows of its own slot, never into the
// current one. The UI thread only hands over the copy and adopts the result.
//
// The change must leave titles, books and pages as they are. It runs on a worker, once per attempt,
// and must capture copies only.
class SlotMetadataJob : public QObject {
    Q_OBJECT

public:
    struct Change {
        qsizetype matched = 0;      // rows the change found something for
        QList<qsizetype> positions; // rows it changed, each once
    };
    using Edit = std::function<Change(LibraryRows &rows, const TitleKeyIndex &titles)>;

    struct Outcome {
        enum class Kind {
            applied,         // to the current library (its own slot)
            appliedToStored, // to the stored rows of its slot, which is no longer the current one
            slotEmpty,       // its slot holds no rows any more: nothing was changed
            writeFailed,     // the stored rows of its slot could not be written
        };
        Kind kind = Kind::applied;
        qint64 slot = 0;
        qsizetype matched = 0;
        qsizetype changed = 0;
        qsizetype rowCount = 0;
        QString error;
    };

    // slot: the slot the change belongs to, the current one when the user asked for it. sync: whether
    // the playlists follow the change; for the current library their items are brought in line on the
    // worker as well, from a copy of the list (PlaylistLibrary::synced()), for the stored rows of a
    // slot left meanwhile with the rows written, once they are.
    SlotMetadataJob(LibrarySlots &librarySlots, qint64 slot, Edit edit,
                    LibrarySession::PlaylistSync sync = LibrarySession::PlaylistSync::sync,
                    QObject *parent = nullptr);

    // Starts the first attempt; finished() follows, once, and the job then deletes itself.
    void start();

Q_SIGNALS:
    void finished(const SlotMetadataJob::Outcome &outcome);

private:
    void attempt();
    void editStoredSlot();
    void syncPlaylistsWith(const BookmarkList &changedRows);
    void finish(Outcome outcome);

    LibrarySlots &m_slots;
    LibrarySession &m_session;
    qint64 m_slot;
    Edit m_edit;
    LibrarySession::PlaylistSync m_sync;
};
