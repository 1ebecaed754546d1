#pragma once

#include "core/library/LibrarySession.h"
#include "ui/common/AccessTokenDialog.h"
#include "ui/mainwindow/PagePreviewWindow.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class BookmarkHoverOverlay;
class BookmarkTableDelegate;
class BookmarkTableModel;
class BookmarkTableView;
class PdfViewerWindowController;
class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QPushButton;
class QTimer;
class QToolButton;
class SongRecognizer;
struct SongRecognitionResult;
class WindowsStyleSlotTileView;
class WindowsStyleToggleToolTileView;

// The main library window: the tool strip with the slot tiles, the search row, the library table and
// the status line. The library itself (slot, rows, saving) lives in a LibrarySession that this
// window shows and forwards to; the window keeps the controls and the interface state.
//
// The actions of windows and flows that are not built yet are wired to their methods here; each
// such method says in the status line that it is not available yet.
class MainWindowController : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int maxDisplayRows = LibrarySession::maxDisplayRows;
    static constexpr int searchFirstPassCount = LibrarySession::searchFirstPassCount;
    static constexpr int searchDebounceMilliseconds = 180;
    static constexpr int previewHoverDelayMilliseconds = 150;
    static constexpr int clickActionDelayMilliseconds = 100;

    // Builds the window and its interface, restores the active slot, starts the title metadata
    // preload and adds the "Slots" and "Tools" menus. mainMenu, when given, is the application's menu
    // bar; the window takes it over before it adds its menus.
    explicit MainWindowController(QMenuBar *mainMenu = nullptr, QWidget *parent = nullptr);
    ~MainWindowController() override;

    static const QSet<QString> &editableColumns();

    LibrarySession &session() { return m_session; }
    const BookmarkList &allBookmarks() const { return m_session.allBookmarks(); }
    const BookmarkList &filteredBookmarks() const { return m_session.filteredBookmarks(); }
    const QString &selectedFolder() const { return m_session.selectedFolder(); }
    qint64 currentSlotId() const { return m_session.currentSlotId(); }

    // The controls, for the features that update them.
    QLineEdit *folderPathField() const { return m_folderPathField; }
    QPushButton *extractButton() const { return m_extractButton; }
    QPushButton *customModeToggle() const { return m_customModeToggle; }
    WindowsStyleToggleToolTileView *customToggleParchmentTile() const { return m_customToggleParchmentTile; }
    WindowsStyleToggleToolTileView *defaultToggleParchmentTile() const
    {
        return m_defaultToggleParchmentTile;
    }
    QPushButton *listenButton() const { return m_listenButton; }
    const QList<WindowsStyleSlotTileView *> &slotTileViews() const { return m_slotTileViews; }
    QLabel *searchResultsLabel() const { return m_searchResultsLabel; }
    QLabel *tipsLabel() const { return m_tipsLabel; }
    QLabel *statusField() const { return m_statusField; }
    BookmarkTableView *tableView() const { return m_tableView; }
    BookmarkTableModel *tableModel() const { return m_tableModel; }
    BookmarkHoverOverlay *hoverOverlay() const { return m_hoverOverlay; }
    QLineEdit *searchField() const { return m_searchField; }
    QPushButton *editModeButton() const { return m_editModeButton; }
    QPushButton *tagSelectedButton() const { return m_tagSelectedButton; }
    QPushButton *deleteSelectedButton() const { return m_deleteSelectedButton; }
    QToolButton *searchSpotifyButton() const { return m_searchSpotifyButton; }
    QToolButton *searchYoutubeButton() const { return m_searchYoutubeButton; }
    QCheckBox *studyModeCheckbox() const { return m_studyModeCheckbox; }
    QComboBox *studyProviderPopup() const { return m_studyProviderPopup; }
    QPushButton *finishAddToPlaylistButton() const { return m_finishAddToPlaylistButton; }
    // The viewers this window opened, until they close.
    const QList<PdfViewerWindowController *> &openPdfWindowControllers() const
    {
        return m_openPdfWindowControllers;
    }

    void setStatus(const QString &text);

    // Window state.
    void applyLocalizedText();
    void applyCustomToggleChrome();
    void setupPreviewHover();

    // The current slot on disk and on screen.
    void saveCurrentSlot();
    void loadCurrentSlot();
    void switchToSlot(qint64 slot);
    void slotTileClicked(QAbstractButton *sender);
    void updateSlotTileNames();
    void refreshSearchResultCount();
    QString slotAvailabilitySummary(const BookmarkList &rows) const;

    // The table. A reload either clears the selection or keeps the songs selected that are still
    // shown, found by identity key wherever the new order puts them.
    enum class SelectionAfterReload { clear, keepSongs };
    void reloadTable(SelectionAfterReload selection = SelectionAfterReload::clear);
    QList<int> selectedDisplayRows() const;
    // The identity keys of the selected songs, taken when they were selected.
    const QSet<QString> &selectedIdentityKeys() const { return m_selectedKeys; }
    void selectRowsWithIdentityKeys(const QSet<QString> &keys);
    void tableViewSelectionDidChange();
    void syncSearchWebButtonsEnabled();
    void syncSelectedRowsButtonsEnabled();
    QList<qsizetype> uniqueAllBookmarksIndices(const QList<int> &displayRows) const;
    std::optional<qsizetype> allBookmarksIndex(const BookmarkEntry &entry) const;
    static void configureSelectionActionButton(QPushButton *button, const QString &title,
                                               const QColor &colour, bool enabled);
    void tableHeaderClicked(const QString &column);
    // The sort of the filtered rows by a column; the selected songs stay selected.
    void sortFilteredByColumn(const QString &column);

    // Search. The field's every change lands here: the list follows after a pause in typing, at once
    // when the field is emptied. Every list applied keeps the selected songs selected.
    void searchChanged();
    void updateFilteredList(const QString &text);
    void clearSearch();

    // Column edit mode: with it on, outside slot 0, the editable columns' cells open for editing.
    bool isColumnEditModeEnabled() const { return m_isColumnEditModeEnabled; }
    void setColumnEditModeEnabled(bool enabled);
    void toggleColumnEditMode();
    const std::optional<QString> &columnEditModeColumn() const { return m_columnEditModeColumn; }

    // Metadata editing. The guard refuses every change in the read-only Default slot (with an alert).
    bool ensureCurrentSlotEditable(const QString &action);
    void editSelectedMetadata();
    // What the edit dialog's Save does with its values for the entry's title.
    void applyMetadataDialogValues(const BookmarkEntry &entry, const MetadataValues &values);
    bool suppressPreviewDuringCellEdit() const { return m_suppressPreviewDuringCellEdit; }
    // A cell's field opened for editing / closed, committed or not.
    void controlTextDidBeginEditing(int row, const QString &column);
    void controlTextDidEndEditing(int row, const QString &column, const QString &text);
    void cellEditingClosed();

    // The hover page preview.
    void previewHoverMouseMoved(QMouseEvent *event);
    void updateOrShowPreviewPopover(int row);
    void closePreviewWindow();
    PagePreviewWindow *previewPopover() const { return m_previewPopover; }
    int lastPreviewRow() const { return m_lastPreviewRow; }
    int pendingPreviewRow() const { return m_pendingPreviewRow; }
    // Where a window of that size opens beside the pointer (global coordinates, y downwards): right of
    // and below it, else left of or above it where the screen ends, never past the visible frame's left
    // or top edge. visibleFrame empty: no screen, right and below.
    static QPoint previewWindowPosition(const QPoint &pointer, const QSize &size, const QRect &visibleFrame);

    // Row clicks: each plain click pulses the row and acts a moment later, by mode (add to playlist,
    // edit the cell, open the song). A double click opens the song once.
    void handleTableClick(QMouseEvent *event);
    void openPdfFromTableDoubleClick();

    // Opening songs in the viewer.
    void openSelectedPdf();
    void openPdf(const BookmarkEntry &entry);
    void openPdfWithContext(const BookmarkEntry &entry, const BookmarkList &context);
    // Study mode puts the viewer on the left half of the screen's visible frame.
    static QRect studyModeViewerFrame(const QRect &visibleFrame);

    // Row actions and deletion.
    void deleteSelectedRows();
    void contextOpenPdf(int row);
    void contextTagThisRow(int row);
    void contextTagSelected(int row);
    void showRowContextMenu(const QPoint &viewportPosition);
    static QString bookNameLabel(const BookmarkEntry &entry);

    // The built-in bookmark list into the Default slot: the folder of books, then the list matched to
    // it on a worker, then applied. resourcePath nothing: the list is not there.
    void loadDefaultBookmarksFromFolder(const QString &folder, const std::optional<QString> &resourcePath);
    void loadDefaultsFrom(const QString &resourcePath);
    void applyDefaultBookmarks(BookmarkList rows, const QString &folder);

    // The settings menu of the gear button.
    struct InputMicrophone {
        QString uniqueId;
        QString localizedName;
    };
    static QList<InputMicrophone> availableInputMicrophones();
    // Built anew each time, so its check marks show the stored settings; the caller owns it.
    QMenu *makeMainSettingsMenu(const QList<InputMicrophone> &devices);
    void showMainSettingsMenu(QAbstractButton *sender);
    void setLanguageFromMenu(QAction *item);
    void setListenMicrophoneFromMenu(QAction *item);
    using TokenAnswer = AccessTokenDialog::Answer;
    void promptDiscogsToken();
    void applyDiscogsTokenAnswer(TokenAnswer answer, const QString &typedToken);
    void promptRecognitionToken();
    void applyRecognitionTokenAnswer(TokenAnswer answer, const QString &typedToken);

    void installAdvancedMenus();

    // Song recognition through the microphone: the Listen tile is off from the start of a run until
    // its result is shown. The first run asks the user to agree that the recording leaves the computer.
    static constexpr std::chrono::milliseconds listenCaptureTime{8000};
    void startListening();
    void showListenResult(const SongRecognitionResult &result);
    // The recognizer the runs use, which becomes the window's; without one the window makes its own
    // (the microphone and the AudD service) on the first run.
    void setSongRecognizer(SongRecognizer *recognizer);

    // Actions whose flows other parts of the application provide.
    void extractBookmarks();
    void loadDefaultBookmarks();
    void openCustomFiles();
    void customModeToggled();
    void defaultModePressed();
    void mergeSlotsIntoCurrent();
    void openBookmarkWorkshop();
    void presentImportSongDataFlow();
    void openAutoPlaylist();
    void openPlaylists();
    void runAutoTagSelected();
    void runAutoTagAll();
    void searchSpotifyFirstResult();
    void searchYoutubeFirstResult();
    void studyModeToggled(bool on);
    void studyProviderChanged();
    void finishAddToPlaylistMode();
    void addRowToPlaylistFromButton(int row);
    void shareRowFromButton(int row);
    void saveSlotNow();
    void reloadSlotNow();
    void copySlotToAnother();
    void clearCurrentSlot();
    void newExtraction();
    void importMetadata();
    void applyBundledMetadataToAll();
    void enterAddToPlaylistMode(const QVariantMap &userInfo);
    void handleOpenLyfFile(const QVariantMap &userInfo);
    void importImagesAndPDFs(const QList<QUrl> &urls, const std::optional<QString> &targetPlaylistName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupUI();
    QWidget *buildHeaderBar();
    QWidget *buildToolStrip();
    QWidget *buildSlotPanel();
    QWidget *buildSearchPanel();
    QWidget *buildTablePanel();
    QWidget *buildStatusPanel();
    void reportNotAvailableYet(const QString &what);
    void showSelectedFolder();
    void closePreviewOnHoverPath();
    bool previewActive() const;
    void resetPreviewHighlightRow();
    void startPreviewRendering(int row, const BookmarkEntry &entry, const QPoint &pointer);
    void performClickAction(const BookmarkEntry &entry, int row, const QString &column);
    void openWebSearchForFirstRow(bool youtube);
    void showInViewer(const ViewerOpenRequest &request);
    void showFileNotFound(const QString &path);
    QWidget *alertParent();
    bool confirmAudioUpload();
    void setListenTileEnabled(bool enabled);

    LibrarySession m_session;

    QLineEdit *m_folderPathField = nullptr;
    QPushButton *m_extractButton = nullptr;
    QPushButton *m_customModeToggle = nullptr;
    WindowsStyleToggleToolTileView *m_customToggleParchmentTile = nullptr;
    WindowsStyleToggleToolTileView *m_defaultToggleParchmentTile = nullptr;
    QPushButton *m_listenButton = nullptr;
    QList<WindowsStyleSlotTileView *> m_slotTileViews;
    QLabel *m_searchResultsLabel = nullptr;
    QLabel *m_tipsLabel = nullptr;
    QLabel *m_statusField = nullptr;
    BookmarkTableView *m_tableView = nullptr;
    BookmarkTableModel *m_tableModel = nullptr;
    BookmarkTableDelegate *m_tableDelegate = nullptr;
    BookmarkHoverOverlay *m_hoverOverlay = nullptr;
    QLineEdit *m_searchField = nullptr;
    QPushButton *m_editModeButton = nullptr;
    QPushButton *m_tagSelectedButton = nullptr;
    QPushButton *m_deleteSelectedButton = nullptr;
    QToolButton *m_searchSpotifyButton = nullptr;
    QToolButton *m_searchYoutubeButton = nullptr;
    QCheckBox *m_studyModeCheckbox = nullptr;
    QComboBox *m_studyProviderPopup = nullptr;
    QPushButton *m_finishAddToPlaylistButton = nullptr;

    bool m_isColumnEditModeEnabled = false;
    std::optional<QString> m_columnEditModeColumn;
    bool m_suppressPreviewDuringCellEdit = false;
    std::optional<QString> m_addToPlaylistTargetName;
    std::optional<QString> m_sortColumn;
    bool m_sortAscending = true;
    bool m_previewMonitorsInstalled = false;
    QSet<QString> m_selectedKeys;

    QTimer *m_searchDebounceTimer = nullptr;
    QString m_pendingSearchText;

    QPointer<PagePreviewWindow> m_previewPopover;
    QTimer *m_previewHoverTimer = nullptr;
    int m_lastPreviewRow = -1;
    int m_pendingPreviewRow = -1;
    // Set to cancel the page rendering in flight; each rendering has its own.
    std::shared_ptr<std::atomic_bool> m_previewPendingWork;

    // The last song a click opened, so that the double click on it does not open it again.
    QString m_lastClickOpenKey;
    QElapsedTimer m_lastClickOpen;
    QList<PdfViewerWindowController *> m_openPdfWindowControllers;

    SongRecognizer *m_songRecognizer = nullptr;
};
