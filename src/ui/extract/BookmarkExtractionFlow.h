#pragma once

#include "core/books/FolderFileIndex.h"

#include <QObject>
#include <QPointer>

#include <functional>

class BookmarkExtractionRun;
class LibrarySession;
class LibrarySlots;
class QWidget;

// The Extract tile and "New Extraction (Clear Table)…": from the folder and the slot prompt, through
// the walk for PDFs and the choice of books, to a run on worker threads. The window shows what it
// tells; nothing in the library changes before a run completes (so every way out before that leaves
// the window's slot and rows as they were), and a full run over a filled slot asks first: from another
// folder before the books are read, from the slot's own folder once they are, with the count of the
// titles it would remove.
class BookmarkExtractionFlow : public QObject {
    Q_OBJECT

public:
    BookmarkExtractionFlow(LibrarySlots &librarySlots, QObject *parent);
    ~BookmarkExtractionFlow() override;

    // The window the questions and panels of the next run belong to.
    void setWindow(QWidget *window) { m_window = window; }

    // The Extract tile: the folder panel without a folder; with one, the slot prompt for an empty slot,
    // else the choice of a new folder or a re-extraction of this one.
    void extractBookmarks();
    // What the folder panel's choice of folder starts, for the screenshot tool that gives the folder.
    void extractFromFolderForTesting(const QString &folder) { extractFromFolder(folder); }
    // Empties the current slot (after the question when it holds bookmarks) and forgets the folder.
    void newExtraction();
    // Stops the walk or the run; nothing changes.
    void cancel();
    bool isBusy() const { return m_busy; }

    // The walk's way of reading folders (tests).
    void setFolderReaderForTesting(FolderFileIndex::FolderReader reader)
    {
        m_folderReader = std::move(reader);
    }

Q_SIGNALS:
    void statusChanged(const QString &text);
    // From the prompts to the end of the run.
    void busyChanged(bool busy);
    // Books read so far; total 0 while the folder is walked.
    void progressChanged(qsizetype done, qsizetype total);
    void cancellable(bool cancellable);
    // A run put its songs into its slot.
    void extracted();
    // The current slot was emptied for a fresh extraction.
    void newExtractionReady();

private:
    // A new extraction of folder, after the folder panel chose it.
    void extractFromFolder(const QString &folder);

    void chooseFolderAndExtract();
    void extract(const QString &folder, bool askBookSelection);
    // The folder's books, with what the question before a full run asks about the slot.
    struct Walk {
        FolderFileIndex::PdfListing listing;
        qsizetype slotCount = 0;
        bool slotsOwnFolder = false;
    };
    void walked(const QString &folder, qint64 slot, const QString &slotName, bool askBookSelection,
                const Walk &walk);
    // ask(), once nothing holds back work that lands, on a turn of the event loop of its own; at a quit
    // the run is cancelled instead.
    void askOnATurnOfItsOwn(const QPointer<BookmarkExtractionRun> &run, std::function<void()> ask);
    // The question of a full run from the slot's own folder, its books read: Rebuild or Cancel.
    void rebuildAsked(qint64 slot, qsizetype slotRows, qsizetype bookmarksLost);
    void setBusy(bool busy);

    LibrarySlots &m_slots;
    LibrarySession &m_session;
    QPointer<QWidget> m_window;
    FolderFileIndex::FolderReader m_folderReader;
    BookmarkExtractionRun *m_run = nullptr;
    // Raised by a cancel, so that a walk still under way is dropped when it lands.
    quint64 m_generation = 0;
    bool m_busy = false;
};
