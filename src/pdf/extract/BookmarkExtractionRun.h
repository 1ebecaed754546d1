#pragma once

#include "core/slots/LibrarySlots.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// One extraction from a folder into a slot. The books' outlines are read on worker threads, several at
// once, since books do not depend on each other; their songs and the progress lines still come in the
// order of the book list. When every book is read the songs go into the slot (which becomes the
// current one) through LibrarySlots::adoptExtraction(); until then nothing changes, and a cancelled
// run changes nothing at all. A run that asks before it rebuilds a slot waits there for an answer.
// Main thread only; the object may be destroyed while it runs.
class BookmarkExtractionRun : public QObject {
    Q_OBJECT

public:
    struct Request {
        qint64 slot = 1;
        QString slotName;
        QString folder;
        // In walk order.
        QStringList pdfPaths;
        // Only these books are read again; the slot's songs of the other books stay.
        bool partial = false;
        // A full run from the slot's own folder: once its songs are merged with the slot's rows, and
        // the slot held some, it tells rebuildPlanned() and waits for rebuild() or cancel().
        bool asksBeforeRebuilding = false;
        // Folders the walk could not read, and the books whose paths it could not decode
        // (FolderFileIndex::PdfListing); reported with the outcome.
        qsizetype unreadableFolders = 0;
        QStringList undecodableNames;
    };

    struct Summary {
        bool cancelled = false;
        qsizetype bookmarkCount = 0;  // songs in the slot afterwards, kept ones included
        qsizetype pdfCount = 0;       // books of the run
        QStringList unopened;         // file names, in list order
        QStringList withoutBookmarks; // file names, in list order
        qsizetype unreadableFolders = 0;
        QStringList undecodableNames; // paths inside the folder, in walk order
        QString statusText() const;
    };

    // What the outcome says of the books left out because a name in their paths is not valid UTF-8:
    // "; 1 not read, its file or folder name is not valid UTF-8 (<path>; rename it to extract it)", or
    // nothing.
    static QString undecodableText(const QStringList &names);

    BookmarkExtractionRun(LibrarySlots &librarySlots, Request request, QObject *parent = nullptr);
    // Cancels; waits only for the books being read at that moment.
    ~BookmarkExtractionRun() override;

    // Books read at the same time; the machine's cores unless set before start().
    void setMaxParallelBooksForTesting(int count) { m_pool.setMaxThreadCount(count); }
    void start();
    // Stops the run at once: finished() follows with cancelled set, and the library stays as it is.
    void cancel();
    // The answer to rebuildPlanned(): the songs go into the slot. Should the library have changed
    // meanwhile, they are merged again, and rebuildPlanned() is told again only when its counts differ.
    void rebuild();

    // "Extracting bookmarks... <index + 1>/<total>: <file name>"
    static QString progressText(qsizetype index, qsizetype total, const QString &path);

Q_SIGNALS:
    // Books done so far, in list order, with the line for the status bar.
    void progressed(qsizetype done, qsizetype total, const QString &statusText);
    void finished(const BookmarkExtractionRun::Summary &summary);
    // The slot's rows the run replaces, and how many of them it does not give back: those go with their
    // metadata (ExtractionPlan::bookmarksLost).
    void rebuildPlanned(qsizetype slotRows, qsizetype bookmarksLost);

private:
    void bookRead(qsizetype index, PdfBookmarkExtractor::ExtractedBook book);
    void complete();
    void adopt(ExtractionResult result);
    void take(ExtractionPlan plan);

    LibrarySlots &m_slots;
    Request m_request;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    std::vector<std::optional<PdfBookmarkExtractor::ExtractedBook>> m_books;
    qsizetype m_next = 0;
    BookmarkList m_bookmarks;
    // The plan waiting for rebuild(), and the counts last answered.
    std::optional<ExtractionPlan> m_planned;
    std::optional<std::pair<qsizetype, qsizetype>> m_answered;
    Summary m_summary;
    bool m_running = false;
};
