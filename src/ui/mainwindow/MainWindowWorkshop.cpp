// The main window's side of the bookmark workshop and of the custom files window: opening them, what
// their actions do to the library, and the CSV export of the current slot.

#include "core/common/Hop.h"
#include "core/library/CustomPdfFiles.h"
#include "core/library/ExportService.h"
#include "core/library/WorkshopBooks.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/WindowPlacement.h"
#include "ui/customfiles/CustomFilesWindowController.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// A window's action that calls the main window while it is still there: the window may outlive it
// for a moment.
std::function<void()> whileOpen(const QPointer<MainWindowController> &self,
                                void (MainWindowController::*method)())
{
    return [self, method] {
        if (self)
            (self.data()->*method)();
    };
}

} // namespace

void MainWindowController::openBookmarkWorkshop()
{
    if (m_workshopWindowController) {
        m_workshopWindowController->reloadSlotBooks();
        WindowPlacement::bringToFront(m_workshopWindowController, false);
        return;
    }
    m_workshopWindowController =
        new WorkshopWindowController(m_context, workshopToolbarActions(), m_session.currentSlotId());
    m_workshopWindowController->setAttribute(Qt::WA_DeleteOnClose);
    WindowPlacement::bringToFront(m_workshopWindowController, true);
    LyrafoldButtonEffects::install(m_workshopWindowController);
}

WorkshopToolbarActions MainWindowController::workshopToolbarActions()
{
    const QPointer<MainWindowController> self(this);
    const auto call = [self](void (MainWindowController::*method)()) { return whileOpen(self, method); };
    WorkshopToolbarActions actions;
    actions.syncBookmarks = call(&MainWindowController::extractBookmarks);
    actions.importImagesAndPDFs = call(&MainWindowController::importImagesAndPDFsToLibrary);
    actions.importBookmarks = call(&MainWindowController::importBookmarksFromJSONPanel);
    actions.exportBookmarks = call(&MainWindowController::exportBookmarksCSV);
    actions.importMetadata = call(&MainWindowController::importMetadata);
    actions.exportMetadata = call(&MainWindowController::exportBookmarksCSV);
    actions.mergeData = call(&MainWindowController::mergeSlotsIntoCurrent);
    actions.cleanList = call(&MainWindowController::clearCurrentSlot);
    actions.getActiveSlot = [self]() -> qint64 { return self ? self->m_session.currentSlotId() : 0; };
    actions.switchSlot = [self](qint64 slot) {
        if (self)
            self->switchToSlot(slot);
    };
    actions.getSlotBooks = [self](qint64 slot) -> WorkshopToolbarActions::SlotBooksJob {
        if (!self)
            return [] { return QList<WorkshopSlotBook>(); };
        return self->m_session.slotBooksJob(slot);
    };
    actions.remapDefaultBook = [self](const QString &pdfFileName, const QString &replacementPath) {
        if (self)
            self->remapDefaultSlotBook(pdfFileName, replacementPath);
    };
    actions.getSlotTitle = [](qint64 slot) { return LibrarySession::slotTileNames().value(slot); };
    actions.openSlotBook = [self](qint64 slot, const QString &bookName) {
        if (self)
            self->openWorkshopSlotBook(slot, bookName);
    };
    return actions;
}

void MainWindowController::openCustomFiles()
{
    if (m_customFilesWindowController) {
        WindowPlacement::bringToFront(m_customFilesWindowController, false);
        return;
    }
    const QPointer<MainWindowController> self(this);
    CustomFilesWindowController::Actions actions;
    actions.reloadGroups = [self]() -> std::function<QList<CustomFileGroup>()> {
        if (!self)
            return [] { return QList<CustomFileGroup>(); };
        return self->m_session.customFileGroupsJob();
    };
    actions.deleteGroups = [self](const QList<CustomFileGroup> &groups) {
        if (self)
            self->deleteCustomFileGroups(groups);
    };
    actions.importImagesAndPDFs = whileOpen(self, &MainWindowController::importImagesAndPDFsToLibrary);
    m_customFilesWindowController = new CustomFilesWindowController(m_context, std::move(actions));
    m_customFilesWindowController->setAttribute(Qt::WA_DeleteOnClose);
    WindowPlacement::bringToFront(m_customFilesWindowController, true);
}

void MainWindowController::deleteCustomFileGroups(const QList<CustomFileGroup> &groups)
{
    const qsizetype count = groups.size();
    m_session.deleteCustomFileGroups(groups, [this, self = QPointer<MainWindowController>(this),
                                              count](const CustomFileDeletion &deletion) {
        if (!self)
            return;
        QStringList problems;
        for (const qint64 slot : deletion.slotsNotWritten)
            problems.append(QStringLiteral("%1 could not be saved and keeps their titles.")
                                .arg(LibrarySession::slotTileNames().value(slot)));
        for (const QString &file : deletion.notTrashed)
            problems.append(
                QStringLiteral("Could not move %1 to the trash.").arg(QFileInfo(file).fileName()));
        setStatus(problems.isEmpty() ? QStringLiteral("Deleted %1 custom file(s).").arg(count)
                                     : QStringLiteral("Not every custom file was deleted: ") +
                                           problems.join(QLatin1Char(' ')));
    });
}

void MainWindowController::remapDefaultSlotBook(const QString &expectedPdfFileName,
                                                const QString &replacementPath)
{
    const QString newName = QFileInfo(replacementPath).fileName();
    m_session.relinkDefaultBook(
        expectedPdfFileName, replacementPath,
        [this, self = QPointer<MainWindowController>(this), expectedPdfFileName,
         newName](const BookRelink &relink) {
            if (!self || relink.relinked == 0)
                return;
            if (!relink.written) {
                setStatus(QStringLiteral("Could not save the Default slot; %1 was not relinked.")
                              .arg(expectedPdfFileName));
                return;
            }
            setStatus(QStringLiteral("Relinked %1 to %2").arg(expectedPdfFileName, newName));
        });
}

void MainWindowController::openWorkshopSlotBook(qint64 slotId, const QString &bookName)
{
    const BookmarkList titles =
        WorkshopBooks::bookTitles(LibraryRows(m_session.slotBookmarks(slotId)), bookName);
    if (!titles.isEmpty())
        openPdfWithContext(titles.first(), titles);
}

void MainWindowController::exportBookmarksCSV()
{
    QWidget *parent = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save CSV File"),
                                     QDir::homePath() + QLatin1Char('/') + ExportService::suggestedFileName(),
                                     QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    setStatus(QStringLiteral("Exporting bookmarks..."));
    // A copy of the rows costs nothing; the file is written on a worker.
    Hop::run(
        this,
        [rows = m_session.allBookmarks(), path] {
            QString error;
            const bool written = ExportService::writeCSV(path, rows.toList(), &error);
            return std::make_tuple(written, error, rows.size());
        },
        [this, path](std::tuple<bool, QString, qsizetype> outcome) {
            const auto &[written, error, count] = outcome;
            setStatus(written ? QStringLiteral("Exported %1 bookmarks to %2").arg(count).arg(path)
                              : QStringLiteral("Could not export the bookmarks: %1").arg(error));
        });
}
