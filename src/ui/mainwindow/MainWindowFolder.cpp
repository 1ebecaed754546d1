// The main window's folder of books: a folder typed into the folder path field, and the built-in
// bookmark list loaded for a folder into the Default slot.

#include "ui/mainwindow/MainWindowController.h"

#include "core/books/DefaultBookmarks.h"
#include "core/common/Hop.h"
#include "core/text/TextUtils.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusLine.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

QWidget *MainWindowController::alertParent()
{
    return isVisible() ? this : nullptr;
}

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
    setStatus(QStringLiteral("Folder: %1").arg(path));
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
        m_session.landings().landing(this, [this, folder](Result<BookmarkList> loaded) {
            if (!loaded) {
                const QPointer<MainWindowController> self(this);
                LyrafoldAlert::runUnasked(alertParent(), LyrafoldAlert::Style::warning,
                                          QStringLiteral("Failed to load default bookmarks"),
                                          loaded.error().message);
                if (self)
                    setStatus(QStringLiteral("Failed to load defaults"));
                return;
            }
            applyDefaultBookmarks(std::move(loaded).value(), folder);
        }));
}

void MainWindowController::applyDefaultBookmarks(BookmarkList rows, const QString &folder)
{
    const qsizetype count = rows.size();
    // Shown as every new library is (showReplacedLibrary()): the tiles, the folder, the rows.
    m_session.adoptDefaultBookmarks(std::move(rows), folder);
    // A search kept across an extraction's own replacement is not kept across this one.
    if (m_ui.searchField)
        m_ui.searchField->clear();
    if (m_ui.folderPathField && folder.isEmpty())
        m_ui.folderPathField->setText(QStringLiteral("Default bookmarks loaded"));
    if (m_ui.customModeToggle) {
        m_ui.customModeToggle->setChecked(false);
        applyCustomToggleChrome();
    }
    setStatus(QStringLiteral("Loaded %1 default bookmarks").arg(count));
}
