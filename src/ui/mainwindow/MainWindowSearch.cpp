// The search row of the main window: the search field and the web searches for the first result.

#include "ui/mainwindow/MainWindowController.h"

#include "core/text/TextUtils.h"
#include "core/text/WebSearch.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

bool MainWindowController::eventFilter(QObject *watched, QEvent *event)
{
    // The rows as shown now: a search still waiting for a pause in typing lands on them later, keeping
    // the selected song selected.
    if (watched == m_ui.searchField && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Down && !(key->modifiers() & ~Qt::KeypadModifier) && m_table &&
            m_table->focusFirstRow())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindowController::searchChanged()
{
    const QString text = m_ui.searchField ? TextUtils::trimmed(m_ui.searchField->text()) : QString();
    if (text.isEmpty()) {
        m_searchDebounceTimer->stop();
        updateFilteredList(text);
    } else {
        m_searchDebounceTimer->start();
    }
}

void MainWindowController::updateFilteredList(const QString &text)
{
    // Each pass lands through filteredBookmarksChanged, which reloads the table.
    m_shownRows.updateFilteredList(text);
}

void MainWindowController::openWebSearchForFirstRow(bool youtube)
{
    // The first row as the table shows it now, whatever is selected.
    const BookmarkEntry *first = m_shownRows.displayedBookmark(0);
    if (!first)
        return;
    // The title as it is stored, untrimmed.
    const QString query = WebSearch::encodedQuery(first->title);
    if (query.isEmpty())
        return;
    const QUrl address = youtube ? WebSearch::youtubeSearchURL(query) : WebSearch::spotifySearchURL(query);
    if (address.isValid())
        QDesktopServices::openUrl(address);
}
