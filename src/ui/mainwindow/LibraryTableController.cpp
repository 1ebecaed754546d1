#include "ui/mainwindow/LibraryTableController.h"

#include "core/bookmarks/LibraryColumns.h"
#include "core/common/HoverLog.h"
#include "core/common/NotificationBus.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/common/AddToPlaylistDialogs.h"
#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/RowReturnKey.h"
#include "ui/common/StatusLine.h"
#include "ui/common/TablePagePreview.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MetadataEditDialog.h"
#include "ui/metadata/AutoTagFlow.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/TitleShareFlow.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <optional>

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

bool isEditableColumn(const QString &column)
{
    return LibraryColumns::editableColumns().contains(column);
}

} // namespace

LibraryTableController::LibraryTableController(AppContext &context, const MainWindowControls &controls,
                                               AutoTagFlow &autoTag, QObject *parent)
    : QObject(parent), m_context(context), m_session(context.library()), m_shownRows(context.shownRows()),
      m_ui(controls), m_autoTag(autoTag)
{
    setObjectName(QStringLiteral("libraryTableController"));
    BookmarkTableView *view = m_ui.tableView;
    m_model = new BookmarkTableModel(&m_shownRows, this);
    m_model->setEditRule([this] { return m_isColumnEditModeEnabled && m_session.currentSlotId() != 0; });
    m_model->setCellEdited(
        [this](int row, const QString &column, const QString &text) { cellEditEnded(row, column, text); });
    view->setModel(m_model);
    connect(view, &BookmarkTableView::headerClicked, this,
            [this](int column) { headerClicked(BookmarkTableModel::columnIdentifier(column)); });
    connect(view, &QTableView::doubleClicked, this, &LibraryTableController::openFromDoubleClick);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LibraryTableController::selectionChanged);
    connect(m_ui.tableDelegate, &BookmarkTableDelegate::rowButtonClicked, this,
            [this](const QString &column, int row) {
                if (column == LibraryColumns::add)
                    addToPlaylist(row);
                else
                    shareRow(row);
            });
    // While a cell's field is open no page preview shows, the rows stay where they are and work done
    // elsewhere waits to land: a search or a sort shows, and a slot read, a merge, a metadata change or
    // an import lands, once the field has closed, so that the field keeps its row, its text and every
    // key typed into it.
    connect(m_ui.tableDelegate, &BookmarkTableDelegate::editingBegan, this, [this] {
        m_preview->setSuspended(true);
        m_shownRows.holdOrder();
        if (!std::exchange(m_fieldHoldsLandings, true))
            m_session.landings().fieldOpened();
    });
    connect(m_ui.tableDelegate, &BookmarkTableDelegate::editingEnded, this, [this] {
        m_preview->setSuspended(false);
        fieldClosed();
    });
    // Once the view has let go of the field it closed.
    connect(m_ui.tableDelegate, &QAbstractItemDelegate::closeEditor, this,
            &LibraryTableController::fieldClosed, Qt::QueuedConnection);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &LibraryTableController::showRowContextMenu);
    setupPreviewHover();
}

LibraryTableController::~LibraryTableController()
{
    // The table's viewport still sends events while the window's children are torn down; the preview
    // must not pass them on to a table that is already half gone.
    delete std::exchange(m_preview, nullptr);
}

void LibraryTableController::setupPreviewHover()
{
    m_hoverOverlay = m_ui.tableView->hoverOverlay();
    hoverLog(QStringLiteral("overlay added to tableView frame=") +
             HoverLog::formatRect(m_hoverOverlay->geometry()));
    m_preview = new TablePagePreview(
        m_ui.tableView, [this](int row) -> const SongRecord * { return m_shownRows.displayedBookmark(row); },
        this);
    connect(m_preview, &TablePagePreview::hoveredRowChanged, m_hoverOverlay,
            &BookmarkHoverOverlay::setHoveredRow);
    connect(m_preview, &TablePagePreview::previewRowChanged, m_hoverOverlay, [this](int row) {
        if (m_hoverOverlay->previewHighlightRow() == row)
            return;
        m_hoverOverlay->setPreviewHighlightRow(row);
        m_hoverOverlay->repaint();
    });
    // The row clicks, Space on a row button's cell, and Return as a click.
    m_ui.tableView->viewport()->installEventFilter(this);
    m_ui.tableView->installEventFilter(this);
    RowReturnKey::install(m_ui.tableView, [this](const QModelIndex &current) {
        startRowAction(current.row(), BookmarkTableModel::columnIdentifier(current.column()));
    });
    ListFocus::install(m_ui.tableView);
}

void LibraryTableController::setStatus(const QString &text)
{
    m_ui.statusField->setStatus(text);
}

QWidget *LibraryTableController::alertParent() const
{
    QWidget *window = m_ui.tableView->window();
    return window->isVisible() ? window : nullptr;
}

bool LibraryTableController::eventFilter(QObject *watched, QEvent *event)
{
    // Only presses on the rows themselves: an open cell field or another control takes its own.
    if (watched == m_ui.tableView->viewport() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        handleClick(static_cast<QMouseEvent *>(event));
    // Space presses the button of the current cell, as a click on it does.
    if (watched == m_ui.tableView && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QModelIndex current = m_ui.tableView->currentIndex();
        const QString column = BookmarkTableModel::columnIdentifier(current.column());
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && current.isValid() &&
            (column == LibraryColumns::add || column == LibraryColumns::share)) {
            if (column == LibraryColumns::add)
                addToPlaylist(current.row());
            else
                shareRow(current.row());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- The rows and their selection

void LibraryTableController::reload(SelectionAfterReload selection)
{
    if (selection == SelectionAfterReload::keepSongs) {
        // The keys were taken when the rows were selected: the rows themselves may be gone already.
        // The same rows shown again keep an open cell field (a cell edit just applied, say).
        const QSet<QString> keys = m_selectedKeys;
        m_model->refresh();
        selectRowsWithIdentityKeys(keys);
    } else {
        m_model->reload();
    }
    selectionChanged();
}

void LibraryTableController::selectionChanged()
{
    m_selectedKeys.clear();
    for (int row : selectedDisplayRows()) {
        if (const BookmarkEntry *entry = m_shownRows.displayedBookmark(row))
            m_selectedKeys.insert(entry->id());
    }
    syncSelectedRowsButtonsEnabled();
    m_ui.tableView->viewport()->update();
}

QList<int> LibraryTableController::selectedDisplayRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_ui.tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LibraryTableController::selectRowsWithIdentityKeys(const QSet<QString> &keys)
{
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    const int rows = m_shownRows.displayedRowCount();
    int runStart = -1;
    // Consecutive rows go in as one range: a selection of thousands of rows stays cheap.
    for (int row = 0; row <= rows; ++row) {
        const bool selected = row < rows && keys.contains(m_shownRows.displayedBookmark(row)->id());
        if (selected && runStart < 0)
            runStart = row;
        if (!selected && runStart >= 0) {
            selection.select(m_model->index(runStart, 0), m_model->index(row - 1, lastColumn));
            runStart = -1;
        }
    }
    m_ui.tableView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void LibraryTableController::syncSelectedRowsButtonsEnabled()
{
    const qsizetype count = m_shownRows.uniqueAllBookmarksIndices(selectedDisplayRows()).size();
    const bool active = count > 0 && m_session.currentSlotId() != 0;
    // With a count the titles are English in every language; without one they are the translated keys.
    using LyrafoldLanguageService::localized;
    const QString tagTitle =
        count > 0 ? QStringLiteral("Tag %1 selected").arg(count) : localized(QStringLiteral("Tag selected"));
    const QString deleteTitle = count > 0 ? QStringLiteral("Delete %1 selected").arg(count)
                                          : localized(QStringLiteral("Delete selected"));
    MainWindowView::configureSelectionActionButton(m_ui.tagSelectedButton, tagTitle, Qt::white, active);
    MainWindowView::configureSelectionActionButton(m_ui.deleteSelectedButton, deleteTitle, Qt::white, active);
}

void LibraryTableController::retranslate()
{
    m_model->retranslateHeaders();
    m_ui.tableView->horizontalHeader()->setAccessibleName(
        LyrafoldLanguageService::localized(QStringLiteral("Sort by column")));
    syncSelectedRowsButtonsEnabled();
    if (m_isColumnEditModeEnabled)
        showEditingColumn(m_editingColumn);
    else
        m_ui.editModeButton->setText(LyrafoldLanguageService::localized(QStringLiteral("Edit")));
}

void LibraryTableController::showEditingColumn(const QString &column)
{
    // English in every language, the column's English name too, like the edit mode's status texts.
    m_editingColumn = column;
    m_ui.editModeButton->setText(QStringLiteral("Editing: %1").arg(column));
}

// ---- The header: sorting and the column edit mode

void LibraryTableController::headerClicked(const QString &column)
{
    if (column == LibraryColumns::add || column == LibraryColumns::share)
        return;
    // A large list is sorted on a worker: its rows arrive through filteredBookmarksChanged; the
    // header shows the order they will stand in meanwhile. The selected songs stay selected.
    if (m_shownRows.sortFilteredByColumn(column)) {
        showSortOrder();
        if (!m_shownRows.sortPending())
            reload(SelectionAfterReload::keepSongs);
    }
    if (!m_isColumnEditModeEnabled || !isEditableColumn(column))
        return;
    showEditingColumn(column);
    setStatus(QStringLiteral("Edit mode column: %1").arg(column));
    reload(SelectionAfterReload::keepSongs);
}

void LibraryTableController::showSortOrder()
{
    QHeaderView *header = m_ui.tableView->horizontalHeader();
    const int section = m_shownRows.sortShown() && m_shownRows.sortColumn()
                            ? BookmarkTableModel::columnOf(*m_shownRows.sortColumn())
                            : -1;
    header->setSortIndicatorShown(section >= 0);
    if (section >= 0)
        header->setSortIndicator(section,
                                 m_shownRows.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void LibraryTableController::toggleColumnEditMode()
{
    m_isColumnEditModeEnabled = !m_isColumnEditModeEnabled;
    if (m_isColumnEditModeEnabled) {
        showEditingColumn(LibraryColumns::title);
        setStatus(QStringLiteral("Edit mode ON. Click a column header to choose editable column."));
    } else {
        m_ui.editModeButton->setText(LyrafoldLanguageService::localized(QStringLiteral("Edit")));
        setStatus(QStringLiteral("Edit mode OFF"));
    }
    reload(SelectionAfterReload::keepSongs);
}

bool LibraryTableController::focusFirstRow()
{
    if (!m_shownRows.displayedBookmark(0))
        return false;
    m_ui.tableView->setFocus(Qt::OtherFocusReason);
    m_ui.tableView->selectionModel()->setCurrentIndex(
        m_model->index(0, BookmarkTableModel::columnOf(LibraryColumns::title)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

void LibraryTableController::setAddToPlaylistMode(bool on)
{
    m_addsToPlaylist = on;
}

// ---- Row clicks

void LibraryTableController::handleClick(QMouseEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier))
        return;
    const QPoint local = event->position().toPoint();
    const QModelIndex index = m_ui.tableView->indexAt(local);
    const int row = index.isValid() ? index.row() : -1;
    const QString column = BookmarkTableModel::columnIdentifier(index.column());
    const bool editableCell =
        m_isColumnEditModeEnabled && m_session.currentSlotId() != 0 && isEditableColumn(column);
    // The cell is about to open for editing. Previews are kept away only once the editor exists, so a
    // click that opens none does not lose them.
    if (editableCell && m_shownRows.displayedBookmark(row))
        m_preview->dismiss();
    // The row's drawn Add and Share buttons take their own clicks.
    if (index.isValid() &&
        BookmarkTableDelegate::rowButtonRect(column, m_ui.tableView->visualRect(index)).contains(local))
        return;
    startRowAction(row, column);
}

void LibraryTableController::startRowAction(int row, const QString &column)
{
    const BookmarkEntry *entry = m_shownRows.displayedBookmark(row);
    if (!entry)
        return;
    m_ui.tableView->triggerPressPulse(row, m_clickActionDelayMilliseconds / 1000.0);
    // A timer of its own, named while it waits, so that what is still to come can be seen.
    auto *action = new QTimer(this);
    action->setObjectName(QStringLiteral("rowActionTimer"));
    action->setSingleShot(true);
    connect(action, &QTimer::timeout, this, [this, action, bookmark = *entry, row, column] {
        action->setObjectName(QString());
        action->deleteLater();
        performClickAction(bookmark, row, column);
    });
    action->start(m_clickActionDelayMilliseconds);
}

void LibraryTableController::performClickAction(const BookmarkEntry &entry, int row, const QString &column)
{
    // The rows may have moved since the click (a search pass landing): the song is selected where it is
    // now, or not at all.
    selectRowsWithIdentityKeys({entry.id()});
    if (m_addsToPlaylist) {
        Q_EMIT addToPlaylistClicked(entry);
        return;
    }
    if (m_isColumnEditModeEnabled) {
        const BookmarkEntry *shown = m_shownRows.displayedBookmark(row);
        if (m_session.currentSlotId() == 0 || !isEditableColumn(column) || !shown ||
            shown->id() != entry.id())
            return;
        showEditingColumn(column);
        m_ui.tableView->setFocus();
        m_ui.tableView->edit(m_model->index(row, BookmarkTableModel::columnOf(column)));
        return;
    }
    if (!openedJustNow(entry.id(), QApplication::doubleClickInterval()))
        m_context.libraryFlows().openSong(*m_ui.statusField, entry);
}

void LibraryTableController::openFromDoubleClick()
{
    if (m_addsToPlaylist || m_isColumnEditModeEnabled)
        return;
    const BookmarkEntry *entry = m_shownRows.displayedBookmark(m_ui.tableView->currentIndex().row());
    // The first click of the pair has opened the song already (or is about to): one double click,
    // one opening.
    if (entry &&
        !openedJustNow(entry->id(), QApplication::doubleClickInterval() + m_clickActionDelayMilliseconds))
        m_context.libraryFlows().openSong(*m_ui.statusField, *entry);
}

bool LibraryTableController::openedJustNow(const QString &key, qint64 window)
{
    if (key == m_lastClickOpenKey && m_lastClickOpen.isValid() && m_lastClickOpen.elapsed() < window)
        return true;
    m_lastClickOpenKey = key;
    m_lastClickOpen.start();
    return false;
}

// ---- The row's menu and buttons

void LibraryTableController::showRowContextMenu(const QPoint &viewportPosition)
{
    const int row = m_ui.tableView->rowAt(viewportPosition.y());
    if (!m_shownRows.displayedBookmark(row))
        return;
    QMenu menu(m_ui.tableView->window());
    connect(menu.addAction(LyrafoldLanguageService::localized(QStringLiteral("Open PDF"))),
            &QAction::triggered, this, [this, row] {
                if (const BookmarkEntry *entry = m_shownRows.displayedBookmark(row))
                    m_context.libraryFlows().openSong(*m_ui.statusField, *entry);
            });
    connect(menu.addAction(LyrafoldLanguageService::localized(QStringLiteral("Auto-tag this row"))),
            &QAction::triggered, this, [this, row] { tagRow(row); });
    connect(menu.addAction(LyrafoldLanguageService::localized(QStringLiteral("Tag selected"))),
            &QAction::triggered, this, &LibraryTableController::tagSelectedRows);
    menu.exec(m_ui.tableView->viewport()->mapToGlobal(viewportPosition));
}

void LibraryTableController::tagRow(int row)
{
    const BookmarkEntry *entry = m_shownRows.displayedBookmark(row);
    if (!entry)
        return;
    if (const std::optional<qsizetype> position = m_session.allBookmarksIndex(*entry))
        m_autoTag.startRun({*position}, std::nullopt);
}

void LibraryTableController::tagSelectedRows()
{
    m_autoTag.tagTitles(m_shownRows.uniqueAllBookmarksIndices(selectedDisplayRows()));
}

void LibraryTableController::addToPlaylist(int row)
{
    const BookmarkEntry *entry = m_shownRows.displayedBookmark(row);
    if (!entry)
        return;
    using Kind = AddToPlaylistDialogs::Result::Kind;
    // A copy: the dialogs run an event loop in which the rows may change.
    const AddToPlaylistDialogs::Result result =
        AddToPlaylistDialogs::addToPlaylist(alertParent(), m_context.playlists(), BookmarkEntry(*entry));
    switch (result.kind) {
    case Kind::added:
        setStatus(QStringLiteral("Added to playlist: %1").arg(result.playlistName));
        break;
    case Kind::alreadyThere:
        setStatus(QStringLiteral("Already in playlist: %1").arg(result.playlistName));
        break;
    case Kind::created:
        setStatus(QStringLiteral("Created playlist \"%1\" and added bookmark.").arg(result.playlistName));
        break;
    case Kind::cancelled:
    case Kind::nameTaken:
        break;
    }
}

void LibraryTableController::shareRow(int row)
{
    const BookmarkEntry *entry = m_shownRows.displayedBookmark(row);
    if (!entry)
        return;
    // The row's button is drawn, not a widget: the popup points at a stand-in over its cell.
    if (!m_rowShareAnchor) {
        m_rowShareAnchor = new QWidget(m_ui.tableView->viewport());
        m_rowShareAnchor->setObjectName(QStringLiteral("rowShareAnchor"));
        m_rowShareAnchor->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_rowShareAnchor->setGeometry(
        m_ui.tableView->visualRect(m_model->index(row, BookmarkTableModel::columnOf(LibraryColumns::share))));
    m_rowShareAnchor->show();
    TitleShareFlow::start(m_ui.tableView->window(), m_rowShareAnchor, BookmarkEntry(*entry), std::nullopt);
}

// ---- Deleting the selected rows

void LibraryTableController::deleteSelectedRows()
{
    if (m_planningDeletion)
        return;
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("delete bookmarks")))
        return;
    // The rows shown and selected, counted once per song; none that the search hides.
    const QList<qsizetype> positions = m_shownRows.uniqueDisplayedPositions(selectedDisplayRows());
    const qsizetype count = positions.size();
    if (count == 0) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("No rows selected"),
                           QStringLiteral("Select one or more rows, then click Delete selected."));
        return;
    }
    // The other slots' files, which tell whether an imported file is still in use, are read on a worker;
    // with five large slots that takes a second or two, which the status line accounts for. A cancelled
    // deletion puts back what the line said before.
    m_planningDeletion = true;
    const QString statusBefore = m_ui.statusField->showsReady() ? QString() : m_ui.statusField->text();
    setStatus(QStringLiteral("Checking which imported files other slots still use…"));
    RowDeletion::planInBackground(
        m_session, positions, this, [this, positions, count, statusBefore](const DeletionPlan &plan) {
            m_planningDeletion = false;
            setStatus(QString());
            using LyrafoldLanguageService::localized;
            const QString changedMeanwhile =
                QStringLiteral("The library changed before the deletion; nothing was deleted.");
            if (plan.libraryVersion != m_session.libraryVersion()) {
                setStatus(changedMeanwhile);
                return;
            }
            QString details = QStringLiteral("This removes the selected row(s) from the current slot.") +
                              QStringLiteral("\n\n") + titlesOf(m_session.allBookmarks(), positions);
            if (!plan.filesToRemove.isEmpty()) {
                QStringList names;
                for (const QString &file : plan.filesToRemove)
                    names.append(QFileInfo(file).fileName());
                details += QStringLiteral("\n\n") +
                           QStringLiteral("No other bookmark or playlist uses these imported files; they "
                                          "will be moved to the trash:") +
                           QLatin1Char('\n') + names.join(QLatin1Char('\n'));
            }
            const QString question = count == 1 ? QStringLiteral("Delete selected bookmark?")
                                                : QStringLiteral("Delete %1 selected bookmarks?").arg(count);
            if (LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, question, details,
                                   {QStringLiteral("Delete"), QStringLiteral("Cancel")}) != 0) {
                if (statusBefore.isEmpty())
                    m_ui.statusField->showReady();
                else
                    setStatus(statusBefore);
                return;
            }
            const std::optional<DeletionResult> result = m_session.deleteBookmarks(plan);
            if (!result) {
                setStatus(changedMeanwhile);
                return;
            }
            reload(SelectionAfterReload::clear);
            Q_EMIT rowsDeleted();
            QString status = QStringLiteral("Deleted %1 selected bookmark(s).").arg(count);
            for (const QString &file : result->notTrashed)
                status += QLatin1Char(' ') +
                          QStringLiteral("Could not move %1 to the trash.").arg(QFileInfo(file).fileName());
            setStatus(status);
        });
}

// ---- Metadata editing

void LibraryTableController::editSelectedMetadata()
{
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("edit metadata")))
        return;
    const BookmarkEntry *shown = m_shownRows.displayedBookmark(selectedDisplayRows().value(0, -1));
    if (!shown) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("Select a bookmark first."));
        return;
    }
    const BookmarkEntry entry = *shown;
    MetadataEditDialog dialog(entry, m_ui.tableView->window());
    // The dialog holds text typed for a song as a cell's field does: work done elsewhere that would
    // change the rows (a switch, a slot read again, a merge) waits until its values are given to its
    // song, in the library it was opened on, or it is cancelled. Should the rows change all the same
    // (the application quits), it gives them first, and closes.
    LandingGate &landings = m_session.landings();
    landings.fieldOpened();
    const auto landWhenClosed = qScopeGuard([&landings] { landings.fieldClosed(); });
    std::optional<Result<MetadataValues>> givenAtLanding;
    const auto giveAndClose = [&] {
        if (givenAtLanding || !dialog.isVisible())
            return;
        givenAtLanding = dialog.values();
        if (*givenAtLanding)
            applyMetadataDialogValues(entry, givenAtLanding->value());
        dialog.done(QDialog::Accepted);
    };
    connect(&m_session, &LibrarySession::rowsAboutToChange, &dialog, giveAndClose);
    connect(&NotificationBus::instance(), &NotificationBus::quitting, &dialog, giveAndClose);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Result<MetadataValues> values = givenAtLanding.value_or(dialog.values());
    if (givenAtLanding && values)
        return;
    if (!values) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, values.error().message,
                           QStringLiteral("Nothing was changed."));
        return;
    }
    applyMetadataDialogValues(entry, values.value());
}

void LibraryTableController::applyMetadataDialogValues(const BookmarkEntry &entry,
                                                       const MetadataValues &values)
{
    const qsizetype count = m_session.applyMetadataValues(entry, values);
    m_ui.tableView->viewport()->update();
    setStatus(QStringLiteral("Metadata updated for %1 matching title(s)").arg(count));
}

void LibraryTableController::cellEditEnded(int row, const QString &column, const QString &text)
{
    // Called from inside the view's commit of the field. The edit changes the library, and a change
    // reloads the table, which would take the field away from under the view that is still closing
    // it: the edit waits for the next turn of the event loop, holding its song rather than its row.
    const BookmarkEntry *shown = m_shownRows.displayedBookmark(row);
    if (!shown)
        return;
    m_endedCellEdits.append({*shown, column, text});
    QMetaObject::invokeMethod(this, &LibraryTableController::applyCellEdits, Qt::QueuedConnection);
}

void LibraryTableController::commitOpenCellEdit()
{
    // As the field's own delegate ends an edit when the field loses the focus; the view has let go of
    // the field once both have been told.
    if (QWidget *field = m_ui.tableDelegate->openField()) {
        Q_EMIT m_ui.tableDelegate->commitData(field);
        Q_EMIT m_ui.tableDelegate->closeEditor(field, QAbstractItemDelegate::NoHint);
    }
    fieldClosed();
}

void LibraryTableController::fieldClosed()
{
    // Another cell's field may have opened since (Tab goes on to the next one).
    if (m_ui.tableDelegate->openField())
        return;
    // What was typed is an edit of its song before the rows show in their new order or work lands.
    applyCellEdits();
    if (m_shownRows.orderHeld())
        m_shownRows.releaseOrder();
    if (std::exchange(m_fieldHoldsLandings, false))
        m_session.landings().fieldClosed();
}

void LibraryTableController::applyCellEdits()
{
    for (const CellEdit &edit : std::exchange(m_endedCellEdits, {}))
        applyCellEdit(edit.entry, edit.column, edit.text);
}

void LibraryTableController::applyCellEdit(const BookmarkEntry &entry, const QString &column,
                                           const QString &text)
{
    // Every way out clears the flag, so the previews come back whatever became of the edit.
    const auto done = qScopeGuard([this] { m_preview->setSuspended(false); });
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(*m_ui.statusField,
                                                            QStringLiteral("edit bookmarks")) ||
        column.isEmpty())
        return;
    if (BookmarkMetadata::isMetadataColumn(column))
        Q_EMIT metadataCellEdited();
    const std::optional<BookmarkMetadataField> field = BookmarkMetadata::fieldForColumn(column);
    if (!field)
        return;
    const Result<qsizetype> changed = m_session.setMetadataField(*field, TextUtils::trimmed(text), entry);
    if (!changed) {
        // The cell shows the stored value again once its field closes.
        setStatus(changed.error().message);
        return;
    }
    m_ui.tableView->viewport()->update();
    setStatus(
        QStringLiteral("Updated %1 for %2 matching title(s).").arg(column, QString::number(changed.value())));
}
