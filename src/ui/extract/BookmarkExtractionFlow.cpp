#include "ui/extract/BookmarkExtractionFlow.h"

#include "core/common/Hop.h"
#include "core/session/LandingGate.h"
#include "core/slots/LibrarySlots.h"
#include "pdf/extract/BookmarkExtractionRun.h"
#include "ui/common/SlotClearing.h"
#include "ui/extract/ExtractionPrompts.h"

#include <QFileDialog>
#include <QSet>

BookmarkExtractionFlow::BookmarkExtractionFlow(LibrarySlots &librarySlots, QObject *parent)
    : QObject(parent), m_slots(librarySlots), m_session(librarySlots.session())
{
}

BookmarkExtractionFlow::~BookmarkExtractionFlow() = default;

void BookmarkExtractionFlow::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void BookmarkExtractionFlow::extractBookmarks()
{
    if (m_busy) {
        Q_EMIT statusChanged(QStringLiteral("An extraction is already running."));
        return;
    }
    const QString folder = m_session.selectedFolder();
    if (folder.isEmpty()) {
        chooseFolderAndExtract();
        return;
    }
    if (m_session.allBookmarks().isEmpty()) {
        extract(folder, false);
        return;
    }
    switch (ExtractionPrompts::promptExtractStart(m_window)) {
    case ExtractionPrompts::Start::newExtraction:
        chooseFolderAndExtract();
        break;
    case ExtractionPrompts::Start::reextractFolder:
        extract(folder, true);
        break;
    case ExtractionPrompts::Start::cancel:
        break;
    }
}

void BookmarkExtractionFlow::chooseFolderAndExtract()
{
    const QString folder =
        QFileDialog::getExistingDirectory(m_window, QStringLiteral("Select folder containing PDF fakebooks"),
                                          m_session.selectedFolder(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        extractFromFolder(folder);
}

void BookmarkExtractionFlow::extractFromFolder(const QString &folder)
{
    if (m_busy) {
        Q_EMIT statusChanged(QStringLiteral("An extraction is already running."));
        return;
    }
    extract(folder, false);
}

void BookmarkExtractionFlow::extract(const QString &folder, bool askBookSelection)
{
    setBusy(true);
    const std::optional<ExtractionPrompts::SlotChoice> choice =
        ExtractionPrompts::promptSlotForExtraction(m_window, m_slots, !askBookSelection);
    if (!choice) {
        setBusy(false);
        return;
    }
    Q_EMIT statusChanged(QStringLiteral("Looking for PDF files..."));
    Q_EMIT progressChanged(0, 0);
    Q_EMIT cancellable(true);
    const quint64 generation = ++m_generation;
    // What the question before a full run over a filled slot needs is worked out with the walk: the
    // slot's count when nobody stored it, and whether the folder is the one the slot was built from.
    Hop::run(
        this,
        [folder, reader = m_folderReader, count = m_slots.slotCounter(choice->slot),
         ownFolder = m_slots.storedFolderMatcher(choice->slot, folder)] {
            Walk walk;
            walk.listing = FolderFileIndex::listPdfs(folder, reader);
            walk.slotCount = count();
            walk.slotsOwnFolder = ownFolder();
            return walk;
        },
        [this, generation, folder, choice = *choice, askBookSelection](const Walk &walk) {
            if (generation == m_generation)
                walked(folder, choice.slot, choice.slotName, askBookSelection, walk);
        });
}

void BookmarkExtractionFlow::walked(const QString &folder, qint64 slot, const QString &slotName,
                                    bool askBookSelection, const Walk &walk)
{
    const FolderFileIndex::PdfListing &listing = walk.listing;
    qsizetype slotCount = walk.slotCount;
    Q_EMIT cancellable(false);
    if (listing.paths.isEmpty()) {
        QString status = QStringLiteral("No PDF files found");
        if (listing.unreadableFolders > 0)
            status += QStringLiteral("; %1 folder(s) could not be read").arg(listing.unreadableFolders);
        Q_EMIT statusChanged(status + BookmarkExtractionRun::undecodableText(listing.undecodableNames));
        setBusy(false);
        return;
    }
    QStringList pdfs = listing.paths;
    if (askBookSelection) {
        const std::optional<QStringList> chosen =
            ExtractionPrompts::promptExtractAllOrChooseBooks(m_window, pdfs);
        if (!chosen) {
            Q_EMIT statusChanged(QString());
            setBusy(false);
            return;
        }
        pdfs = *chosen;
    }
    const bool partial = pdfs.size() < listing.paths.size();
    // The current slot's count is the library's own, which edits made meanwhile may have changed.
    if (slot == m_session.currentSlotId())
        slotCount = m_session.allBookmarks().size();
    // From another folder none of the slot's songs is found again: the question is the one of every way
    // of emptying a slot, before the books are read. From the slot's own folder, only the merge with
    // the books as read knows which titles do not come back: the run asks then (rebuildAsked()).
    const bool rebuilds = !partial && walk.slotsOwnFolder;
    if (!partial && !rebuilds && slotCount > 0 &&
        !SlotClearing::confirm(m_window, m_slots.planClearSlot(slot, slotCount))) {
        Q_EMIT statusChanged(QString());
        setBusy(false);
        return;
    }

    BookmarkExtractionRun::Request request;
    request.slot = slot;
    request.slotName = slotName;
    request.folder = folder;
    request.pdfPaths = pdfs;
    request.partial = partial;
    request.asksBeforeRebuilding = rebuilds;
    request.unreadableFolders = listing.unreadableFolders;
    request.undecodableNames = listing.undecodableNames;
    m_run = new BookmarkExtractionRun(m_slots, std::move(request), this);
    connect(m_run, &BookmarkExtractionRun::progressed, this,
            [this](qsizetype done, qsizetype total, const QString &text) {
                Q_EMIT progressChanged(done, total);
                Q_EMIT statusChanged(text);
            });
    connect(m_run, &BookmarkExtractionRun::finished, this,
            [this](const BookmarkExtractionRun::Summary &summary) {
                m_run->deleteLater();
                m_run = nullptr;
                Q_EMIT cancellable(false);
                Q_EMIT statusChanged(summary.statusText());
                if (!summary.cancelled)
                    Q_EMIT extracted();
                setBusy(false);
            });
    // Asked once no field holds text typed for a row and no quit is under way; a run cancelled or gone
    // by then is not answered, one the quit ends counts as cancelled.
    connect(m_run, &BookmarkExtractionRun::rebuildPlanned, this,
            [this, slot, run = QPointer(m_run)](qsizetype slotRows, qsizetype bookmarksLost) {
                askOnATurnOfItsOwn(run, [this, slot, run, slotRows, bookmarksLost] {
                    if (run && run == m_run)
                        rebuildAsked(slot, slotRows, bookmarksLost);
                });
            });
    Q_EMIT cancellable(true);
    Q_EMIT statusChanged(QStringLiteral("Extracting bookmarks..."));
    m_run->start();
}

void BookmarkExtractionFlow::askOnATurnOfItsOwn(const QPointer<BookmarkExtractionRun> &run,
                                                std::function<void()> ask)
{
    // A question comes at a moment the user did not choose. It waits, as work that lands does, while a
    // field holds text typed for a row: it would take the field's keys and end it. And it is asked on a
    // turn of the event loop of its own, never inside the step that told it nor inside the close of a
    // field, which lets what waited land while the view still lets the field go.
    QMetaObject::invokeMethod(
        this,
        [this, run, ask = std::move(ask)] {
            const auto now = std::make_shared<bool>(true);
            m_session.landings().land(
                this,
                [this, run, ask, now] {
                    if (*now)
                        ask();
                    else
                        askOnATurnOfItsOwn(run, ask);
                },
                LandingGate::AtQuit::drop,
                [run] {
                    if (run)
                        run->cancel();
                });
            *now = false;
        },
        Qt::QueuedConnection);
}

void BookmarkExtractionFlow::rebuildAsked(qint64 slot, qsizetype slotRows, qsizetype bookmarksLost)
{
    const QPointer<BookmarkExtractionRun> run = m_run;
    SlotClearPlan plan = m_slots.planClearSlot(slot, slotRows);
    plan.bookmarksLost = bookmarksLost;
    const bool rebuild = SlotClearing::confirmRebuild(m_window, plan);
    // The run may have ended while the question was open; a quit closed it as Cancel.
    if (!run || run != m_run)
        return;
    if (rebuild)
        run->rebuild();
    else
        run->cancel();
}

void BookmarkExtractionFlow::cancel()
{
    if (m_run) {
        m_run->cancel();
        return;
    }
    if (!m_busy)
        return;
    // The walk: its list is dropped when it lands.
    ++m_generation;
    Q_EMIT cancellable(false);
    Q_EMIT statusChanged(QStringLiteral("Extraction cancelled; nothing was changed."));
    setBusy(false);
}

void BookmarkExtractionFlow::newExtraction()
{
    if (m_busy) {
        Q_EMIT statusChanged(QStringLiteral("An extraction is running; cancel it first."));
        return;
    }
    const SlotClearPlan plan = m_slots.planClearSlot(m_session.currentSlotId());
    if (plan.bookmarkCount > 0 && !SlotClearing::confirm(m_window, plan))
        return;
    if (!m_slots.startNewExtraction(plan)) {
        Q_EMIT statusChanged(
            QStringLiteral("The library changed before it was cleared; nothing was cleared."));
        return;
    }
    Q_EMIT newExtractionReady();
    Q_EMIT statusChanged(QStringLiteral("Ready for new extraction"));
}
