#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "ui/common/StatusSink.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class AppContext;
class BookmarkExtractionFlow;
class ImagePdfImportFlow;
class QWidget;
struct CustomFileGroup;

// The library work that several windows start: extraction from a folder, imports of pictures, PDFs and
// bookmark files, the slot commands of the workshop, the CSV export, the deletion of custom files,
// relinking a book of the Default slot and opening a song in the viewer. One service of the
// application context; each call names the status sink of the window the user acted in, which hears
// what became of the work and is the parent of its questions and alerts.
//
// The library itself shows every change through LibrarySession's signals; the service's own signals
// tell what a window shows beyond the rows (the progress of long work, the library's mode).
class LibraryFlowService : public QObject {
    Q_OBJECT

public:
    explicit LibraryFlowService(AppContext &context);
    ~LibraryFlowService() override;

    // A change of the read-only Default slot is refused here, with an alert and a status; Clear Current
    // Slot and the table refuse it on their own.
    bool ensureCurrentSlotEditable(StatusSink &sink, const QString &action);

    // Opening a song: a book found elsewhere is stored with its new path; a missing one is an alert.
    void openSong(StatusSink &sink, const BookmarkEntry &entry);
    // With the titles to step through.
    void openSongWithContext(StatusSink &sink, const BookmarkEntry &entry, const BookmarkList &context);

    // Extraction from the selected folder (one at a time), "New Extraction (Clear Table)…" and the
    // Cancel of a running one. Its progress: extraction()'s signals.
    void extractBookmarks(StatusSink &sink);
    void newExtraction(StatusSink &sink);
    void cancelExtraction();
    BookmarkExtractionFlow &extraction() { return *m_extraction; }

    // Pictures and PDFs: the open panel, or files chosen or dropped, optionally for a playlist.
    void importImagesAndPDFsToLibrary(StatusSink &sink);
    void importImagesAndPDFs(StatusSink &sink, const QStringList &paths,
                             const std::optional<QString> &targetPlaylistName);
    bool isImporting() const { return m_importsRunning > 0; }

    // A bookmark file (JSON) replaces the current slot; the panel asks for it.
    void importBookmarksFromJSONPanel(StatusSink &sink);

    // The slot commands the workshop shares with the main window's menu.
    void mergeSlotsIntoCurrent(StatusSink &sink);
    void clearCurrentSlot(StatusSink &sink);

    // The current slot as a CSV file, where the save panel says.
    void exportBookmarksCSV(StatusSink &sink);
    void deleteCustomFileGroups(StatusSink &sink, const QList<CustomFileGroup> &groups);
    void relinkDefaultBook(StatusSink &sink, const QString &expectedPdfFileName,
                           const QString &replacementPath);

Q_SIGNALS:
    // An import of pictures or PDFs is under way (any window's).
    void importBusyChanged(bool busy);
    // The current slot holds the user's own library now (an extraction or a bookmark file came in).
    void userLibraryAdopted();

private:
    void importBookmarksFromFile(StatusSink &sink, const QString &path);
    ImagePdfImportFlow *importFlowFor(StatusSink &sink);
    void runExtractionStep(StatusSink &sink, void (BookmarkExtractionFlow::*step)());

    AppContext &m_context;
    BookmarkExtractionFlow *m_extraction = nullptr;
    // Where the extraction's texts go: the window that started the run.
    StatusReport m_extractionReport;
    QList<ImagePdfImportFlow *> m_importFlows;
    int m_importsRunning = 0;
};
