#pragma once

#include "core/library/WorkshopBooks.h"

#include <functional>

// What the bookmark workshop asks of its owner (the main window), one closure per action. An empty
// closure is an action that is not connected: its button says so rather than doing nothing.
struct WorkshopToolbarActions {
    // Work that lists a slot's books, to run on a worker.
    using SlotBooksJob = std::function<QList<WorkshopSlotBook>()>;

    std::function<void()> syncBookmarks;       // "Inject Bookmarks"
    std::function<void()> importImagesAndPDFs; // "Import Images/PDFs"
    std::function<void()> importBookmarks;     // "Import"
    std::function<void()> exportBookmarks;     // "Export"
    std::function<void()> importMetadata;      // "Import Metadata"
    std::function<void()> exportMetadata;      // "Export Metadata"
    std::function<void()> mergeData;           // "Merge pdfs"
    std::function<void()> cleanList;           // the trash button and "Clear list"
    // The owner's current slot, which the tab shown follows.
    std::function<qint64()> getActiveSlot;
    // A tab press: the owner makes the slot its current one.
    std::function<void(qint64 slot)> switchSlot;
    std::function<SlotBooksJob(qint64 slot)> getSlotBooks;
    // Relinking a missing book of the Default slot: its file name and the file chosen for it.
    std::function<void(const QString &pdfFileName, const QString &replacementPath)> remapDefaultBook;
    std::function<QString(qint64 slot)> getSlotTitle;
    // A double click on a book: the slot and the book's slotPdfFileName.
    std::function<void(qint64 slot, const QString &bookName)> openSlotBook;
};
