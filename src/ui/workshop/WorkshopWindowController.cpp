#include "ui/workshop/WorkshopWindowController.h"

#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/session/LibrarySession.h"
#include "ui/app/AppContext.h"
#include "ui/common/CoverThumbnailLoader.h"
#include "ui/common/FlowLayout.h"
#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/common/SlotNames.h"
#include "ui/common/StatusLine.h"
#include "ui/common/WindowPlacement.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/metadata/MetadataImportFlow.h"
#include "ui/services/LyrafoldHelpService.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/workshop/WorkshopGridItemDelegate.h"
#include "ui/workshop/WorkshopGridModel.h"
#include "ui/workshop/WorkshopGridView.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The covers are made at 200 by 256 fitted into the cell's picture area.
const QSize coverSize = QSize(200, 256).scaled(
    WorkshopGridItemDelegate::thumbnailRect({0, 0, 100, 168}).size(), Qt::KeepAspectRatio);

const QString barStyle = QStringLiteral("background-color: rgba(31,31,31,217); border-radius: 8px; "
                                        "border: 1px solid rgba(102,102,102,128);");

enum class ButtonStyle { gold, red, blue };

QString buttonStyleSheet(ButtonStyle style)
{
    QString background = QStringLiteral("rgba(51,51,51,242)");
    QString border;
    QString text = QStringLiteral("white");
    switch (style) {
    case ButtonStyle::gold:
        background = QStringLiteral("rgba(64,64,64,230)");
        border = QStringLiteral("rgb(140,107,20)");
        text = QStringLiteral("rgb(242,242,242)");
        break;
    case ButtonStyle::red:
        border = QStringLiteral("rgb(204,38,38)");
        break;
    case ButtonStyle::blue:
        border = QStringLiteral("rgb(51,102,204)");
        break;
    }
    return QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; border-radius: 6px; "
                          "color: %3; font-size: 13px; font-weight: 600; padding: 3px 7px; } "
                          "QPushButton:pressed { background-color: rgba(90,90,90,240); } ")
               .arg(background, border, text) +
           LyrafoldTheme::focusedButtonRule(QStringLiteral("QPushButton"), 1, 3, 7);
}

QString tabStyleSheet(bool active)
{
    const QString look =
        active ? QStringLiteral("QPushButton { background-color: rgba(64,64,64,242); border: 3px solid %1; "
                                "border-radius: 6px; color: white; font-size: 12px; font-weight: 600; "
                                "padding: 2px 10px; min-height: 24px; } ")
                     .arg(LyrafoldTheme::brassBorder().name())
               : QStringLiteral("QPushButton { background-color: rgba(38,38,38,230); border: 1px solid "
                                "rgba(255,255,255,71); border-radius: 6px; color: rgb(204,204,204); "
                                "font-size: 12px; font-weight: 500; padding: 4px 12px; min-height: 24px; } ");
    return look + (active ? LyrafoldTheme::focusedButtonRule(QStringLiteral("QPushButton"), 3, 2, 10)
                          : LyrafoldTheme::focusedButtonRule(QStringLiteral("QPushButton"), 1, 4, 12));
}

QLabel *whiteLabel(const QString &text, const char *objectName)
{
    auto *label = new QLabel(text);
    label->setObjectName(QLatin1String(objectName));
    label->setStyleSheet(QStringLiteral("color: white; font-size: 12px; font-weight: 500; background: "
                                        "transparent; border: none;"));
    return label;
}

// The subtitle names the slot by its built-in name, not by the name the user gave it.
QString slotWord(qint64 slot)
{
    return SlotStore::builtInSlotName(slot);
}

} // namespace

WorkshopWindowController::WorkshopWindowController(AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_session(context.library()),
      m_slots(context.librarySlots()), m_files(context.libraryFiles()),
      m_activeTabIndex(std::clamp<qint64>(m_session.currentSlotId(), 0, LibrarySession::slotCount - 1))
{
    setObjectName(QStringLiteral("workshopWindow"));
    resize(1180, 780);
    m_covers = new CoverThumbnailLoader(coverSize, this);
    setupContent();
    m_metadataImports = new MetadataImportFlow(context, *m_statusField, this);
    LyrafoldLanguageService::apply(this);
    WindowPlacement::keepMinimumFitting(this, QSize(960, 560));

    connect(&NotificationBus::instance(), &NotificationBus::languageChanged, this,
            &WorkshopWindowController::languageChanged);
    // Whoever changed the library, the grid shows it, on the tab of the slot now current.
    m_statusField->reportFailedSaves(m_session);
    connect(&m_session, &LibrarySession::libraryChanged, this, [this] {
        followOwnerSlot();
        reloadSlotBooks();
    });
    connect(&m_slots, &LibrarySlots::requestedSlotChanged, this, [this] {
        if (followOwnerSlot())
            reloadSlotBooks();
    });
    connect(m_covers, &CoverThumbnailLoader::coverReady, m_model, &WorkshopGridModel::coverArrived);
    reloadSlotBooks();
}

// ---- Building

void WorkshopWindowController::setupContent()
{
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(36, 38, 42));
    dark.setColor(QPalette::WindowText, Qt::white);
    setPalette(dark);
    LyrafoldHelpService::installHelpButton(this, LyrafoldHelpTopic::workshop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, LyrafoldHelpService::cornerReach + 4, 36, 20);
    layout->setSpacing(8);
    layout->addWidget(makeTabBar());
    layout->addWidget(makeToolbarRow());

    m_model = new WorkshopGridModel(*m_covers, this);
    m_delegate = new WorkshopGridItemDelegate(this);
    m_grid = new WorkshopGridView(m_delegate);
    m_grid->setObjectName(QStringLiteral("workshopGrid"));
    m_grid->setModel(m_model);
    ListFocus::install(m_grid);
    m_grid->setMinimumHeight(200);
    layout->addWidget(m_grid, 1);
    // The window opens with the focus on the books; Tab reaches the tabs and the buttons.
    m_grid->setFocus();
    // Under the grid rather than at the end of the toolbar, where it would push the buttons onto
    // another row.
    auto *bottom = new QHBoxLayout;
    m_statusField = new StatusLine(QStringLiteral("workshopStatusField"));
    QPalette white = m_statusField->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    m_statusField->setPalette(white);
    m_statusField->showReady();
    bottom->addWidget(m_statusField, 1);
    m_booksLoadedLabel = whiteLabel(QStringLiteral("Books loaded: 0"), "workshopBooksLoaded");
    LyrafoldLanguageService::markDynamicText(m_booksLoadedLabel);
    bottom->addWidget(m_booksLoadedLabel);
    layout->addLayout(bottom);
    connect(m_grid, &WorkshopGridView::relinkPressed, this, &WorkshopWindowController::promptRelink,
            Qt::QueuedConnection);
    connect(m_grid, &WorkshopGridView::openRequested, this, &WorkshopWindowController::openBook);
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &WorkshopWindowController::requestVisibleCovers);

    updateWindowSubtitle();
    updateTabChrome();
}

QWidget *WorkshopWindowController::makeTabBar()
{
    auto *bar = new QFrame;
    bar->setObjectName(QStringLiteral("workshopTabBar"));
    bar->setStyleSheet(QStringLiteral("#workshopTabBar { ") + barStyle + QStringLiteral(" }"));
    bar->setMinimumHeight(36);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);
    row->addWidget(whiteLabel(QStringLiteral("Slots:"), "workshopSlotsLabel"));
    for (int slot = 0; slot < LibrarySession::slotCount; ++slot) {
        auto *tab =
            new QPushButton(slot == 0 ? QStringLiteral("Default") : QStringLiteral("Slot %1").arg(slot));
        tab->setObjectName(QStringLiteral("workshopTab%1").arg(slot));
        // Tab reaches the tabs and the buttons; a click leaves the focus on the grid.
        tab->setFocusPolicy(Qt::TabFocus);
        // The tabs show the slots' names, which the window writes itself.
        LyrafoldLanguageService::markDynamicText(tab);
        connect(tab, &QPushButton::clicked, this, [this, slot] { tabPressed(slot); });
        m_tabButtons.append(tab);
        row->addWidget(tab);
    }
    row->addStretch(1);
    auto *import = new QPushButton(QStringLiteral("Import Images/PDFs"));
    import->setObjectName(QStringLiteral("workshopImportImagesButton"));
    import->setToolTip(QStringLiteral("Import images or PDFs into a custom Lyrafold slot."));
    LyrafoldTheme::styleMatteRedButton(import);
    connect(import, &QPushButton::clicked, this,
            [this] { runFlowAndReload(&LibraryFlowService::importImagesAndPDFsToLibrary); });
    row->addWidget(import);
    return bar;
}

QWidget *WorkshopWindowController::makeToolbarRow()
{
    auto *bar = new QFrame;
    bar->setObjectName(QStringLiteral("workshopToolbar"));
    bar->setStyleSheet(QStringLiteral("#workshopToolbar { ") + barStyle + QStringLiteral(" }"));
    auto *flow = new FlowLayout(bar, 6, 6);
    flow->setContentsMargins(10, 6, 10, 6);
    const auto add = [this, flow](const char *objectName, const QString &title, ButtonStyle style,
                                  std::function<void()> handler) {
        auto *button = new QPushButton(title);
        button->setObjectName(QLatin1String(objectName));
        button->setStyleSheet(buttonStyleSheet(style));
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, std::move(handler));
        flow->addWidget(button);
        return button;
    };
    QPushButton *trash = add("workshopDeleteButton", QString(), ButtonStyle::red,
                             [this] { runFlowAndReload(&LibraryFlowService::clearCurrentSlot); });
    const QPixmap picture = LyrafoldUIAssets::image(QStringLiteral("delete"), 22);
    trash->setIcon(picture.isNull() ? LyrafoldUIAssets::systemSymbol(QStringLiteral("trash"))
                                    : QIcon(picture));
    trash->setIconSize(QSize(22, 22));
    trash->setFixedSize(32, 32);
    trash->setAccessibleName(QStringLiteral("Delete"));
    trash->setStyleSheet(trash->styleSheet() + QStringLiteral(" QPushButton { padding: 0px; }"));
    add("workshopHideButton", QStringLiteral("Hide"), ButtonStyle::blue,
        [this] { setShowCoverLabels(false); });
    add("workshopShowButton", QStringLiteral("Show"), ButtonStyle::blue,
        [this] { setShowCoverLabels(true); });
    add("workshopInjectButton", QStringLiteral("Inject Bookmarks"), ButtonStyle::gold,
        [this] { runFlow(&LibraryFlowService::extractBookmarks); });
    add("workshopCoverButton", QStringLiteral("Create Cover"), ButtonStyle::gold, [this] { createCovers(); });
    add("workshopImportButton", QStringLiteral("Import"), ButtonStyle::gold,
        [this] { runFlow(&LibraryFlowService::importBookmarksFromJSONPanel); });
    add("workshopExportButton", QStringLiteral("Export"), ButtonStyle::gold,
        [this] { runFlow(&LibraryFlowService::exportBookmarksCSV); });
    add("workshopImportMetaButton", QStringLiteral("Import Metadata"), ButtonStyle::gold,
        [this] { m_metadataImports->importMetadata(); });
    add("workshopExportMetaButton", QStringLiteral("Export Metadata"), ButtonStyle::gold,
        [this] { runFlow(&LibraryFlowService::exportBookmarksCSV); });
    add("workshopMergeButton", QStringLiteral("Merge pdfs"), ButtonStyle::gold,
        [this] { runFlow(&LibraryFlowService::mergeSlotsIntoCurrent); });
    add("workshopClearButton", QStringLiteral("Clear list"), ButtonStyle::red,
        [this] { runFlowAndReload(&LibraryFlowService::clearCurrentSlot); });
    add("workshopSelectAllButton", QStringLiteral("Select all"), ButtonStyle::gold, [this] { selectAll(); });
    add("workshopSelectNoneButton", QStringLiteral("Select none"), ButtonStyle::gold,
        [this] { selectNone(); });
    return bar;
}

// ---- The tabs and the books

void WorkshopWindowController::tabPressed(int slot)
{
    m_activeTabIndex = slot;
    if (m_slots.switchToSlot(slot, this, [this](const QString &status) { m_statusField->setStatus(status); }))
        m_statusField->setStatus(StatusLine::loadingSlotText(m_slots.slotTileNames().value(slot)));
    updateTabChrome();
    reloadSlotBooks();
}

bool WorkshopWindowController::followOwnerSlot()
{
    // The slot asked for, also while it loads.
    const qint64 slot = std::clamp<qint64>(m_slots.requestedSlot(), 0, LibrarySession::slotCount - 1);
    if (slot == m_activeTabIndex)
        return false;
    m_activeTabIndex = slot;
    updateTabChrome();
    // What the line told was of the slot shown before ("Imported 2 title(s) to Slot 2.").
    m_statusField->showReady();
    return true;
}

void WorkshopWindowController::updateTabChrome()
{
    for (int slot = 0; slot < m_tabButtons.size(); ++slot)
        m_tabButtons[slot]->setStyleSheet(tabStyleSheet(slot == m_activeTabIndex));
    m_delegate->setAllowRelink(m_activeTabIndex == 0);
}

void WorkshopWindowController::updateTabTitles()
{
    const QStringList titles = LibrarySlots::slotTileNames();
    for (int slot = 0; slot < m_tabButtons.size(); ++slot)
        m_tabButtons[slot]->setText(slotTileName(slot, titles.value(slot)));
}

void WorkshopWindowController::reloadSlotBooks()
{
    updateTabTitles();
    m_listing.start([this] { return m_files.slotBooksJob(m_activeTabIndex); },
                    [this](QList<WorkshopSlotBook> books) { showBooks(std::move(books)); });
}

void WorkshopWindowController::showBooks(QList<WorkshopSlotBook> books)
{
    // A cover that could not be made is tried again with each new listing.
    m_covers->retryFailed();
    m_model->setBooks(std::move(books));
    updateBooksLoadedLabel();
    updateWindowSubtitle();
    requestVisibleCovers();
    Q_EMIT slotBooksShownForTesting();
}

void WorkshopWindowController::requestVisibleCovers()
{
    m_covers->requestVisible(*m_grid, [this](int row) -> std::optional<CoverThumbnailLoader::Request> {
        const WorkshopSlotBook &book = m_model->books().at(row);
        if (!book.resolvedPath)
            return std::nullopt;
        return CoverThumbnailLoader::Request{*book.resolvedPath, book.modified, book.slotPdfFileName};
    });
}

void WorkshopWindowController::updateWindowSubtitle()
{
    const QString books = QStringLiteral("%1 books").arg(m_model ? m_model->rowCount() : 0);
    setWindowTitle(LyrafoldLanguageService::localized(QStringLiteral("Bookmark Workshop")) +
                   QStringLiteral(" — ") + slotWord(m_activeTabIndex) + QStringLiteral(" • ") + books);
}

void WorkshopWindowController::updateBooksLoadedLabel()
{
    const qsizetype total = m_model->books().size();
    const qsizetype available = std::count_if(m_model->books().cbegin(), m_model->books().cend(),
                                              [](const WorkshopSlotBook &book) { return book.isAvailable; });
    m_booksLoadedLabel->setText(QStringLiteral("Books loaded: %1 (%2 available, %3 unavailable)")
                                    .arg(QString::number(total), QString::number(available),
                                         QString::number(std::max<qsizetype>(total - available, 0))));
}

void WorkshopWindowController::languageChanged()
{
    updateTabTitles();
    updateWindowSubtitle();
    m_grid->viewport()->update();
}

// ---- The toolbar

void WorkshopWindowController::runFlow(void (LibraryFlowService::*flow)(StatusSink &))
{
    (m_context.libraryFlows().*flow)(*m_statusField);
}

void WorkshopWindowController::runFlowAndReload(void (LibraryFlowService::*flow)(StatusSink &))
{
    const QPointer<WorkshopWindowController> self(this);
    runFlow(flow);
    if (self)
        reloadSlotBooks();
}

void WorkshopWindowController::setShowCoverLabels(bool show)
{
    m_delegate->setShowText(show);
    m_grid->viewport()->update();
}

void WorkshopWindowController::createCovers()
{
    QStringList paths;
    for (const WorkshopSlotBook &book : m_model->books()) {
        if (book.resolvedPath)
            paths.append(*book.resolvedPath);
    }
    m_covers->forget(paths);
    m_covers->retryFailed();
    m_grid->viewport()->update();
    requestVisibleCovers();
}

void WorkshopWindowController::selectAll()
{
    if (m_model->rowCount() > 0)
        m_grid->selectAll();
}

void WorkshopWindowController::selectNone()
{
    m_grid->clearSelection();
}

void WorkshopWindowController::promptRelink(int row)
{
    const WorkshopSlotBook *book = m_model->book(row);
    if (!book || m_activeTabIndex != 0)
        return;
    const QString name = book->slotPdfFileName;
    const QPointer<WorkshopWindowController> self(this);
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Relink book: ") + name, QString(),
                                                      QStringLiteral("PDF (*.pdf)"));
    if (!self || path.isEmpty())
        return;
    m_context.libraryFlows().relinkDefaultBook(*m_statusField, name, path);
    reloadSlotBooks();
}

void WorkshopWindowController::openBook(int row)
{
    const WorkshopSlotBook *book = m_model->book(row);
    if (!book)
        return;
    // Another slot's book is read from its file, on a worker.
    m_opening.start([this, slot = m_activeTabIndex,
                     name = book->slotPdfFileName] { return m_files.bookTitlesJob(slot, name); },
                    [this](BookmarkList titles) {
                        if (!titles.isEmpty())
                            m_context.libraryFlows().openSongWithContext(*m_statusField, titles.first(),
                                                                         titles);
                    });
}

// ---- Events

void WorkshopWindowController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The grid lays its cells out again first.
    QTimer::singleShot(0, this, &WorkshopWindowController::requestVisibleCovers);
}
