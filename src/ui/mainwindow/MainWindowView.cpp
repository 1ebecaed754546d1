#include "ui/mainwindow/MainWindowView.h"

#include "core/common/LaunchLog.h"
#include "core/session/LibrarySession.h"
#include "ui/common/LyrafoldPlaylistStyleHeaderBarView.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/common/PlaceholderFit.h"
#include "ui/common/StatusLine.h"
#include "ui/common/StudyModeService.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MainSettingsMenu.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"
#include "ui/mainwindow/WindowsStyleToolTileView.h"
#include "ui/services/LyrafoldHelpService.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The vertical room of the window at its smallest (1200 by 480, menu bar included) is shared out
// tightly: the tiles keep their height, every panel keeps its controls whole, the table keeps a few rows.
constexpr int rootMargin = 10;
constexpr int rootSpacing = 6;
constexpr int tileSpacing = 6;
constexpr int tableMinimumHeight = 100;

QFont systemFont(qreal pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(weight);
    return font;
}

QLabel *makeLabel(const QString &text, qreal pixelSize, QFont::Weight weight, qreal alpha = 1)
{
    auto *label = new QLabel(text);
    label->setFont(systemFont(pixelSize, weight));
    if (alpha < 1) {
        // From the window's palette: the label gets its own before it is placed in the window.
        QPalette palette = label->palette();
        QColor colour = LyrafoldTheme::hudPalette().color(QPalette::WindowText);
        colour.setAlphaF(float(alpha));
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    return label;
}

// A tool tile's object name from its image's: "bookmark_workshop" names "bookmarkWorkshopTile".
QString tileName(const QString &image)
{
    QString name;
    for (const QString &word : image.split(QLatin1Char('_')))
        name += name.isEmpty() ? word : word.left(1).toUpper() + word.mid(1);
    return name + QStringLiteral("Tile");
}

QWidget *flexibleSpacer()
{
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    spacer->setMinimumWidth(0);
    return spacer;
}

QToolButton *makeImageButton(const QString &imageName, const QString &toolTip, int side, int imageSide)
{
    auto *button = new QToolButton;
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIcon(LyrafoldUIAssets::image(imageName, imageSide));
    button->setIconSize(QSize(imageSide, imageSide));
    button->setToolTip(toolTip);
    // A picture alone: the tip names it for a screen reader.
    button->setAccessibleName(toolTip);
    button->setFixedSize(side, side);
    return button;
}

} // namespace

MainWindowView::MainWindowView(QMainWindow &window) : QObject(&window), m_window(window)
{
    logLaunch(QStringLiteral("setupUI start"));
    m_controls.settingsMenu = new MainSettingsMenu(&window);
    window.setPalette(LyrafoldTheme::hudPalette());
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    window.setCentralWidget(content);

    auto *root = new QVBoxLayout(content);
    root->setContentsMargins(rootMargin, rootMargin, rootMargin, rootMargin);
    root->setSpacing(rootSpacing);
    root->addWidget(buildHeaderBar());
    root->addWidget(buildToolStrip());
    root->addWidget(buildSearchPanel());
    root->addWidget(buildTablePanel(), 1);
    m_controls.tipsLabel = makeLabel(QString(), 12, QFont::Normal, 0.6);
    m_controls.tipsLabel->setObjectName(QStringLiteral("tipsLabel"));
    m_controls.tipsLabel->setWordWrap(true);
    // Written by the window in the current language (see tipsText()).
    LyrafoldLanguageService::markDynamicOwnText(m_controls.tipsLabel);
    root->addWidget(m_controls.tipsLabel);
    root->addWidget(buildStatusPanel());

    connect(m_controls.settingsMenu, &MainSettingsMenu::statusChanged, m_controls.statusField,
            &StatusLine::setStatus);
    LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::main);
    // The window opens ready to search; Tab goes on from there in reading order.
    m_controls.searchField->setFocus();
    logLaunch(QStringLiteral("setupUI done stack.subviews=%1").arg(root->count()));
}

QString MainWindowView::tipsText(const QFont &font)
{
    QString tips = LyrafoldLanguageService::localized(
        QStringLiteral("Tips: press ＋ to add to playlist • hover to preview • click once to open page"));
    // Fonts without the wide plus show an empty box in its place.
    if (!QFontMetrics(font).inFontUcs4(0xFF0B))
        tips.replace(QChar(0xFF0B), QLatin1Char('+'));
    return tips;
}

void MainWindowView::configureSelectionActionButton(QPushButton *button, const QString &title,
                                                    const QColor &colour, bool enabled)
{
    if (!button)
        return;
    // Enabled either way: the flag picks the look only, and the actions check for themselves.
    button->setEnabled(true);
    button->setFlat(true);
    button->setText(title);
    // Its dark face hides the style's focus outline: the keyboard focus rings the whole border.
    button->setStyleSheet(
        QStringLiteral(
            "QPushButton { background-color: %1; border: %2px solid %3; border-radius: 7px; color: %4; "
            "font-weight: 600; padding: 2px 8px; } QPushButton:focus { border: 2px solid %5; }")
            .arg(enabled ? QStringLiteral("rgba(41,41,41,245)") : QStringLiteral("rgba(20,20,20,97)"),
                 enabled ? QStringLiteral("1.2") : QStringLiteral("0.8"),
                 enabled ? QStringLiteral("rgba(0,0,0,217)") : QStringLiteral("rgba(0,0,0,115)"),
                 colour.name(QColor::HexArgb), LyrafoldTheme::focusRing().name()));
    button->setProperty("lyrafoldActiveLook", enabled);
}

QWidget *MainWindowView::buildHeaderBar()
{
    auto *bar = new LyrafoldPlaylistStyleHeaderBarView;
    auto *row = new QHBoxLayout(bar);
    // The help button takes the window's top trailing corner, over the bar's end.
    row->setContentsMargins(6, 4, LyrafoldHelpService::cornerReach - rootMargin + 6, 4);
    row->setSpacing(12);

    auto *logo = new QLabel;
    logo->setPixmap(LyrafoldUIAssets::image(QStringLiteral("header_logo"), 44));
    logo->setFixedSize(44, 44);
    logo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto *title = new QLabel(QStringLiteral("LYRAFOLD (BETA) v.0.7"));
    title->setFont(LyrafoldTheme::playlistCardTitleFontBold(18));
    QPalette white = title->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(white);
    row->addWidget(logo);
    row->addWidget(title);
    row->addWidget(flexibleSpacer(), 1);

    m_controls.folderPathField = new QLineEdit;
    m_controls.folderPathField->setObjectName(QStringLiteral("folderPathField"));
    // Only what the user typed is applied, not a folder the window wrote there.
    connect(m_controls.folderPathField, &QLineEdit::editingFinished, this, [this] {
        if (m_controls.folderPathField->isModified())
            Q_EMIT commandTriggered(Command::applyFolderPath);
    });
    m_controls.folderPathField->setPlaceholderText(QStringLiteral("No folder selected"));
    m_controls.folderPathField->setFont(systemFont(12));
    m_controls.folderPathField->setMinimumWidth(280);
    m_controls.folderPathField->setMaximumWidth(520);
    m_controls.folderPathField->setStyleSheet(
        QStringLiteral(
            "QLineEdit { background: rgba(255,255,255,36); color: white; border: none; border-radius: 4px; "
            "padding: 3px 6px; } QLineEdit:focus { background: white; color: black; border: 2px solid %1; "
            "padding: 1px 4px; }")
            .arg(LyrafoldTheme::focusRing().name()));
    // The window writes the folder itself; the language service translates only the placeholder.
    LyrafoldLanguageService::markDynamicOwnText(m_controls.folderPathField);
    row->addWidget(m_controls.folderPathField);

    auto *settings = new QToolButton;
    settings->setAutoRaise(true);
    settings->setToolButtonStyle(Qt::ToolButtonIconOnly);
    settings->setIcon(LyrafoldUIAssets::systemSymbol(QStringLiteral("gearshape.circle.fill")));
    settings->setIconSize(QSize(22, 22));
    settings->setFixedSize(36, 36);
    settings->setToolTip(QStringLiteral("Settings"));
    settings->setAccessibleName(QStringLiteral("Settings"));
    settings->setObjectName(QStringLiteral("settingsButton"));
    connect(settings, &QToolButton::clicked, this,
            [this, settings] { m_controls.settingsMenu->showMainSettingsMenu(settings); });
    row->addWidget(settings);
    return bar;
}

QWidget *MainWindowView::buildToolStrip()
{
    const auto action = [this](Command command) {
        return [this, command](QAbstractButton *) { Q_EMIT commandTriggered(command); };
    };
    const auto tile = [this](const QString &title, const QString &image, const QString &toolTip,
                             TileView::Action act, std::optional<qreal> height = std::nullopt) {
        auto *tileView = new WindowsStyleToolTileView(title, LyrafoldUIAssets::image(image, 64), toolTip,
                                                      std::move(act), QString(), height);
        tileView->setObjectName(tileName(image));
        return tileView;
    };

    // One row of tiles; a narrow window narrows every tile alike (see TileView).
    auto *strip = new QWidget;
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(tileSpacing);
    auto *extract = tile(QStringLiteral("Extract\nBookmarks"), QStringLiteral("extract_bookmarks"),
                         QStringLiteral("Scan the selected folder for PDFs and extract bookmarks."),
                         action(Command::extractBookmarks));
    m_controls.extractButton = extract->hitButton();
    m_controls.extractButton->setObjectName(QStringLiteral("extractButton"));
    m_controls.extractButton->setEnabled(false);
    row->addWidget(extract, 0, Qt::AlignTop);
    row->addWidget(tile(QStringLiteral("Default\nBookmarks"), QStringLiteral("default_bookmarks"),
                        QStringLiteral("Load the built-in default bookmark list."),
                        action(Command::loadDefaultBookmarks)),
                   0, Qt::AlignTop);
    row->addWidget(tile(QStringLiteral("Custom\nFiles"), QStringLiteral("custom_files"),
                        QStringLiteral("View and delete imported custom images and PDFs."),
                        action(Command::openCustomFiles)),
                   0, Qt::AlignTop);

    auto *toggles = new QVBoxLayout;
    toggles->setSpacing(tileSpacing);
    m_controls.customToggleTile = new WindowsStyleToggleToolTileView(
        QStringLiteral("CUSTOM"),
        QStringLiteral("Custom slot: bookmarks from your PDF folder. Toggle off when using defaults-only."),
        action(Command::customMode), true, {}, QStringLiteral("tag.fill"));
    m_controls.customToggleTile->setObjectName(QStringLiteral("customToggleTile"));
    m_controls.customModeToggle = m_controls.customToggleTile->hitButton();
    m_controls.customModeToggle->setChecked(true);
    m_controls.defaultToggleTile = new WindowsStyleToggleToolTileView(
        QStringLiteral("DEFAULT"),
        QStringLiteral("Load built-in default bookmarks (same as Default Bookmarks)."),
        action(Command::defaultMode), false, {}, QStringLiteral("tag"));
    m_controls.defaultToggleTile->setObjectName(QStringLiteral("defaultToggleTile"));
    toggles->addWidget(m_controls.customToggleTile);
    toggles->addWidget(m_controls.defaultToggleTile);
    row->addLayout(toggles);
    row->addStretch(1);
    row->addWidget(buildSlotPanel(), 0, Qt::AlignTop);
    row->addStretch(1);
    auto *listen =
        tile(QStringLiteral("Listen"), QStringLiteral("listen"),
             QStringLiteral("Identify the playing song through the microphone."), action(Command::listen));
    m_controls.listenButton = listen->hitButton();
    m_controls.listenButton->setObjectName(QStringLiteral("listenButton"));
    row->addWidget(listen, 0, Qt::AlignTop);
    row->addWidget(tile(QStringLiteral("Bookmark\nWorkshop"), QStringLiteral("bookmark_workshop"),
                        QStringLiteral("Voziz Ivova Rudivada — browse PDFs in your library folder."),
                        action(Command::openWorkshop)),
                   0, Qt::AlignTop);
    row->addWidget(
        tile(QStringLiteral("Import Song Data\nvia"), QStringLiteral("import_metadata"),
             QStringLiteral("Choose columns and fetch metadata (bundled index, MusicBrainz, Discogs)."),
             action(Command::importSongData)),
        0, Qt::AlignTop);
    row->addWidget(tile(QStringLiteral("Auto\nPlaylist"), QStringLiteral("auto_playlist"),
                        QStringLiteral("Build a playlist from filters and heuristics."),
                        action(Command::openAutoPlaylist)),
                   0, Qt::AlignTop);
    row->addWidget(tile(QStringLiteral("Playlists"), QStringLiteral("playlists"),
                        QStringLiteral("Open playlists window."), action(Command::openPlaylists)),
                   0, Qt::AlignTop);

    // Should the narrowest tiles still not fit (a large desktop font), the strip scrolls rather than
    // squeezing the tiles over each other; the scroll bar takes room only while it shows.
    auto *scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("toolStrip"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    // Tab stops at the tiles, not at the strip around them (which scrolls a tile into sight).
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroller->setWidget(strip);
    scroller->viewport()->setAutoFillBackground(false);
    strip->setAutoFillBackground(false);
    QScrollBar *bar = scroller->horizontalScrollBar();
    bar->setFixedHeight(8);
    const int stripHeight = strip->sizeHint().height();
    scroller->setFixedHeight(stripHeight);
    connect(bar, &QScrollBar::rangeChanged, scroller, [scroller, stripHeight](int, int maximum) {
        scroller->setFixedHeight(stripHeight + (maximum > 0 ? 8 : 0));
    });
    return scroller;
}

QWidget *MainWindowView::buildSlotPanel()
{
    auto *panel = LyrafoldLiquidChrome::makePanelLiquidView(10, true);
    panel->setFixedHeight(132);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(5);
    row->addWidget(makeLabel(QStringLiteral("Slots:"), 12, QFont::DemiBold, 0.6), 0, Qt::AlignVCenter);

    // Three by two: the six tiles in one row would not leave the strip room at the window's width.
    auto *grid = new QGridLayout;
    grid->setSpacing(6);
    const QPixmap slotImage = LyrafoldUIAssets::image(QStringLiteral("save_slot"), 40);
    for (int slot = 0; slot < LibrarySession::slotCount; ++slot) {
        auto *tileView = new WindowsStyleSlotTileView(
            slot, slot == 0 ? QStringLiteral("Default") : QStringLiteral("Slot %1").arg(slot),
            QStringLiteral("Switch to slot %1").arg(slot),
            [this](QAbstractButton *sender) { Q_EMIT slotTileClicked(TileView::tag(sender)); }, slotImage);
        tileView->setObjectName(QStringLiteral("slotTile%1").arg(slot));
        LyrafoldLanguageService::markDynamicText(tileView->numberField());
        m_controls.slotTiles.append(tileView);
        grid->addWidget(tileView, slot / 3, slot % 3);
    }
    row->addLayout(grid);
    row->addWidget(new WindowsStyleToolTileView(
                       QStringLiteral("Merge"), LyrafoldUIAssets::image(QStringLiteral("merge_slots"), 64),
                       QStringLiteral("Merge other slots into the current slot."),
                       [this](QAbstractButton *) { Q_EMIT commandTriggered(Command::mergeSlots); }, QString(),
                       106),
                   0, Qt::AlignVCenter);
    return panel;
}

QWidget *MainWindowView::buildSearchPanel()
{
    auto *panel = LyrafoldLiquidChrome::makePanelLiquidView(14, true);
    panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 6, 10, 8);
    column->setSpacing(4);
    column->addWidget(makeLabel(QStringLiteral("Search Bookmarks"), 13, QFont::DemiBold));

    auto *box = new QWidget;
    box->setObjectName(QStringLiteral("searchBox"));
    box->setAttribute(Qt::WA_StyledBackground);
    box->setStyleSheet(QStringLiteral("#searchBox { background: rgba(255,255,255,20); border: 1px solid "
                                      "rgba(255,255,255,51); border-radius: 8px; }"));
    box->setMinimumWidth(400);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(10, 6, 10, 6);
    // Close enough that the field keeps room for its whole placeholder at the smallest width in every
    // language.
    row->setSpacing(6);

    m_controls.searchField = new QLineEdit;
    m_controls.searchField->setObjectName(QStringLiteral("searchField"));
    m_controls.searchField->setPlaceholderText(QStringLiteral("Search by title, composer, genre, style…"));
    m_controls.searchField->setToolTip(
        QStringLiteral("Search by title or by composer, genre, style (Cole Porter)"));
    m_controls.searchField->setClearButtonEnabled(true);
    m_controls.searchField->addAction(LyrafoldUIAssets::systemSymbol(QStringLiteral("magnifyingglass")),
                                      QLineEdit::LeadingPosition);
    m_controls.searchField->setFont(systemFont(14));
    PlaceholderFit::attach(m_controls.searchField);
    m_controls.searchField->setMinimumHeight(30);
    m_controls.searchField->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_controls.searchField->setStyleSheet(
        QStringLiteral("QLineEdit { border: 2px solid rgba(255,255,255,89); "
                       "border-radius: 4px; padding: 2px 4px; "
                       "background: rgba(0,0,0,64); color: white; } "
                       "QLineEdit:focus { border-color: %1; }")
            .arg(LyrafoldTheme::focusRing().name()));
    connect(m_controls.searchField, &QLineEdit::textEdited, this,
            [this] { Q_EMIT commandTriggered(Command::search); });
    row->addWidget(m_controls.searchField, 1);

    m_controls.editModeButton = new QPushButton(QStringLiteral("Edit"));
    m_controls.editModeButton->setObjectName(QStringLiteral("editModeButton"));
    m_controls.editModeButton->setToolTip(
        QStringLiteral("Toggle column edit mode. Then click a column header to edit that column."));
    m_controls.editModeButton->setFixedHeight(30);
    // "Edit", or the column being edited: the window writes it.
    LyrafoldLanguageService::markDynamicOwnText(m_controls.editModeButton);
    connect(m_controls.editModeButton, &QPushButton::clicked, this,
            [this] { Q_EMIT commandTriggered(Command::toggleEditMode); });
    row->addWidget(m_controls.editModeButton);

    const auto selectionButton = [this, row](const QString &name, const QString &title,
                                             const QString &toolTip, Command command) {
        auto *button = new QPushButton(title);
        button->setObjectName(name);
        button->setToolTip(toolTip);
        button->setFixedHeight(30);
        // Titles with the selected count are written by the window, in the current language.
        LyrafoldLanguageService::markDynamicOwnText(button);
        configureSelectionActionButton(button, LyrafoldLanguageService::localized(title), Qt::white, false);
        connect(button, &QPushButton::clicked, this, [this, command] { Q_EMIT commandTriggered(command); });
        row->addWidget(button);
        return button;
    };
    m_controls.tagSelectedButton =
        selectionButton(QStringLiteral("tagSelectedButton"), QStringLiteral("Tag selected"),
                        QStringLiteral("Auto-tag selected title rows with MusicBrainz-based metadata."),
                        Command::tagSelected);
    m_controls.deleteSelectedButton = selectionButton(
        QStringLiteral("deleteSelectedButton"), QStringLiteral("Delete selected"),
        QStringLiteral("Delete selected title rows from the current slot."), Command::deleteSelected);

    m_controls.searchSpotifyButton =
        makeImageButton(QStringLiteral("spotify"), QStringLiteral("Search first result on Spotify"), 32, 28);
    m_controls.searchSpotifyButton->setObjectName(QStringLiteral("searchSpotifyButton"));
    connect(m_controls.searchSpotifyButton, &QToolButton::clicked, this,
            [this] { Q_EMIT commandTriggered(Command::searchSpotify); });
    row->addWidget(m_controls.searchSpotifyButton);
    m_controls.searchYoutubeButton =
        makeImageButton(QStringLiteral("youtube"), QStringLiteral("Search first result on YouTube"), 32, 28);
    m_controls.searchYoutubeButton->setObjectName(QStringLiteral("searchYoutubeButton"));
    connect(m_controls.searchYoutubeButton, &QToolButton::clicked, this,
            [this] { Q_EMIT commandTriggered(Command::searchYoutube); });
    row->addWidget(m_controls.searchYoutubeButton);

    const StudyModeService::Controls studyMode = StudyModeService::makeControls();
    studyMode.checkbox->setStyleSheet(QStringLiteral("QCheckBox { color: white; }"));
    row->addWidget(studyMode.checkbox);
    row->addWidget(studyMode.providerPopup);

    m_controls.searchResultsLabel = makeLabel(QStringLiteral("0 results"), 14, QFont::DemiBold, 0.6);
    m_controls.searchResultsLabel->setObjectName(QStringLiteral("searchResultsLabel"));
    m_controls.searchResultsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_controls.searchResultsLabel->setMinimumWidth(110);
    LyrafoldLanguageService::markDynamicText(m_controls.searchResultsLabel);
    row->addWidget(m_controls.searchResultsLabel);

    column->addWidget(box);
    return panel;
}

QWidget *MainWindowView::buildTablePanel()
{
    auto *panel = LyrafoldLiquidChrome::makePanelLiquidView(12, true);
    panel->setMinimumHeight(tableMinimumHeight);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);

    m_controls.tableView = new BookmarkTableView;
    m_controls.tableView->setObjectName(QStringLiteral("libraryTable"));
    m_controls.tableDelegate = new BookmarkTableDelegate(m_controls.tableView);
    m_controls.tableView->setItemDelegate(m_controls.tableDelegate);
    m_controls.tableView->setFrameShape(QFrame::NoFrame);
    m_controls.tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_controls.tableView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const QColor fill = LyrafoldTheme::tableHeaderFill();
    m_controls.tableView->setStyleSheet(
        QStringLiteral("QTableView { background: %1; gridline-color: rgba(255,255,255,46); "
                       "border: none; }")
            .arg(fill.name()));
    m_controls.tableView->setColumnBaseWidths({28, 36, 200, 88, 120, 52, 52, 52, 100, 72, 52, 180});
    layout->addWidget(m_controls.tableView);
    return panel;
}

QWidget *MainWindowView::buildStatusPanel()
{
    auto *panel = LyrafoldLiquidChrome::makePanelLiquidView(12, true);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(10);
    m_controls.statusField = new StatusLine(QStringLiteral("statusField"));
    m_controls.statusField->setFont(systemFont(12, QFont::Normal));
    m_controls.statusField->showReady();
    row->addWidget(m_controls.statusField, 1);

    m_controls.finishAddToPlaylistButton = new QPushButton(QStringLiteral("Done"));
    m_controls.finishAddToPlaylistButton->setObjectName(QStringLiteral("finishAddToPlaylistButton"));
    m_controls.finishAddToPlaylistButton->setToolTip(
        QStringLiteral("Finish adding titles and return to Playlists"));
    m_controls.finishAddToPlaylistButton->setStyleSheet(
        QStringLiteral("QPushButton { color: rgb(52,199,89); }"));
    m_controls.finishAddToPlaylistButton->hide();
    connect(m_controls.finishAddToPlaylistButton, &QPushButton::clicked, this,
            [this] { Q_EMIT commandTriggered(Command::finishAddToPlaylist); });
    row->addWidget(m_controls.finishAddToPlaylistButton);
    return panel;
}

void MainWindowView::installMenus()
{
    QMenuBar *bar = m_window.menuBar();
    const auto addItem = [this](QMenu *menu, const QString &title, auto act) {
        QAction *item = menu->addAction(title);
        item->setShortcut(QKeySequence());
        connect(item, &QAction::triggered, this, act);
    };
    const auto call = [this](Command command) {
        return [this, command] { Q_EMIT commandTriggered(command); };
    };
    auto *slotsMenu = new QMenu(QStringLiteral("Slots"), bar);
    addItem(slotsMenu, QStringLiteral("Save Slot to Disk"), call(Command::saveSlot));
    addItem(slotsMenu, QStringLiteral("Reload Slot from Disk"), call(Command::reloadSlot));
    addItem(slotsMenu, QStringLiteral("Copy Slot to Another…"), call(Command::copySlot));
    addItem(slotsMenu, QStringLiteral("Merge Slots into Current…"), call(Command::mergeSlots));
    addItem(slotsMenu, QStringLiteral("Clear Current Slot…"), call(Command::clearSlot));
    slotsMenu->addSeparator();
    addItem(slotsMenu, QStringLiteral("New Extraction (Clear Table)…"), call(Command::newExtraction));

    auto *tools = new QMenu(QStringLiteral("Tools"), bar);
    addItem(tools, QStringLiteral("Edit Metadata for Selected Row…"), call(Command::editMetadata));
    addItem(tools, QStringLiteral("Import Metadata File (CSV / JSON)…"), call(Command::importMetadataFile));
    tools->addSeparator();
    addItem(tools, QStringLiteral("Auto-Tag All Bookmarks…"), call(Command::autoTagAll));
    addItem(tools, QStringLiteral("Auto-Tag Selected Rows"), call(Command::tagSelected));
    addItem(tools, QStringLiteral("Apply Bundled Metadata Only"), call(Command::applyBundledMetadata));
    tools->addSeparator();
    addItem(tools, QStringLiteral("Discogs API Token…"),
            [this] { m_controls.settingsMenu->promptDiscogsToken(); });

    // Right after the application menu, ahead of any menu that was already there.
    const QList<QAction *> existing = bar->actions();
    QAction *before = existing.size() > 1 ? existing.at(1) : nullptr;
    bar->insertMenu(before, slotsMenu);
    // The menus' titles are English in every language.
    bar->insertMenu(before, tools);
    // F10 opens the first menu, as on the desktop; the arrows go on to the others.
    auto *openMenus = new QShortcut(QKeySequence(Qt::Key_F10), &m_window);
    connect(openMenus, &QShortcut::activated, bar, [bar] { bar->setActiveAction(bar->actions().value(0)); });
}
