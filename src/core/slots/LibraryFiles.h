#pragma once

#include "core/bookmarks/LibraryRows.h"

#include <QList>
#include <QStringList>

#include <functional>

class LibrarySlots;
struct CustomFileGroup;
struct WorkshopSlotBook;

// What the deletion of imported files did over the user's slots.
struct CustomFileDeletion {
    qsizetype rowsRemoved = 0;
    QStringList trashed;
    QStringList notTrashed;
    // Slots whose file kept the rows because it could not be written.
    QList<qint64> slotsNotWritten;
};

// What relinking a book did: the bookmarks pointed to the new file, and whether that reached the disk
// (a failure of the current slot's save arrives later, through the session's saveFailed()).
struct BookRelink {
    qsizetype relinked = 0;
    bool written = true;
};

// The files behind the slots' songs: the imported files over the user's slots and the books of a
// slot, as the custom files window and the bookmark workshop show them, with their deletion (to the
// trash) and relinking. The current slot changes through the session's mutations, the others through
// LibrarySlots::editStoredSlot(). Main thread only; one instance for the application (AppContext).
class LibraryFiles {
public:
    explicit LibraryFiles(LibrarySlots &librarySlots);

    // Work for a worker: the imported files of slots 1-5 (CustomPdfFiles::customFileGroups), the
    // current slot as it is now and the others as their files hold them.
    std::function<QList<CustomFileGroup>()> customFileGroupsJob() const;
    // Work for a worker: the books of the slot (WorkshopBooks::slotBooks), found in the library folder
    // for the current slot and in the slot's own folder for another.
    std::function<QList<WorkshopSlotBook>()> slotBooksJob(qint64 slot) const;
    // Work for a worker: the songs of one book of the slot (WorkshopBooks::bookTitles).
    std::function<BookmarkList()> bookTitlesJob(qint64 slot, const QString &bookName) const;

    // Removes the bookmarks of the groups from slots 1-5 (never from the Default slot), their songs
    // from every playlist, and moves the imported files that nothing uses any more to the trash. The
    // current slot changes at once; the other slots' files are changed behind their pending writes,
    // and done runs on the UI thread once every one of them is written.
    void deleteCustomFileGroups(const QList<CustomFileGroup> &groups,
                                std::function<void(const CustomFileDeletion &)> done);

    // Points every bookmark of the Default slot whose PDF file name equals expectedPdfFileName
    // (ignoring case) to the file at newPath. In the current slot at once; otherwise behind the slot
    // file's pending writes. done runs on the UI thread, at once for the current slot.
    void relinkDefaultBook(const QString &expectedPdfFileName, const QString &newPath,
                           std::function<void(const BookRelink &)> done);

private:
    LibrarySlots &m_slots;
};
