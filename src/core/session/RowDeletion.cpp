#include "core/session/RowDeletion.h"

#include "core/common/Hop.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"

#include <algorithm>

namespace RowDeletion {

namespace {

DeletionPlan rowsOf(const LibrarySession &session, const QList<qsizetype> &positions)
{
    const LibraryRows &rows = session.allBookmarks();
    DeletionPlan plan;
    plan.libraryVersion = session.libraryVersion();
    plan.positions = positions;
    std::sort(plan.positions.begin(), plan.positions.end(), std::greater<>());
    plan.positions.erase(std::unique(plan.positions.begin(), plan.positions.end()), plan.positions.end());
    plan.positions.removeIf([&rows](qsizetype p) { return p < 0 || p >= rows.size(); });
    for (qsizetype position : std::as_const(plan.positions)) {
        const BookmarkEntry &row = rows.at(position);
        if (CustomPdfFiles::isCustomBookmark(row)) {
            if (!plan.customPaths.contains(row.pdfFilePath))
                plan.customPaths.append(row.pdfFilePath);
            plan.customKeys.insert(row.id());
        }
    }
    return plan;
}

void planFiles(DeletionPlan &plan, CustomPdfFiles::OtherSlotsUse otherSlots, LibraryRows remaining,
               const QList<Playlist> &playlists)
{
    remaining.remove(plan.positions);
    plan.filesToRemove = CustomPdfFiles::unusedManagedPdfs(plan.customPaths, otherSlots, remaining, playlists,
                                                           plan.customKeys);
    plan.otherSlots = std::move(otherSlots);
}

} // namespace

DeletionPlan plan(const LibrarySession &session, const QList<qsizetype> &positions,
                  std::optional<CustomPdfFiles::OtherSlotsUse> otherSlots)
{
    DeletionPlan planned = rowsOf(session, positions);
    if (otherSlots && !planned.customPaths.isEmpty())
        planFiles(planned, std::move(*otherSlots), session.allBookmarks(), session.playlists().playlists());
    return planned;
}

void planInBackground(const LibrarySession &session, const QList<qsizetype> &positions, QObject *context,
                      std::function<void(DeletionPlan)> done)
{
    DeletionPlan plan = rowsOf(session, positions);
    if (plan.customPaths.isEmpty()) {
        done(std::move(plan));
        return;
    }
    // Reading five slots of 100,000 bookmarks takes seconds: the worker reads them and works on
    // copies that share the rows and the playlists.
    Hop::run(
        context,
        [plan = std::move(plan), rows = session.allBookmarks(), slot = session.currentSlotId(),
         playlists = session.playlists().playlists()]() mutable {
            planFiles(plan, CustomPdfFiles::otherSlotsUse(plan.customPaths, slot), std::move(rows),
                      playlists);
            return std::move(plan);
        },
        std::move(done));
}

} // namespace RowDeletion
