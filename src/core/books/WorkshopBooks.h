#pragma once

#include "core/bookmarks/LibraryRows.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One PDF book of a slot as the bookmark workshop shows it.
struct WorkshopSlotBook {
    // The book's file name as the slot's bookmarks store it, or "Custom Singles" for the imported
    // single files; how the book is named towards the library.
    QString slotPdfFileName;
    // Where the PDF is, when a file is there.
    std::optional<QString> resolvedPath;
    // The pages the slot's bookmarks cover in the book; 0 or less when unknown.
    qint64 pageCount = 0;
    bool isAvailable = false;
    // When the file at resolvedPath last changed: a cover made before that is stale.
    QDateTime modified;

    friend bool operator==(const WorkshopSlotBook &, const WorkshopSlotBook &) = default;
};

// The books of a slot: its bookmarks grouped by PDF file name, ignoring case, with the imported single
// files as one book. Safe on any thread.
namespace WorkshopBooks {

// One book per group, in the order of their names (ignoring case; equal names keep their order). A
// book's path is its first bookmark's, or where it lies below folder (FolderFileIndex, one walk for
// all books) when that bookmark has none and there is a folder. Its page count: for the singles the
// sum of their spans (each at least 1); for a book the last page any bookmark reaches, or the pages
// of the book when a bookmark knows more. Reads the file system.
QList<WorkshopSlotBook> slotBooks(const LibraryRows &rows, const QString &folder);

// The bookmarks of the book to open with their book as the viewer's list: the singles by title
// (ignoring case), a book by page and then by lower-cased title.
BookmarkList bookTitles(const LibraryRows &rows, const QString &bookName);

// Positions of the bookmarks whose PDF file name equals pdfFileName, ignoring case.
QList<qsizetype> positionsOfBook(const LibraryRows &rows, const QString &pdfFileName);

} // namespace WorkshopBooks
