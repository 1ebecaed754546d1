#pragma once

#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/slots/LibraryFiles.h"
#include "core/slots/LibrarySlots.h"
#include "ui/mainwindow/LibraryTableController.h"
#include "ui/mainwindow/MainWindowView.h"

#include <QMainWindow>
#include <QPointer>

#include <optional>

class AppContext;
class AutoTagFlow;
class CustomFilesWindowController;
class MetadataImportFlow;
class MainWindowPlaylists;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTimer;
class ListenFlow;
class WorkshopWindowController;

// The main library window: the tool strip with the slot tiles, the search row, the library table and
// the status line. It shows the application's LibrarySession and forwards to it; what a change of the
// library does beyond the window (saving, the playlists) is the session's. MainWindowView builds the
// widgets and the menus and hands over the controls; LibraryTableController keeps the table and what
// is done to its rows; MainWindowPlaylists keeps the playlists side (the playlists window, add-to-playlist
// mode, playlist files opened from the desktop); the window keeps the slots, the search and the folder,
// and does what the view's commands ask. Nothing but the constructor is public: the user, and the tests,
// work the window through its controls.
//
// Each window that the tool strip and the menus open has its own controller in its own folder; this
// window only opens it. The flows it starts are objects of their own with this window as parent and
// its status line as sink (ListenFlow, AutoTagFlow, MetadataImportFlow), or the library flows of the
// application context that every window shares (context.libraryFlows()).
class MainWindowController : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window and its interface, restores the active slot, starts the title metadata
    // preload and adds the "Slots" and "Tools" menus. mainMenu, when given, is the application's menu
    // bar; the window takes it over before it adds its menus.
    explicit MainWindowController(AppContext &context, QMenuBar *mainMenu = nullptr,
                                  QWidget *parent = nullptr);
    ~MainWindowController() override;

protected:
    // Down in the search field goes on to the first result.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using SelectionAfterReload = LibraryTableController::SelectionAfterReload;
    static constexpr int searchDebounceMilliseconds = 180;

    void setStatus(const QString &text);

    // Window state.
    void applyLocalizedText();
    void applyCustomToggleChrome();

    // The current slot on disk and on screen. The window shows before the slot's rows are in: what
    // the user asks of the library meanwhile waits for them (whenSlotRead()), a search is applied to
    // them when they arrive.
    void loadCurrentSlot();
    void whenSlotRead(std::function<void()> action);
    void runActionsAfterRead();
    void switchToSlot(qint64 slot);
    void updateSlotTileNames();
    void refreshSearchResultCount();

    // Search. The field's every change lands here: the list follows after a pause in typing, at once
    // when the field is emptied. Every list applied keeps the selected songs selected.
    void searchChanged();
    void updateFilteredList(const QString &text);

    // The built-in bookmark list into the Default slot: the folder of books, then the list matched to
    // it on a worker, then applied. resourcePath nothing: the list is not there.
    void loadDefaultBookmarksFromFolder(const QString &folder, const std::optional<QString> &resourcePath);
    void loadDefaultsFrom(const QString &resourcePath);
    void applyDefaultBookmarks(BookmarkList rows, const QString &folder);

    // The windows and flows of the tool strip, the menus and the row buttons.
    void loadDefaultBookmarks();
    void openCustomFiles();
    void customModeToggled();
    void defaultModePressed();
    void openBookmarkWorkshop();
    void openAutoPlaylist();
    void saveSlotNow();
    void reloadSlotNow();
    void copySlotToAnother();
    // The folder path field takes a folder typed into it.
    void applyFolderPathFromField();

    void connectOwners();
    // What a control of the view or a menu item asks for.
    void runCommand(MainWindowView::Command command);
    void setupLibraryFlows();
    void showStatusProgress();
    // A new library in the session (a slot loaded, cleared, extracted into, imported into, by any
    // window): the tiles, the folder and the whole library shown, the search emptied.
    void showReplacedLibrary();
    void showSelectedFolder();
    void showCurrentSlotTile();
    void syncSearchWebButtonsEnabled();
    void openWebSearchForFirstRow(bool youtube);
    QWidget *alertParent();
    void setupFlows();

    AppContext &m_context;
    LibrarySession &m_session;
    LibraryShownRows &m_shownRows;
    LibrarySlots &m_slots;
    LibraryFiles &m_files;

    MainWindowView *m_view = nullptr;
    MainWindowControls m_ui;
    LibraryTableController *m_table = nullptr;

    MainWindowPlaylists *m_playlists = nullptr;

    QTimer *m_searchDebounceTimer = nullptr;
    // The slot read at start has not arrived yet: its rows keep the search typed meanwhile.
    bool m_readingAtStart = false;
    // The slot whose library the window shows: what the status line said of it goes with it.
    qint64 m_shownSlot = 0;
    QList<std::function<void()>> m_afterRead;

    ListenFlow *m_listen = nullptr;
    // The Listen tile had the keyboard focus when its run began, and gets it back when the run ends.
    bool m_listenTileHadFocus = false;
    AutoTagFlow *m_autoTag = nullptr;

    MetadataImportFlow *m_metadataImports = nullptr;
    QProgressBar *m_statusProgress = nullptr;
    QPushButton *m_statusCancelButton = nullptr;

    QPointer<WorkshopWindowController> m_workshopWindowController;
    QPointer<CustomFilesWindowController> m_customFilesWindowController;
};
