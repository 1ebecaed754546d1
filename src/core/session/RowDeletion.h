#pragma once

#include "core/books/CustomPdfFiles.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <functional>
#include <optional>

class LibrarySession;
class QObject;

// Rows about to be deleted, with what goes with them: the identity keys of the imported songs (their
// playlist items go too) and the imported files that nothing will use afterwards.
struct DeletionPlan {
    QList<qsizetype> positions; // descending, each once
    QSet<QString> customKeys;
    QStringList customPaths;
    // The confirmation names them; no other file goes to the trash.
    QStringList filesToRemove;
    // What the other slots' files held when the plan was made.
    CustomPdfFiles::OtherSlotsUse otherSlots;
    quint64 libraryVersion = 0;
};

struct DeletionResult {
    qsizetype deleted = 0;
    QStringList trashed;
    QStringList notTrashed;
};

// Plans for LibrarySession::deleteBookmarks(), which carries them out.
namespace RowDeletion {

// The rows at positions of the session's library, and the imported files among them that nothing
// uses afterwards, as otherSlots tells of the other slots; without it no file is planned to go.
// Changes nothing.
DeletionPlan plan(const LibrarySession &session, const QList<qsizetype> &positions,
                  std::optional<CustomPdfFiles::OtherSlotsUse> otherSlots);

// The same, the other slots' files read on a worker: done(plan) comes on the UI thread if context still
// exists (at once when the rows have no imported files). The library may have changed by then; the
// plan's libraryVersion tells, and deleteBookmarks() refuses such a plan.
void planInBackground(const LibrarySession &session, const QList<qsizetype> &positions, QObject *context,
                      std::function<void(DeletionPlan)> done);

} // namespace RowDeletion
