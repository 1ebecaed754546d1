// Commands on whole slots: save, reload, copy, merge and clear, and the two ways a slot takes in new
// songs from outside (an extraction from a folder, an import of files).

#include "core/library/LibrarySession.h"
#include "core/library/SlotStore.h"
#include "core/library/TitleKeyIndex.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QHash>

#include <algorithm>

namespace {

// What a user adds to an extracted song; a new extraction of its book keeps it.
void carryUserFields(BookmarkEntry &row, const BookmarkEntry &old)
{
    const auto carry = [](QString &field, const QString &kept) {
        if (!kept.isEmpty())
            field = kept;
    };
    carry(row.genre, old.genre);
    carry(row.style, old.style);
    carry(row.composer, old.composer);
    carry(row.tempo, old.tempo);
    carry(row.spotifyURL, old.spotifyURL);
    carry(row.youtubeURL, old.youtubeURL);
    if (old.firstReleaseYear)
        row.firstReleaseYear = old.firstReleaseYear;
    if (old.rating)
        row.rating = old.rating;
}

LibraryRows mergedExtraction(const LibraryRows &old, const ExtractionResult &result)
{
    const QHash<QString, qsizetype> oldByKey = old.firstPositionsById();
    LibraryRows rows;
    if (result.rereadBooks) {
        for (const BookmarkEntry &row : old) {
            if (!result.rereadBooks->contains(row.pdfFileName.toLower()))
                rows.append(row);
        }
    }
    for (BookmarkEntry row : result.bookmarks) {
        if (const auto found = oldByKey.constFind(row.id()); found != oldByKey.cend())
            carryUserFields(row, old.at(*found));
        rows.append(row);
    }
    return rows;
}

} // namespace

QString SlotClearPlan::slotLabel() const
{
    if (slot == 0)
        return QStringLiteral("the Default slot");
    const QString number = QString::number(slot);
    if (slotName.isEmpty() || slotName == SlotStore::builtInSlotName(slot))
        return QStringLiteral("Slot %1").arg(number);
    return QStringLiteral("Slot %1 (%2)").arg(number, slotName);
}

QString SlotClearPlan::message() const
{
    return QStringLiteral("Clear %1?").arg(slotLabel());
}

QString SlotClearPlan::rebuildMessage() const
{
    return QStringLiteral("Rebuild %1 from the books?").arg(slotLabel());
}

QString SlotClearPlan::rebuildInformativeText() const
{
    const QString bookmarks = bookmarkCount == 1 ? QStringLiteral("Its one bookmark is")
                                                 : QStringLiteral("Its %1 bookmarks are").arg(bookmarkCount);
    return bookmarks + QStringLiteral(" rebuilt from the books in the folder; the metadata of every title "
                                      "found again is kept.");
}

QString SlotClearPlan::informativeText() const
{
    if (bookmarkCount == 0)
        return QStringLiteral("The slot holds no bookmarks.");
    if (bookmarkCount == 1)
        return QStringLiteral("The one bookmark in this slot will be removed from disk.");
    return QStringLiteral("All %1 bookmarks in this slot will be removed from disk.").arg(bookmarkCount);
}

BookmarkList LibrarySession::slotBookmarks(qint64 slot) const
{
    return slot == m_currentSlotId ? m_rows.toList() : SlotStore::loadSlot(slot);
}

qsizetype LibrarySession::slotBookmarkCount(qint64 slot) const
{
    return slot == m_currentSlotId ? m_rows.size() : SlotStore::loadSlot(slot).size();
}

QString LibrarySession::saveSlotNow()
{
    saveCurrentSlot();
    PendingChange everything;
    everything.syncAll = true;
    syncPlaylists(everything);
    return SlotStore::slotName(m_currentSlotId) + QStringLiteral(" saved");
}

QString LibrarySession::reloadCurrentSlot()
{
    announceReplacement();
    setAllBookmarks(SlotStore::loadSlot(m_currentSlotId));
    return QStringLiteral("%1 reloaded (%2 bookmarks)")
        .arg(SlotStore::slotName(m_currentSlotId), QString::number(m_rows.size()));
}

std::optional<QString> LibrarySession::copyCurrentSlotTo(qint64 destination)
{
    if (destination < 0 || destination >= SlotStore::slotCount || destination == m_currentSlotId)
        return std::nullopt;
    saveCurrentSlot();
    // From memory, which the current slot's file is about to hold too: nothing waits for that write.
    const LibraryRows snapshot = m_rows;
    const QString folder = m_selectedFolder;
    StateFile::writeInBackground(
        SlotStore::slotFilePath(destination),
        [snapshot, folder] { return SlotStore::encodeSlot(snapshot.toList(), folder); }, failureReporter());
    return QStringLiteral("Copied %1 to %2")
        .arg(SlotStore::slotName(m_currentSlotId), SlotStore::slotName(destination));
}

std::optional<QString> LibrarySession::mergeSlotsIntoCurrent(const QList<qint64> &sources)
{
    if (m_currentSlotId == 0)
        return std::nullopt;
    QList<qint64> picked;
    for (const qint64 slot : sources) {
        if (slot >= 0 && slot < SlotStore::slotCount && slot != m_currentSlotId && !picked.contains(slot))
            picked.append(slot);
    }
    std::sort(picked.begin(), picked.end());

    const QHash<QString, qsizetype> &present = positionsByKey();
    QSet<QString> appended;
    BookmarkList added;
    for (const qint64 source : std::as_const(picked)) {
        for (BookmarkEntry &row : SlotStore::loadSlot(source)) {
            QString key = row.id();
            if (present.contains(key) || appended.contains(key))
                continue;
            appended.insert(std::move(key));
            added.append(std::move(row));
        }
    }
    if (added.isEmpty())
        saveCurrentSlot();
    else
        appendBookmarks(added);
    return QStringLiteral("Merged %1 bookmark(s) into %2")
        .arg(added.size())
        .arg(SlotStore::slotName(m_currentSlotId));
}

SlotClearPlan LibrarySession::planClearSlot(qint64 slot) const
{
    return {slot, SlotStore::slotName(slot), slotBookmarkCount(slot), m_libraryVersion};
}

std::optional<QString> LibrarySession::clearCurrentSlot(const SlotClearPlan &plan)
{
    if (plan.slot == 0 || plan.slot != m_currentSlotId || plan.libraryVersion != m_libraryVersion)
        return std::nullopt;
    announceReplacement();
    SlotStore::setSlotName(plan.slot, QString());
    {
        // The playlists keep the cleared songs' items as they are.
        BatchScope batch(*this, PlaylistSync::skip);
        replaceRows(LibraryRows());
        noteChange(ChangeKind::replaced, {}, {}, true);
    }
    return SlotStore::slotName(plan.slot) + QStringLiteral(" cleared");
}

bool LibrarySession::startNewExtraction(const SlotClearPlan &plan)
{
    if (plan.slot != m_currentSlotId || plan.libraryVersion != m_libraryVersion)
        return false;
    announceReplacement();
    BatchScope batch(*this, PlaylistSync::skip);
    m_selectedFolder.clear();
    replaceRows(LibraryRows());
    noteChange(ChangeKind::replaced, {}, {}, true);
    return true;
}

std::function<ExtractionPlan()> LibrarySession::extractionPlanner(ExtractionResult result) const
{
    const qint64 current = m_currentSlotId;
    // The current slot's rows as they are now, a copy that costs nothing; another slot's come from its
    // file, read on the worker.
    std::optional<LibraryRows> shown;
    if (result.slot == current)
        shown = m_rows;
    return [result = std::move(result), shown, current, version = m_libraryVersion]() mutable {
        ExtractionPlan plan;
        plan.rows = mergedExtraction(shown ? *shown : LibraryRows(SlotStore::loadSlot(result.slot)), result);
        plan.titleKeys = std::make_shared<const TitleKeyIndex>(plan.rows);
        plan.positions = plan.rows.firstPositionsById();
        plan.result = std::move(result);
        plan.currentSlot = current;
        plan.libraryVersion = version;
        return plan;
    };
}

qsizetype LibrarySession::adoptExtraction(const ExtractionResult &result)
{
    return *adoptExtraction(extractionPlanner(result)());
}

std::optional<qsizetype> LibrarySession::adoptExtraction(ExtractionPlan plan)
{
    if (plan.currentSlot != m_currentSlotId || plan.libraryVersion != m_libraryVersion)
        return std::nullopt;
    announceReplacement();
    const qint64 slot = plan.result.slot;
    BatchScope batch(*this);
    if (slot != m_currentSlotId) {
        saveCurrentSlot(); // the slot being left
        m_currentSlotId = slot;
    }
    // Most runs keep the slot's name: the metadata file is written only for a new one.
    const QString name = TextUtils::trimmed(plan.result.slotName);
    if (SlotStore::slotName(slot) != (name.isEmpty() ? SlotStore::builtInSlotName(slot) : name))
        SlotStore::setSlotName(slot, name);
    m_selectedFolder = plan.result.folder;
    replaceRows(std::move(plan.rows));
    m_titleKeys = std::move(plan.titleKeys);
    m_positionsByKey = std::move(plan.positions);
    m_positionsValid = true;
    noteChange(ChangeKind::replaced, {}, {}, true);
    return m_rows.size();
}

void LibrarySession::appendImportedBookmarks(const BookmarkList &rows, qint64 slot,
                                             const QString &destinationFolder)
{
    announceReplacement();
    BatchScope batch(*this);
    SlotStore::SlotContents contents;
    if (slot == m_currentSlotId) {
        contents = {m_rows.toList(), m_selectedFolder};
    } else {
        saveCurrentSlot(); // the slot being left
        m_currentSlotId = slot;
        contents = SlotStore::loadSlotContents(slot);
    }
    contents.bookmarks.append(rows);
    m_selectedFolder = destinationFolder.isEmpty() ? contents.selectedFolder : destinationFolder;
    replaceRows(LibraryRows(contents.bookmarks));
    noteChange(ChangeKind::replaced, {}, {}, true);
}
