#pragma once

#include "core/library/LibraryFiles.h"
#include "core/library/LibrarySession.h"
#include "core/library/LibrarySlots.h"
#include "core/metadata/SongDataImportOptions.h"
#include "ui/mainwindow/MainWindowView.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QVariantMap>

#include <chrono>
#include <optional>

class AppContext;
class AutoTagFlow;
struct ViewerOpenRequest;
class BookmarkHoverOverlay;
class BookmarkTableModel;
class CustomFilesWindowController;
class MetadataImportFlow;
class PlaylistsWindowController;
class QAbstractButton;
class QMenuBar;
class QMouseEvent;
class QProgressBar;
class QPushButton;
class QTimer;
class ListenFlow;
class TablePagePreview;
class WorkshopWindowController;

// The main library window: the tool strip with the slot tiles, the search row, the library table and
// the status line. It shows the application's LibrarySession and forwards to it; what a change of the
// library does beyond the window (saving, the playlists) is the session's. MainWindowView builds the
// widgets and the menus and hands over the controls; the window keeps the interface state and does
// what the view's commands ask.
//
// Each window that the tool strip and the menus open has its own controller in its own folder; this
// window only opens it. The flows it starts are objects of their own with this window as parent and
// its status line as sink (ListenFlow, AutoTagFlow, MetadataImportFlow), or the library flows of the
// application context that every window shares (context.libraryFlows()).
class MainWindowController : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int searchDebounceMilliseconds = 180;
    static constexpr int clickActionDelayMilliseconds = 100;

    // Builds the window and its interface, restores the active slot, starts the title metadata
    // preload and adds the "Slots" and "Tools" menus. mainMenu, when given, is the application's menu
    // bar; the window takes it over before it adds its menus.
    explicit MainWindowController(AppContext &context, QMenuBar *mainMenu = nullptr,
                                  QWidget *parent = nullptr);
    ~MainWindowController() override;

    static const QSet<QString> &editableColumns();

    void setStatus(const QString &text);

    // Window state.
    void applyLocalizedText();
    void applyCustomToggleChrome();

    // The current slot on disk and on screen.
    void saveCurrentSlot();
    void loadCurrentSlot();
    void switchToSlot(qint64 slot);
    void updateSlotTileNames();
    void refreshSearchResultCount();

    // The table. A reload either clears the selection or keeps the songs selected that are still
    // shown, found by identity key wherever the new order puts them; the latter keeps an open cell
    // field too while the same rows are shown.
    enum class SelectionAfterReload { clear, keepSongs };
    void reloadTable(SelectionAfterReload selection = SelectionAfterReload::clear);
    QList<int> selectedDisplayRows() const;
    void selectRowsWithIdentityKeys(const QSet<QString> &keys);
    void tableViewSelectionDidChange();
    void syncSearchWebButtonsEnabled();
    void syncSelectedRowsButtonsEnabled();
    void tableHeaderClicked(const QString &column);
    // The sort of the filtered rows by a column; the selected songs stay selected.
    void sortFilteredByColumn(const QString &column);
    // The header's sort indicator: on the sorted column while the rows stand (or are about to stand)
    // in its order.
    void showSortOrder();

    // Search. The field's every change lands here: the list follows after a pause in typing, at once
    // when the field is emptied. Every list applied keeps the selected songs selected.
    void searchChanged();
    void updateFilteredList(const QString &text);

    // Column edit mode: with it on, outside slot 0, the editable columns' cells open for editing.
    void setColumnEditModeEnabled(bool enabled);
    void toggleColumnEditMode();

    // Metadata editing.
    void editSelectedMetadata();
    // What the edit dialog's Save does with its values for the entry's title.
    void applyMetadataDialogValues(const BookmarkEntry &entry, const MetadataValues &values);
    // A cell's field opened for editing / closed, committed or not. While a field is open no page
    // preview shows.
    void controlTextDidBeginEditing(int row, const QString &column);
    void controlTextDidEndEditing(int row, const QString &column, const QString &text);
    void cellEditingClosed();

    // Row clicks: each plain click pulses the row and acts a moment later, by mode (add to playlist,
    // edit the cell, open the song). A double click opens the song once. Return on the selected
    // current row acts as a click on its current cell.
    void handleTableClick(QMouseEvent *event);
    void startRowAction(int row, const QString &column);
    void openPdfFromTableDoubleClick();

    // Opening songs in the viewer.
    void openPdf(const BookmarkEntry &entry);

    // Row actions and deletion.
    void deleteSelectedRows();
    void contextOpenPdf(int row);
    void contextTagThisRow(int row);
    void contextTagSelected(int row);
    void showRowContextMenu(const QPoint &viewportPosition);

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
    void openPlaylists();
    void runAutoTagSelected();
    void finishAddToPlaylistMode();
    void addRowToPlaylistFromButton(int row);
    // The playlist choice for one title; the status line tells where it went.
    void addToPlaylist(const BookmarkEntry &entry);
    void shareRowFromButton(int row);
    void saveSlotNow();
    void reloadSlotNow();
    void copySlotToAnother();
    // Add-to-playlist mode ("Add Song" in the playlists window) and playlist files opened from the
    // desktop: the playlists window comes forward with the playlists.
    void enterAddToPlaylistMode(const QVariantMap &userInfo);
    void startFinishAddToPlaylistPulse();
    void handleOpenLyfFile(const QVariantMap &userInfo);

    // The folder path field takes a folder typed into it.
    void applyFolderPathFromField();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectOwners();
    // The table's model, its signals, the page preview and the row clicks.
    void setupTable();
    // What a control of the view or a menu item asks for.
    void runCommand(MainWindowView::Command command);
    void setupLibraryFlows();
    void showStatusProgress();
    // A new library in the session (a slot loaded, cleared, extracted into, imported into, by any
    // window): the tiles, the folder and the whole library shown, the search emptied.
    void showReplacedLibrary();
    void endAddToPlaylistMode();
    void playlistsWindowClosed();
    void showSelectedFolder();
    void showCurrentSlotTile();
    void performClickAction(const BookmarkEntry &entry, int row, const QString &column);
    void openWebSearchForFirstRow(bool youtube);
    void showInViewer(const ViewerOpenRequest &request);
    void showFileNotFound(const QString &path);
    // What the end of a cell's edit does, once the view has let go of the field.
    void applyCellEdit(const BookmarkEntry &entry, const QString &column, const QString &text);
    QWidget *alertParent();
    void setupFlows();

    AppContext &m_context;
    LibrarySession &m_session;
    LibrarySlots &m_slots;
    LibraryFiles &m_files;

    MainWindowView *m_view = nullptr;
    MainWindowControls m_ui;
    BookmarkTableModel *m_tableModel = nullptr;
    BookmarkHoverOverlay *m_hoverOverlay = nullptr;
    TablePagePreview *m_preview = nullptr;
    QWidget *m_rowShareAnchor = nullptr;

    bool m_isColumnEditModeEnabled = false;
    std::optional<QString> m_addToPlaylistTargetName;
    QPointer<PlaylistsWindowController> m_playlistsWindowController;
    QSet<QString> m_selectedKeys;

    QTimer *m_searchDebounceTimer = nullptr;
    QString m_pendingSearchText;

    // The last song a click opened, so that the double click on it does not open it again.
    QString m_lastClickOpenKey;
    QElapsedTimer m_lastClickOpen;

    ListenFlow *m_listen = nullptr;
    AutoTagFlow *m_autoTag = nullptr;

    MetadataImportFlow *m_metadataImports = nullptr;
    QProgressBar *m_statusProgress = nullptr;
    QPushButton *m_statusCancelButton = nullptr;

    QPointer<WorkshopWindowController> m_workshopWindowController;
    QPointer<CustomFilesWindowController> m_customFilesWindowController;
};
