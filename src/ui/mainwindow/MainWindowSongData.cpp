// What the main window does with song metadata: the library mode and the built-in metadata, the
// folder typed into the folder path field, the bookmark and metadata file imports, and the auto-tag
// runs with their column choice and progress sheet.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/Hop.h"
#include "core/library/BookmarkImport.h"
#include "core/library/MetadataImport.h"
#include "core/library/SlotMetadataJob.h"
#include "core/metadata/AutoTagRun.h"
#include "core/metadata/BundledMetadata.h"
#include "core/text/TextUtils.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/metadata/AutoTagSheet.h"
#include "ui/metadata/ImportSongDataModalRunner.h"

#include <QFileDialog>
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

// The status line after a metadata change made on a worker. appliedText is the line for a change of
// the current slot; a change that went to its own slot after another became current names that slot.
QString jobStatus(const SlotMetadataJob::Outcome &outcome, const QString &appliedText,
                  const QString &slotName)
{
    using Kind = SlotMetadataJob::Outcome::Kind;
    switch (outcome.kind) {
    case Kind::applied:
        return appliedText;
    case Kind::appliedToStored:
        return QStringLiteral("%1 \u2014 %2, the slot it was started in").arg(appliedText, slotName);
    case Kind::slotEmpty:
        return QStringLiteral("%1 holds no bookmarks any more; nothing was changed.").arg(slotName);
    case Kind::writeFailed:
        return QStringLiteral("Could not save %1: %2").arg(slotName, outcome.error);
    }
    return appliedText;
}

} // namespace

// ---- The library mode and the built-in metadata

void MainWindowController::loadDefaultMetadata()
{
    setStatus(QStringLiteral("Loading metadata..."));
    const std::optional<QString> path = TitleMetadataIndex::bundledFilePath();
    if (!path) {
        setStatus(QStringLiteral("Metadata file not found"));
        return;
    }
    applyMetadataToBookmarks(*path);
}

void MainWindowController::applyMetadataToBookmarks(const QString &metadataFile)
{
    // The result belongs to the slot of the press, whichever is current when it is ready.
    const qint64 slot = m_session.currentSlotId();
    Hop::run(
        this, [metadataFile] { return BundledMetadata::loadFile(metadataFile); },
        [this, slot](Result<TitleMetadataIndex::RecordMap> records) {
            if (!records) {
                setStatus(records.error().message);
                return;
            }
            auto *job = new SlotMetadataJob(
                m_session, slot,
                [records = std::move(records).value()](LibraryRows &rows, const TitleKeyIndex &titles) {
                    return BundledMetadata::applyToRows(rows, titles, records,
                                                        BundledMetadata::Rule::overwrite);
                },
                LibrarySession::PlaylistSync::skip, this);
            connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
                applyCustomToggleChrome();
                refreshSearchResultCount();
                setStatus(jobStatus(outcome,
                                    QStringLiteral("Applied metadata to %1 of %2 bookmarks")
                                        .arg(outcome.matched)
                                        .arg(outcome.rowCount),
                                    m_session.slotTileNames().value(outcome.slot)));
            });
            job->start();
        });
}

void MainWindowController::applyBundledMetadataToAll()
{
    if (!ensureCurrentSlotEditable(QStringLiteral("apply metadata")) || m_session.allBookmarks().isEmpty())
        return;
    auto *job = new SlotMetadataJob(
        m_session, m_session.currentSlotId(),
        [](LibraryRows &rows, const TitleKeyIndex &titles) {
            return BundledMetadata::applyToRows(rows, titles, TitleMetadataIndex::records(),
                                                BundledMetadata::Rule::fillEmpty);
        },
        LibrarySession::PlaylistSync::sync, this);
    connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
        setStatus(jobStatus(
            outcome, QStringLiteral("Bundled metadata applied to %1 matching title(s).").arg(outcome.matched),
            m_session.slotTileNames().value(outcome.slot)));
    });
    job->start();
}

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

// ---- Bookmark and metadata files

void MainWindowController::importBookmarksFromJSONPanel()
{
    if (!ensureCurrentSlotEditable(QStringLiteral("import bookmarks")))
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import bookmarks (JSON)"),
                                                      QString(), QStringLiteral("JSON (*.json)"));
    if (!path.isEmpty())
        importBookmarksFromFile(path);
}

void MainWindowController::importBookmarksFromFile(const QString &path)
{
    const qint64 slot = m_session.currentSlotId();
    struct Read {
        LibraryRows rows;
        std::optional<QString> folder;
    };
    Hop::run(
        this,
        [path]() -> std::optional<Read> {
            Result<BookmarkImport::ImportedBookmarks> read = BookmarkImport::readFile(path);
            if (!read)
                return std::nullopt;
            return Read{LibraryRows(read->bookmarks), read->selectedFolder};
        },
        [this, slot](std::optional<Read> read) {
            if (!read) {
                LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning,
                                   BookmarkImport::invalidFileTitle(), BookmarkImport::invalidFileText());
                return;
            }
            // The file replaces the slot it was chosen for, never one switched to while it was read.
            if (m_session.currentSlotId() != slot) {
                setStatus(QStringLiteral("The slot changed while the file was read; nothing was imported."));
                return;
            }
            const qsizetype count = read->rows.size();
            m_session.importBookmarks(std::move(read->rows), read->folder);
            if (m_searchField)
                m_searchField->clear();
            showSelectedFolder();
            if (m_customModeToggle)
                m_customModeToggle->setChecked(true);
            applyCustomToggleChrome();
            reloadTable(SelectionAfterReload::clear);
            refreshSearchResultCount();
            setStatus(QStringLiteral("Imported %1 bookmark(s) from JSON").arg(count));
        });
}

void MainWindowController::importMetadata()
{
    if (!ensureCurrentSlotEditable(QStringLiteral("import metadata")))
        return;
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import metadata file"), QString(),
        QStringLiteral("Metadata files (*.csv *.json);;CSV (*.csv);;JSON (*.json);;All files (*)"));
    if (!path.isEmpty())
        importMetadataFile(path);
}

void MainWindowController::importMetadataFile(const QString &path)
{
    const qint64 slot = m_session.currentSlotId();
    Hop::run(
        this, [path] { return MetadataImport::readFile(path); },
        [this, slot](Result<QList<MetadataRecord>> records) {
            // Unlike a file that matched nothing, a file that was never read is no import of 0 updates.
            if (!records) {
                LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning,
                                   BookmarkImport::invalidFileTitle(), records.error().message);
                return;
            }
            auto *job = new SlotMetadataJob(
                m_session, slot,
                [records = std::move(records).value()](LibraryRows &rows, const TitleKeyIndex &) {
                    BookmarkList list = rows.toList();
                    SlotMetadataJob::Change change;
                    change.matched = MetadataImport::applyRecords(records, list, &change.positions);
                    std::sort(change.positions.begin(), change.positions.end());
                    change.positions.erase(std::unique(change.positions.begin(), change.positions.end()),
                                           change.positions.end());
                    for (const qsizetype position : std::as_const(change.positions))
                        rows.edit(position) = list.at(position);
                    return change;
                },
                LibrarySession::PlaylistSync::sync, this);
            connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
                setStatus(jobStatus(outcome,
                                    QStringLiteral("Imported metadata updates: %1").arg(outcome.matched),
                                    m_session.slotTileNames().value(outcome.slot)));
            });
            job->start();
        });
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
    if (refuseSecondAutoTagRun() || !ensureCurrentSlotEditable(QStringLiteral("auto-tag bookmarks")))
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
    if (refuseSecondAutoTagRun() || !ensureCurrentSlotEditable(QStringLiteral("auto-tag bookmarks")))
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
