// Changes of the library that the window's editors, row actions and the opening of songs make.

#include "core/library/CustomPdfFiles.h"
#include "core/library/FolderFileIndex.h"
#include "core/library/LibrarySession.h"
#include "core/library/TitleMetadataIndex.h"
#include "core/playlist/PlaylistStore.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

bool isFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool samePathIgnoringCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0 ||
           TextUtils::nfc(a).compare(TextUtils::nfc(b), Qt::CaseInsensitive) == 0;
}

} // namespace

const QString &LibrarySession::titleKey(const QString &title) const
{
    auto found = m_titleKeys.constFind(title);
    if (found == m_titleKeys.cend())
        found = m_titleKeys.insert(title, TitleMetadataIndex::normalizedTitleKey(title));
    return *found;
}

QList<qsizetype> LibrarySession::indicesMatchingTitleKey(const QString &key) const
{
    QList<qsizetype> positions;
    if (key.isEmpty())
        return positions;
    for (qsizetype i = 0; i < m_allBookmarks.size(); ++i) {
        if (titleKey(m_allBookmarks.at(i).title) == key)
            positions.append(i);
    }
    return positions;
}

Result<qsizetype> LibrarySession::setMetadataField(BookmarkMetadataField field, const QString &value,
                                                   const BookmarkEntry &entry)
{
    using F = BookmarkMetadataField;
    std::optional<qint64> year;
    std::optional<double> rating;
    if (field == F::title && TextUtils::trimmed(value).isEmpty())
        return Result<qsizetype>::failure(QStringLiteral("A title cannot be empty."));
    if (field == F::year)
        year = BookmarkMetadata::yearFromText(value);
    if (field == F::rating) {
        const Result<std::optional<double>> parsed = BookmarkMetadata::ratingFromText(value);
        if (!parsed)
            return Result<qsizetype>::failure(parsed.error().message);
        rating = parsed.value();
    }

    const auto write = [&](BookmarkEntry &row) {
        switch (field) {
        case F::title:
            row.title = value;
            break;
        case F::genre:
            row.genre = value;
            break;
        case F::style:
            row.style = value;
            break;
        case F::year:
            row.firstReleaseYear = year;
            break;
        case F::composer:
            row.composer = value;
            break;
        case F::tempo:
            row.tempo = value;
            break;
        case F::rating:
            row.rating = rating;
            break;
        }
    };

    BookmarkList oldRows;
    const qsizetype count = writeToTitle(entry.title, write, field == F::title ? &oldRows : nullptr);

    // The playlist items of a renamed song follow it to its new identity key.
    for (const BookmarkEntry &old : std::as_const(oldRows)) {
        const auto renamed =
            std::find_if(m_allBookmarks.cbegin(), m_allBookmarks.cend(), [&](const BookmarkEntry &row) {
                return row.pdfFilePath == old.pdfFilePath && row.pageNumber == old.pageNumber &&
                       row.title == value;
            });
        if (renamed != m_allBookmarks.cend())
            PlaylistStore::replaceItems(old.id(), *renamed);
    }
    return count;
}

qsizetype LibrarySession::writeToTitle(const QString &title,
                                       const std::function<void(BookmarkEntry &)> &write,
                                       BookmarkList *oldRows)
{
    const QString key = titleKey(title);
    const QList<qsizetype> positions = indicesMatchingTitleKey(key);
    // The shown rows are copies of library rows, so the ones of this title carry one of the titles
    // found here: a hash lookup per shown row instead of computing its key again.
    QSet<QString> titles;
    for (qsizetype position : positions) {
        titles.insert(m_allBookmarks.at(position).title);
        if (oldRows)
            oldRows->append(m_allBookmarks.at(position));
        write(m_allBookmarks[position]);
    }
    if (!key.isEmpty() && !titles.isEmpty()) {
        for (BookmarkEntry &row : m_filteredBookmarks) {
            if (titles.contains(row.title))
                write(row);
        }
    }
    if (!positions.isEmpty())
        noteLibraryChanged();
    return positions.size();
}

qsizetype LibrarySession::applyMetadataValues(const BookmarkEntry &entry, const MetadataValues &values)
{
    const auto write = [&values](BookmarkEntry &row) {
        row.genre = values.genre;
        row.style = values.style;
        row.firstReleaseYear = values.firstReleaseYear;
        row.composer = values.composer;
        row.tempo = values.tempo;
        row.rating = values.rating;
    };
    return writeToTitle(entry.title, write);
}

qsizetype LibrarySession::applyEnrichedMetadata(const BookmarkEntry &enriched, const BookmarkEntry &base)
{
    const auto write = [&](BookmarkEntry &row) {
        if (enriched.genre != base.genre)
            row.genre = enriched.genre;
        if (enriched.style != base.style)
            row.style = enriched.style;
        if (enriched.firstReleaseYear != base.firstReleaseYear)
            row.firstReleaseYear = enriched.firstReleaseYear;
        if (enriched.composer != base.composer)
            row.composer = enriched.composer;
        if (enriched.tempo != base.tempo)
            row.tempo = enriched.tempo;
        if (enriched.rating != base.rating)
            row.rating = enriched.rating;
        if (enriched.spotifyURL != base.spotifyURL)
            row.spotifyURL = enriched.spotifyURL;
        if (enriched.youtubeURL != base.youtubeURL)
            row.youtubeURL = enriched.youtubeURL;
    };
    return writeToTitle(base.title, write);
}

DeletionPlan LibrarySession::planDeletion(const QList<qsizetype> &positions) const
{
    DeletionPlan plan;
    plan.libraryVersion = m_libraryVersion;
    plan.positions = positions;
    std::sort(plan.positions.begin(), plan.positions.end(), std::greater<>());
    plan.positions.erase(std::unique(plan.positions.begin(), plan.positions.end()), plan.positions.end());
    plan.positions.removeIf([this](qsizetype p) { return p < 0 || p >= m_allBookmarks.size(); });

    BookmarkList remaining = m_allBookmarks;
    for (qsizetype position : std::as_const(plan.positions)) {
        const BookmarkEntry &row = m_allBookmarks.at(position);
        if (CustomPdfFiles::isCustomBookmark(row)) {
            if (!plan.customPaths.contains(row.pdfFilePath))
                plan.customPaths.append(row.pdfFilePath);
            plan.customKeys.insert(row.id());
        }
        remaining.removeAt(position);
    }
    if (!plan.customPaths.isEmpty())
        plan.filesToRemove =
            CustomPdfFiles::unusedManagedPdfs(plan.customPaths, m_currentSlotId, remaining, plan.customKeys);
    return plan;
}

std::optional<DeletionResult> LibrarySession::deleteBookmarks(const DeletionPlan &plan)
{
    if (plan.libraryVersion != m_libraryVersion)
        return std::nullopt;
    DeletionResult result;
    QSet<QString> deletedKeys;
    for (qsizetype position : plan.positions) {
        deletedKeys.insert(m_allBookmarks.at(position).id());
        m_allBookmarks.removeAt(position);
        ++result.deleted;
    }
    // Until the search runs again the shown rows must not offer what is gone.
    m_filteredBookmarks.removeIf(
        [&deletedKeys](const BookmarkEntry &row) { return deletedKeys.contains(row.id()); });
    noteLibraryChanged();
    saveCurrentSlot();
    PlaylistStore::syncMetadataFromBookmarks(m_allBookmarks);
    if (!plan.customKeys.isEmpty()) {
        PlaylistStore::removeItems(plan.customKeys);
        // Asked again now: the files are gone only when still unused after the change.
        const CustomPdfFiles::TrashResult trash = CustomPdfFiles::moveToTrash(
            CustomPdfFiles::unusedManagedPdfs(plan.customPaths, m_currentSlotId, m_allBookmarks));
        result.trashed = trash.trashed;
        result.notTrashed = trash.failed;
    }
    return result;
}

std::optional<QString> LibrarySession::resolveMissingPdf(const BookmarkEntry &entry) const
{
    if (isFile(entry.pdfFilePath) || m_selectedFolder.isEmpty())
        return std::nullopt;
    return FolderFileIndex::resolvePathInFolder(m_selectedFolder, entry.pdfFileName);
}

OpenSongPlan LibrarySession::planOpenPdf(const BookmarkEntry &entry)
{
    OpenSongPlan plan;
    QString path = entry.pdfFilePath;
    if (const std::optional<QString> found = resolveMissingPdf(entry)) {
        path = *found;
        if (const std::optional<qsizetype> position = allBookmarksIndex(entry)) {
            m_allBookmarks[*position].pdfFilePath = path;
            // The shown copies follow at once, so a second click before the search lands finds it.
            const QString key = entry.id();
            for (BookmarkEntry &row : m_filteredBookmarks) {
                if (row.id() == key)
                    row.pdfFilePath = path;
            }
            noteLibraryChanged();
            saveCurrentSlot();
            PlaylistStore::syncMetadataFromBookmarks(m_allBookmarks);
            plan.libraryChanged = true;
        }
    }
    if (!isFile(path)) {
        plan.missingPath = path;
        return plan;
    }
    ViewerOpenRequest request;
    request.pdfPath = path;
    request.pageNumber = entry.pageNumber;
    request.bookmarkEntry = entry;
    for (const BookmarkEntry &row : std::as_const(m_allBookmarks)) {
        if (samePathIgnoringCase(row.pdfFilePath, path))
            request.sourcePdfBookmarks.append(row);
    }
    std::stable_sort(request.sourcePdfBookmarks.begin(), request.sourcePdfBookmarks.end(),
                     [](const BookmarkEntry &a, const BookmarkEntry &b) {
                         if (a.pageNumber != b.pageNumber)
                             return a.pageNumber < b.pageNumber;
                         return TextUtils::compareCodePoints(a.title.toLower(), b.title.toLower()) < 0;
                     });
    request.statusText =
        QStringLiteral("Opened: %1 at page %2").arg(entry.pdfFileName, QString::number(entry.pageNumber));
    plan.request = std::move(request);
    return plan;
}

OpenSongPlan LibrarySession::planOpenPdfWithContext(const BookmarkEntry &entry,
                                                    const BookmarkList &context) const
{
    OpenSongPlan plan;
    const QString path = resolveMissingPdf(entry).value_or(entry.pdfFilePath);
    if (!isFile(path)) {
        plan.missingPath = path;
        return plan;
    }
    ViewerOpenRequest request;
    request.pdfPath = path;
    request.pageNumber = entry.pageNumber;
    request.bookmarkEntry = entry;
    request.playlistItems = QList<PlaylistItem>();
    const QString key = entry.id();
    std::optional<qsizetype> current;
    for (qsizetype i = 0; i < context.size(); ++i) {
        const BookmarkEntry &row = context.at(i);
        request.playlistItems->append(PlaylistItem::fromBookmark(row));
        if (!current && row.id() == key)
            current = i;
        if (samePathIgnoringCase(row.pdfFilePath, path))
            request.sourcePdfBookmarks.append(row);
    }
    request.playlistCurrentIndex = current.value_or(0);
    request.statusText = QStringLiteral("Opened: ") + CustomPdfFiles::bookNameLabel(entry);
    plan.request = std::move(request);
    return plan;
}
