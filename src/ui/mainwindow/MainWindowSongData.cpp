// What the main window does with song metadata: the folder typed into the folder path field, and the
// rows it hands the auto-tag flow.

#include "ui/mainwindow/MainWindowController.h"

#include "core/text/TextUtils.h"
#include "ui/common/StatusLine.h"
#include "ui/metadata/AutoTagFlow.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

void MainWindowController::applyFolderPathFromField()
{
    if (!m_ui.folderPathField)
        return;
    m_ui.folderPathField->setModified(false);
    const QString path = TextUtils::trimmed(m_ui.folderPathField->text());
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isDir()) {
        setStatus(QStringLiteral("That path is not a folder."));
        return;
    }
    m_session.setSelectedFolder(path);
    m_ui.folderPathField->setText(path);
    if (m_ui.extractButton)
        m_ui.extractButton->setEnabled(true);
    if (m_ui.customModeToggle)
        m_ui.customModeToggle->setChecked(true);
    applyCustomToggleChrome();
    setStatus(QStringLiteral("Folder: ") + path);
}

// ---- Auto-tag runs

void MainWindowController::runAutoTagSelected()
{
    m_autoTag->tagTitles(m_session.uniqueAllBookmarksIndices(selectedDisplayRows()));
}

void MainWindowController::contextTagThisRow(int row)
{
    const BookmarkEntry *entry = m_session.displayedBookmark(row);
    if (!entry)
        return;
    if (const std::optional<qsizetype> position = m_session.allBookmarksIndex(*entry))
        m_autoTag->startRun({*position}, std::nullopt);
}
