// The search row of the main window: the search field, the column sort and edit mode, the web
// searches for the first result and the study mode controls.

#include "ui/mainwindow/MainWindowController.h"

#include "core/text/TextUtils.h"
#include "ui/common/StudyModeService.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

void MainWindowController::searchChanged()
{
    const QString text = m_ui.searchField ? TextUtils::trimmed(m_ui.searchField->text()) : QString();
    m_pendingSearchText = text;
    if (text.isEmpty()) {
        m_searchDebounceTimer->stop();
        updateFilteredList(text);
    } else {
        m_searchDebounceTimer->start();
    }
}

void MainWindowController::updateFilteredList(const QString &text)
{
    // The session applies each pass through filteredBookmarksChanged, which reloads the table.
    m_session.updateFilteredList(text);
}

void MainWindowController::sortFilteredByColumn(const QString &column)
{
    if (!m_session.sortFilteredByColumn(column))
        return;
    showSortOrder();
    // A large list is sorted on a worker: its rows arrive through filteredBookmarksChanged; the
    // header shows the order they will stand in meanwhile.
    if (!m_session.sortPending())
        reloadTable(SelectionAfterReload::keepSongs);
}

void MainWindowController::showSortOrder()
{
    if (!m_ui.tableView)
        return;
    QHeaderView *header = m_ui.tableView->horizontalHeader();
    const int section = m_session.sortShown() && m_session.sortColumn()
                            ? BookmarkTableModel::columnOf(*m_session.sortColumn())
                            : -1;
    header->setSortIndicatorShown(section >= 0);
    if (section >= 0)
        header->setSortIndicator(section,
                                 m_session.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void MainWindowController::toggleColumnEditMode()
{
    m_isColumnEditModeEnabled = !m_isColumnEditModeEnabled;
    if (m_isColumnEditModeEnabled) {
        if (m_ui.editModeButton)
            m_ui.editModeButton->setText(QStringLiteral("Editing: Bookmark Title"));
        setStatus(QStringLiteral("Edit mode ON. Click a column header to choose editable column."));
    } else {
        if (m_ui.editModeButton)
            m_ui.editModeButton->setText(LyrafoldLanguageService::localized(QStringLiteral("Edit")));
        setStatus(QStringLiteral("Edit mode OFF"));
    }
    reloadTable(SelectionAfterReload::keepSongs);
}

void MainWindowController::openWebSearchForFirstRow(bool youtube)
{
    // The first row as the table shows it now, whatever is selected.
    const BookmarkEntry *first = m_session.displayedBookmark(0);
    if (!first)
        return;
    const auto address = StudyModeService::url(first->title, youtube ? StudyModeProvider::youtube
                                                                     : StudyModeProvider::spotify);
    if (address)
        QDesktopServices::openUrl(*address);
}
