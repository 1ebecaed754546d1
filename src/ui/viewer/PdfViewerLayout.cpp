// The PDF viewer's window content: the toolbar row, the page area and the floating buttons.

#include "core/viewer/ViewerNavigation.h"
#include "core/viewer/ViewerZoom.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/PDFScrollZoomWrapper.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int outerMargin = 12;
constexpr int titleLabelWidth = 260;
// Narrower than this, buttons leave the toolbar row before the title label gets narrower still.
constexpr int titleLabelMinimumWidth = 160;
constexpr int floatingStripHeight = 88;
constexpr int floatingInset = 16;
constexpr int floatingButtonHeight = 40;
constexpr int floatingButtonMinWidth = 120;
constexpr int floatingButtonMaxWidth = 280;
constexpr int exitButtonSide = 36;

const QColor darkText(31, 31, 31); // white 0.12

// A one-line label that cuts its text at the tail with "…" when it is too narrow.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

// A push button as wide as its text needs: the style's minimum width for text buttons would make the
// one-glyph page buttons as wide as "Fullscreen".
class CompactPushButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override
    {
        const QSize base = QPushButton::sizeHint();
        const int textWidth = fontMetrics().horizontalAdvance(text()) + 2 * 10;
        return QSize(std::max(textWidth, 30), base.height());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

QString rgba(const QColor &color, double alpha)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(alpha);
}

// The symbol drawn in one colour, as a template image is.
QIcon tintedSymbol(const QString &name, const QColor &color, const QSize &size)
{
    const QIcon symbol = LyrafoldUIAssets::systemSymbol(name);
    if (symbol.isNull())
        return {};
    QPixmap pixmap = symbol.pixmap(size, 2.0);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    return QIcon(pixmap);
}

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
    buildFloatingButtons();

    // The viewer's texts are English; the language service leaves them alone. Only the floating
    // title buttons look theirs up, each time they are set.
    for (QWidget *widget : findChildren<QWidget *>())
        LyrafoldLanguageService::markDynamicText(widget);

    updatePlaylistNavButtons();
    installPdfViewObservers();
}

QPushButton *PdfViewerWindowController::makeToolbarButton(const QString &text,
                                                          const std::function<void()> &action)
{
    auto *button = new CompactPushButton(text);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    if (action)
        connect(button, &QPushButton::clicked, this, action);
    return button;
}

QPushButton *PdfViewerWindowController::addToolbarButton(const QString &text, int keep,
                                                         const std::function<void()> &action)
{
    QPushButton *button = makeToolbarButton(text, action);
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
            makeToolbarButton(QStringLiteral("Previous title"), [this] { goToPreviousTitle(); }),
            makeToolbarButton(QStringLiteral("Next title"), [this] { goToNextTitle(); }), secondary);
    }
    addToolbarButton(QStringLiteral("\u23EE"), pageEnds, [this] { goToFirstPage(); });
    addToolbarButton(QStringLiteral("\u25C0"), pages, [this] { goToPreviousPage(sender()); });
    m_toolbarRow->addControl(new QLabel(QStringLiteral("Page")));

    m_pageNumberField = new QLineEdit(QStringLiteral("1"));
    m_pageNumberField->setAlignment(Qt::AlignCenter);
    m_pageNumberField->setFixedWidth(52);
    // The page typed, the keys turn pages again.
    connect(m_pageNumberField, &QLineEdit::returnPressed, this, [this] {
        goToPageFromField();
        m_pdfView->setFocus();
    });
    m_toolbarRow->addControl(m_pageNumberField);

    m_totalPagesLabel = new QLabel(QStringLiteral("of 0"));
    m_toolbarRow->addControl(m_totalPagesLabel);

    m_currentBookmarkTitleLabel = new ElidingLabel(QString());
    QFont titleFont = m_currentBookmarkTitleLabel->font();
    titleFont.setPixelSize(13);
    titleFont.setWeight(QFont::DemiBold);
    m_currentBookmarkTitleLabel->setFont(titleFont);
    m_currentBookmarkTitleLabel->setMinimumWidth(titleLabelMinimumWidth);
    m_currentBookmarkTitleLabel->setMaximumWidth(titleLabelWidth);
    m_toolbarRow->addElasticControl(m_currentBookmarkTitleLabel);

    addToolbarButton(QStringLiteral("\u25B6"), pages, [this] { goToNextPage(sender()); });
    addToolbarButton(QStringLiteral("\u23ED"), pageEnds, [this] { goToLastPage(); });
    addToolbarButton(QStringLiteral("Single"), modes, [this] { singlePage(); });
    addToolbarButton(QStringLiteral("2-Page"), modes, [this] { twoPage(); });
    m_toolbarRow->addControlPair(makeToolbarButton(QStringLiteral("Zoom +"), [this] { zoomIn(); }),
                                 makeToolbarButton(QStringLiteral("Zoom \u2212"), [this] { zoomOut(); }),
                                 secondary);
    addToolbarButton(QStringLiteral("Fit"), modes, [this] { fitPage(); });

    m_coverPageBtn = addToolbarButton(QStringLiteral("Cover page"), least, [this] { coverPageToggled(); });
    m_coverPageBtn->setCheckable(true);
    m_coverPageBtn->setToolTip(
        QStringLiteral("Remove first page to switch left/right pairing in 2-page view"));

    m_editBtnRef = addToolbarButton(QStringLiteral("Edit"), secondary, [this] { toggleEditMode(); });
    m_editBtnRef->setToolTip(QStringLiteral("Toggle edit mode"));
    if (bookmarkEntry()) {
        QPushButton *add = addToolbarButton(QStringLiteral("+"), least, [this] { addToPlaylist(); });
        add->setToolTip(QStringLiteral("Add this bookmark to a playlist"));
    }
    m_shareButtonRef = addToolbarButton(QStringLiteral("Share"), least, [this] { shareCurrentPdf(); });

    QPushButton *fullscreen =
        addToolbarButton(QStringLiteral("Fullscreen"), presentation, [this] { fullscreenToggled(); });
    fullscreen->setToolTip(QStringLiteral("Fullscreen (double-click or Esc to exit)"));
    QPushButton *closeButton = addToolbarButton(QStringLiteral("Close"), least, [this] { closeViewer(); });
    QPalette red = closeButton->palette();
    red.setColor(QPalette::ButtonText, QColor(255, 59, 48));
    closeButton->setPalette(red);
}

QPushButton *PdfViewerWindowController::toolbarButton(const QString &text) const
{
    for (QPushButton *button : m_toolbarRow->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

void PdfViewerWindowController::buildPageArea()
{
    m_scrollZoomWrapper = new PDFScrollZoomWrapper(m_mainStackView);
    m_scrollZoomWrapper->controller = this;
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

    m_scrollZoomWrapper->watchInputOf(m_pdfView->viewport());
    // The page, not the page field, has the keys when the window opens.
    m_pdfView->setFocus();
    connect(m_scrollZoomWrapper, &PDFScrollZoomWrapper::resized, this, [this] { windowDidResize(); });
}

void PdfViewerWindowController::buildFloatingButtons()
{
    m_floatingTitleNavContainer = new QWidget(this);
    m_floatingPrevTitleBtn = makeFloatingTitleNavButton([this] { goToPreviousTitle(); });
    m_floatingNextTitleBtn = makeFloatingTitleNavButton([this] { goToNextTitle(); });
    m_floatingExitFullscreenBtn = makeFloatingExitFullscreenButton();
    m_floatingExitFullscreenBtn->hide();
    layoutFloatingButtons();
}

QPushButton *PdfViewerWindowController::makeFloatingTitleNavButton(const std::function<void()> &action)
{
    auto *button = new QPushButton(QString(), m_floatingTitleNavContainer);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedHeight(floatingButtonHeight);
    connect(button, &QPushButton::clicked, this, action);
    return button;
}

QPushButton *PdfViewerWindowController::makeFloatingExitFullscreenButton()
{
    auto *button = new QPushButton(this);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(QStringLiteral("Exit fullscreen (Esc)"));
    button->setFixedSize(exitButtonSide, exitButtonSide);
    button->setIconSize(QSize(16, 16));
    connect(button, &QPushButton::clicked, this, [this] { fullscreenToggled(); });
    return button;
}

void PdfViewerWindowController::layoutFloatingButtons()
{
    if (!m_floatingTitleNavContainer)
        return;
    m_floatingTitleNavContainer->setGeometry(0, height() - floatingStripHeight, width(), floatingStripHeight);
    const auto place = [&](QPushButton *button, bool leading) {
        const int buttonWidth =
            std::clamp(button->sizeHint().width(), floatingButtonMinWidth, floatingButtonMaxWidth);
        const int x = leading ? floatingInset : width() - floatingInset - buttonWidth;
        button->setGeometry(x, floatingStripHeight - floatingInset - floatingButtonHeight, buttonWidth,
                            floatingButtonHeight);
    };
    place(m_floatingPrevTitleBtn, true);
    place(m_floatingNextTitleBtn, false);
    // The strip takes clicks only on its buttons; the page under the rest of it stays reachable.
    m_floatingTitleNavContainer->setMask(QRegion(m_floatingPrevTitleBtn->geometry()) +
                                         QRegion(m_floatingNextTitleBtn->geometry()));
    m_floatingExitFullscreenBtn->move(width() - floatingInset - exitButtonSide, floatingInset);
}

void PdfViewerWindowController::updatePlaylistNavButtons()
{
    if (!playlistItems()) {
        m_floatingTitleNavContainer->hide();
        return;
    }
    m_floatingTitleNavContainer->show();
    const QList<PlaylistItem> &items = *playlistItems();
    const qint64 i = playlistCurrentIndex();
    const qint64 n = items.size();
    if (i < 1) {
        m_floatingPrevTitleBtn->setText(LyrafoldLanguageService::localized(QStringLiteral("Previous title")));
        m_floatingPrevTitleBtn->setToolTip(QString());
    } else {
        const QString &title = items.at(i - 1).title;
        m_floatingPrevTitleBtn->setText(QStringLiteral("\u25C0  ") +
                                        ViewerNavigation::truncatedPlaylistTitle(title, 32));
        m_floatingPrevTitleBtn->setToolTip(title);
    }
    if (i >= n - 1) {
        m_floatingNextTitleBtn->setText(LyrafoldLanguageService::localized(QStringLiteral("Next title")));
        m_floatingNextTitleBtn->setToolTip(QString());
    } else {
        const QString &title = items.at(i + 1).title;
        m_floatingNextTitleBtn->setText(ViewerNavigation::truncatedPlaylistTitle(title, 32) +
                                        QStringLiteral("  \u25B6"));
        m_floatingNextTitleBtn->setToolTip(title);
    }
    m_floatingPrevTitleBtn->setEnabled(i >= 1);
    m_floatingNextTitleBtn->setEnabled(i < n - 1);
    refreshFloatingOverlayButtonStyles();
    layoutFloatingButtons();
    m_floatingTitleNavContainer->raise();
}

void PdfViewerWindowController::applyFloatingOverlayButtonStyle(QPushButton *button, bool enabled)
{
    if (!button)
        return;
    const double fill = !enabled ? 0.24 : m_isPresentationMode ? 0.42 : 0.58;
    const QString text =
        m_isPresentationMode ? rgba(Qt::white, enabled ? 1.0 : 0.5) : rgba(darkText, enabled ? 1.0 : 0.45);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; "
                                         "border-radius: 10px; color: %3; font-size: 12px; "
                                         "font-weight: 600; padding: 0 12px; }")
                              .arg(rgba(Qt::white, fill), rgba(Qt::white, 0.78), text));
}

void PdfViewerWindowController::applyFloatingOverlayIconButtonStyle(QPushButton *button)
{
    const double fill = m_isPresentationMode ? 0.42 : 0.58;
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; "
                                         "border-radius: 18px; }")
                              .arg(rgba(Qt::white, fill), rgba(Qt::white, 0.78)));
    const QColor tint = m_isPresentationMode ? QColor(Qt::white) : darkText;
    button->setIcon(
        tintedSymbol(QStringLiteral("arrow.down.right.and.arrow.up.left"), tint, button->iconSize()));
}

void PdfViewerWindowController::refreshFloatingOverlayButtonStyles()
{
    applyFloatingOverlayButtonStyle(m_floatingPrevTitleBtn, m_floatingPrevTitleBtn->isEnabled());
    applyFloatingOverlayButtonStyle(m_floatingNextTitleBtn, m_floatingNextTitleBtn->isEnabled());
    if (!m_floatingExitFullscreenBtn->isHidden())
        applyFloatingOverlayIconButtonStyle(m_floatingExitFullscreenBtn);
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
