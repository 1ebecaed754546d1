#include "core/library/LibrarySession.h"

#include "core/common/AppPaths.h"
#include "core/library/CacheService.h"
#include "core/library/FolderFileIndex.h"
#include "core/library/SlotStore.h"
#include "core/playlist/PlaylistStore.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

LibrarySession::LibrarySession(QObject *parent) : QObject(parent)
{
    // Edits come in bursts (an auto-tag run, a cell after a cell): prepare once they pause.
    m_prepareTimer.setSingleShot(true);
    m_prepareTimer.setInterval(300);
    connect(&m_prepareTimer, &QTimer::timeout, this, &LibrarySession::prepareSearchIndex);
}

LibrarySession::~LibrarySession()
{
    // The workers report to this object; none may outlive it.
    waitForPendingSaves();
}

void LibrarySession::setAllBookmarks(BookmarkList rows)
{
    m_allBookmarks = std::move(rows);
    m_filteredBookmarks = m_allBookmarks;
    m_titleKeys.clear();
    noteLibraryChanged();
}

void LibrarySession::noteLibraryChanged()
{
    m_positionsValid = false;
    ++m_searchFilterGeneration;
    ++m_libraryVersion;
    m_searchIndex.reset();
    m_prepareTimer.start();
}

void LibrarySession::setFilteredBookmarks(BookmarkList rows)
{
    m_filteredBookmarks = std::move(rows);
}

int LibrarySession::displayedRowCount() const
{
    return int(std::min<qsizetype>(m_filteredBookmarks.size(), maxDisplayRows));
}

const BookmarkEntry *LibrarySession::displayedBookmark(int row) const
{
    if (row < 0 || row >= displayedRowCount())
        return nullptr;
    return &m_filteredBookmarks.at(row);
}

void LibrarySession::restoreActiveSlot()
{
    m_currentSlotId = SlotStore::activeSlot();
}

LibrarySession::LoadResult LibrarySession::loadCurrentSlot()
{
    SlotStore::SlotContents contents = SlotStore::loadSlotContents(m_currentSlotId);
    if (!contents.bookmarks.isEmpty()) {
        const qsizetype count = contents.bookmarks.size();
        setAllBookmarks(std::move(contents.bookmarks));
        // The folder the user chose for this slot comes back with it; the next save would otherwise
        // write an empty one over it.
        m_selectedFolder = contents.selectedFolder;
        return {LoadSource::slot,
                QStringLiteral("Loaded %1 bookmarks from %2 • %3")
                    .arg(count)
                    .arg(SlotStore::slotName(m_currentSlotId), slotAvailabilitySummary(m_allBookmarks))};
    }
    std::optional<CacheService::Contents> cached = CacheService::load();
    if (!cached || cached->bookmarks.isEmpty()) {
        m_selectedFolder = contents.selectedFolder;
        return {};
    }
    const qsizetype count = cached->bookmarks.size();
    setAllBookmarks(std::move(cached->bookmarks));
    m_selectedFolder = cached->selectedFolder;
    saveCurrentSlot();
    PlaylistStore::syncMetadataFromBookmarks(m_allBookmarks);
    return {LoadSource::cache, QStringLiteral("Loaded %1 cached bookmarks").arg(count)};
}

std::optional<QString> LibrarySession::switchToSlot(qint64 slot)
{
    if (slot < 0 || slot >= SlotStore::slotCount || slot == m_currentSlotId)
        return std::nullopt;
    saveCurrentSlot();
    m_currentSlotId = slot;
    writeMetaInBackground(slot);
    setAllBookmarks(SlotStore::loadSlot(slot));
    return QStringLiteral("Switched to %1 (%2 bookmarks) • %3")
        .arg(SlotStore::slotName(slot))
        .arg(m_allBookmarks.size())
        .arg(slotAvailabilitySummary(m_allBookmarks));
}

void LibrarySession::adoptDefaultBookmarks(BookmarkList rows, const QString &folder)
{
    setAllBookmarks(std::move(rows));
    m_selectedFolder = folder;
    m_currentSlotId = 0;
    writeMetaInBackground(0);
}

void LibrarySession::saveCurrentSlot()
{
    // Shared copies: taking them costs nothing, and later edits of the library detach from them.
    const BookmarkList snapshot = m_allBookmarks;
    const QString folder = m_selectedFolder;
    StateFile::writeInBackground(
        SlotStore::slotFilePath(m_currentSlotId),
        [snapshot, folder] { return SlotStore::encodeSlot(snapshot, folder); }, failureReporter());
    writeMetaInBackground(SlotStore::clampSlot(m_currentSlotId));
    StateFile::writeInBackground(
        AppPaths::bookmarkCachePath(), [snapshot, folder] { return CacheService::encode(snapshot, folder); },
        failureReporter());
}

void LibrarySession::waitForPendingSaves()
{
    StateFile::waitForAllPendingWrites();
}

void LibrarySession::writeMetaInBackground(qint64 activeSlot)
{
    SlotMeta meta;
    meta.activeSlot = activeSlot;
    if (const std::optional<SlotMeta> stored = SlotStore::loadMeta())
        meta.slotNames = stored->slotNames;
    const QByteArray bytes = SlotStore::encodeMeta(meta);
    StateFile::writeInBackground(
        SlotStore::metaFilePath(), [bytes]() -> std::optional<QByteArray> { return bytes; },
        failureReporter());
}

StateFile::WriteDone LibrarySession::failureReporter()
{
    // Runs on the worker. The destructor waits for the workers, so the session is alive when the
    // report is queued; a report still queued when the session goes is dropped with it.
    return [this](const QString &path, bool written, const QString &error) {
        if (written)
            return;
        const QString message =
            QStringLiteral("Could not save %1: %2").arg(QFileInfo(path).fileName(), error);
        QMetaObject::invokeMethod(
            this, [this, message] { Q_EMIT saveFailed(message); }, Qt::QueuedConnection);
    };
}

QStringList LibrarySession::slotTileNames() const
{
    const std::optional<SlotMeta> meta = SlotStore::loadMeta();
    QStringList names;
    for (qint64 slot = 0; slot < SlotStore::slotCount; ++slot) {
        const QString stored = meta ? TextUtils::trimmed(meta->slotNames.value(slot)) : QString();
        names.append(stored.isEmpty() ? SlotStore::builtInSlotName(slot) : stored);
    }
    return names;
}

QString LibrarySession::slotAvailabilitySummary(const BookmarkList &rows) const
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
        return QStringLiteral("0 books");
    std::optional<FolderFileIndex> folderIndex;
    qsizetype available = 0;
    for (const BookmarkEntry *row : std::as_const(firstRows)) {
        QString path = row->pdfFilePath;
        if (path.isEmpty() && !m_selectedFolder.isEmpty()) {
            if (!folderIndex)
                folderIndex.emplace(m_selectedFolder);
            path = folderIndex->resolve(row->pdfFileName).value_or(QString());
        }
        if (!path.isEmpty() && QFileInfo::exists(path))
            ++available;
    }
    const qsizetype count = firstRows.size();
    return QStringLiteral("%1 books (%2 available, %3 unavailable)")
        .arg(count)
        .arg(available)
        .arg(count - available);
}

const QHash<QString, qsizetype> &LibrarySession::positionsByKey() const
{
    if (!m_positionsValid) {
        m_positionsByKey.clear();
        m_positionsByKey.reserve(m_allBookmarks.size());
        // Walked backwards so that the first position of a key is the one that stays.
        for (qsizetype i = m_allBookmarks.size() - 1; i >= 0; --i)
            m_positionsByKey.insert(m_allBookmarks.at(i).id(), i);
        m_positionsValid = true;
    }
    return m_positionsByKey;
}

std::optional<qsizetype> LibrarySession::allBookmarksIndex(const BookmarkEntry &entry) const
{
    const auto &positions = positionsByKey();
    const auto found = positions.constFind(entry.id());
    if (found == positions.cend())
        return std::nullopt;
    return *found;
}

QList<qsizetype> LibrarySession::uniqueAllBookmarksIndices(const QList<int> &displayRows) const
{
    QList<int> rows = displayRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QSet<QString> seen;
    QList<qsizetype> positions;
    for (int row : std::as_const(rows)) {
        const BookmarkEntry *entry = displayedBookmark(row);
        if (!entry)
            continue;
        QString key = entry->id();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        if (const auto position = allBookmarksIndex(*entry))
            positions.append(*position);
    }
    return positions;
}
