// The main window's side of the playlists: opening the playlists window, add-to-playlist mode, and
// playlist files opened from the desktop or a later start of the program.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/playlist/PlaylistLibrary.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/StatusLine.h"
#include "ui/common/WindowPlacement.h"
#include "ui/playlists/PlaylistsWindowController.h"

#include <QFileInfo>
#include <QPushButton>
#include <QUrl>
#include <QVariantAnimation>

namespace {

const QString donePulseName = QStringLiteral("addToPlaylistDonePulse");
const QString doneStyle = QStringLiteral("QPushButton { color: rgba(52, 199, 89, %1); }");

} // namespace

void MainWindowController::openPlaylists()
{
    if (m_playlistsWindowController && m_playlistsWindowController->isVisible()) {
        WindowPlacement::bringToFront(m_playlistsWindowController);
    } else {
        delete m_playlistsWindowController.data();
        auto *window = new PlaylistsWindowController(m_context);
        m_playlistsWindowController = window;
        connect(window, &PlaylistsWindowController::windowClosed, this,
                &MainWindowController::playlistsWindowClosed);
        window->showWindow();
    }
    LyrafoldButtonEffects::install(m_playlistsWindowController);
}

void MainWindowController::playlistsWindowClosed()
{
    m_playlistsWindowController = nullptr;
    endAddToPlaylistMode();
    // English in every language, as are the add mode's other status texts: not the translated "Ready"
    // the window starts with.
    setStatus(QStringLiteral("Ready"));
}

void MainWindowController::enterAddToPlaylistMode(const QVariantMap &userInfo)
{
    const QVariant name = userInfo.value(NotificationBus::playlistNameKey);
    m_table->setAddToPlaylistMode(name.typeId() == QMetaType::QString);
    if (name.typeId() != QMetaType::QString) {
        m_addToPlaylistTargetName.reset();
        return;
    }
    m_addToPlaylistTargetName = name.toString();
    setStatus(QStringLiteral("Click a title to add it to playlist \"%1\"").arg(*m_addToPlaylistTargetName));
    if (m_ui.finishAddToPlaylistButton)
        m_ui.finishAddToPlaylistButton->show();
    startFinishAddToPlaylistPulse();
    show();
    raise();
    activateWindow();
}

void MainWindowController::addToTargetPlaylist(const BookmarkEntry &entry)
{
    if (!m_addToPlaylistTargetName)
        return;
    m_context.playlists().addToPlaylist(*m_addToPlaylistTargetName, entry);
    setStatus(QStringLiteral("Added \"%1\" to \"%2\". Click another title or press Done.")
                  .arg(entry.title, *m_addToPlaylistTargetName));
    m_ui.finishAddToPlaylistButton->show();
    startFinishAddToPlaylistPulse();
}

void MainWindowController::startFinishAddToPlaylistPulse()
{
    QPushButton *button = m_ui.finishAddToPlaylistButton;
    if (!button)
        return;
    delete button->findChild<QVariantAnimation *>(donePulseName);
    auto *pulse = new QVariantAnimation(button);
    pulse->setObjectName(donePulseName);
    pulse->setStartValue(1.0);
    pulse->setKeyValueAt(0.5, 0.35);
    pulse->setEndValue(1.0);
    pulse->setDuration(2200);
    pulse->setLoopCount(-1);
    pulse->setEasingCurve(QEasingCurve::InOutSine);
    connect(pulse, &QVariantAnimation::valueChanged, button, [button](const QVariant &opacity) {
        button->setStyleSheet(doneStyle.arg(opacity.toDouble(), 0, 'f', 2));
    });
    pulse->start();
}

void MainWindowController::endAddToPlaylistMode()
{
    m_addToPlaylistTargetName.reset();
    m_table->setAddToPlaylistMode(false);
    if (QPushButton *button = m_ui.finishAddToPlaylistButton) {
        delete button->findChild<QVariantAnimation *>(donePulseName);
        button->setStyleSheet(doneStyle.arg(1));
        button->hide();
    }
}

void MainWindowController::finishAddToPlaylistMode()
{
    if (!m_addToPlaylistTargetName)
        return;
    const QString name = *m_addToPlaylistTargetName;
    endAddToPlaylistMode();
    setStatus(QStringLiteral("Finished adding titles to \"%1\"").arg(name));
    m_context.notifications().post(NotificationBus::finishedAddToPlaylistModeName,
                                   {{NotificationBus::playlistNameKey, name}});
}

void MainWindowController::handleOpenLyfFile(const QVariantMap &userInfo)
{
    const QVariant value = userInfo.value(NotificationBus::urlKey);
    if (value.typeId() != QMetaType::QUrl || !value.toUrl().isLocalFile())
        return;
    const QString path = value.toUrl().toLocalFile();
    // Read, decode and merged into a copy of the list on a worker: the window stays usable, and the
    // library takes the result over at once (or merges again, when the list changed meanwhile).
    PlaylistLibrary &library = m_context.playlists();
    setStatus(QStringLiteral("Importing %1\u2026").arg(QFileInfo(path).fileName()));
    Hop::run(
        this,
        [path, list = library.playlists(), revision = library.revision()]() -> Result<PlaylistMerge> {
            Result<QList<Playlist>> decoded = LyfPlaylistCodec::readBundleFile(path);
            if (!decoded)
                return decoded.error();
            return PlaylistLibrary::merged(list, revision, std::move(decoded).value(), false);
        },
        [this, path](Result<PlaylistMerge> merge) {
            if (!merge) {
                LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning,
                                   QStringLiteral("Could not import playlist file"), merge.error().message);
                setStatus(QStringLiteral("Import failed."));
                return;
            }
            const qsizetype count = merge->imported.size();
            if (count == 0) {
                setStatus(QStringLiteral("Playlist file contained no playlists."));
                return;
            }
            m_context.playlists().adoptMerge(std::move(merge).value());
            setStatus(QStringLiteral("Imported %1 playlist(s) from %2.")
                          .arg(count)
                          .arg(QFileInfo(path).fileName()));
            openPlaylists();
        });
}
