#pragma once

#include <QObject>
#include <QString>

#include <QList>

class BookmarkTableDelegate;
class BookmarkTableView;
class MainSettingsMenu;
class QColor;
class QFont;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QToolButton;
class QWidget;
class StatusLine;
class WindowsStyleSlotTileView;
class WindowsStyleToggleToolTileView;

// The controls of the main library window that its controller works with after they were built.
struct MainWindowControls {
    QLineEdit *folderPathField = nullptr;
    QPushButton *extractButton = nullptr;
    QPushButton *customModeToggle = nullptr;
    WindowsStyleToggleToolTileView *customToggleTile = nullptr;
    WindowsStyleToggleToolTileView *defaultToggleTile = nullptr;
    QPushButton *listenButton = nullptr;
    QList<WindowsStyleSlotTileView *> slotTiles;
    QLineEdit *searchField = nullptr;
    QPushButton *editModeButton = nullptr;
    QPushButton *tagSelectedButton = nullptr;
    QPushButton *deleteSelectedButton = nullptr;
    QToolButton *searchSpotifyButton = nullptr;
    QToolButton *searchYoutubeButton = nullptr;
    QLabel *searchResultsLabel = nullptr;
    BookmarkTableView *tableView = nullptr;
    BookmarkTableDelegate *tableDelegate = nullptr;
    QLabel *tipsLabel = nullptr;
    StatusLine *statusField = nullptr;
    QPushButton *finishAddToPlaylistButton = nullptr;
    MainSettingsMenu *settingsMenu = nullptr;
};

// The view tree of the main library window: the header bar, the tool strip with the slot tiles, the
// search row, the table, the tip line and the status line, and the "Slots" and "Tools" menus. It builds
// the widgets into the window once and tells what the user asks of them through commandTriggered() and
// slotTileClicked(), and runs nothing itself; the gear menu is its own.
class MainWindowView : public QObject {
    Q_OBJECT

public:
    enum class Command {
        extractBookmarks,
        loadDefaultBookmarks,
        openCustomFiles,
        customMode,
        defaultMode,
        listen,
        openWorkshop,
        importSongData,
        openAutoPlaylist,
        openPlaylists,
        applyFolderPath,
        search,
        toggleEditMode,
        tagSelected,
        deleteSelected,
        searchSpotify,
        searchYoutube,
        finishAddToPlaylist,
        saveSlot,
        reloadSlot,
        copySlot,
        mergeSlots,
        clearSlot,
        newExtraction,
        editMetadata,
        importMetadataFile,
        autoTagAll,
        applyBundledMetadata,
    };
    Q_ENUM(Command)

    // Builds the view tree as the window's central widget. The window parents this object.
    explicit MainWindowView(QMainWindow &window);

    const MainWindowControls &controls() const { return m_controls; }
    // Adds the "Slots" and "Tools" menus to the window's menu bar, right after the application menu.
    void installMenus();

    // The tip line's text in the current language, as the font can show it.
    static QString tipsText(const QFont &font);
    // The look of a button that acts on the selected rows: active (enabled) or dim.
    static void configureSelectionActionButton(QPushButton *button, const QString &title,
                                               const QColor &colour, bool enabled);

Q_SIGNALS:
    void commandTriggered(MainWindowView::Command command);
    void slotTileClicked(int slot);

private:
    QWidget *buildHeaderBar();
    QWidget *buildToolStrip();
    QWidget *buildSlotPanel();
    QWidget *buildSearchPanel();
    QWidget *buildTablePanel();
    QWidget *buildStatusPanel();

    QMainWindow &m_window;
    MainWindowControls m_controls;
};
