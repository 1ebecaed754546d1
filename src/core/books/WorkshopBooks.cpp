#include "core/books/WorkshopBooks.h"

#include "core/books/CustomPdfFiles.h"
#include "core/books/FolderFileIndex.h"
#include "core/search/LibrarySort.h"
#include "core/slotfiles/SlotStore.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace WorkshopBooks {

namespace {

struct BookDraft {
    const BookmarkEntry *first = nullptr;
    bool singles = false;
    qint64 pageCount = 0;
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QList<WorkshopSlotBook> slotBooks(const LibraryRows &rows, const QString &folder)
{
    // A library holds many songs of few books: each distinct name is folded once.
    QHash<QString, QString> keyOfName;
    QHash<QString, qsizetype> indexOfKey;
    QList<BookDraft> drafts;
    qsizetype singlesIndex = -1;
    // The draft of a row's book, made on its first row.
    const auto draftOf = [&](const BookmarkEntry &row, bool single) -> BookDraft & {
        if (single) {
            if (singlesIndex < 0) {
                singlesIndex = drafts.size();
                drafts.append(BookDraft{&row, true, 0});
            }
            return drafts[singlesIndex];
        }
        auto folded = keyOfName.constFind(row.pdfFileName);
        if (folded == keyOfName.constEnd())
            folded = keyOfName.insert(row.pdfFileName, TextUtils::nfc(row.pdfFileName).toLower());
        auto found = indexOfKey.constFind(*folded);
        if (found == indexOfKey.constEnd()) {
            found = indexOfKey.insert(*folded, drafts.size());
            drafts.append(BookDraft{&row, false, 0});
        }
        return drafts[*found];
    };
    for (const BookmarkEntry &row : rows) {
        const bool single = SlotStore::isCustomSingle(row);
        BookDraft &draft = draftOf(row, single);
        const qint64 span = std::max<qint64>(row.pageSpan, 1);
        if (single)
            draft.pageCount += span;
        else
            draft.pageCount = std::max({draft.pageCount, row.pageNumber + span - 1, row.totalPages});
    }

    std::optional<FolderFileIndex> folderIndex;
    QList<WorkshopSlotBook> books;
    QStringList names;
    books.reserve(drafts.size());
    for (const BookDraft &draft : std::as_const(drafts)) {
        WorkshopSlotBook book;
        book.slotPdfFileName = draft.singles ? CustomPdfFiles::customSinglesLabel : draft.first->pdfFileName;
        book.pageCount = draft.pageCount;
        QString path = draft.first->pdfFilePath;
        if (path.isEmpty() && !folder.isEmpty()) {
            if (!folderIndex)
                folderIndex.emplace(folder);
            path = folderIndex->resolve(draft.first->pdfFileName).value_or(QString());
        }
        if (!path.isEmpty()) {
            const QFileInfo file(path);
            if (file.isFile()) {
                book.isAvailable = true;
                book.resolvedPath = path;
                book.modified = file.lastModified();
            }
        }
        names.append(book.slotPdfFileName);
        books.append(std::move(book));
    }
    return LibrarySort::sortedByCollation(std::move(books), names);
}

BookmarkList bookTitles(const LibraryRows &rows, const QString &bookName)
{
    BookmarkList titles;
    if (sameName(bookName, CustomPdfFiles::customSinglesLabel)) {
        QStringList names;
        for (const BookmarkEntry &row : rows) {
            if (SlotStore::isCustomSingle(row)) {
                titles.append(row);
                names.append(row.title);
            }
        }
        return LibrarySort::sortedByCollation(std::move(titles), names);
    }
    for (const BookmarkEntry &row : rows) {
        if (sameName(row.pdfFileName, bookName))
            titles.append(row);
    }
    return LibrarySort::sortedByPageAndTitle(std::move(titles));
}

QList<qsizetype> positionsOfBook(const LibraryRows &rows, const QString &pdfFileName)
{
    QList<qsizetype> positions;
    for (auto row = rows.begin(); row != rows.end(); ++row) {
        if (sameName(row->pdfFileName, pdfFileName))
            positions.append(row.position());
    }
    return positions;
}

} // namespace WorkshopBooks
