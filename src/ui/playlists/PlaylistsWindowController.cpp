#include "ui/playlists/PlaylistsWindowController.h"

#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/common/PlaylistsLog.h"
#include "core/playlist/PlaylistBookPaths.h"
#include "core/session/LibrarySession.h"
#include "ui/app/AppContext.h"
#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/RowReturnKey.h"
#include "ui/common/StatusLine.h"
#include "ui/common/StudyModeService.h"
#include "ui/common/TablePagePreview.h"
#include "ui/common/WindowPlacement.h"
#include "ui/playlists/PlaylistCardView.h"
#include "ui/playlists/PlaylistListModels.h"
#include "ui/services/LyrafoldHelpService.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/PlaylistShareFlow.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {

const QString windowTitleText = QStringLiteral("LYRAFOLD (beta) - Playlists");

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QLabel *headerLabel(const QString &text, qreal size)
{
    auto *label = new QLabel(text);
    label->setFont(LyrafoldTheme::playlistCardTitleFont(size));
    return label;
}

QPushButton *tintedButton(const QString &text, const QColor &tint)
{
    auto *button = new QPushButton(text);
    QPalette palette = LyrafoldTheme::hudPalette();
    palette.setColor(QPalette::Active, QPalette::ButtonText, tint);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, tint);
    button->setPalette(palette);
    return button;
}

const QColor &systemGreen()
{
    static const QColor green(52, 199, 89);
    return green;
}

// A pane of the split view: its controls stacked with the window's spacing.
QVBoxLayout *paneStack(QWidget *pane)
{
    auto *stack = new QVBoxLayout(pane);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSpacing(10);
    return stack;
}

QWidget *flexibleSpace()
{
    auto *space = new QWidget;
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
}

} // namespace

PlaylistsWindowController::PlaylistsWindowController(AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_library(context.playlists()),
      m_bookPaths(std::make_shared<DefaultBookPaths>()), m_slotBookPaths(std::make_shared<SlotBookPaths>())
{
    setObjectName(QStringLiteral("playlistsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(windowTitleText);
    resize(900, 600);
    playlistLog(QStringLiteral("---"));
    playlistLog(QStringLiteral("PlaylistsWindowController init done, calling setupUI"));
    setupUI();
    LyrafoldLanguageService::apply(this);
    setWindowTitle(LyrafoldLanguageService::localized(windowTitleText));
    // At least 600 by 400, and wide enough that no control of either pane is cut in this language.
    WindowPlacement::keepMinimumFitting(this, QSize(600, 400));
    WindowPlacement::centreOnScreen(this);

    playlistLog(QStringLiteral("setupUI done, calling reloadPlaylists"));
    m_namesModel->refresh({PlaylistChange::Kind::reloaded, {}});
    refreshTitlesPane();
    playlistLog(QStringLiteral("reloadPlaylists: loaded %1 playlists, selectedPlaylistIndex=%2")
                    .arg(m_library.count())
                    .arg(m_selectedPlaylistIndex));

    connect(&m_library, &PlaylistLibrary::playlistsChanged, this,
            &PlaylistsWindowController::playlistsChanged);
    // A title missing from its folder is also looked for among the books of the current slot.
    connect(&m_context.library(), &LibrarySession::libraryChanged, this, [this] {
        ++m_titlesVersion;
        recheckMissingBook();
    });
    NotificationBus &bus = m_context.notifications();
    connect(&bus, &NotificationBus::finishedAddToPlaylistMode, this,
            &PlaylistsWindowController::addToPlaylistModeFinished);
    // The Default library's books are looked up before the first title needs them.
    QThreadPool::globalInstance()->start([paths = m_bookPaths] { paths->get(); });
    playlistLog(QStringLiteral("reloadPlaylists done"));
}

PlaylistsWindowController::~PlaylistsWindowController()
{
    // The titles' viewport still sends events while the window's children are torn down; the preview
    // must not pass them on to a window that is already half gone.
    delete std::exchange(m_preview, nullptr);
    // Nor does a selection dropped by a list as it goes reach the window's members, already gone then.
    m_playlistTableView->selectionModel()->disconnect(this);
}

// ---- Building the window

void PlaylistsWindowController::setupUI()
{
    playlistLog(QStringLiteral("setupUI start"));
    setPalette(LyrafoldTheme::hudPalette());
    setAutoFillBackground(true);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("playlistsSplitView"));
    splitter->setHandleWidth(1);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildPlaylistsPane());
    splitter->addWidget(buildTitlesPane());
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({380, 520});

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(splitter, 1);
    root->addWidget(buildStatusLine());

    LyrafoldHelpService::installHelpButton(this, LyrafoldHelpTopic::playlists);
    setupTitlePreviewHover();
}

QWidget *PlaylistsWindowController::buildPlaylistsPane()
{
    auto *pane = new QWidget;
    QVBoxLayout *stack = paneStack(pane);
    stack->addWidget(headerLabel(QStringLiteral("Playlists"), 16));

    m_namesModel = new PlaylistNamesModel(m_library, this);
    m_playlistTableView = new PlaylistCardView(PlaylistCardView::Kind::playlists);
    m_playlistTableView->setModel(m_namesModel);
    connect(m_playlistTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_selectingPlaylist)
            return;
        setStatus(QString());
        const QModelIndexList rows = m_playlistTableView->selectionModel()->selectedRows();
        playlistRowClicked(rows.isEmpty() ? -1 : rows.first().row());
    });
    // Return on the ringed card chooses it, as a click does.
    RowReturnKey::install(
        m_playlistTableView, [this](const QModelIndex &current) { playlistRowClicked(current.row()); },
        RowReturnKey::Unselected::selectFirst);
    ListFocus::install(m_playlistTableView);
    stack->addWidget(m_playlistTableView, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_createButton = tintedButton(QStringLiteral("Create New Playlist"), systemGreen());
    m_createButton->setObjectName(QStringLiteral("createPlaylistButton"));
    connect(m_createButton, &QPushButton::clicked, this, [this] { createNewPlaylist(); });
    QColor red(255, 59, 48);
    red.setAlphaF(0.7f);
    m_deleteButton = tintedButton(QStringLiteral("Delete Playlist"), red);
    m_deleteButton->setObjectName(QStringLiteral("deletePlaylistButton"));
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { deleteSelectedPlaylist(); });
    buttons->addWidget(m_createButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    stack->addLayout(buttons);
    return pane;
}

QWidget *PlaylistsWindowController::buildTitlesPane()
{
    auto *pane = new QWidget;
    QVBoxLayout *stack = paneStack(pane);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(headerLabel(QStringLiteral("Titles"), 16));
    header->addWidget(flexibleSpace(), 1);
    const StudyModeService::Controls studyMode = StudyModeService::makeControls();
    m_addSongsButton = tintedButton(QStringLiteral("Add Song"), systemGreen());
    m_addSongsButton->setObjectName(QStringLiteral("addSongsButton"));
    connect(m_addSongsButton, &QPushButton::clicked, this, [this] { addSongsTapped(); });
    header->addWidget(studyMode.checkbox);
    header->addWidget(studyMode.providerPopup);
    header->addWidget(m_addSongsButton);
    header->addSpacing(46); // the help button's corner
    stack->addLayout(header);

    m_titlesPlaceholderLabel = headerLabel(QStringLiteral("Select a playlist to see its titles."), 13);
    m_titlesPlaceholderLabel->setObjectName(QStringLiteral("titlesPlaceholderLabel"));
    m_titlesPlaceholderLabel->setAlignment(Qt::AlignCenter);
    m_titlesPlaceholderLabel->setWordWrap(true);
    m_titlesPlaceholderLabel->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(m_titlesPlaceholderLabel, 1);

    m_titlesModel = new PlaylistTitlesModel(m_library, this);
    m_titlesTableView = new PlaylistCardView(PlaylistCardView::Kind::titles);
    m_titlesTableView->setModel(m_titlesModel);
    m_titlesTableView->setMinimumHeight(120);
    m_titlesTableView->hide();
    m_titlesTableView->dropActionFor = [this](const QMimeData *data) { return dropActionFor(data); };
    connect(m_titlesTableView, &PlaylistCardView::cardPressed, this, [this](int row) {
        m_preview->close();
        openTitleAtRow(row);
    });
    // The ringed card opens, whether or not a click selected it before.
    RowReturnKey::install(
        m_titlesTableView, [this](const QModelIndex &current) { openTitleAtRow(current.row()); },
        RowReturnKey::Unselected::selectFirst);
    ListFocus::install(m_titlesTableView);
    connect(m_titlesTableView, &PlaylistCardView::partClicked, this,
            [this](int row, PlaylistCardView::Part part) {
                if (part == PlaylistCardView::Part::remove)
                    removeTitleAtRow(row);
                else if (part == PlaylistCardView::Part::spotify)
                    openLinkForTitleRow(row, PlaylistRows::Link::spotify);
                else if (part == PlaylistCardView::Part::youtube)
                    openLinkForTitleRow(row, PlaylistRows::Link::youtube);
            });
    connect(m_titlesTableView, &PlaylistCardView::rowDragStarted, this, [this](int row) {
        m_preview->close();
        m_draggedTitle = std::pair(qsizetype(row), PlaylistItemRef::at(m_titlesModel->items(), row));
    });
    connect(m_titlesTableView, &PlaylistCardView::dropped, this,
            [this](const QMimeData *data, int dropRow) { dropOnTitles(data, dropRow); });
    stack->addWidget(m_titlesTableView, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    m_shareButton = new QPushButton(QStringLiteral("Share Playlist"));
    m_shareButton->setObjectName(QStringLiteral("sharePlaylistButton"));
    connect(m_shareButton, &QPushButton::clicked, this, [this] { shareTapped(); });
    bottom->addWidget(m_shareButton);
    stack->addLayout(bottom);
    return pane;
}

QWidget *PlaylistsWindowController::buildStatusLine()
{
    m_statusField = new StatusLine(QStringLiteral("playlistsStatusField"));
    m_statusField->setContentsMargins(12, 4, 12, 8);
    QPalette palette = m_statusField->palette();
    palette.setColor(QPalette::WindowText, LyrafoldTheme::hudPalette().color(QPalette::PlaceholderText));
    m_statusField->setPalette(palette);
    m_statusField->reportFailedSaves(m_library);
    return m_statusField;
}

void PlaylistsWindowController::setupTitlePreviewHover()
{
    TablePagePreview::Behaviour behaviour;
    behaviour.hoverDelayMilliseconds = titlePreviewDelayMilliseconds;
    // The card view shows its own press look and opens the title on its cardPressed().
    behaviour.isOnControl = [view = m_titlesTableView](int, const QPoint &position) {
        return view->partAt(position) != PlaylistCardView::Part::card;
    };
    m_preview = new TablePagePreview(
        m_titlesTableView, [this](int row) { return previewSongAt(row); }, this, behaviour);
}

void PlaylistsWindowController::showWindow()
{
    playlistLog(QStringLiteral("showWindow called"));
    WindowPlacement::bringToFront(this, true);
    playlistLog(QStringLiteral("showWindow done, playlists.count=%1 selectedPlaylistIndex=%2")
                    .arg(m_library.count())
                    .arg(m_selectedPlaylistIndex));
}

void PlaylistsWindowController::closeEvent(QCloseEvent *event)
{
    if (m_preview)
        m_preview->close();
    Q_EMIT windowClosed();
    QWidget::closeEvent(event);
}

// The line tells what the user's last action did; an action with no word of its own leaves it empty,
// so that no earlier text ("Opened: …") reads as what is the case now.
void PlaylistsWindowController::setStatus(const QString &text)
{
    m_statusField->setStatus(text);
}

// ---- The playlists and the selection

const Playlist *PlaylistsWindowController::selectedPlaylist() const
{
    const QList<Playlist> &playlists = m_library.playlists();
    return m_selectedPlaylistIndex >= 0 && m_selectedPlaylistIndex < playlists.size()
               ? &playlists.at(m_selectedPlaylistIndex)
               : nullptr;
}

void PlaylistsWindowController::playlistRowClicked(qsizetype row)
{
    playlistLog(QStringLiteral("playlistRowClicked(%1) playlists.count=%2").arg(row).arg(m_library.count()));
    if (row < 0 || row >= m_library.count()) {
        playlistLog(QStringLiteral("playlistRowClicked: guard failed, returning"));
        return;
    }
    playlistLog(QStringLiteral("playlistRowClicked: set selectedPlaylistIndex=%1, calling refreshTitlesPane")
                    .arg(row));
    showPlaylist(row, row == m_selectedPlaylistIndex);
}

void PlaylistsWindowController::showPlaylist(qsizetype row, bool keepTitlesPlace)
{
    const bool same = row == m_titlesModel->playlist();
    const int scroll = m_titlesTableView->verticalScrollBar()->value();
    const QModelIndexList selected = m_titlesTableView->selectionModel()->selectedRows();
    const PlaylistItemRef selectedTitle =
        selected.isEmpty() ? PlaylistItemRef{}
                           : PlaylistItemRef::at(m_titlesModel->items(), selected.first().row());

    m_selectedPlaylistIndex = row;
    m_selectedPlaylistName = row >= 0 ? m_library.playlists().at(row).name : QString();
    selectPlaylistRow(row);
    if (!same)
        m_preview->close();
    ++m_titlesVersion;
    m_titlesModel->setPlaylist(row);
    if (same && keepTitlesPlace) {
        selectTitleRow(int(selectedTitle.indexIn(m_titlesModel->items())));
        m_titlesTableView->verticalScrollBar()->setValue(scroll);
    }
    refreshTitlesPane();
    // The slot's books are looked up before a press or the pointer needs them: a title whose book only a
    // large slot knows then opens at once. Once per library; the titles themselves are not copied.
    if (row >= 0) {
        const LibrarySession &library = m_context.library();
        QThreadPool::globalInstance()->start(
            [paths = m_slotBookPaths, rows = library.allBookmarks()] { paths->ofRows(rows); });
    }
}

void PlaylistsWindowController::selectPlaylistRow(qsizetype row)
{
    m_selectingPlaylist = true;
    if (row >= 0)
        m_playlistTableView->selectRow(int(row));
    else
        m_playlistTableView->clearSelection();
    m_selectingPlaylist = false;
}

void PlaylistsWindowController::selectTitleRow(int row)
{
    if (row >= 0 && row < m_titlesModel->rowCount())
        m_titlesTableView->selectRow(row);
    else
        m_titlesTableView->clearSelection();
}

void PlaylistsWindowController::refreshTitlesPane()
{
    const bool hasSelection = selectedPlaylist() != nullptr;
    playlistLog(
        QStringLiteral("refreshTitlesPane: selectedPlaylistIndex=%1 playlists.count=%2 hasSelection=%3")
            .arg(m_selectedPlaylistIndex)
            .arg(m_library.count())
            .arg(boolText(hasSelection)));
    m_titlesPlaceholderLabel->setVisible(!hasSelection);
    m_titlesTableView->setVisible(hasSelection);
    m_addSongsButton->setEnabled(hasSelection);
    m_shareButton->setEnabled(hasSelection);
    m_deleteButton->setEnabled(hasSelection);
}

void PlaylistsWindowController::playlistsChanged(const PlaylistChange &change)
{
    const qsizetype selected = PlaylistRows::selectionAfterChange(
        m_selectedPlaylistIndex, m_selectedPlaylistName, change, m_library.playlists());
    if (selected < 0 && m_selectedPlaylistIndex >= 0)
        playlistLog(QStringLiteral("reloadPlaylists: reset selectedPlaylistIndex to -1"));
    m_namesModel->refresh(change);
    const bool titlesChanged =
        change.kind != PlaylistChange::Kind::added &&
        (change.kind != PlaylistChange::Kind::itemsChanged || change.playlists.contains(selected));
    if (titlesChanged || selected != m_selectedPlaylistIndex) {
        showPlaylist(selected, true);
    } else {
        selectPlaylistRow(selected);
        refreshTitlesPane();
    }
}

void PlaylistsWindowController::addToPlaylistModeFinished(const QVariantMap &userInfo)
{
    const QVariant name = userInfo.value(NotificationBus::playlistNameKey);
    if (name.typeId() == QMetaType::QString) {
        const qsizetype index = m_library.indexOf(name.toString());
        if (index >= 0)
            playlistRowClicked(index);
    }
    showWindow();
}
