#include "ui/metadata/AutoTagFlow.h"

#include "core/metadata/AutoTagRun.h"
#include "core/session/LibrarySession.h"
#include "core/slots/LibrarySlots.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusSink.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/metadata/AutoTagSheet.h"
#include "ui/metadata/ImportSongDataModalRunner.h"

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

AutoTagFlow::AutoTagFlow(AppContext &context, StatusSink &sink, QWidget *window)
    : QObject(window), m_context(context), m_sink(sink), m_window(window)
{
}

AutoTagFlow::~AutoTagFlow()
{
    delete m_run;
}

bool AutoTagFlow::ensureEditable()
{
    return m_context.libraryFlows().ensureCurrentSlotEditable(m_sink, QStringLiteral("auto-tag bookmarks"));
}

bool AutoTagFlow::refuseSecondRun()
{
    if (!m_run || !m_run->isRunning())
        return false;
    m_sink.showStatus(QStringLiteral("An auto-tag run is already in progress."));
    return true;
}

void AutoTagFlow::importSongData()
{
    if (refuseSecondRun())
        return;
    if (m_context.library().allBookmarks().isEmpty()) {
        LyrafoldAlert::run(m_sink.alertParent(), LyrafoldAlert::Style::informational,
                           QStringLiteral("No bookmarks loaded"),
                           QStringLiteral("Extract bookmarks or load defaults first."));
        return;
    }
    ImportSongDataModalRunner runner(m_window);
    if (const std::optional<SongDataImportOptions> options = runner.run())
        startRun(everyPosition(m_context.library().allBookmarks().size()), options);
}

void AutoTagFlow::tagTitles(const QList<qsizetype> &positions)
{
    if (refuseSecondRun() || !ensureEditable())
        return;
    if (positions.isEmpty()) {
        LyrafoldAlert::run(
            m_sink.alertParent(), LyrafoldAlert::Style::informational, QStringLiteral("No rows selected"),
            QStringLiteral("Select one or more bookmarks in the table (Ctrl-click or Shift-click), "
                           "then click Tag selected. You can also right-click a row and choose "
                           "Auto-tag this row."));
        return;
    }
    ImportSongDataModalRunner runner(m_window);
    if (const std::optional<SongDataImportOptions> options = runner.run())
        startRun(positions, options);
}

void AutoTagFlow::tagAll()
{
    if (refuseSecondRun() || !ensureEditable())
        return;
    if (m_context.library().allBookmarks().isEmpty()) {
        m_sink.showStatus(QStringLiteral("No bookmarks to tag."));
        return;
    }
    const int answer = LyrafoldAlert::run(
        m_sink.alertParent(), LyrafoldAlert::Style::informational, QStringLiteral("Auto-tag all bookmarks?"),
        QStringLiteral(
            "Fills from bundled default_metadata.json, then MusicBrainz (Spotify/YouTube/year), then "
            "Discogs if you set a token. This can take several minutes (MusicBrainz rate limit ~1 "
            "req/s). Progress appears in a sheet; you can cancel anytime."),
        {QStringLiteral("Start"), QStringLiteral("Cancel")});
    if (answer != 0)
        return;
    startRun(everyPosition(m_context.library().allBookmarks().size()), std::nullopt);
}

void AutoTagFlow::startRun(const QList<qsizetype> &candidates,
                           const std::optional<SongDataImportOptions> &options)
{
    if (refuseSecondRun())
        return;
    auto *run =
        new AutoTagRun(m_context.library(), candidates, options, AutoTagRun::enrichmentService(), this);
    m_run = run;
    connect(run, &AutoTagRun::started, this, [this, run](qsizetype total) {
        m_sheet = new AutoTagSheet(total, m_window);
        connect(m_sheet, &AutoTagSheet::cancelRequested, run, &AutoTagRun::cancel);
        m_sheet->open();
    });
    connect(run, &AutoTagRun::titleTagged, this,
            [this](qsizetype done, qsizetype total, const QString &title, bool reloadPoint) {
                if (m_sheet)
                    m_sheet->showProgress(done, total, title);
                if (reloadPoint)
                    Q_EMIT this->reloadPoint();
            });
    connect(run, &AutoTagRun::finished, this, [this, run](AutoTagRun::Ending ending) {
        if (m_sheet) {
            m_sheet->done(QDialog::Accepted);
            m_sheet->deleteLater();
        }
        run->deleteLater();
        switch (ending) {
        case AutoTagRun::Ending::finished:
        case AutoTagRun::Ending::cancelled:
            m_sink.showStatus(run->endText(ending));
            break;
        case AutoTagRun::Ending::slotChanged: {
            // Told while the slot is about to change: the line is written after the switch has written its
            // own.
            const QString text = QStringLiteral("Auto-tag stopped because the slot changed: %1 of %2 "
                                                "titles were tagged and saved in %3.")
                                     .arg(run->tagged())
                                     .arg(run->total())
                                     .arg(LibrarySlots::slotTileNames().value(run->slot()));
            QTimer::singleShot(0, this, [this, text] { m_sink.showStatus(text); });
            break;
        }
        }
    });
    run->start();
}
