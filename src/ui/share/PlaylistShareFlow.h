#pragma once

#include "core/playlist/PlaylistItem.h"
#include "core/share/PlaylistShareOptions.h"
#include "pdf/share/PlaylistExportRun.h"

#include "ui/share/ShareFlow.h"

#include <QList>
#include <QString>

class ExportProgressDialog;
class QWidget;

// Sharing a playlist from a window: the "Share Playlist" dialog, the build of the chosen files on a
// worker under a window-modal progress dialog with Cancel, then the delivery: copied into a folder the
// user picks ("Local"), or offered in the share-or-save popup ("Other"), whose save copies into a
// folder the same way. An existing file is never lost and an existing folder of images is replaced
// only after asking; a save that fails is reported with its reasons.
//
// A window closed during the build stops the build and is told nothing.
class PlaylistShareFlow : public ShareFlow {
    Q_OBJECT

public:
    // How the window tells the outcome. playlist: the page images are built right after the PDF and
    // offered after it; a build that made nothing and a finished save are told in alerts. autoPlaylist:
    // the images are built after the HTML list and offered last; the outcome goes to the window's status
    // line through statusChanged ("Could not build export.", "Share ready (n item(s)).", "Saved exports
    // to local folder."), and only a failed save is an alert.
    enum class Kind { playlist, autoPlaylist };

    // Asks for the options, then builds and delivers as run() does. Nothing when the user gives no
    // options or an export of this window is still building.
    static PlaylistShareFlow *start(QWidget *window, QWidget *anchor, const QList<PlaylistItem> &items,
                                    const QString &playlistName, Kind kind = Kind::playlist);

    // What start() does once the user gave the options, for tests (with builders of their own) and the
    // screenshot tool.
    static PlaylistShareFlow *
    runForTesting(QWidget *window, QWidget *anchor, const QList<PlaylistItem> &items,
                  const QString &playlistName, const PlaylistShareOptions &options,
                  Kind kind = Kind::playlist,
                  PlaylistExportBuilders builders = PlaylistExportBuilders::standard())
    {
        return run(window, anchor, items, playlistName, options, kind, std::move(builders));
    }

Q_SIGNALS:
    void statusChanged(const QString &text);

private:
    // Builds with the given options and delivers. The anchor is the Share button the popup points at
    // (the window when there is none).
    static PlaylistShareFlow *run(QWidget *window, QWidget *anchor, const QList<PlaylistItem> &items,
                                  const QString &playlistName, const PlaylistShareOptions &options,
                                  Kind kind = Kind::playlist,
                                  PlaylistExportBuilders builders = PlaylistExportBuilders::standard());
    PlaylistShareFlow(QWidget *window, QWidget *anchor, const QString &playlistName, Kind kind);

    void build(const QList<PlaylistItem> &items, const PlaylistShareOptions &options,
               PlaylistExportBuilders builders);
    void deliver(const PlaylistExports &exports, PlaylistShareDestination destination);
    bool building() const override;

    QString m_name;
    Kind m_kind;
    PlaylistExportRun *m_run = nullptr;
    ExportProgressDialog *m_progress = nullptr;
};
