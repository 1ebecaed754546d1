// What the main window does to songs: the row clicks, opening them in the viewer, deleting them,
// editing their metadata, and loading the built-in bookmark list into the Default slot.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/Hop.h"
#include "core/library/DefaultBookmarks.h"
#include "core/library/LibraryColumns.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/common/TablePagePreview.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MetadataEditDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace {

// The confirmation of a deletion names the first few songs it takes.
constexpr qsizetype listedTitles = 5;

QString titlesOf(const LibraryRows &rows, const QList<qsizetype> &positions)
{
    QStringList lines;
    for (qsizetype i = 0; i < positions.size() && i < listedTitles; ++i)
        lines.append(rows.at(positions.at(i)).title);
    if (positions.size() > listedTitles)
        lines.append(QStringLiteral("and %1 more").arg(positions.size() - listedTitles));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QWidget *MainWindowController::alertParent()
{
    return isVisible() ? this : nullptr;
}

// ---- Row clicks

void MainWindowController::handleTableClick(QMouseEvent *event)
{
    if (!m_ui.tableView || event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier))
        return;
    const QPoint local = event->position().toPoint();
    const QModelIndex index = m_ui.tableView->indexAt(local);
    const int row = index.isValid() ? index.row() : -1;
    const QString column = BookmarkTableModel::columnIdentifier(index.column());
    const bool editableCell =
        m_isColumnEditModeEnabled && m_session.currentSlotId() != 0 && editableColumns().contains(column);
    // The cell is about to open for editing. Previews are kept away only once the editor exists, so a
    // click that opens none does not lose them.
    if (editableCell && m_session.displayedBookmark(row))
        m_preview->dismiss();
    // The row's drawn Add and Share buttons take their own clicks.
    if (index.isValid() &&
        BookmarkTableDelegate::rowButtonRect(column, m_ui.tableView->visualRect(index)).contains(local))
        return;
    startRowAction(row, column);
}

void MainWindowController::startRowAction(int row, const QString &column)
{
    const BookmarkEntry *entry = m_session.displayedBookmark(row);
    if (!entry)
        return;
    m_ui.tableView->triggerPressPulse(row, clickActionDelayMilliseconds / 1000.0);
    QTimer::singleShot(clickActionDelayMilliseconds, this,
                       [this, bookmark = *entry, row, column] { performClickAction(bookmark, row, column); });
}

void MainWindowController::performClickAction(const BookmarkEntry &entry, int row, const QString &column)
{
    // The rows may have moved since the click (a search pass landing): the song is selected where it is
    // now, or not at all.
    selectRowsWithIdentityKeys({entry.id()});
    if (m_addToPlaylistTargetName) {
        m_context.playlists().addToPlaylist(*m_addToPlaylistTargetName, entry);
        setStatus(QStringLiteral("Added \"%1\" to \"%2\". Click another title or press Done.")
                      .arg(entry.title, *m_addToPlaylistTargetName));
        if (m_ui.finishAddToPlaylistButton)
            m_ui.finishAddToPlaylistButton->show();
        startFinishAddToPlaylistPulse();
        return;
    }
    if (m_isColumnEditModeEnabled) {
        const BookmarkEntry *shown = m_session.displayedBookmark(row);
        if (m_session.currentSlotId() == 0 || !editableColumns().contains(column) || !shown ||
            shown->id() != entry.id())
            return;
        if (m_ui.editModeButton)
            m_ui.editModeButton->setText(QStringLiteral("Editing: ") + column);
        m_ui.tableView->setFocus();
        m_ui.tableView->edit(m_tableModel->index(row, BookmarkTableModel::columnOf(column)));
        return;
    }
    const QString key = entry.id();
    if (key == m_lastClickOpenKey && m_lastClickOpen.isValid() &&
        m_lastClickOpen.elapsed() < QApplication::doubleClickInterval())
        return;
    m_lastClickOpenKey = key;
    m_lastClickOpen.start();
    openPdf(entry);
}

void MainWindowController::openPdfFromTableDoubleClick()
{
    if (m_addToPlaylistTargetName || m_isColumnEditModeEnabled || !m_ui.tableView)
        return;
    const BookmarkEntry *entry = m_session.displayedBookmark(m_ui.tableView->currentIndex().row());
    if (!entry)
        return;
    // The first click of the pair has opened the song already (or is about to): one double click,
    // one opening.
    const QString key = entry->id();
    if (key == m_lastClickOpenKey && m_lastClickOpen.isValid() &&
        m_lastClickOpen.elapsed() < QApplication::doubleClickInterval() + clickActionDelayMilliseconds)
        return;
    m_lastClickOpenKey = key;
    m_lastClickOpen.start();
    openPdf(*entry);
}

// ---- Opening songs

void MainWindowController::openPdf(const BookmarkEntry &entry)
{
    m_context.libraryFlows().openSong(*m_ui.statusField, entry);
}

// ---- Deleting rows and the row actions

void MainWindowController::deleteSelectedRows()
{
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("delete bookmarks")))
        return;
    // The rows shown and selected, counted once per song; none that the search hides.
    const QList<qsizetype> positions = m_session.uniqueDisplayedPositions(selectedDisplayRows());
    const qsizetype count = positions.size();
    if (count == 0) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("No rows selected"),
                           QStringLiteral("Select one or more rows, then click Delete selected."));
        return;
    }
    const DeletionPlan plan = m_session.planDeletion(positions);
    QString details = QStringLiteral("This removes the selected row(s) from the current slot.\n\n") +
                      titlesOf(m_session.allBookmarks(), positions);
    if (!plan.filesToRemove.isEmpty()) {
        QStringList names;
        for (const QString &file : plan.filesToRemove)
            names.append(QFileInfo(file).fileName());
        details += QStringLiteral("\n\nNo other bookmark or playlist uses these imported files; they will be "
                                  "moved to the trash:\n") +
                   names.join(QLatin1Char('\n'));
    }
    const QString question = count == 1 ? QStringLiteral("Delete selected bookmark?")
                                        : QStringLiteral("Delete %1 selected bookmarks?").arg(count);
    if (LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, question, details,
                           {QStringLiteral("Delete"), QStringLiteral("Cancel")}) != 0)
        return;
    const std::optional<DeletionResult> result = m_session.deleteBookmarks(plan);
    if (!result) {
        setStatus(QStringLiteral("The library changed before the deletion; nothing was deleted."));
        return;
    }
    reloadTable(SelectionAfterReload::clear);
    refreshSearchResultCount();
    QString status = QStringLiteral("Deleted %1 selected bookmark(s).").arg(count);
    for (const QString &file : result->notTrashed)
        status += QStringLiteral(" Could not move %1 to the trash.").arg(QFileInfo(file).fileName());
    setStatus(status);
}

void MainWindowController::contextOpenPdf(int row)
{
    if (const BookmarkEntry *entry = m_session.displayedBookmark(row))
        openPdf(*entry);
}

void MainWindowController::contextTagSelected(int)
{
    runAutoTagSelected();
}

void MainWindowController::showRowContextMenu(const QPoint &viewportPosition)
{
    const int row = m_ui.tableView->rowAt(viewportPosition.y());
    if (!m_session.displayedBookmark(row))
        return;
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("Open")), &QAction::triggered, this,
            [this, row] { contextOpenPdf(row); });
    connect(menu.addAction(QStringLiteral("Auto-tag this row")), &QAction::triggered, this,
            [this, row] { contextTagThisRow(row); });
    connect(menu.addAction(QStringLiteral("Tag selected")), &QAction::triggered, this,
            [this, row] { contextTagSelected(row); });
    menu.exec(m_ui.tableView->viewport()->mapToGlobal(viewportPosition));
}

// ---- Metadata editing

void MainWindowController::editSelectedMetadata()
{
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("edit metadata")))
        return;
    const BookmarkEntry *shown = m_session.displayedBookmark(selectedDisplayRows().value(0, -1));
    if (!shown) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("Select a bookmark first."));
        return;
    }
    const BookmarkEntry entry = *shown;
    MetadataEditDialog dialog(entry, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Result<MetadataValues> values = dialog.values();
    if (!values) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, values.error().message,
                           QStringLiteral("Nothing was changed."));
        return;
    }
    applyMetadataDialogValues(entry, values.value());
}

void MainWindowController::applyMetadataDialogValues(const BookmarkEntry &entry, const MetadataValues &values)
{
    const qsizetype count = m_session.applyMetadataValues(entry, values);
    if (m_ui.tableView)
        m_ui.tableView->viewport()->update();
    setStatus(QStringLiteral("Metadata updated for %1 matching title(s)").arg(count));
}

void MainWindowController::controlTextDidBeginEditing(int, const QString &)
{
    m_preview->setSuspended(true);
}

void MainWindowController::cellEditingClosed()
{
    m_preview->setSuspended(false);
}

void MainWindowController::controlTextDidEndEditing(int row, const QString &column, const QString &text)
{
    // Called from inside the view's commit of the field. The edit changes the library, and a change
    // reloads the table, which would take the field away from under the view that is still closing
    // it: the edit waits for the next turn of the event loop, holding its song rather than its row.
    const BookmarkEntry *shown = m_session.displayedBookmark(row);
    if (!shown)
        return;
    QMetaObject::invokeMethod(
        this, [this, entry = *shown, column, text] { applyCellEdit(entry, column, text); },
        Qt::QueuedConnection);
}

void MainWindowController::applyCellEdit(const BookmarkEntry &entry, const QString &column,
                                         const QString &text)
{
    // Every way out clears the flag, so the previews come back whatever became of the edit.
    const auto done = qScopeGuard([this] { m_preview->setSuspended(false); });
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("edit bookmarks")) ||
        column.isEmpty())
        return;
    if (BookmarkMetadata::isMetadataColumn(column) && m_ui.customModeToggle) {
        m_ui.customModeToggle->setChecked(true);
        applyCustomToggleChrome();
    }
    const std::optional<BookmarkMetadataField> field = BookmarkMetadata::fieldForColumn(column);
    if (!field)
        return;
    const Result<qsizetype> changed = m_session.setMetadataField(*field, TextUtils::trimmed(text), entry);
    if (!changed) {
        // The cell shows the stored value again once its field closes.
        setStatus(changed.error().message);
        return;
    }
    if (m_ui.tableView)
        m_ui.tableView->viewport()->update();
    setStatus(
        QStringLiteral("Updated %1 for %2 matching title(s).").arg(column, QString::number(changed.value())));
}

// ---- The built-in bookmark list

void MainWindowController::loadDefaultBookmarks()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Select folder with PDF fakebooks"),
                                          m_session.selectedFolder(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    loadDefaultBookmarksFromFolder(folder, DefaultBookmarks::resourcePath());
}

void MainWindowController::loadDefaultBookmarksFromFolder(const QString &folder,
                                                          const std::optional<QString> &resourcePath)
{
    m_session.setSelectedFolder(folder);
    if (m_ui.folderPathField)
        m_ui.folderPathField->setText(folder);
    if (!resourcePath) {
        LyrafoldAlert::run(
            alertParent(), LyrafoldAlert::Style::warning, QStringLiteral("Default bookmarks not found"),
            QStringLiteral("Could not locate DefaultBookmarks.json in Bundled or LegacyAssets."));
        return;
    }
    loadDefaultsFrom(*resourcePath);
}

void MainWindowController::loadDefaultsFrom(const QString &resourcePath)
{
    setStatus(QStringLiteral("Loading default bookmarks..."));
    const QString folder = m_session.selectedFolder();
    Hop::run(
        this, [resourcePath, folder] { return DefaultBookmarks::load(resourcePath, folder); },
        [this, folder](Result<BookmarkList> loaded) {
            if (!loaded) {
                const QPointer<MainWindowController> self(this);
                LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning,
                                   QStringLiteral("Failed to load default bookmarks"),
                                   loaded.error().message);
                if (self)
                    setStatus(QStringLiteral("Failed to load defaults"));
                return;
            }
            applyDefaultBookmarks(std::move(loaded).value(), folder);
        });
}

void MainWindowController::applyDefaultBookmarks(BookmarkList rows, const QString &folder)
{
    const qsizetype count = rows.size();
    m_session.adoptDefaultBookmarks(std::move(rows), folder);
    if (m_ui.searchField)
        m_ui.searchField->clear();
    reloadTable(SelectionAfterReload::clear);
    if (m_ui.folderPathField)
        m_ui.folderPathField->setText(folder.isEmpty() ? QStringLiteral("Default bookmarks loaded") : folder);
    if (m_ui.extractButton)
        m_ui.extractButton->setEnabled(!folder.isEmpty());
    if (m_ui.customModeToggle) {
        m_ui.customModeToggle->setChecked(false);
        applyCustomToggleChrome();
    }
    showCurrentSlotTile();
    updateSlotTileNames();
    refreshSearchResultCount();
    setStatus(QStringLiteral("Loaded %1 default bookmarks").arg(count));
}
