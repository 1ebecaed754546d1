#include "core/slots/LibrarySlots.h"

#include "core/books/FolderFileIndex.h"
#include "core/common/Hop.h"
#include "core/common/MemoryTrim.h"
#include "core/common/UiText.h"
#include "core/session/AppendedRows.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleKeyIndex.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <vector>

static_assert(LibrarySession::slotCount == SlotStore::slotCount);

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

// The slot's rows with the run's songs, and how many of the rows the run replaces it does not give back.
struct MergedExtraction {
    LibraryRows rows;
    qsizetype bookmarksLost = 0;
};

MergedExtraction mergedExtraction(const LibraryRows &old, const ExtractionResult &result)
{
    // The old rows by identity key: the first of each, and after each the next with its key. The n-th
    // song of the run with a key takes the n-th of those rows (an outline that lists a title twice at
    // one page gives it back twice, each with its own metadata), a song beyond them the first one's.
    struct Rows {
        qsizetype first = -1;
        qsizetype next = -1; // the next not taken yet; -1 once every one is
    };
    QHash<QString, Rows> byKey;
    byKey.reserve(old.size());
    std::vector<qsizetype> nextOfKey(size_t(old.size()), -1);
    for (qsizetype i = old.size() - 1; i >= 0; --i) {
        Rows &rows = byKey[old.at(i).id()];
        nextOfKey[size_t(i)] = rows.first;
        rows.first = rows.next = i;
    }
    MergedExtraction merged;
    // An old row stays when a partial run leaves its book, or comes back when a song of the run takes
    // it by its identity key: the one key metadata is carried by, so the rows counted lost are exactly
    // those whose metadata goes.
    std::vector<bool> stays(size_t(old.size()), false);
    if (result.rereadBooks) {
        for (qsizetype i = 0; i < old.size(); ++i) {
            const BookmarkEntry &row = old.at(i);
            if (!result.rereadBooks->contains(row.pdfFileName.toLower())) {
                merged.rows.append(row);
                stays[size_t(i)] = true;
            }
        }
    }
    for (BookmarkEntry row : result.bookmarks) {
        if (const auto found = byKey.find(row.id()); found != byKey.end()) {
            const qsizetype taken = found->next >= 0 ? found->next : found->first;
            carryUserFields(row, old.at(taken));
            stays[size_t(taken)] = true;
            if (found->next >= 0)
                found->next = nextOfKey[size_t(taken)];
        }
        merged.rows.append(row);
    }
    merged.bookmarksLost = std::count(stays.cbegin(), stays.cend(), false);
    return merged;
}

} // namespace

QString SlotClearPlan::slotLabel() const
{
    if (slot == 0)
        return UiText::tr("the Default slot");
    const QString number = QString::number(slot);
    if (slotName.isEmpty() || slotName == SlotStore::builtInSlotName(slot))
        return UiText::tr("Slot %1").arg(number);
    return UiText::tr("Slot %1 (%2)").arg(number, slotName);
}

QString SlotClearPlan::message() const
{
    return UiText::tr("Clear %1?").arg(slotLabel());
}

QString SlotClearPlan::rebuildMessage() const
{
    return UiText::tr("Rebuild %1 from the books?").arg(slotLabel());
}

QString SlotClearPlan::rebuildInformativeText() const
{
    if (bookmarksLost == 0) {
        return bookmarkCount == 1
                   ? UiText::tr("Its one bookmark is rebuilt from the books in the folder; the metadata of "
                                "every title found again is kept.")
                   : UiText::tr("Its %1 bookmarks are rebuilt from the books in the folder; the metadata of "
                                "every title found again is kept.")
                         .arg(bookmarkCount);
    }
    QString text =
        bookmarksLost == 1
            ? UiText::tr(
                  "1 bookmark of %1 is not in the books as it is stored (renamed, imported, or outside the "
                  "folder) and will be removed with its metadata.")
                  .arg(slotLabel())
            : UiText::tr("%1 bookmarks of %2 are not in the books as they are stored (renamed, imported, "
                         "or outside the folder) and will be removed with their metadata.")
                  .arg(QString::number(bookmarksLost), slotLabel());
    const qsizetype rebuilt = bookmarkCount - bookmarksLost;
    if (rebuilt == 1)
        text += UiText::tr(" The other one is rebuilt from the books in the folder with its metadata.");
    else if (rebuilt > 1)
        text += UiText::tr(" The other %1 are rebuilt from the books in the folder with their metadata.")
                    .arg(rebuilt);
    return text;
}

QString SlotClearPlan::clearCommandMessage() const
{
    return UiText::tr("Clear Slot %1?").arg(slot);
}

QString SlotClearPlan::clearCommandInformativeText()
{
    return UiText::tr("All bookmarks in this slot will be removed from disk.");
}

QString SlotClearPlan::informativeText() const
{
    if (bookmarkCount == 0)
        return UiText::tr("The slot holds no bookmarks.");
    if (bookmarkCount == 1)
        return UiText::tr("The one bookmark in this slot will be removed from disk.");
    return UiText::tr("All %1 bookmarks in this slot will be removed from disk.").arg(bookmarkCount);
}

LibrarySlots::LibrarySlots(LibrarySession &session, QObject *parent) : QObject(parent), m_session(session) {}

// ---- Loading and switching

// A slot's file read and made ready for the library on a worker.
struct LibrarySlots::LoadedSlot {
    LibraryRows rows;
    QString folder;
    StateFile::FileVersion version;
    bool fromCache = false;
    std::shared_ptr<const TitleKeyIndex> titleKeys;
    std::optional<QHash<QString, qsizetype>> positions;
    QString summary; // for a switch and the load at start

    // cacheForEmpty: an empty slot takes the bookmark cache's rows and folder, and (the load at start,
    // whose window waits for the rows) the library makes its indexes after it took the rows.
    static LoadedSlot read(qint64 slot, bool summarize, bool cacheForEmpty)
    {
        SlotStore::SlotRows stored = SlotStore::loadSlotRows(slot);
        LoadedSlot loaded;
        loaded.rows = std::move(stored.rows);
        loaded.folder = std::move(stored.selectedFolder);
        loaded.version = stored.version;
        // The cache is a copy of the slot saved last, which need not be this one: a slot this
        // application left empty (shown, then quit) stays empty rather than take another slot's songs.
        if (loaded.rows.isEmpty() && cacheForEmpty && SlotStore::storedSlotCount(slot) != 0) {
            std::optional<CacheService::Contents> cached = CacheService::load();
            if (cached && !cached->bookmarks.isEmpty()) {
                loaded.rows = LibraryRows(std::move(cached->bookmarks));
                loaded.folder = cached->selectedFolder;
                loaded.fromCache = true;
            }
        }
        if (summarize && !loaded.fromCache)
            loaded.summary = availabilitySummary(loaded.rows, loaded.folder);
        if (!cacheForEmpty && !loaded.rows.isEmpty()) {
            loaded.titleKeys = std::make_shared<const TitleKeyIndex>(loaded.rows);
            loaded.positions = loaded.rows.firstPositionsById();
        }
        return loaded;
    }
};

void LibrarySlots::loadCurrentSlot(QObject *context, std::function<void(const LoadResult &)> done)
{
    m_session.setRowsUnread(true);
    // As a reload is: of the current slot, no switch (requestedSlot() stays the current slot).
    startLoad(
        m_session.currentSlotId(), true, context, {}, done ? std::move(done) : [](const LoadResult &) {});
}

void LibrarySlots::adoptStartLoad(const PendingLoad &load, LoadedSlot loaded)
{
    LoadResult result;
    const qsizetype count = loaded.rows.size();
    if (count == 0) {
        m_session.setSelectedFolder(loaded.folder);
        m_session.setRowsUnread(false);
    } else {
        LibrarySession::Replacement replacement(std::move(loaded.rows), load.slot);
        // The folder the user chose for this slot comes back with it; the next save would otherwise
        // write an empty one over it.
        replacement.folder = loaded.folder;
        // Rows from the slot's file are as it holds them; the cache's are moved into the slot.
        replacement.save = loaded.fromCache;
        // The guard takes the file as it was read, as after a switch: an edit is not taken for another
        // program's change, and another program's change since is still seen.
        replacement.fileVersion = loaded.version;
        replacement.titleKeys = std::move(loaded.titleKeys);
        replacement.positions = std::move(loaded.positions);
        m_session.replaceLibrary(std::move(replacement));
        const QString name = SlotStore::slotName(load.slot);
        result =
            loaded.fromCache
                ? LoadResult{LoadSource::cache, UiText::tr("Loaded %1 cached bookmarks").arg(count)}
                : LoadResult{
                      LoadSource::slot,
                      UiText::tr("Loaded %1 bookmarks from %2 • %3").arg(count).arg(name, loaded.summary)};
    }
    if (!load.context)
        return;
    load.started(result);
    if (load.tells)
        load.done(UiText::tr("%1 reloaded (%2 bookmarks)")
                      .arg(SlotStore::slotName(load.slot), QString::number(count)));
}

bool LibrarySlots::switchToSlot(qint64 slot, QObject *context, LoadDone done)
{
    if (slot < 0 || slot >= SlotStore::slotCount || slot == loadingSlot())
        return false;
    if (slot == m_session.currentSlotId()) {
        // Back to the slot the library still is: the switch under way is dropped (a reload goes on).
        if (loadingSlot()) {
            m_load.reset();
            Q_EMIT requestedSlotChanged();
        }
        return false;
    }
    startLoad(slot, false, context, std::move(done));
    return true;
}

std::optional<qint64> LibrarySlots::loadingSlot() const
{
    if (!m_load || m_load->reload)
        return std::nullopt;
    return m_load->slot;
}

qint64 LibrarySlots::requestedSlot() const
{
    return loadingSlot().value_or(m_session.currentSlotId());
}

void LibrarySlots::startLoad(qint64 slot, bool reload, QObject *context, LoadDone done,
                             std::function<void(const LoadResult &)> started)
{
    PendingLoad load;
    load.started = std::move(started);
    // A reload of the slot being read at start goes on as that load, which it becomes.
    if (reload && m_load && m_load->started)
        load.started = std::move(m_load->started);
    load.generation = ++m_loadGeneration;
    load.slot = slot;
    load.reload = reload;
    load.fromSlot = m_session.currentSlotId();
    load.libraryVersion = m_session.libraryVersion();
    load.slotWrites = m_slotWrites.value(slot);
    load.tells = bool(done);
    load.context = context;
    load.done = std::move(done);
    m_load = std::move(load);
    Q_EMIT requestedSlotChanged();
    readPendingLoad();
}

void LibrarySlots::readPendingLoad()
{
    Hop::run(
        this,
        [slot = m_load->slot, summarize = !m_load->reload || bool(m_load->started),
         cacheForEmpty = bool(m_load->started)] { return LoadedSlot::read(slot, summarize, cacheForEmpty); },
        m_session.landings().landing(this, [this, generation = m_load->generation](LoadedSlot loaded) {
            adoptLoad(generation, std::move(loaded));
        }));
}

void LibrarySlots::adoptLoad(quint64 generation, LoadedSlot loaded)
{
    // A slot read for nothing, 100,000 rows with their indexes, is let go of on a worker.
    const auto unused = [&loaded] { MemoryTrim::freeInBackground(std::move(loaded)); };
    if (!m_load || m_load->generation != generation) {
        unused(); // superseded
        return;
    }
    const qint64 slot = m_load->slot;
    if (m_session.currentSlotId() != m_load->fromSlot || (m_load->started && !m_session.rowsUnread())) {
        // Another operation took the library to another slot meanwhile, or replaced the library the
        // slot was being read into; it stays as it is.
        m_load.reset();
        unused();
        Q_EMIT requestedSlotChanged();
        return;
    }
    // Text still being typed for a row of the slot read again is saved first, as Return would have
    // saved it: the file is then read again with it.
    if (m_load->reload && !m_load->started)
        m_session.prepareForLanding();
    // The file was written after the worker may have read it (or, for a reload, the library saved
    // edits to it): read again.
    if (m_slotWrites.value(slot) != m_load->slotWrites ||
        (m_load->reload && !m_load->started && m_session.libraryVersion() != m_load->libraryVersion)) {
        m_load->slotWrites = m_slotWrites.value(slot);
        m_load->libraryVersion = m_session.libraryVersion();
        unused();
        readPendingLoad();
        return;
    }
    const PendingLoad load = std::move(*m_load);
    m_load.reset();
    if (load.started) {
        adoptStartLoad(load, std::move(loaded));
        return;
    }
    const qsizetype count = loaded.rows.size();
    LibrarySession::Replacement replacement(std::move(loaded.rows), slot);
    // A slot comes back with its own folder: the one the window showed belongs to the slot left.
    if (!load.reload)
        replacement.folder = loaded.folder;
    replacement.save = false;
    replacement.fileVersion = loaded.version;
    replacement.titleKeys = std::move(loaded.titleKeys);
    replacement.positions = std::move(loaded.positions);
    m_session.replaceLibrary(std::move(replacement));
    if (!load.tells || !load.context)
        return;
    const QString name = SlotStore::slotName(slot);
    load.done(load.reload ? UiText::tr("%1 reloaded (%2 bookmarks)").arg(name, QString::number(count))
                          : UiText::tr("Switched to %1 (%2 bookmarks) • %3")
                                .arg(name, QString::number(count), loaded.summary));
}

QStringList LibrarySlots::slotTileNames()
{
    const std::optional<SlotMeta> meta = SlotStore::loadMeta();
    QStringList names;
    for (qint64 slot = 0; slot < SlotStore::slotCount; ++slot) {
        const QString stored = meta ? TextUtils::trimmed(meta->slotNames.value(slot)) : QString();
        names.append(stored.isEmpty() ? SlotStore::builtInSlotName(slot) : stored);
    }
    return names;
}

QString LibrarySlots::availabilitySummary(const LibraryRows &rows, const QString &folder)
{
    // A library holds many songs of few books: each distinct name is folded once.
    QHash<QString, QString> bookKeyOfName;
    QSet<QString> books;
    QList<const BookmarkEntry *> firstRows;
    for (const BookmarkEntry &row : rows) {
        auto key = bookKeyOfName.constFind(row.pdfFileName);
        if (key == bookKeyOfName.constEnd())
            key = bookKeyOfName.insert(row.pdfFileName, TextUtils::nfc(row.pdfFileName).toLower());
        if (books.contains(*key))
            continue;
        books.insert(*key);
        firstRows.append(&row);
    }
    if (firstRows.isEmpty())
        return UiText::tr("0 books");
    std::optional<FolderFileIndex> folderIndex;
    qsizetype available = 0;
    for (const BookmarkEntry *row : std::as_const(firstRows)) {
        QString path = row->pdfFilePath;
        if (path.isEmpty() && !folder.isEmpty()) {
            if (!folderIndex)
                folderIndex.emplace(folder);
            path = folderIndex->resolve(row->pdfFileName).value_or(QString());
        }
        if (!path.isEmpty() && QFileInfo::exists(path))
            ++available;
    }
    const qsizetype count = firstRows.size();
    return UiText::tr("%1 books (%2 available, %3 unavailable)")
        .arg(count)
        .arg(available)
        .arg(count - available);
}

// ---- Slot commands

std::function<BookmarkList()> LibrarySlots::slotBookmarksJob(qint64 slot) const
{
    if (slot == m_session.currentSlotId() && currentSlotRead())
        return [rows = m_session.allBookmarks()] { return rows.toList(); };
    return [slot] { return SlotStore::loadSlot(slot); };
}

std::optional<qsizetype> LibrarySlots::knownSlotCount(qint64 slot) const
{
    if (slot == m_session.currentSlotId() && currentSlotRead())
        return m_session.allBookmarks().size();
    return SlotStore::storedSlotCount(slot);
}

std::function<qsizetype()> LibrarySlots::slotCounter(qint64 slot) const
{
    if (const std::optional<qsizetype> known = knownSlotCount(slot))
        return [count = *known] { return count; };
    return [slot] { return SlotStore::loadSlot(slot).size(); };
}

std::function<bool()> LibrarySlots::storedFolderMatcher(qint64 slot, const QString &folder) const
{
    return [slot, folder] { return FolderFileIndex::sameFolder(folder, SlotStore::selectedFolder(slot)); };
}

void LibrarySlots::withSlotCount(qint64 slot, QObject *context, std::function<void(qsizetype)> done)
{
    if (const std::optional<qsizetype> known = knownSlotCount(slot)) {
        done(*known);
        return;
    }
    Hop::run(this, slotCounter(slot), [this, slot, context = QPointer(context), done](qsizetype count) {
        // A write of the slot since then stored the count it wrote.
        if (slot != m_session.currentSlotId() && !SlotStore::storedSlotCount(slot))
            m_session.recordSlotCount(slot, count);
        if (context)
            done(count);
    });
}

QString LibrarySlots::saveSlotNow()
{
    m_session.saveCurrentSlot();
    m_session.syncAllPlaylistItems();
    return UiText::tr("%1 saved").arg(SlotStore::slotName(m_session.currentSlotId()));
}

void LibrarySlots::reloadCurrentSlot(QObject *context, LoadDone done)
{
    startLoad(m_session.currentSlotId(), true, context, std::move(done));
}

bool LibrarySlots::copyCurrentSlotTo(qint64 destination, QObject *context, LoadDone done)
{
    const qint64 current = m_session.currentSlotId();
    // While the current slot is being read the library holds none of its rows yet.
    if (destination < 0 || destination >= SlotStore::slotCount || destination == current ||
        !currentSlotRead())
        return false;
    m_session.saveCurrentSlot();
    noteSlotWrite(destination);
    // From memory, which the current slot's file is about to hold too: nothing waits for that write.
    // Queued behind the destination's writes, not in place of one, so that its outcome is always told.
    const LibraryRows snapshot = m_session.allBookmarks();
    const QString folder = m_session.selectedFolder();
    const QString status =
        UiText::tr("Copied %1 to %2").arg(SlotStore::slotName(current), SlotStore::slotName(destination));
    const Hop::Receiver back(this);
    StateFile::editInBackground(
        SlotStore::slotFilePath(destination),
        [snapshot, folder] { return SlotStore::encodeSlot(snapshot.toList(), folder); },
        [this, back, destination, count = snapshot.size(), status, context = QPointer<QObject>(context),
         done = std::move(done)](const QString &path, bool written, const QString &error) {
            back.post([this, destination, count, status, context, done, path, written, error] {
                // A copy that was not written says so, as every failed save does, and never "Copied".
                if (!written) {
                    Q_EMIT m_session.saveFailed(path, error);
                    return;
                }
                m_session.recordSlotCount(destination, count);
                if (done && context)
                    done(status);
            });
        });
    return true;
}

bool LibrarySlots::mergeSlotsIntoCurrent(const QList<qint64> &sources, QObject *context, LoadDone done)
{
    const qint64 current = m_session.currentSlotId();
    if (current == 0)
        return false;
    QList<qint64> picked;
    for (const qint64 slot : sources) {
        if (slot >= 0 && slot < SlotStore::slotCount && slot != current && !picked.contains(slot))
            picked.append(slot);
    }
    std::sort(picked.begin(), picked.end());
    planMerge(current, picked, context, done);
    return true;
}

void LibrarySlots::planMerge(qint64 slot, const QList<qint64> &sources, const QPointer<QObject> &context,
                             const LoadDone &done)
{
    const auto tell = [context, done](const QString &status) {
        if (done && context)
            done(status);
    };
    Hop::run(
        this,
        [sources, version = m_session.libraryVersion(), library = m_session.allBookmarks(),
         titleKeys = m_session.readyTitleKeyIndex(), positions = m_session.readyPositionsByKey()]() mutable {
            QHash<QString, qsizetype> known =
                positions ? std::move(*positions) : library.firstPositionsById();
            QSet<QString> appended;
            BookmarkList added;
            for (const qint64 source : std::as_const(sources)) {
                for (BookmarkEntry &row : SlotStore::loadSlot(source)) {
                    QString key = row.id();
                    if (known.contains(key) || appended.contains(key))
                        continue;
                    appended.insert(std::move(key));
                    added.append(std::move(row));
                }
            }
            return AppendedRows::of(version, std::move(library), std::move(titleKeys), std::move(known),
                                    added);
        },
        m_session.landings().landing(this, [this, slot, sources, context, done, tell](AppendedRows rows) {
            if (m_session.currentSlotId() != slot) {
                tell(UiText::tr("Nothing merged: %1 was left before the bookmarks were read")
                         .arg(SlotStore::slotName(slot)));
                return;
            }
            const qsizetype count = rows.count;
            if (!m_session.adoptAppendedRows(std::move(rows))) {
                planMerge(slot, sources, context, done); // the library changed meanwhile
                return;
            }
            if (count == 0)
                m_session.saveCurrentSlot();
            // The slots read for the merge were freed on the worker.
            MemoryTrim::release();
            tell(UiText::tr("Merged %1 bookmark(s) into %2").arg(count).arg(SlotStore::slotName(slot)));
        }));
}

SlotClearPlan LibrarySlots::planClearSlot(qint64 slot, std::optional<qsizetype> count) const
{
    if (!count)
        count = knownSlotCount(slot);
    return {slot, SlotStore::slotName(slot), count.value_or(0), m_session.libraryVersion()};
}

std::optional<QString> LibrarySlots::clearCurrentSlot(const SlotClearPlan &plan)
{
    if (plan.slot == 0 || plan.slot != m_session.currentSlotId() ||
        plan.libraryVersion != m_session.libraryVersion())
        return std::nullopt;
    SlotStore::setSlotName(plan.slot, QString());
    // The playlists keep the cleared songs' items as they are.
    LibrarySession::Replacement replacement(LibraryRows(), plan.slot);
    replacement.sync = LibrarySession::PlaylistSync::skip;
    m_session.replaceLibrary(std::move(replacement));
    return UiText::tr("%1 cleared").arg(SlotStore::slotName(plan.slot));
}

bool LibrarySlots::startNewExtraction(const SlotClearPlan &plan)
{
    if (plan.slot != m_session.currentSlotId() || plan.libraryVersion != m_session.libraryVersion())
        return false;
    LibrarySession::Replacement replacement(LibraryRows(), plan.slot);
    replacement.folder = QString();
    replacement.sync = LibrarySession::PlaylistSync::skip;
    m_session.replaceLibrary(std::move(replacement));
    return true;
}

// ---- Extractions and imports

std::function<ExtractionPlan()> LibrarySlots::extractionPlanner(ExtractionResult result) const
{
    const qint64 current = m_session.currentSlotId();
    // The current slot's rows as they are now, a copy that costs nothing; another slot's come from its
    // file, read on the worker.
    std::optional<LibraryRows> shown;
    if (result.slot == current && currentSlotRead())
        shown = m_session.allBookmarks();
    return [result = std::move(result), shown, current, version = m_session.libraryVersion()]() mutable {
        ExtractionPlan plan;
        LibraryRows old;
        if (shown) {
            old = *shown;
        } else {
            SlotStore::SlotContents stored = SlotStore::loadSlotContents(result.slot);
            old = LibraryRows(std::move(stored.bookmarks));
            plan.slotFileVersion = stored.version;
        }
        plan.slotRows = old.size();
        MergedExtraction merged = mergedExtraction(old, result);
        plan.rows = std::move(merged.rows);
        plan.bookmarksLost = merged.bookmarksLost;
        plan.titleKeys = std::make_shared<const TitleKeyIndex>(plan.rows);
        plan.positions = plan.rows.firstPositionsById();
        plan.result = std::move(result);
        plan.currentSlot = current;
        plan.libraryVersion = version;
        return plan;
    };
}

std::optional<qsizetype> LibrarySlots::adoptExtraction(ExtractionPlan plan)
{
    const auto stale = [this, &plan] {
        return plan.currentSlot != m_session.currentSlotId() ||
               plan.libraryVersion != m_session.libraryVersion();
    };
    if (stale())
        return std::nullopt;
    const qint64 slot = plan.result.slot;
    // Told before the slot's name changes: a run that holds a batch open ends it in its own slot. What
    // is saved then (an edit still open in a window, say) is in the rows the plan merged from only when
    // it is planned again.
    m_session.announceReplacement();
    if (stale())
        return std::nullopt;
    // Most runs keep the slot's name: the metadata file is written only for a new one.
    const QString name = TextUtils::trimmed(plan.result.slotName);
    if (SlotStore::slotName(slot) != (name.isEmpty() ? SlotStore::builtInSlotName(slot) : name))
        SlotStore::setSlotName(slot, name);
    LibrarySession::Replacement replacement(std::move(plan.rows), slot);
    replacement.folder = plan.result.folder;
    replacement.fileVersion = plan.slotFileVersion;
    replacement.titleKeys = std::move(plan.titleKeys);
    replacement.positions = std::move(plan.positions);
    m_session.replaceLibrary(std::move(replacement));
    return m_session.allBookmarks().size();
}

void LibrarySlots::appendImportedBookmarks(const BookmarkList &rows, qint64 slot,
                                           const QString &destinationFolder, QObject *context,
                                           std::function<void()> done, std::function<void()> dropped)
{
    // The slot's rows and folder with the songs after them.
    const auto adopt = [this, rows, slot, destinationFolder](LibraryRows all, const QString &storedFolder,
                                                             std::optional<StateFile::FileVersion> version) {
        all.append(rows);
        LibrarySession::Replacement replacement(std::move(all), slot);
        replacement.folder = destinationFolder.isEmpty() ? storedFolder : destinationFolder;
        replacement.fileVersion = std::move(version);
        m_session.replaceLibrary(std::move(replacement));
    };
    if (slot == m_session.currentSlotId()) {
        // A run that holds a batch open ends it first, so that its rows are among those taken.
        m_session.announceReplacement();
        adopt(m_session.allBookmarks(), m_session.selectedFolder(), std::nullopt);
        if (done && context)
            done();
        return;
    }
    const quint64 writes = m_slotWrites.value(slot);
    Hop::run(
        this, [slot] { return SlotStore::loadSlotContents(slot); },
        m_session.landings().landing(
            this,
            [this, rows, slot, destinationFolder, context = QPointer(context), done, dropped, writes,
             adopt](SlotStore::SlotContents stored) {
                // The slot became the current one, or its file was written, since it was read: again.
                if (slot == m_session.currentSlotId() || m_slotWrites.value(slot) != writes) {
                    appendImportedBookmarks(rows, slot, destinationFolder, context, done, dropped);
                    return;
                }
                adopt(LibraryRows(std::move(stored.bookmarks)), stored.selectedFolder, stored.version);
                if (done && context)
                    done();
            },
            LandingGate::AtQuit::drop, dropped));
}

// ---- Slots that are not the current one

bool LibrarySlots::editStoredSlot(qint64 slot, StoredRowsEdit edit,
                                  std::function<void(const StoredSlotEdit &)> done)
{
    if (slot < 0 || slot >= SlotStore::slotCount || slot == m_session.currentSlotId())
        return false;
    // Filled on the slot's writer, read back on the UI thread after the write.
    auto outcome = std::make_shared<StoredSlotEdit>();
    noteSlotWrite(slot);
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
            outcome->count = contents.bookmarks.size();
            return SlotStore::encodeSlot(contents.bookmarks, contents.selectedFolder);
        },
        [this, back, slot, outcome, done = std::move(done)](const QString &path, bool written,
                                                            const QString &error) {
            back.post([this, slot, outcome, done, path, written, error] {
                StoredSlotEdit result = *outcome;
                if (result.changed > 0) {
                    result.written = written;
                    if (written) {
                        m_session.recordSlotCount(slot, result.count);
                    } else {
                        result.error = error;
                        Q_EMIT m_session.saveFailed(path, error);
                    }
                }
                if (done)
                    done(result);
            });
        });
    return true;
}
