// The PDF viewer's window content: the toolbar row, the page area and the floating buttons.

#include "core/common/NotificationBus.h"
#include "core/viewer/ViewerZoom.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/PDFScrollZoomWrapper.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerAnnotationEditor.h"
#include "ui/viewer/ViewerFloatingButtons.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int outerMargin = 12;
constexpr int titleLabelWidth = 260;
// Narrower than this, buttons leave the toolbar row before the title label gets narrower still.
constexpr int titleLabelMinimumWidth = 160;

} // namespace

void PdfViewerWindowController::setupUI()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(outerMargin, outerMargin, outerMargin, outerMargin);
    outer->setSpacing(0);
    m_mainStackView = new QWidget(this);
    auto *stack = new QVBoxLayout(m_mainStackView);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    outer->addWidget(m_mainStackView);

    buildToolbar();
    stack->addWidget(m_toolbarRow);
    buildPageArea();
    stack->addWidget(m_scrollZoomWrapper, 1);
    m_floatingButtons = new ViewerFloatingButtons(this);
    connect(m_floatingButtons, &ViewerFloatingButtons::previousTitle, this, [this] { goToPreviousTitle(); });
    connect(m_floatingButtons, &ViewerFloatingButtons::nextTitle, this, [this] { goToNextTitle(); });
    connect(m_floatingButtons, &ViewerFloatingButtons::exitFullscreen, this, [this] { fullscreenToggled(); });

    // The viewer's texts are English in every language; only the floating title buttons' fallback titles
    // ("Previous title", "Next title") are looked up, and follow a switch at once.
    LyrafoldLanguageService::markKeptEnglish(this);
    showEditButtonTitle(false);
    connect(&NotificationBus::instance(), &NotificationBus::languageChanged, this,
            [this] { updatePlaylistNavButtons(); });

    updatePlaylistNavButtons();
    installPdfViewObservers();
}

void PdfViewerWindowController::showEditButtonTitle(bool editing)
{
    m_editBtnRef->setText(editing ? QStringLiteral("Done (exit edit)") : QStringLiteral("Edit"));
}

QPushButton *PdfViewerWindowController::makeToolbarButton(const QString &text, const QString &objectName,
                                                          const std::function<void()> &action)
{
    QPushButton *button = ViewerToolbarRow::makeButton(text);
    button->setObjectName(objectName);
    if (action)
        connect(button, &QPushButton::clicked, this, action);
    return button;
}

QPushButton *PdfViewerWindowController::addToolbarButton(const QString &text, const QString &objectName,
                                                         int keep, const std::function<void()> &action)
{
    QPushButton *button = makeToolbarButton(text, objectName, action);
    m_toolbarRow->addControl(button, keep);
    return button;
}

void PdfViewerWindowController::buildToolbar()
{
    // How long each button stays as the window narrows (higher stays longer): turning pages first,
    // then presentation mode, the page ends, the display modes; then zoom (a pinch and Ctrl with the
    // wheel zoom too), the title steps (the floating title buttons offer them too) and editing;
    // adding to a playlist, sharing and closing (which the window's frame offers too) leave first.
    enum Keep { least, secondary, modes, pageEnds, presentation, pages };
    m_toolbarRow = new ViewerToolbarRow(m_mainStackView);

    if (playlistItems()) {
        m_toolbarRow->addControlPair(
            makeToolbarButton(QStringLiteral("Previous title"), QStringLiteral("previousTitleButton"),
                              [this] { goToPreviousTitle(); }),
            makeToolbarButton(QStringLiteral("Next title"), QStringLiteral("nextTitleButton"),
                              [this] { goToNextTitle(); }),
            secondary);
    }
    // The arrows are named for a screen reader.
    addToolbarButton(QStringLiteral("\u23EE"), QStringLiteral("firstPageButton"), pageEnds, [this] {
        goToFirstPage();
    })->setAccessibleName(QStringLiteral("First page"));
    addToolbarButton(QStringLiteral("\u25C0"), QStringLiteral("previousPageButton"), pages, [this] {
        turnPageByHorizontalSwipe(-1);
    })->setAccessibleName(QStringLiteral("Previous page"));
    m_toolbarRow->addControl(new QLabel(QStringLiteral("Page")));

    m_pageNumberField = new QLineEdit(QStringLiteral("1"));
    m_pageNumberField->setObjectName(QStringLiteral("pageNumberField"));
    m_pageNumberField->setAlignment(Qt::AlignCenter);
    m_pageNumberField->setFixedWidth(52);
    // The page typed, the keys turn pages again.
    connect(m_pageNumberField, &QLineEdit::returnPressed, this, [this] {
        goToPageFromField();
        m_pdfView->setFocus();
    });
    m_toolbarRow->addControl(m_pageNumberField);

    m_totalPagesLabel = new QLabel(QStringLiteral("of 0"));
    m_totalPagesLabel->setObjectName(QStringLiteral("totalPagesLabel"));
    m_toolbarRow->addControl(m_totalPagesLabel);

    m_currentBookmarkTitleLabel = ViewerToolbarRow::makeElidingLabel();
    m_currentBookmarkTitleLabel->setObjectName(QStringLiteral("currentTitleLabel"));
    QFont titleFont = m_currentBookmarkTitleLabel->font();
    titleFont.setPixelSize(13);
    titleFont.setWeight(QFont::DemiBold);
    m_currentBookmarkTitleLabel->setFont(titleFont);
    m_currentBookmarkTitleLabel->setMinimumWidth(titleLabelMinimumWidth);
    m_currentBookmarkTitleLabel->setMaximumWidth(titleLabelWidth);
    m_toolbarRow->addElasticControl(m_currentBookmarkTitleLabel);

    addToolbarButton(QStringLiteral("\u25B6"), QStringLiteral("nextPageButton"), pages, [this] {
        turnPageByHorizontalSwipe(1);
    })->setAccessibleName(QStringLiteral("Next page"));
    addToolbarButton(QStringLiteral("\u23ED"), QStringLiteral("lastPageButton"), pageEnds, [this] {
        goToLastPage();
    })->setAccessibleName(QStringLiteral("Last page"));
    addToolbarButton(QStringLiteral("Single"), QStringLiteral("singlePageButton"), modes,
                     [this] { singlePage(); });
    addToolbarButton(QStringLiteral("2-Page"), QStringLiteral("twoPageButton"), modes, [this] { twoPage(); });
    m_toolbarRow->addControlPair(
        makeToolbarButton(QStringLiteral("Zoom +"), QStringLiteral("zoomInButton"), [this] { zoomIn(); }),
        makeToolbarButton(QStringLiteral("Zoom \u2212"), QStringLiteral("zoomOutButton"),
                          [this] { zoomOut(); }),
        secondary);
    addToolbarButton(QStringLiteral("Fit"), QStringLiteral("fitButton"), modes, [this] { fitPage(); });

    m_coverPageBtn = addToolbarButton(QStringLiteral("Cover page"), QStringLiteral("coverPageButton"), least,
                                      [this] { coverPageToggled(); });
    m_coverPageBtn->setCheckable(true);
    m_coverPageBtn->setToolTip(
        QStringLiteral("Remove first page to switch left/right pairing in 2-page view"));

    m_editBtnRef = addToolbarButton(QStringLiteral("Edit"), QStringLiteral("editButton"), secondary,
                                    [this] { m_editor->toggleEditMode(); });
    m_editBtnRef->setToolTip(QStringLiteral("Toggle edit mode"));
    if (bookmarkEntry()) {
        QPushButton *add = addToolbarButton(QStringLiteral("+"), QStringLiteral("addToPlaylistButton"), least,
                                            [this] { addToPlaylist(); });
        add->setToolTip(QStringLiteral("Add this bookmark to a playlist"));
        add->setAccessibleName(QStringLiteral("Add to playlist"));
    }
    m_shareButtonRef = addToolbarButton(QStringLiteral("Share"), QStringLiteral("shareButton"), least,
                                        [this] { shareCurrentPdf(); });

    QPushButton *fullscreen =
        addToolbarButton(QStringLiteral("Fullscreen"), QStringLiteral("fullscreenButton"), presentation,
                         [this] { fullscreenToggled(); });
    fullscreen->setToolTip(QStringLiteral("Fullscreen (double-click or Esc to exit)"));
    QPushButton *closeButton =
        addToolbarButton(QStringLiteral("Close"), QStringLiteral("closeButton"), least, [this] { close(); });
    QPalette red = closeButton->palette();
    red.setColor(QPalette::ButtonText, QColor(255, 59, 48));
    closeButton->setPalette(red);
}

void PdfViewerWindowController::buildPageArea()
{
    m_scrollZoomWrapper = new PDFScrollZoomWrapper(m_mainStackView);
    m_scrollZoomWrapper->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    m_scrollZoomWrapper->setMinimumHeight(300);
    auto *wrapperLayout = new QVBoxLayout(m_scrollZoomWrapper);
    wrapperLayout->setContentsMargins(0, 0, 0, 0);

    m_pdfContainer = new QWidget(m_scrollZoomWrapper);
    wrapperLayout->addWidget(m_pdfContainer);
    auto *containerLayout = new QVBoxLayout(m_pdfContainer);
    containerLayout->setContentsMargins(0, 0, 0, 0);

    m_pdfView = new PdfPageView(m_pdfContainer);
    m_pdfView->setDisplayMode(PageDisplayMode::singlePage);
    m_pdfView->setScaleLimits(ViewerZoom::minScaleFactor, ViewerZoom::maxScaleFactor);
    containerLayout->addWidget(m_pdfView);

    m_editor = std::make_unique<ViewerAnnotationEditor>(this, m_pdfView);
    connect(m_editor.get(), &ViewerAnnotationEditor::editModeChanged, this,
            [this](bool on) { showEditButtonTitle(on); });
    connect(m_editor.get(), &ViewerAnnotationEditor::toolChanged, this,
            [this] { updateStatusTextForEditMode(); });
    m_scrollZoomWrapper->watchInputOf(m_pdfView, m_editor.get());
    m_scrollZoomWrapper->setStepsThroughTitles(playlistItems().has_value());
    // The page, not the page field, has the keys when the window opens.
    m_pdfView->setFocus();
    PDFScrollZoomWrapper *area = m_scrollZoomWrapper;
    connect(area, &PDFScrollZoomWrapper::resized, this, [this] { windowDidResize(); });
    connect(area, &PDFScrollZoomWrapper::zoomRequested, this, [this](double by) { magnifyZoom(by); });
    connect(area, &PDFScrollZoomWrapper::pageTurnRequested, this,
            [this](int direction) { turnPageByHorizontalSwipe(direction); });
    connect(area, &PDFScrollZoomWrapper::pageRequested, this, [this](int page) { showPageBrowsed(page); });
    connect(area, &PDFScrollZoomWrapper::titleStepRequested, this, [this](int step) {
        if (step > 0)
            goToNextTitle();
        else
            goToPreviousTitle();
    });
    connect(area, &PDFScrollZoomWrapper::fitRequested, this, [this] {
        fitCurrentPageToView();
        refreshPageUi();
    });
    connect(area, &PDFScrollZoomWrapper::presentationExitRequested, this, [this] { exitPresentationMode(); });
}

void PdfViewerWindowController::updatePlaylistNavButtons()
{
    m_floatingButtons->showTitles(playlistItems(), playlistCurrentIndex());
}

void PdfViewerWindowController::applyPresentationColors(bool black)
{
    for (QWidget *widget : {static_cast<QWidget *>(this), m_mainStackView,
                            static_cast<QWidget *>(m_scrollZoomWrapper), m_pdfContainer}) {
        if (black) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::Window, Qt::black);
            widget->setPalette(palette);
            widget->setAutoFillBackground(true);
        } else {
            widget->setPalette(QPalette());
            widget->setAutoFillBackground(false);
        }
    }
    m_pdfView->setBackgroundColor(black ? QColor(Qt::black) : palette().color(QPalette::Window));
}
