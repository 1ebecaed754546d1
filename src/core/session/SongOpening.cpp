#include "core/session/SongOpening.h"

#include "core/books/CustomPdfFiles.h"
#include "core/books/FolderFileIndex.h"
#include "core/common/UiText.h"
#include "core/search/LibrarySort.h"
#include "core/session/LibrarySession.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>

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

std::optional<QString> resolveMissingPdf(const LibrarySession &session, const BookmarkEntry &entry)
{
    if (isFile(entry.pdfFilePath) || session.selectedFolder().isEmpty())
        return std::nullopt;
    return FolderFileIndex::resolvePathInFolder(session.selectedFolder(), entry.pdfFileName);
}

// The viewer opens the book at path on the entry's page.
ViewerOpenRequest requestAt(const BookmarkEntry &entry, const QString &path)
{
    ViewerOpenRequest request;
    request.pdfPath = path;
    request.pageNumber = entry.pageNumber;
    request.bookmarkEntry = entry;
    return request;
}

} // namespace

OpenSongPlan SongOpening::planOpenPdf(LibrarySession &session, BookmarkEntry entry)
{
    OpenSongPlan plan;
    QString path = entry.pdfFilePath;
    if (const std::optional<QString> found = resolveMissingPdf(session, entry)) {
        path = *found;
        if (const std::optional<qsizetype> position = session.allBookmarksIndex(entry)) {
            session.editBookmarks({*position}, [&path](BookmarkEntry &row) { row.pdfFilePath = path; });
            plan.libraryChanged = true;
        }
    }
    if (!isFile(path)) {
        plan.missingPath = path;
        return plan;
    }
    ViewerOpenRequest request = requestAt(entry, path);
    for (const BookmarkEntry &row : session.allBookmarks()) {
        if (samePathIgnoringCase(row.pdfFilePath, path))
            request.sourcePdfBookmarks.append(row);
    }
    request.sourcePdfBookmarks = LibrarySort::sortedByPageAndTitle(std::move(request.sourcePdfBookmarks));
    request.statusText =
        UiText::tr("Opened: %1 at page %2").arg(entry.pdfFileName, QString::number(entry.pageNumber));
    plan.request = std::move(request);
    return plan;
}

OpenSongPlan SongOpening::planOpenPdfWithContext(const LibrarySession &session, const BookmarkEntry &entry,
                                                 const BookmarkList &context)
{
    OpenSongPlan plan;
    const QString path = resolveMissingPdf(session, entry).value_or(entry.pdfFilePath);
    if (!isFile(path)) {
        plan.missingPath = path;
        return plan;
    }
    ViewerOpenRequest request = requestAt(entry, path);
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
    request.statusText = UiText::tr("Opened: %1").arg(CustomPdfFiles::bookNameLabel(entry));
    plan.request = std::move(request);
    return plan;
}
