// The search row of the main window: the search field and the web searches for the first result.

#include "ui/mainwindow/MainWindowController.h"

#include "core/text/TextUtils.h"
#include "ui/common/StudyModeService.h"

#include <QDesktopServices>
#include <QLineEdit>
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
