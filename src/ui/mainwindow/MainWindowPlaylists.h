#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <optional>

class AppContext;
class LibraryTableController;
class PlaylistsWindowController;
class QPushButton;
class StatusSink;
struct BookmarkEntry;

// The main window's side of the playlists: the playlists window it opens, add-to-playlist mode ("Add
// Song" in the playlists window: a click on a title adds it to the playlist named, until Done or that
// window closes) and playlist files opened from the desktop or handed over by a later start. The main
// window makes it with its table, its Done button and its status line, which hears what it did.
class MainWindowPlaylists : public QObject {
    Q_OBJECT

public:
    MainWindowPlaylists(AppContext &context, LibraryTableController &table, QPushButton &doneButton,
                        StatusSink &status, QObject *parent = nullptr);
    // Closes the playlists window it opened.
    ~MainWindowPlaylists() override;

    // Brings the playlists window forward, opening it when it is not shown.
    void openPlaylists();
    // Done: add mode ends, and the playlists window hears which playlist it filled.
    void finishAddToPlaylistMode();

private:
    void playlistsWindowClosed();
    void enterAddToPlaylistMode(const QVariantMap &userInfo);
    void addToTargetPlaylist(const BookmarkEntry &entry);
    void startFinishPulse();
    void endAddToPlaylistMode();
    void importPlaylistFile(const QVariantMap &userInfo);

    AppContext &m_context;
    LibraryTableController &m_table;
    QPushButton &m_doneButton;
    StatusSink &m_status;
    std::optional<QString> m_targetName;
    QPointer<PlaylistsWindowController> m_window;
};
