// What the main window does with song metadata: the folder typed into the folder path field and the
// auto-tag runs with their column choice and progress sheet.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/Hop.h"
#include "core/metadata/AutoTagRun.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/metadata/AutoTagSheet.h"
#include "ui/metadata/ImportSongDataModalRunner.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <numeric>

namespace {

QList<qsizetype> everyPosition(qsizetype count)
{
    QList<qsizetype> positions(count);
    std::iota(positions.begin(), positions.end(), qsizetype(0));
    return positions;
}

} // namespace

void MainWindowController::applyFolderPathFromField()
{
    if (!m_folderPathField)
        return;
    m_folderPathField->setModified(false);
    const QString path = TextUtils::trimmed(m_folderPathField->text());
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isDir()) {
        setStatus(QStringLiteral("That path is not a folder."));
        return;
    }
    m_session.setSelectedFolder(path);
    m_folderPathField->setText(path);
    if (m_extractButton)
        m_extractButton->setEnabled(true);
    if (m_customModeToggle)
        m_customModeToggle->setChecked(true);
    applyCustomToggleChrome();
    setStatus(QStringLiteral("Folder: ") + path);
}

// ---- Auto-tag runs

bool MainWindowController::refuseSecondAutoTagRun()
{
    if (!m_autoTagRun || !m_autoTagRun->isRunning())
        return false;
    setStatus(QStringLiteral("An auto-tag run is already in progress."));
    return true;
}

void MainWindowController::presentImportSongDataFlow()
{
    if (refuseSecondAutoTagRun())
        return;
    if (m_session.allBookmarks().isEmpty()) {
        LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("No bookmarks loaded"),
                           QStringLiteral("Extract bookmarks or load defaults first."));
        return;
    }
    ImportSongDataModalRunner runner(this);
    if (const std::optional<SongDataImportOptions> options = runner.run())
        startAutoTagRun(everyPosition(m_session.allBookmarks().size()), options);
}

void MainWindowController::runAutoTagSelected()
{
    if (refuseSecondAutoTagRun() || !m_context.libraryFlows().ensureCurrentSlotEditable(
                                        *m_statusField, QStringLiteral("auto-tag bookmarks")))
        return;
    const QList<qsizetype> positions = m_session.uniqueAllBookmarksIndices(selectedDisplayRows());
    if (positions.isEmpty()) {
        LyrafoldAlert::run(
            alertParent(), LyrafoldAlert::Style::informational, QStringLiteral("No rows selected"),
            QStringLiteral("Select one or more bookmarks in the table (Ctrl-click or Shift-click), "
                           "then click Tag selected. You can also right-click a row and choose "
                           "Auto-tag this row."));
        return;
    }
    ImportSongDataModalRunner runner(this);
    if (const std::optional<SongDataImportOptions> options = runner.run())
        startAutoTagRun(positions, options);
}

void MainWindowController::runAutoTagAll()
{
    if (refuseSecondAutoTagRun() || !m_context.libraryFlows().ensureCurrentSlotEditable(
                                        *m_statusField, QStringLiteral("auto-tag bookmarks")))
        return;
    if (m_session.allBookmarks().isEmpty()) {
        setStatus(QStringLiteral("No bookmarks to tag."));
        return;
    }
    const int answer = LyrafoldAlert::run(
        alertParent(), LyrafoldAlert::Style::informational, QStringLiteral("Auto-tag all bookmarks?"),
        QStringLiteral(
            "Fills from bundled default_metadata.json, then MusicBrainz (Spotify/YouTube/year), then "
            "Discogs if you set a token. This can take several minutes (MusicBrainz rate limit ~1 "
            "req/s). Progress appears in a sheet; you can cancel anytime."),
        {QStringLiteral("Start"), QStringLiteral("Cancel")});
    if (answer != 0)
        return;
    startAutoTagRun(everyPosition(m_session.allBookmarks().size()), std::nullopt);
}

void MainWindowController::contextTagThisRow(int row)
{
    const BookmarkEntry *entry = m_session.displayedBookmark(row);
    if (!entry || refuseSecondAutoTagRun())
        return;
    if (const std::optional<qsizetype> position = m_session.allBookmarksIndex(*entry))
        startAutoTagRun({*position}, std::nullopt);
}

void MainWindowController::startAutoTagRun(const QList<qsizetype> &candidates,
                                           const std::optional<SongDataImportOptions> &options)
{
    if (refuseSecondAutoTagRun())
        return;
    auto *run = new AutoTagRun(m_session, candidates, options, AutoTagRun::enrichmentService(), this);
    m_autoTagRun = run;
    connect(run, &AutoTagRun::started, this, [this, run](qsizetype total) {
        m_autoTagSheet = new AutoTagSheet(total, this);
        connect(m_autoTagSheet, &AutoTagSheet::cancelRequested, run, &AutoTagRun::cancel);
        m_autoTagSheet->open();
    });
    connect(run, &AutoTagRun::titleTagged, this,
            [this](qsizetype done, qsizetype total, const QString &title, bool reloadPoint) {
                if (m_autoTagSheet)
                    m_autoTagSheet->showProgress(done, total, title);
                if (reloadPoint)
                    reloadTable(SelectionAfterReload::keepSongs);
            });
    // A failed lookup moves the sheet on too; the end text counts it.
    connect(run, &AutoTagRun::titleFailed, this,
            [this](qsizetype done, qsizetype total, const QString &title, const QString &) {
                if (m_autoTagSheet)
                    m_autoTagSheet->showProgress(done, total, title);
            });
    connect(run, &AutoTagRun::finished, this, [this, run](AutoTagRun::Ending ending) {
        if (m_autoTagSheet) {
            m_autoTagSheet->done(QDialog::Accepted);
            m_autoTagSheet->deleteLater();
        }
        run->deleteLater();
        switch (ending) {
        case AutoTagRun::Ending::finished:
        case AutoTagRun::Ending::cancelled:
        case AutoTagRun::Ending::unreachable:
            setStatus(run->endText(ending));
            break;
        case AutoTagRun::Ending::slotChanged: {
            // Told while the slot is about to change: the line is written after the switch has written its
            // own.
            const QString text = QStringLiteral("Auto-tag stopped because the slot changed: %1 of %2 titles "
                                                "were tagged and saved in %3.")
                                     .arg(run->tagged())
                                     .arg(run->total())
                                     .arg(m_session.slotTileNames().value(run->slot()));
            QTimer::singleShot(0, this, [this, text] { setStatus(text); });
            break;
        }
        }
    });
    run->start();
}
