#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/imports/ImportTitles.h"

#include <QStringList>

#include <optional>

// How chosen pictures and PDFs are to be imported, as the image and PDF form answers.
struct ImagePdfImportOptions {
    qint64 slotId = 1;
    // The custom book's display name; the custom singles' book name for single files.
    QString bookName;
    // One per chosen file, in their order, as typed until makeUnique().
    QStringList pageTitles;
    // The custom book's; for single files, makeUnique() names it after the first title.
    QString pdfFileName;
    // Nothing: the import library.
    std::optional<QString> destinationDirectory;
    bool importAsBook = false;

    // Makes the titles unique among the slot's rows: those of the same book, or the other single files.
    void makeUnique(const BookmarkList &slotRows)
    {
        if (importAsBook) {
            pageTitles = ImportTitles::uniqueTitles(pageTitles, bookName, slotRows);
            return;
        }
        pageTitles = ImportTitles::uniqueSingleImportTitles(pageTitles, slotRows);
        pdfFileName = pageTitles.value(0);
    }
};

// How one PDF with an outline is to be imported, as the bookmarked-PDF form answers.
struct BookmarkedPdfImportOptions {
    qint64 slotId = 1;
    QString bookName;
    // The outline's bookmarks with their titles as edited.
    BookmarkList bookmarks;
    std::optional<QString> destinationDirectory;
    bool keepOriginalFile = false;
};
