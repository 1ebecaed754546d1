#include "ui/mainwindow/MainWindowController.h"

#include "core/bookmarks/LibraryColumns.h"
#include "core/common/AppPaths.h"
#include "core/common/Hop.h"
#include "core/common/HoverLog.h"
#include "core/common/LaunchLog.h"
#include "core/common/NotificationBus.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleMetadataIndex.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistWindowController.h"
#include "ui/common/RowReturnKey.h"
#include "ui/common/SlotNames.h"
#include "ui/common/StatusLine.h"
#include "ui/common/TablePagePreview.h"
#include "ui/common/WindowPlacement.h"
#include "ui/customfiles/CustomFilesWindowController.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MainSettingsMenu.h"
#include "ui/mainwindow/MainWindowPlaylists.h"
#include "ui/mainwindow/TileView.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"
#include "ui/metadata/AutoTagFlow.h"
#include "ui/metadata/MetadataImportFlow.h"
#include "ui/recognition/ListenFlow.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/TitleShareFlow.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QItemSelection>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <utility>

MainWindowController::MainWindowController(AppContext &context, QMenuBar *mainMenu, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_session(context.library()), m_shownRows(context.shownRows()),
      m_slots(context.librarySlots()), m_files(context.libraryFiles())
{
    setWindowTitle(QStringLiteral("LYRAFOLD (beta)"));
    resize(1380, 640);
    setMinimumSize(1200, 480);
    setAttribute(Qt::WA_DeleteOnClose, false);
    WindowPlacement::centreOnScreen(this);
    if (mainMenu)
        setMenuBar(mainMenu);

    m_searchDebounceTimer = new QTimer(this);
    m_searchDebounceTimer->setObjectName(QStringLiteral("searchDebounceTimer"));
    m_searchDebounceTimer->setSingleShot(true);
    m_searchDebounceTimer->setInterval(searchDebounceMilliseconds);
    // The text as the field holds it when the pause ends: the rows shown never answer a text the field
    // no longer shows.
    connect(m_searchDebounceTimer, &QTimer::timeout, this,
            [this] { updateFilteredList(TextUtils::trimmed(m_ui.searchField->text())); });
    m_view = new MainWindowView(*this);
    m_ui = m_view->controls();
    m_ui.searchField->installEventFilter(this);
    connect(m_view, &MainWindowView::commandTriggered, this, &MainWindowController::runCommand);
    connect(m_view, &MainWindowView::slotTileClicked, this, &MainWindowController::switchToSlot);
    setupFlows();
    applyCustomToggleChrome();
    applyLocalizedText();
    centralWidget()->layout()->activate();
    connectOwners();
    setupLibraryFlows();

    m_session.restoreActiveSlot();
    showCurrentSlotTile();
    updateSlotTileNames();
    loadCurrentSlot();
    refreshSearchResultCount();

    const Hop::Receiver back(this);
    TitleMetadataIndex::preload([this, back] {
        if (const std::optional<QString> error = TitleMetadataIndex::loadError())
            back.post(
                [this, message = *error] { setStatus(QStringLiteral("Title metadata: %1").arg(message)); });
    });
    m_view->installMenus();
}

MainWindowController::~MainWindowController()
{
    delete m_playlists;
    delete m_workshopWindowController.data();
    delete m_customFilesWindowController.data();
    // A run still going ends its batch now, while the window that hears of the change is whole; after
    // it the window hears no more of the library. The table's viewport still sends events while the
    // window's children are torn down: the table must not pass them on to a window half gone.
    delete m_autoTag;
    disconnect(&m_session, nullptr, this, nullptr);
    delete m_table;
}

void MainWindowController::connectOwners()
{
    NotificationBus &bus = m_context.notifications();
    const auto reportSetAside = [this](const QString &path, const QString &asidePath) {
        // A book's annotation file is told by the viewer that opened the book, in the book's name.
        if (QFileInfo(path).absolutePath() == QFileInfo(AppPaths::annotationCacheDir()).absoluteFilePath())
            return;
        setStatus(QStringLiteral("%1 could not be read and was set aside as %2.")
                      .arg(QFileInfo(path).fileName(), QFileInfo(asidePath).fileName()));
    };
    // Told after the current work (a load writes its own status first), so the user sees it.
    connect(&bus, &NotificationBus::stateFileSetAside, this, reportSetAside, Qt::QueuedConnection);
    for (const auto &[path, asidePath] : m_context.takeFilesSetAsideAtStart()) {
        QMetaObject::invokeMethod(
            this, [reportSetAside, path, asidePath] { reportSetAside(path, asidePath); },
            Qt::QueuedConnection);
    }
    connect(&bus, &NotificationBus::languageChanged, this, [this] {
        applyLocalizedText();
        updateSlotTileNames();
    });

    const auto reportFailedSave = [this](const QString &path, const QString &reason) {
        setStatus(StatusLine::failedSaveText(path, reason));
    };
    connect(&m_session, &LibrarySession::saveFailed, this, reportFailedSave);
    connect(&m_session, &LibrarySession::changedElsewhere, this, &MainWindowController::setStatus);
    connect(&m_context.playlists(), &PlaylistLibrary::saveFailed, this, reportFailedSave);
    connect(&m_shownRows, &LibraryShownRows::filteredBookmarksChanged, this, [this] {
        m_table->showSortOrder();
        m_table->reload(SelectionAfterReload::keepSongs);
        refreshSearchResultCount();
    });
    // A cell's field still open when another slot is asked for, work done elsewhere is about to change
    // the rows (a slot read or read again, songs merged or imported, a metadata change worked out on a
    // worker, an extraction, another program's version of the slot; by this window or another, however
    // long after it began), or the application ends (Quit, its window closed, a signal to end, the
    // session's end), gives its text to the song it was typed for: a tile takes no focus from the field,
    // new rows would drop it unsaved, and an edit the event loop was still to apply would never be.
    connect(&m_session, &LibrarySession::rowsAboutToChange, m_table,
            &LibraryTableController::commitOpenCellEdit);
    connect(&bus, &NotificationBus::quitting, m_table, &LibraryTableController::commitOpenCellEdit);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, m_table,
            &LibraryTableController::commitOpenCellEdit);
    connect(&m_slots, &LibrarySlots::requestedSlotChanged, this, [this] {
        m_table->commitOpenCellEdit();
        showCurrentSlotTile();
    });
    // Whoever changed the rows, the search runs again over them; a new library is shown by whoever
    // loaded it.
    connect(&m_session, &LibrarySession::libraryChanged, this, [this](LibrarySession::ChangeKind kind) {
        if (kind != LibrarySession::ChangeKind::replaced)
            searchChanged();
        else
            showReplacedLibrary();
        // A switch may have brought the rows the window waited for at start.
        runActionsAfterRead();
    });
}

void MainWindowController::setupFlows()
{
    m_metadataImports = new MetadataImportFlow(m_context, *m_ui.statusField, this);
    m_autoTag = new AutoTagFlow(m_context, *m_ui.statusField, this);
    connect(m_autoTag, &AutoTagFlow::reloadPoint, this,
            [this] { m_table->reload(SelectionAfterReload::keepSongs); });
    m_table = new LibraryTableController(m_context, m_view->controls(), *m_autoTag, this);
    m_playlists = new MainWindowPlaylists(m_context, *m_table, *m_ui.finishAddToPlaylistButton,
                                          *m_ui.statusField, this);
    connect(m_table, &LibraryTableController::metadataCellEdited, this,
            &MainWindowController::customModeToggled);
    connect(m_table, &LibraryTableController::rowsDeleted, this,
            &MainWindowController::refreshSearchResultCount);
    m_listen = new ListenFlow(*m_ui.statusField, this);
    // The whole tile, so that it looks off and takes no presses. Turned off, it hands the keyboard focus
    // to the next tile, whose action Space would start next: the focus comes back with the tile.
    connect(m_listen, &ListenFlow::runningChanged, this, [this](bool running) {
        QWidget *tile = m_ui.listenButton->parentWidget();
        if (running)
            m_listenTileHadFocus = tile->window()->focusWidget() == tile;
        tile->setEnabled(!running);
        if (!running && std::exchange(m_listenTileHadFocus, false))
            tile->setFocus(Qt::OtherFocusReason);
    });
    connect(m_listen, &ListenFlow::songIdentified, this, [this](const QString &title) {
        m_ui.searchField->setText(title);
        searchChanged();
    });
    connect(m_listen, &ListenFlow::tokenRequested, m_ui.settingsMenu,
            &MainSettingsMenu::promptRecognitionToken);
}

void MainWindowController::runCommand(MainWindowView::Command command)
{
    using Command = MainWindowView::Command;
    // A search goes to the rows shown now, and again to the slot's rows when they arrive; everything
    // else works with the library, and waits for them.
    if (command != Command::search && !m_slots.currentSlotRead()) {
        whenSlotRead([this, command] { runCommand(command); });
        return;
    }
    // What a cell's field holds is the library's before any command reads, saves or changes the rows: a
    // tile or a menu item takes no focus from the field, so nothing else would end it first.
    m_table->commitOpenCellEdit();
    // The library flows report to this window's status line: the extraction's progress and Cancel
    // stand beside it.
    LibraryFlowService &flows = m_context.libraryFlows();
    switch (command) {
    case Command::extractBookmarks:
        return flows.extractBookmarks(*m_ui.statusField);
    case Command::loadDefaultBookmarks:
        return loadDefaultBookmarks();
    case Command::openCustomFiles:
        return openCustomFiles();
    case Command::customMode:
        return customModeToggled();
    case Command::defaultMode:
        return defaultModePressed();
    case Command::listen:
        return m_listen->start();
    case Command::openWorkshop:
        return openBookmarkWorkshop();
    case Command::importSongData:
        return m_autoTag->importSongData();
    case Command::openAutoPlaylist:
        return openAutoPlaylist();
    case Command::openPlaylists:
        return m_playlists->openPlaylists();
    case Command::applyFolderPath:
        return applyFolderPathFromField();
    case Command::search:
        return searchChanged();
    case Command::toggleEditMode:
        return m_table->toggleColumnEditMode();
    case Command::tagSelected:
        return m_table->tagSelectedRows();
    case Command::deleteSelected:
        return m_table->deleteSelectedRows();
    case Command::searchSpotify:
        return openWebSearchForFirstRow(false);
    case Command::searchYoutube:
        return openWebSearchForFirstRow(true);
    case Command::finishAddToPlaylist:
        return m_playlists->finishAddToPlaylistMode();
    case Command::saveSlot:
        return saveSlotNow();
    case Command::reloadSlot:
        return reloadSlotNow();
    case Command::copySlot:
        return copySlotToAnother();
    case Command::mergeSlots:
        return flows.mergeSlotsIntoCurrent(*m_ui.statusField);
    case Command::clearSlot:
        return flows.clearCurrentSlot(*m_ui.statusField);
    case Command::newExtraction:
        return flows.newExtraction(*m_ui.statusField);
    case Command::editMetadata:
        return m_table->editSelectedMetadata();
    case Command::importMetadataFile:
        return m_metadataImports->importMetadata();
    case Command::autoTagAll:
        return m_autoTag->tagAll();
    case Command::applyBundledMetadata:
        return m_metadataImports->applyBundledMetadataToAll();
    }
}

void MainWindowController::setStatus(const QString &text)
{
    m_ui.statusField->setStatus(text);
}

// ---- Window state

void MainWindowController::applyLocalizedText()
{
    LyrafoldLanguageService::applyToOpenWindows();
    if (m_table)
        m_table->retranslate();
    if (m_ui.tipsLabel)
        m_ui.tipsLabel->setText(MainWindowView::tipsText(m_ui.tipsLabel->font()));
    refreshSearchResultCount();
}

void MainWindowController::applyCustomToggleChrome()
{
    if (m_ui.customToggleTile)
        m_ui.customToggleTile->refreshToggleChrome();
    if (m_ui.defaultToggleTile) {
        // Only CUSTOM carries the mode; DEFAULT always shows the opposite.
        const bool customOn = m_ui.customModeToggle && m_ui.customModeToggle->isChecked();
        m_ui.defaultToggleTile->hitButton()->setChecked(!customOn);
        m_ui.defaultToggleTile->refreshToggleChrome();
    }
}

// ---- The current slot

void MainWindowController::loadCurrentSlot()
{
    // Read on a worker as a switch reads its slot: the window shows at once, saying what it waits for.
    const qint64 slot = m_session.currentSlotId();
    const QString loading = StatusLine::loadingSlotText(m_slots.slotTileNames().value(int(slot)));
    setStatus(loading);
    m_readingAtStart = true;
    m_shownSlot = slot;
    m_slots.loadCurrentSlot(this, [this, loading](const LibrarySlots::LoadResult &result) {
        // The rows were shown as every new library is (showReplacedLibrary()); an empty slot brings
        // only its folder. What was told meanwhile (a file set aside) stays.
        m_readingAtStart = false;
        showSelectedFolder();
        refreshSearchResultCount();
        if (m_ui.statusField->text() == loading) {
            if (result.statusText.isEmpty())
                m_ui.statusField->showReady();
            else
                setStatus(result.statusText);
        }
        logLaunch(QStringLiteral("library rows shown: %1").arg(m_session.allBookmarks().size()));
        runActionsAfterRead();
    });
}

void MainWindowController::whenSlotRead(std::function<void()> action)
{
    if (m_slots.currentSlotRead())
        action();
    else
        m_afterRead.append(std::move(action));
}

void MainWindowController::runActionsAfterRead()
{
    // In the order asked; an action may ask for more.
    while (m_slots.currentSlotRead() && !m_afterRead.isEmpty())
        m_afterRead.takeFirst()();
}

void MainWindowController::showSelectedFolder()
{
    // The folder in effect, none included: the field never names a folder Extract would not work on.
    const QString &folder = m_session.selectedFolder();
    if (m_ui.folderPathField)
        m_ui.folderPathField->setText(folder);
    if (m_ui.extractButton)
        m_ui.extractButton->setEnabled(!folder.isEmpty() && !m_context.libraryFlows().extraction().isBusy());
}

void MainWindowController::showCurrentSlotTile()
{
    for (int i = 0; i < m_ui.slotTiles.size(); ++i) {
        m_ui.slotTiles[i]->slotSelected = i == m_slots.requestedSlot();
        m_ui.slotTiles[i]->applyChrome();
    }
}

void MainWindowController::switchToSlot(qint64 slot)
{
    m_table->commitOpenCellEdit();
    // The window stays usable while the slot loads; the library that arrives is shown as every
    // replaced library is (showReplacedLibrary()).
    const bool dropping = m_slots.loadingSlot() && slot == m_session.currentSlotId();
    if (m_slots.switchToSlot(slot, this, [this](const QString &status) { setStatus(status); }))
        setStatus(StatusLine::loadingSlotText(m_slots.slotTileNames().value(int(slot))));
    else if (dropping)
        setStatus(QString());
}

void MainWindowController::updateSlotTileNames()
{
    const QStringList names = m_slots.slotTileNames();
    for (int i = 0; i < m_ui.slotTiles.size() && i < names.size(); ++i) {
        m_ui.slotTiles[i]->setName(
            slotTileName(i, names.at(i)),
            LyrafoldLanguageService::localized(QStringLiteral("Switch to slot %1")).arg(i));
    }
}

void MainWindowController::refreshSearchResultCount()
{
    if (m_ui.searchResultsLabel) {
        // The whole result, also beyond the rows the table shows; no count while the slot is read at
        // start, when the library is empty only because its rows have not arrived.
        m_ui.searchResultsLabel->setText(
            m_slots.currentSlotRead() ? LyrafoldLanguageService::localized(QStringLiteral("%1 results"))
                                            .arg(m_shownRows.filteredCount())
                                      : QString());
    }
    syncSearchWebButtonsEnabled();
    if (m_table)
        m_table->syncSelectedRowsButtonsEnabled();
}

// ---- The table

void MainWindowController::syncSearchWebButtonsEnabled()
{
    const bool anyRow = m_shownRows.displayedRowCount() > 0;
    if (m_ui.searchSpotifyButton)
        m_ui.searchSpotifyButton->setEnabled(anyRow);
    if (m_ui.searchYoutubeButton)
        m_ui.searchYoutubeButton->setEnabled(anyRow);
}

// ---- The windows and flows of the tool strip, the menus and the row buttons. Each opener is one line:
// a window or flow is a controller of its own folder (ui/playlists, ui/autoplaylist, ui/workshop,
// ui/customfiles, ui/import), made with the application context.

void MainWindowController::customModeToggled()
{
    if (m_ui.customModeToggle)
        m_ui.customModeToggle->setChecked(true);
    applyCustomToggleChrome();
}

void MainWindowController::defaultModePressed()
{
    if (m_ui.customModeToggle)
        m_ui.customModeToggle->setChecked(false);
    // A press on a lit DEFAULT lights it again.
    applyCustomToggleChrome();
    m_metadataImports->loadDefaultMetadata();
}

void MainWindowController::openAutoPlaylist()
{
    connect(
        AutoPlaylistWindowController::open(m_context, this), &AutoPlaylistWindowController::playlistSaved,
        this, [this](const QString &name, qsizetype count) {
            setStatus(
                QStringLiteral("Saved auto-playlist \"%1\" (%2 titles)").arg(name, QString::number(count)));
        });
}
