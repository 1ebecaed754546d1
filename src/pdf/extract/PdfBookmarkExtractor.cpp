#include "pdf/extract/PdfBookmarkExtractor.h"

#include "core/text/TextUtils.h"
#include "core/titles/BookmarkTitleRules.h"
#include "pdf/engine/PdfDocument.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// Stored lists may hold any page values, so the span arithmetic runs wide and is clamped back:
// no overflow however large or negative the numbers are.
qint64 spanBetween(qint64 page, __int128 nextPage, qint64 lastPage)
{
    const __int128 span = std::min<__int128>(__int128(lastPage) - page + 1, nextPage - page);
    return qint64(std::clamp<__int128>(span, 1, std::numeric_limits<qint64>::max()));
}

// The span rule: within each book, an entry reaches up to the next start page in page order (or to
// the book's last page), at least one page; entries without a page get 0. With totalPages above 0
// that is the last page of every book in the list; otherwise each book's first entry in page order
// gives it.
void calculatePageSpans(BookmarkList &bookmarks, qint64 totalPages)
{
    QHash<QString, QList<qsizetype>> positionsByBook;
    for (qsizetype i = 0; i < bookmarks.size(); ++i)
        positionsByBook[bookmarks[i].pdfFilePath].append(i);

    for (QList<qsizetype> &positions : positionsByBook) {
        std::stable_sort(positions.begin(), positions.end(), [&](qsizetype a, qsizetype b) {
            return bookmarks[a].pageNumber < bookmarks[b].pageNumber;
        });
        const qint64 lastPage = totalPages > 0 ? totalPages : bookmarks[positions.first()].totalPages;
        // Walking backwards, nextPage is the first start page of at least 1 after the current entry.
        __int128 nextPage = __int128(lastPage) + 1;
        for (auto it = positions.crbegin(); it != positions.crend(); ++it) {
            BookmarkEntry &entry = bookmarks[*it];
            const qint64 page = entry.pageNumber;
            entry.pageSpan = page == 0 ? 0 : spanBetween(page, nextPage, lastPage);
            if (page >= 1)
                nextPage = page;
        }
    }
}

// Makes the entries of the outline items that name songs. The outline comes flattened in pre-order
// with each item's depth, so the children of an empty or excluded item are still read, one level
// below it.
void traverseOutline(const QList<PdfOutlineItem> &outline, const QString &fileName, const QString &filePath,
                     qint64 totalPages, BookmarkList &result)
{
    using namespace BookmarkTitleRules;
    for (const PdfOutlineItem &item : outline) {
        // An outline is written by whoever made the book: its titles are folded before anything reads
        // them, which also bounds what the title rules below work through.
        const QString written = TextUtils::foldedTitle(item.title);
        const QString label = TextUtils::trimmed(written);
        if (label.isEmpty())
            continue;
        const qint64 destinationPage = item.pageIndex ? *item.pageIndex + 1 : 0;
        qint64 pageNumber = destinationPage;
        qint64 pageSpan = 1;
        QString title = cleanTitle(label, pageNumber, pageSpan);
        if (shouldExcludeBookmarkTitle(title))
            continue;
        if (pageNumber < 1)
            pageNumber = destinationPage;
        // A composer note is looked for in the label as written, not in the cleaned title.
        QString composer = extractComposerFromBookmarkTitle(written);
        if (composer.isEmpty()) {
            TitleAndComposer split = extractTrailingComposerFromTitle(title);
            title = std::move(split.title);
            composer = std::move(split.composer);
        }

        BookmarkEntry entry;
        entry.pdfFileName = fileName;
        entry.pdfFilePath = filePath;
        entry.pageNumber = pageNumber;
        entry.title = title;
        entry.level = item.level;
        entry.pageSpan = std::max<qint64>(pageSpan, 1);
        entry.totalPages = totalPages;
        entry.composer = composer;
        result.append(std::move(entry));
    }
}

} // namespace

namespace PdfBookmarkExtractor {

BookmarkList extractBookmarks(const QString &path)
{
    return extractBook(path).bookmarks;
}

ExtractedBook extractBook(const QString &path)
{
    const Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document)
        return {};
    return extractBook(*document.value(), path);
}

ExtractedBook extractBook(const PdfDocument &document, const QString &path)
{
    ExtractedBook book;
    const qint64 totalPages = document.pageCount();
    traverseOutline(document.outline(), QFileInfo(path).fileName(), path, totalPages, book.bookmarks);
    if (!book.bookmarks.isEmpty() && totalPages >= 1)
        calculatePageSpans(book.bookmarks, totalPages);
    book.status =
        book.bookmarks.isEmpty() ? ExtractedBook::Status::noBookmarks : ExtractedBook::Status::extracted;
    return book;
}

void recalculatePageSpans(BookmarkList &bookmarks)
{
    calculatePageSpans(bookmarks, 0);
}

} // namespace PdfBookmarkExtractor
