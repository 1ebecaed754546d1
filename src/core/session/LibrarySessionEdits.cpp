// Changes of the library that the window's editors, row actions and the opening of songs make, those
// worked out on a worker, and the rows of a bookmark file.

#include "core/books/CustomPdfFiles.h"
#include "core/common/MemoryTrim.h"
#include "core/common/UiText.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/AppendedRows.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotFiles.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleKeyIndex.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QSet>
#include <QThreadPool>

#include <algorithm>

Result<qsizetype> LibrarySession::setMetadataField(BookmarkMetadataField field, const QString &value,
                                                   BookmarkEntry entry)
{
    using F = BookmarkMetadataField;
    std::optional<qint64> year;
    std::optional<double> rating;
    const QString text = TextUtils::fieldText(value);
    if (field == F::title && TextUtils::trimmed(value).isEmpty())
        return Result<qsizetype>::failure(UiText::tr("A title cannot be empty."));
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
            row.title = TextUtils::foldedTitle(value);
            break;
        case F::genre:
            row.genre = text;
            break;
        case F::style:
            row.style = text;
            break;
        case F::year:
            row.firstReleaseYear = year;
            break;
        case F::composer:
            row.composer = text;
            break;
        case F::tempo:
            row.tempo = text;
            break;
        case F::rating:
            row.rating = rating;
            break;
        }
    };

    // The playlist items of a renamed song follow it to its new identity key.
    return writeToTitle(entry.title, write, field == F::title);
}

qsizetype LibrarySession::writeToTitle(const QString &title,
                                       const std::function<void(BookmarkEntry &)> &write, bool renamesItems)
{
    return applyEdit(indicesMatchingTitleKey(TitleMetadataIndex::normalizedTitleKey(title)), write,
                     renamesItems);
}

qsizetype LibrarySession::editBookmarks(const QList<qsizetype> &positions,
                                        const std::function<void(BookmarkEntry &)> &edit)
{
    return applyEdit(positions, edit, false);
}

qsizetype LibrarySession::applyEdit(const QList<qsizetype> &positions,
                                    const std::function<void(BookmarkEntry &)> &edit, bool renamesItems)
{
    // The rows touched, each once: who they are and what they held is noted before any changes.
    QList<qsizetype> touched;
    touched.reserve(positions.size());
    for (const qsizetype position : positions) {
        if (position >= 0 && position < m_rows.size())
            touched.append(position);
    }
    if (touched.isEmpty())
        return 0;
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    BatchScope batch(*this);
    const std::shared_ptr<const TitleKeyIndex> titles = titleKeyIndex();
    RowChange rowChange = RowChange::before(m_rows, *titles, touched);
    // The keys the rows had, found for the change already; a position named twice meets its row
    // edited.
    QList<bool> visited(touched.size(), false);
    QList<KeyChange> keyChanges;
    QList<qsizetype> retitled;
    QSet<QString> titleKeys;
    QSet<QString> identityKeys;
    qsizetype count = 0;
    for (const qsizetype position : positions) {
        if (position < 0 || position >= m_rows.size())
            continue;
        ++count;
        const BookmarkEntry &before = m_rows.at(position);
        const QString oldTitle = before.title;
        const QString oldPath = before.pdfFilePath;
        const qint64 oldPage = before.pageNumber;
        const qsizetype at = std::lower_bound(touched.cbegin(), touched.cend(), position) - touched.cbegin();
        QString oldId = std::exchange(visited[at], true) ? before.id() : rowChange.identities.at(at).key;
        // Copies the row's block first when a snapshot (a save under way) still holds it.
        BookmarkEntry &row = m_rows.edit(position);
        edit(row);
        titleKeys.insert(titles->keyOfRow(position));
        identityKeys.insert(oldId);
        if (row.title != oldTitle)
            retitled.append(position);
        if (row.title != oldTitle || row.pdfFilePath != oldPath || row.pageNumber != oldPage) {
            QString newId = row.id();
            identityKeys.insert(newId);
            keyChanges.append({position, std::move(oldId), std::move(newId)});
        }
    }
    rowChange.noteAfter(m_rows, touched);
    noteRowChange(std::move(rowChange));
    if (!retitled.isEmpty()) {
        m_titleKeys = std::make_shared<const TitleKeyIndex>(titles->retitled(retitled, m_rows));
        for (const qsizetype position : std::as_const(retitled))
            titleKeys.insert(m_titleKeys->keyOfRow(position));
    }
    followKeyChanges(keyChanges, *titles);
    if (renamesItems) {
        for (const KeyChange &change : std::as_const(keyChanges)) {
            if (const std::optional<qsizetype> renamed = firstPositionOf(change.after))
                m_playlists.replaceItems(change.before, m_rows.at(*renamed));
        }
    }
    titleKeys.remove(QString());
    noteChange(ChangeKind::edited, std::move(titleKeys), std::move(identityKeys));
    return count;
}

void LibrarySession::followKeyChanges(const QList<KeyChange> &changes, const TitleKeyIndex &oldTitles)
{
    if (!m_positionsValid)
        return; // counted from the rows when next needed
    for (const KeyChange &change : changes) {
        // The next row with the old key takes over. It has the old title, so the old index knows it.
        const auto first = m_positionsByKey.find(change.before);
        if (first != m_positionsByKey.end() && *first == change.position) {
            const std::span<const qsizetype> candidates =
                oldTitles.rowsWithKey(oldTitles.keyOfRow(change.position));
            if (candidates.empty()) {
                // A title without a key: its rows are in no group.
                m_positionsValid = false;
                return;
            }
            const auto next = std::find_if(candidates.begin(), candidates.end(), [&](qsizetype q) {
                return q != change.position && m_rows.at(q).id() == change.before;
            });
            if (next != candidates.end())
                *first = *next;
            else
                m_positionsByKey.erase(first);
        }
        const auto found = m_positionsByKey.find(change.after);
        if (found == m_positionsByKey.end())
            m_positionsByKey.insert(change.after, change.position);
        else if (*found > change.position)
            *found = change.position;
    }
}

bool LibrarySession::adoptAppendedRows(AppendedRows appended)
{
    prepareForLanding();
    if (appended.version != m_libraryVersion)
        return false;
    if (appended.count == 0)
        return true;
    BatchScope batch(*this);
    noteRowChange(std::move(appended.change));
    QThreadPool::globalInstance()->start([old = std::exchange(m_rows, std::move(appended.rows))] {});
    m_titleKeys = std::move(appended.titleKeys);
    m_positionsValid = appended.positions.has_value();
    m_positionsByKey = std::move(appended.positions).value_or(QHash<QString, qsizetype>());
    noteChange(ChangeKind::added, std::move(appended.changedTitleKeys), std::move(appended.identityKeys));
    return true;
}

qsizetype LibrarySession::applyMetadataValues(BookmarkEntry entry, const MetadataValues &values)
{
    const MetadataValues cleaned{
        TextUtils::fieldText(values.genre),    TextUtils::fieldText(values.style), values.firstReleaseYear,
        TextUtils::fieldText(values.composer), TextUtils::fieldText(values.tempo), values.rating};
    const auto write = [&cleaned](BookmarkEntry &row) {
        row.genre = cleaned.genre;
        row.style = cleaned.style;
        row.firstReleaseYear = cleaned.firstReleaseYear;
        row.composer = cleaned.composer;
        row.tempo = cleaned.tempo;
        row.rating = cleaned.rating;
    };
    return writeToTitle(entry.title, write);
}

qsizetype LibrarySession::applyEnrichedMetadata(BookmarkEntry enriched, BookmarkEntry base)
{
    // Only what the answer changed is written, and cleaned: a field it left alone stays as stored.
    using TextUtils::fieldText;
    const auto write = [&](BookmarkEntry &row) {
        if (enriched.genre != base.genre)
            row.genre = fieldText(enriched.genre);
        if (enriched.style != base.style)
            row.style = fieldText(enriched.style);
        if (enriched.firstReleaseYear != base.firstReleaseYear)
            row.firstReleaseYear = enriched.firstReleaseYear;
        if (enriched.composer != base.composer)
            row.composer = fieldText(enriched.composer);
        if (enriched.tempo != base.tempo)
            row.tempo = fieldText(enriched.tempo);
        if (enriched.rating != base.rating)
            row.rating = enriched.rating;
        if (enriched.spotifyURL != base.spotifyURL)
            row.spotifyURL = fieldText(enriched.spotifyURL);
        if (enriched.youtubeURL != base.youtubeURL)
            row.youtubeURL = fieldText(enriched.youtubeURL);
    };
    return writeToTitle(base.title, write);
}

std::optional<DeletionResult> LibrarySession::deleteBookmarks(const DeletionPlan &plan)
{
    if (plan.libraryVersion != m_libraryVersion)
        return std::nullopt;
    BatchScope batch(*this);
    const std::shared_ptr<const TitleKeyIndex> titles = titleKeyIndex();
    const QList<qsizetype> ascending(plan.positions.crbegin(), plan.positions.crend());
    QList<RowIdentity> removed = RowIdentity::of(m_rows, *titles, ascending);
    QSet<QString> titleKeys;
    QSet<QString> identityKeys;
    for (qsizetype i = 0; i < ascending.size(); ++i) {
        identityKeys.insert(removed.at(i).key);
        titleKeys.insert(titles->keyOfRow(ascending.at(i)));
    }
    const QList<quint64> stampsBefore = m_rows.blockStamps();
    noteRowChange(RowChange::removed(std::move(removed)));
    m_rows.remove(ascending);
    m_titleKeys = std::make_shared<const TitleKeyIndex>(titles->withoutRows(ascending));
    m_positionsValid = false;
    Q_EMIT rowsRemoved(ascending, stampsBefore);

    DeletionResult result;
    result.deleted = ascending.size();
    if (!plan.customKeys.isEmpty())
        m_playlists.removeItems(plan.customKeys);
    if (!plan.filesToRemove.isEmpty()) {
        // Asked again now, of the files the confirmation named: they go only when still unused after
        // the change. The other slots' files are read again only when one was written since the plan.
        const CustomPdfFiles::OtherSlotsUse otherSlots =
            plan.otherSlots.unchanged() ? plan.otherSlots
                                        : CustomPdfFiles::otherSlotsUse(plan.filesToRemove, m_currentSlotId);
        const CustomPdfFiles::TrashResult trash =
            CustomPdfFiles::moveToTrash(CustomPdfFiles::unusedManagedPdfs(plan.filesToRemove, otherSlots,
                                                                          m_rows, m_playlists.playlists()));
        result.trashed = trash.trashed;
        result.notTrashed = trash.failed;
    }
    titleKeys.remove(QString());
    noteChange(ChangeKind::removed, std::move(titleKeys), std::move(identityKeys));
    return result;
}

bool LibrarySession::adoptEditedRows(quint64 version, LibraryRows rows, RowChange change,
                                     QSet<QString> titleKeys, QSet<QString> identityKeys)
{
    prepareForLanding();
    if (version != m_libraryVersion || rows.size() != m_rows.size())
        return false;
    BatchScope batch(*this);
    noteRowChange(std::move(change));
    // The titles, books and pages are the same: the title index and the positions of the identity
    // keys stay as they are, and so do the shown rows. The blocks the change replaced are let go of on
    // a worker: freeing 100,000 rows would hold up the interface.
    MemoryTrim::freeInBackground(std::exchange(m_rows, std::move(rows)));
    titleKeys.remove(QString());
    noteChange(ChangeKind::edited, std::move(titleKeys), std::move(identityKeys));
    return true;
}

void LibrarySession::importBookmarks(LibraryRows rows, const std::optional<QString> &folder)
{
    Replacement replacement(std::move(rows), m_currentSlotId);
    replacement.folder = folder;
    replaceLibrary(std::move(replacement));
}
