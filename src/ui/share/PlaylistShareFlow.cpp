#include "ui/share/PlaylistShareFlow.h"

#include "ui/common/ExportProgressDialog.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/share/ExportFolderSave.h"
#include "ui/share/PlaylistShareOptionsDialog.h"
#include "ui/share/SharePopover.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <functional>

namespace {

using Kind = PlaylistShareFlow::Kind;
using Format = PlaylistExportFormat;

QString stepText(Format format)
{
    switch (format) {
    case Format::pdf:
        return QStringLiteral("Building the PDF");
    case Format::jpeg:
        return QStringLiteral("Making the page images");
    case Format::txt:
        return QStringLiteral("Writing the text list");
    case Format::html:
        return QStringLiteral("Writing the HTML list");
    case Format::lyf:
        break;
    }
    return QStringLiteral("Writing the playlist file");
}

// Tells how a save into a folder went. A cancelled panel tells nothing; a save that failed for any
// export is a warning naming each with its reason.
void reportSave(QWidget *window, const ExportFolderSave::Report &report, Kind kind,
                const std::function<void(const QString &)> &status)
{
    if (report.folder.isEmpty())
        return;
    const QString saved = QStringLiteral("Saved: %1").arg(report.saved.join(QStringLiteral(", ")));
    if (!report.failed.isEmpty()) {
        const QString notSaved = QStringLiteral("Not saved:\n%1").arg(report.failed.join(QLatin1Char('\n')));
        if (report.saved.isEmpty())
            LyrafoldAlert::run(window, LyrafoldAlert::Style::warning,
                               QStringLiteral("The exports could not be saved"), notSaved);
        else
            LyrafoldAlert::run(window, LyrafoldAlert::Style::warning,
                               QStringLiteral("Some exports could not be saved"),
                               saved + QStringLiteral("\n\n") + notSaved);
    } else if (kind == Kind::playlist && !(report.cancelled && report.saved.isEmpty())) {
        LyrafoldAlert::run(
            window, LyrafoldAlert::Style::informational, QStringLiteral("Share complete"),
            report.saved.isEmpty()
                ? QStringLiteral("No files were saved.")
                : QStringLiteral("Shared to %1\n\n%2").arg(QDir::toNativeSeparators(report.folder), saved));
    }
    if (kind == Kind::autoPlaylist && !report.saved.isEmpty() && status)
        status(QStringLiteral("Saved exports to local folder."));
}

} // namespace

PlaylistShareFlow::PlaylistShareFlow(QWidget *window, QWidget *anchor, const QString &playlistName, Kind kind)
    : ShareFlow(window, anchor, QStringLiteral("playlistShareFlow")), m_name(playlistName), m_kind(kind)
{
}

PlaylistShareFlow *PlaylistShareFlow::start(QWidget *window, QWidget *anchor,
                                            const QList<PlaylistItem> &items, const QString &playlistName,
                                            Kind kind)
{
    if (!window || isBuilding(window))
        return nullptr;
    const std::optional<PlaylistShareOptions> options = PlaylistShareOptionsDialog::run(window);
    if (!options)
        return nullptr;
    return run(window, anchor, items, playlistName, *options, kind);
}

PlaylistShareFlow *PlaylistShareFlow::run(QWidget *window, QWidget *anchor, const QList<PlaylistItem> &items,
                                          const QString &playlistName, const PlaylistShareOptions &options,
                                          Kind kind, PlaylistExportBuilders builders)
{
    if (!window || isBuilding(window))
        return nullptr;
    auto *flow = new PlaylistShareFlow(window, anchor, playlistName, kind);
    flow->build(items, options, std::move(builders));
    return flow;
}

bool PlaylistShareFlow::building() const
{
    return m_run && m_run->isRunning();
}

void PlaylistShareFlow::build(const QList<PlaylistItem> &items, const PlaylistShareOptions &options,
                              PlaylistExportBuilders builders)
{
    const auto order = m_kind == Kind::playlist ? PlaylistExportRun::Order::imagesAfterPdf
                                                : PlaylistExportRun::Order::imagesLast;
    m_run = new PlaylistExportRun(items, m_name, options, order, std::move(builders), this);
    m_progress = new ExportProgressDialog(m_window, QStringLiteral("Share Playlist"));
    m_progress->setStep(QStringLiteral("Preparing “%1”…").arg(m_name));

    connect(m_progress, &ExportProgressDialog::cancelled, m_run, &PlaylistExportRun::cancel);
    connect(m_run, &PlaylistExportRun::stepStarted, m_progress, [this](int step, int count, Format format) {
        m_progress->setStep(count > 1
                                ? QStringLiteral("%1 (%2 of %3)").arg(stepText(format)).arg(step).arg(count)
                                : stepText(format));
    });
    connect(m_run, &PlaylistExportRun::titlesProgressed, m_progress,
            [this](qint64 done, qint64 total) { m_progress->setCount(done, total); });
    connect(m_run, &PlaylistExportRun::pagesProgressed, m_progress, &ExportProgressDialog::setBar);
    const PlaylistShareDestination destination = options.destination;
    connect(m_run, &PlaylistExportRun::finished, this, [this, destination](const PlaylistExports &exports) {
        m_progress->finish();
        m_progress->deleteLater();
        m_progress = nullptr;
        deliver(exports, destination);
    });
    m_progress->showSoon();
    m_run->start();
}

void PlaylistShareFlow::deliver(const PlaylistExports &exports, PlaylistShareDestination destination)
{
    if (exports.cancelled) {
        end();
        return;
    }
    const auto status = [this](const QString &text) { Q_EMIT statusChanged(text); };
    if (exports.shareFiles.isEmpty()) {
        if (m_kind == Kind::autoPlaylist) {
            status(QStringLiteral("Could not build export."));
        } else {
            QString why = QStringLiteral("Check that PDF files for this playlist still exist.");
            if (const QStringList failures = exports.failures(); !failures.isEmpty())
                why += QStringLiteral("\n\n") + failures.join(QLatin1Char('\n'));
            // Told once the export built on a worker has failed, whenever that is.
            LyrafoldAlert::runUnasked(m_window, LyrafoldAlert::Style::warning,
                                      QStringLiteral("Could not create share content"), why);
        }
        end();
        return;
    }

    const QStringList savePaths = exports.savePaths();
    const Kind kind = m_kind;
    if (destination == PlaylistShareDestination::local) {
        ExportFolderSave::saveIntoChosenFolder(m_window, savePaths,
                                               [this, kind, status](const ExportFolderSave::Report &report) {
                                                   reportSave(m_window, report, kind, status);
                                                   end();
                                               });
        return;
    }

    QStringList files;
    for (const QString &file : exports.shareFiles) {
        if (QFileInfo::exists(file))
            files.append(file);
    }
    if (!files.isEmpty()) {
        const QPointer<QWidget> window(m_window);
        SharePopover::show(popupAnchor(), files, [window, savePaths, kind] {
            if (!window)
                return;
            ExportFolderSave::saveIntoChosenFolder(window, savePaths,
                                                   [window, kind](const ExportFolderSave::Report &report) {
                                                       reportSave(window, report, kind, {});
                                                   });
        });
    }
    if (m_kind == Kind::autoPlaylist)
        status(QStringLiteral("Share ready (%1 item(s)).").arg(exports.shareFiles.size()));
    end();
}
