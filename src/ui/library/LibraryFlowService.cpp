#include "ui/library/LibraryFlowService.h"

#include "core/books/CustomPdfFiles.h"
#include "core/common/Hop.h"
#include "core/common/LaunchLog.h"
#include "core/imports/BookmarkImport.h"
#include "core/session/SongOpening.h"
#include "core/share/ExportService.h"
#include "core/slots/SlotInput.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/SlotClearing.h"
#include "ui/common/StatusSink.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/import/ImagePdfImportFlow.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

LibraryFlowService::LibraryFlowService(AppContext &context)
    : m_context(context), m_extraction(new BookmarkExtractionFlow(context.librarySlots(), this))
{
    connect(m_extraction, &BookmarkExtractionFlow::extracted, this, &LibraryFlowService::userLibraryAdopted);
    connect(m_extraction, &BookmarkExtractionFlow::statusChanged, this,
            [this](const QString &text) { m_extractionReport(text); });
}

LibraryFlowService::~LibraryFlowService() = default;

bool LibraryFlowService::ensureCurrentSlotEditable(StatusSink &sink, const QString &action)
{
    if (m_context.library().currentSlotId() != 0)
        return true;
    LyrafoldAlert::run(sink.alertParent(), LyrafoldAlert::Style::warning,
                       QStringLiteral("Default slot is read-only"),
                       QStringLiteral("You cannot %1 in Default. Switch to Slot 1-5.").arg(action));
    sink.showStatus(QStringLiteral("Default slot is read-only"));
    return false;
}

// ---- Opening songs

namespace {

void show(AppContext &context, StatusSink &sink, const OpenSongPlan &plan)
{
    if (!plan.request) {
        LyrafoldAlert::run(sink.alertParent(), LyrafoldAlert::Style::warning,
                           QStringLiteral("File not found"), plan.missingPath);
        return;
    }
    const PdfViewerWindowController *viewer = context.viewers().openSong(*plan.request);
    sink.showStatus(viewer->openError().value_or(plan.request->statusText));
}

} // namespace

void LibraryFlowService::openSong(StatusSink &sink, const BookmarkEntry &entry)
{
    // A book found elsewhere is stored with its new path; the user's search runs again and stays.
    const OpenSongPlan plan = SongOpening::planOpenPdf(m_context.library(), entry);
    if (plan.request)
        logToFile(QStringLiteral("Opening PDF viewer — detailed log: ") + QDir::tempPath() +
                  QStringLiteral("/Lyrafold_pdfview.log"));
    show(m_context, sink, plan);
}

void LibraryFlowService::openSongWithContext(StatusSink &sink, const BookmarkEntry &entry,
                                             const BookmarkList &context)
{
    show(m_context, sink, SongOpening::planOpenPdfWithContext(m_context.library(), entry, context));
}

// ---- Extraction

void LibraryFlowService::runExtractionStep(StatusSink &sink, void (BookmarkExtractionFlow::*step)())
{
    // A run under way keeps its window and its status line: what the flow answers the new request
    // goes to the window that asked.
    const bool busy = m_extraction->isBusy();
    const StatusReport running = std::exchange(m_extractionReport, StatusReport(sink));
    if (!busy)
        m_extraction->setWindow(sink.statusWindow());
    (m_extraction->*step)();
    if (busy)
        m_extractionReport = running;
}

void LibraryFlowService::extractBookmarks(StatusSink &sink)
{
    runExtractionStep(sink, &BookmarkExtractionFlow::extractBookmarks);
}

void LibraryFlowService::newExtraction(StatusSink &sink)
{
    runExtractionStep(sink, &BookmarkExtractionFlow::newExtraction);
}

void LibraryFlowService::cancelExtraction()
{
    m_extraction->cancel();
}

// ---- Pictures and PDFs

ImagePdfImportFlow *LibraryFlowService::importFlowFor(StatusSink &sink)
{
    QWidget *window = sink.statusWindow();
    for (ImagePdfImportFlow *flow : std::as_const(m_importFlows)) {
        if (flow->window() == window)
            return flow;
    }
    // One flow for each window that imports, so that every import reports where it was started. It
    // outlives its window until its imports have ended.
    auto *flow = new ImagePdfImportFlow(m_context, window, this);
    m_importFlows.append(flow);
    connect(flow, &ImagePdfImportFlow::statusChanged, this, StatusReport(sink));
    connect(flow, &ImagePdfImportFlow::failed, this,
            [report = StatusReport(sink)](const QString &text) { report.failure(text); });
    connect(flow, &ImagePdfImportFlow::firstTitleImported, this,
            [this, report = StatusReport(sink)](const BookmarkEntry &entry) {
                if (StatusSink *opener = report.sink())
                    openSong(*opener, entry);
            });
    connect(flow, &ImagePdfImportFlow::busyChanged, this, [this, flow](bool busy) {
        const bool was = m_importsRunning > 0;
        m_importsRunning += busy ? 1 : -1;
        if (was != (m_importsRunning > 0))
            Q_EMIT importBusyChanged(m_importsRunning > 0);
        if (!busy && !flow->window()) {
            m_importFlows.removeOne(flow);
            flow->deleteLater();
        }
    });
    connect(window, &QObject::destroyed, flow, [this, flow] {
        if (flow->isBusy())
            return;
        m_importFlows.removeOne(flow);
        flow->deleteLater();
    });
    return flow;
}

void LibraryFlowService::importImagesAndPDFsToLibrary(StatusSink &sink)
{
    importFlowFor(sink)->importImagesAndPDFsToLibrary();
}

void LibraryFlowService::importImagesAndPDFs(StatusSink &sink, const QStringList &paths,
                                             const std::optional<QString> &targetPlaylistName)
{
    importFlowFor(sink)->importImagesAndPDFs(paths, targetPlaylistName);
}

// ---- Bookmark files

void LibraryFlowService::importBookmarksFromJSONPanel(StatusSink &sink)
{
    if (!ensureCurrentSlotEditable(sink, QStringLiteral("import bookmarks")))
        return;
    const QString path =
        QFileDialog::getOpenFileName(sink.statusWindow(), QStringLiteral("Import bookmarks (JSON)"),
                                     QString(), QStringLiteral("JSON (*.json)"));
    if (!path.isEmpty())
        importBookmarksFromFile(sink, path);
}

void LibraryFlowService::importBookmarksFromFile(StatusSink &sink, const QString &path)
{
    LibrarySession &session = m_context.library();
    const qint64 slot = session.currentSlotId();
    struct Read {
        LibraryRows rows;
        std::optional<QString> folder;
    };
    Hop::run(
        this,
        [path]() -> Result<Read> {
            Result<BookmarkImport::ImportedBookmarks> read = BookmarkImport::readFile(path);
            if (!read)
                return read.error();
            return Read{LibraryRows(std::move(read->bookmarks)), read->selectedFolder};
        },
        session.landings().landing(
            this, [this, &session, slot, report = StatusReport(sink)](Result<Read> read) {
                if (!read) {
                    const QString &message = read.error().message;
                    report(BookmarkImport::invalidFileTitle() + QStringLiteral(": ") + message);
                    LyrafoldAlert::runUnasked(report.sink() ? report.sink()->alertParent() : nullptr,
                                              LyrafoldAlert::Style::warning,
                                              BookmarkImport::invalidFileTitle(), message);
                    return;
                }
                // The file replaces the slot it was chosen for, never one switched to while it was read.
                if (session.currentSlotId() != slot) {
                    report(QStringLiteral("The slot changed while the file was read; nothing was imported."));
                    return;
                }
                const qsizetype count = read->rows.size();
                session.importBookmarks(std::move(read->rows), read->folder);
                Q_EMIT userLibraryAdopted();
                report(QStringLiteral("Imported %1 bookmark(s) from JSON").arg(count));
            }));
}

// ---- Slot commands

void LibraryFlowService::mergeSlotsIntoCurrent(StatusSink &sink)
{
    if (!ensureCurrentSlotEditable(sink, QStringLiteral("merge slots")))
        return;
    LibrarySession &session = m_context.library();
    const qint64 slot = session.currentSlotId();
    const QString name = LibrarySlots::slotTileNames().value(int(slot));
    // The question is put together here: the form would look its whole sentence up in vain.
    const std::optional<QString> typed =
        LyrafoldFormAlert::askText(sink.alertParent(), QStringLiteral("mergeSlotsPrompt"),
                                   QStringLiteral("Merge slots into %1").arg(name),
                                   QStringLiteral("Enter source slots separated by commas (example: 1,2,3)."),
                                   QStringLiteral("Merge"), 220);
    if (!typed)
        return;
    const QList<qint64> sources = SlotInput::parseSlotList(*typed);
    if (sources.isEmpty())
        return;
    m_context.librarySlots().mergeSlotsIntoCurrent(
        sources, sink.statusWindow(), [&sink](const QString &status) { sink.showStatus(status); });
}

void LibraryFlowService::clearCurrentSlot(StatusSink &sink)
{
    if (const std::optional<QString> status =
            SlotClearing::clearCurrentSlot(sink.alertParent(), m_context.librarySlots()))
        sink.showStatus(*status);
}

// ---- Files of the library

void LibraryFlowService::exportBookmarksCSV(StatusSink &sink)
{
    const QString path =
        QFileDialog::getSaveFileName(sink.statusWindow(), QStringLiteral("Save CSV File"),
                                     QDir::homePath() + QLatin1Char('/') + ExportService::suggestedFileName(),
                                     QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    sink.showStatus(QStringLiteral("Exporting bookmarks..."));
    // A copy of the rows costs nothing; the file is written on a worker.
    Hop::run(
        this,
        [rows = m_context.library().allBookmarks(), path] {
            QString error;
            const bool written = ExportService::writeCSV(path, rows.toList(), &error);
            return std::make_tuple(written, error, rows.size());
        },
        [path, report = StatusReport(sink)](std::tuple<bool, QString, qsizetype> outcome) {
            const auto &[written, error, count] = outcome;
            report(written ? QStringLiteral("Exported %1 bookmarks to %2").arg(count).arg(path)
                           : QStringLiteral("Could not export the bookmarks: %1").arg(error));
        });
}

void LibraryFlowService::deleteCustomFileGroups(StatusSink &sink, const QList<CustomFileGroup> &groups)
{
    const qsizetype count = groups.size();
    m_context.libraryFiles().deleteCustomFileGroups(
        groups, [report = StatusReport(sink), count](const CustomFileDeletion &deletion) {
            QStringList problems;
            for (const qint64 slot : deletion.slotsNotWritten)
                problems.append(QStringLiteral("%1 could not be saved and keeps their titles.")
                                    .arg(LibrarySlots::slotTileNames().value(slot)));
            for (const QString &file : deletion.notTrashed)
                problems.append(
                    QStringLiteral("Could not move %1 to the trash.").arg(QFileInfo(file).fileName()));
            report(problems.isEmpty() ? QStringLiteral("Deleted %1 custom file(s).").arg(count)
                                      : QStringLiteral("Not every custom file was deleted: %1")
                                            .arg(problems.join(QLatin1Char(' '))));
        });
}

void LibraryFlowService::relinkDefaultBook(StatusSink &sink, const QString &expectedPdfFileName,
                                           const QString &replacementPath)
{
    const QString newName = QFileInfo(replacementPath).fileName();
    m_context.libraryFiles().relinkDefaultBook(
        expectedPdfFileName, replacementPath,
        [report = StatusReport(sink), expectedPdfFileName, newName](const BookRelink &relink) {
            if (relink.relinked == 0)
                return;
            if (!relink.written) {
                report(QStringLiteral("Could not save the Default slot; %1 was not relinked.")
                           .arg(expectedPdfFileName));
                return;
            }
            report(QStringLiteral("Relinked %1 to %2").arg(expectedPdfFileName, newName));
        });
}
