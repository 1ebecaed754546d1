#pragma once

#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistRows.h"

#include <QList>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AppContext;
class DefaultBookPaths;
class SlotBookPaths;
class PlaylistCardView;
class PlaylistNamesModel;
class PlaylistTitlesModel;
class QLabel;
class QMimeData;
class QPushButton;
class StatusLine;
class TablePagePreview;

// The playlists window: the playlists on the left, the titles of the selected one on the right. It
// shows the application's PlaylistLibrary as it is at every moment (a title added from the viewer or
// the main window, a playlist file merged, the file changed by another program) and changes it only
// through the library's operations, addressing the selected playlist by position and name and a title
// by its key and place among equal keys. A title opens in the viewer on a press, with the whole
// playlist to step through; resting on it shows its first page.
//
// Files dropped on the titles go to the library's import, with the selected playlist as its target,
// and report here. The main window opens it and hears of "Add Song" through the notification bus; the
// window closes itself (deleted on close). Nothing but the opening is public: the user, and the tests,
// work the window through its controls.
class PlaylistsWindowController : public QWidget {
    Q_OBJECT

public:
    explicit PlaylistsWindowController(AppContext &context, QWidget *parent = nullptr);
    ~PlaylistsWindowController() override;

    // Shows the window centred on its screen, in front.
    void showWindow();

Q_SIGNALS:
    void windowClosed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    static constexpr int titlePreviewDelayMilliseconds = 300;

    void setupUI();
    QWidget *buildPlaylistsPane();
    QWidget *buildTitlesPane();
    QWidget *buildStatusLine();
    void setupTitlePreviewHover();

    void playlistsChanged(const PlaylistChange &change);
    void showPlaylist(qsizetype row, bool keepTitlesPlace);
    void refreshTitlesPane();
    void selectPlaylistRow(qsizetype row);
    void selectTitleRow(int row);
    void addToPlaylistModeFinished(const QVariantMap &userInfo);
    // The title at row of the playlist shown, ready for the preview: its book found again. Null when
    // there is no such title or no book for it.
    const SongRecord *previewSongAt(int row);
    // Runs then with the items' books found again, worked out on a worker.
    void withResolvedItems(const QList<PlaylistItem> &items, std::function<void(QList<PlaylistItem>)> then);
    const Playlist *selectedPlaylist() const;
    void setStatus(const QString &text);

    // The playlists: the one selected by a click or the keys, by its row (its position in the library).
    void playlistRowClicked(qsizetype row);
    // The buttons.
    void createNewPlaylist();
    void deleteSelectedPlaylist();
    void addSongsTapped();
    // Shares the selected playlist's titles, their books found again, under its name.
    void shareTapped();

    // The titles of the selected playlist, by row.
    void openTitleAtRow(int row);
    void removeTitleAtRow(int row);
    void openLinkForTitleRow(int row, PlaylistRows::Link link);
    // What a drop on the titles may be: a copy when it brings files to import and a playlist is
    // selected, nothing otherwise (a title of the list itself moves without asking).
    Qt::DropAction dropActionFor(const QMimeData *data) const;
    // A drop above dropRow: the files imported into the selected playlist, else the title dragged
    // moved there. False when nothing could be done.
    bool dropOnTitles(const QMimeData *data, int dropRow);

    AppContext &m_context;
    PlaylistLibrary &m_library;
    qsizetype m_selectedPlaylistIndex = -1;
    // The selected playlist's name as selected: what every change of it checks before it acts.
    QString m_selectedPlaylistName;
    // Where a title dragged by its handle came from, while the drag is under way.
    std::optional<std::pair<qsizetype, PlaylistItemRef>> m_draggedTitle;

    PlaylistNamesModel *m_namesModel = nullptr;
    PlaylistTitlesModel *m_titlesModel = nullptr;
    PlaylistCardView *m_playlistTableView = nullptr;
    PlaylistCardView *m_titlesTableView = nullptr;
    QPushButton *m_createButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_addSongsButton = nullptr;
    QPushButton *m_shareButton = nullptr;
    QLabel *m_titlesPlaceholderLabel = nullptr;
    StatusLine *m_statusField = nullptr;
    TablePagePreview *m_preview = nullptr;
    bool m_selectingPlaylist = false;

    // Finds the shown titles' books again, as opening and sharing find them, for the hover preview.
    void resolvePreviewTitles();
    // After a change of the library: the line that said a title's book was not found is emptied once
    // the book is found.
    void recheckMissingBook();

    std::shared_ptr<DefaultBookPaths> m_bookPaths;
    std::shared_ptr<SlotBookPaths> m_slotBookPaths;
    struct PreviewSong {
        int row = -1;
        quint64 titlesVersion = 0;
        std::optional<PlaylistItem> song;
    } m_previewSong;
    // Raised whenever the shown titles or the library they are found in change.
    quint64 m_titlesVersion = 1;
    // The shown titles with their books found again, for m_resolvedVersion; the version on its way.
    QList<PlaylistItem> m_resolvedTitles;
    quint64 m_resolvedVersion = 0;
    quint64 m_resolvingVersion = 0;
    // The title whose book the status line says was not found, and that line.
    struct MissingBook {
        PlaylistItem item;
        QString status;
    };
    std::optional<MissingBook> m_missingBook;
};
