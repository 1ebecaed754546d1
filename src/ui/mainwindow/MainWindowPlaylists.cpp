#include "ui/mainwindow/MainWindowPlaylists.h"

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/playlist/PlaylistLibrary.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/StatusSink.h"
#include "ui/common/WindowPlacement.h"
#include "ui/mainwindow/LibraryTableController.h"
#include "ui/playlists/PlaylistsWindowController.h"

#include <QFileInfo>
#include <QPushButton>
#include <QUrl>
#include <QVariantAnimation>

namespace {

const QString donePulseName = QStringLiteral("addToPlaylistDonePulse");
const QString doneStyle = QStringLiteral("QPushButton { color: rgba(52, 199, 89, %1); }");

} // namespace

MainWindowPlaylists::MainWindowPlaylists(AppContext &context, LibraryTableController &table,
                                         QPushButton &doneButton, StatusSink &status, QObject *parent)
    : QObject(parent), m_context(context), m_table(table), m_doneButton(doneButton), m_status(status)
{
    NotificationBus &bus = context.notifications();
    connect(&bus, &NotificationBus::addToPlaylistMode, this, &MainWindowPlaylists::enterAddToPlaylistMode);
    connect(&bus, &NotificationBus::openLyfFile, this, &MainWindowPlaylists::importPlaylistFile);
    connect(&table, &LibraryTableController::addToPlaylistClicked, this,
            &MainWindowPlaylists::addToTargetPlaylist);
}

MainWindowPlaylists::~MainWindowPlaylists()
{
    // The main window is going: its closing playlists window has nothing more to tell it.
    if (m_window)
        m_window->disconnect(this);
    delete m_window.data();
}

void MainWindowPlaylists::openPlaylists()
{
    if (m_window && m_window->isVisible()) {
        WindowPlacement::bringToFront(m_window);
    } else {
        delete m_window.data();
        m_window = new PlaylistsWindowController(m_context);
        connect(m_window, &PlaylistsWindowController::windowClosed, this,
                &MainWindowPlaylists::playlistsWindowClosed);
        m_window->showWindow();
    }
    LyrafoldButtonEffects::install(m_window);
}

void MainWindowPlaylists::playlistsWindowClosed()
{
    m_window = nullptr;
    endAddToPlaylistMode();
    // English in every language, as are the add mode's other status texts: not the translated "Ready"
    // the window starts with.
    m_status.showStatus(QStringLiteral("Ready"));
}

void MainWindowPlaylists::enterAddToPlaylistMode(const QVariantMap &userInfo)
{
    const QVariant name = userInfo.value(NotificationBus::playlistNameKey);
    m_table.setAddToPlaylistMode(name.typeId() == QMetaType::QString);
    if (name.typeId() != QMetaType::QString) {
        m_targetName.reset();
        return;
    }
    m_targetName = name.toString();
    m_status.showStatus(QStringLiteral("Click a title to add it to playlist \"%1\"").arg(*m_targetName));
    m_doneButton.show();
    startFinishPulse();
    // The clicks are to come in the main window: it comes forward.
    QWidget *window = m_status.statusWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindowPlaylists::addToTargetPlaylist(const BookmarkEntry &entry)
{
    if (!m_targetName)
        return;
    m_context.playlists().addToPlaylist(*m_targetName, entry);
    m_status.showStatus(QStringLiteral("Added \"%1\" to \"%2\". Click another title or press Done.")
                            .arg(entry.title, *m_targetName));
    m_doneButton.show();
    startFinishPulse();
}

void MainWindowPlaylists::startFinishPulse()
{
    QPushButton *button = &m_doneButton;
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

void MainWindowPlaylists::endAddToPlaylistMode()
{
    m_targetName.reset();
    m_table.setAddToPlaylistMode(false);
    delete m_doneButton.findChild<QVariantAnimation *>(donePulseName);
    m_doneButton.setStyleSheet(doneStyle.arg(1));
    m_doneButton.hide();
}

void MainWindowPlaylists::finishAddToPlaylistMode()
{
    if (!m_targetName)
        return;
    const QString name = *m_targetName;
    endAddToPlaylistMode();
    m_status.showStatus(QStringLiteral("Finished adding titles to \"%1\"").arg(name));
    m_context.notifications().post(NotificationBus::finishedAddToPlaylistModeName,
                                   {{NotificationBus::playlistNameKey, name}});
}

void MainWindowPlaylists::importPlaylistFile(const QVariantMap &userInfo)
{
    const QVariant value = userInfo.value(NotificationBus::urlKey);
    if (value.typeId() != QMetaType::QUrl || !value.toUrl().isLocalFile())
        return;
    const QString path = value.toUrl().toLocalFile();
    // Read, decode and merged into a copy of the list on a worker: the window stays usable, and the
    // library takes the result over at once (or merges again, when the list changed meanwhile).
    PlaylistLibrary &library = m_context.playlists();
    m_status.showStatus(QStringLiteral("Importing %1\u2026").arg(QFileInfo(path).fileName()));
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
                LyrafoldAlert::runUnasked(m_status.alertParent(), LyrafoldAlert::Style::warning,
                                          QStringLiteral("Could not import playlist file"),
                                          merge.error().message);
                m_status.showStatus(QStringLiteral("Import failed."));
                return;
            }
            const qsizetype count = merge->imported.size();
            if (count == 0) {
                m_status.showStatus(QStringLiteral("Playlist file contained no playlists."));
                return;
            }
            m_context.playlists().adoptMerge(std::move(merge).value());
            m_status.showStatus(QStringLiteral("Imported %1 playlist(s) from %2.")
                                    .arg(count)
                                    .arg(QFileInfo(path).fileName()));
            openPlaylists();
        });
}
