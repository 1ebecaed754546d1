#include "ui/viewer/ViewerFloatingButtons.h"

#include "core/viewer/ViewerNavigation.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QPainter>
#include <QPushButton>

namespace {

constexpr int stripHeight = 88;
constexpr int inset = 16;
constexpr int buttonHeight = 40;
constexpr int buttonMinWidth = 120;
constexpr int buttonMaxWidth = 280;
constexpr int exitButtonSide = 36;

const QColor darkText(31, 31, 31); // white 0.12

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

ViewerFloatingButtons::ViewerFloatingButtons(QWidget *window) : QObject(window), m_window(window)
{
    m_titleStrip = new QWidget(window);
    m_titleStrip->setObjectName(QStringLiteral("floatingTitleNav"));
    m_previous = makeTitleButton(QStringLiteral("floatingPreviousTitle"));
    m_next = makeTitleButton(QStringLiteral("floatingNextTitle"));
    connect(m_previous, &QPushButton::clicked, this, &ViewerFloatingButtons::previousTitle);
    connect(m_next, &QPushButton::clicked, this, &ViewerFloatingButtons::nextTitle);

    m_exitFullscreen = new QPushButton(window);
    m_exitFullscreen->setObjectName(QStringLiteral("floatingExitFullscreen"));
    m_exitFullscreen->setFlat(true);
    m_exitFullscreen->setAutoDefault(false);
    m_exitFullscreen->setFocusPolicy(Qt::NoFocus);
    m_exitFullscreen->setToolTip(QStringLiteral("Exit fullscreen (Esc)"));
    m_exitFullscreen->setFixedSize(exitButtonSide, exitButtonSide);
    m_exitFullscreen->setIconSize(QSize(16, 16));
    m_exitFullscreen->hide();
    connect(m_exitFullscreen, &QPushButton::clicked, this, &ViewerFloatingButtons::exitFullscreen);
    layout();
}

QPushButton *ViewerFloatingButtons::makeTitleButton(const QString &objectName)
{
    auto *button = new QPushButton(QString(), m_titleStrip);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedHeight(buttonHeight);
    return button;
}

void ViewerFloatingButtons::layout()
{
    const int width = m_window->width();
    m_titleStrip->setGeometry(0, m_window->height() - stripHeight, width, stripHeight);
    const auto place = [&](QPushButton *button, bool leading) {
        const int buttonWidth = std::clamp(button->sizeHint().width(), buttonMinWidth, buttonMaxWidth);
        const int x = leading ? inset : width - inset - buttonWidth;
        button->setGeometry(x, stripHeight - inset - buttonHeight, buttonWidth, buttonHeight);
    };
    place(m_previous, true);
    place(m_next, false);
    // The strip takes clicks only on its buttons; the page under the rest of it stays reachable.
    m_titleStrip->setMask(QRegion(m_previous->geometry()) + QRegion(m_next->geometry()));
    m_exitFullscreen->move(width - inset - exitButtonSide, inset);
}

void ViewerFloatingButtons::showTitles(const std::optional<QList<PlaylistItem>> &items, qint64 currentIndex)
{
    if (!items) {
        m_titleStrip->hide();
        return;
    }
    m_titleStrip->show();
    const qint64 i = currentIndex;
    const qint64 n = items->size();
    if (i < 1) {
        m_previous->setText(LyrafoldLanguageService::localized(QStringLiteral("Previous title")));
        m_previous->setToolTip(QString());
    } else {
        const QString &title = items->at(i - 1).title;
        m_previous->setText(QStringLiteral("\u25C0  ") + ViewerNavigation::truncatedPlaylistTitle(title, 32));
        m_previous->setToolTip(title);
    }
    if (i >= n - 1) {
        m_next->setText(LyrafoldLanguageService::localized(QStringLiteral("Next title")));
        m_next->setToolTip(QString());
    } else {
        const QString &title = items->at(i + 1).title;
        m_next->setText(ViewerNavigation::truncatedPlaylistTitle(title, 32) + QStringLiteral("  \u25B6"));
        m_next->setToolTip(title);
    }
    m_previous->setEnabled(i >= 1);
    m_next->setEnabled(i < n - 1);
    refreshStyles();
    layout();
    m_titleStrip->raise();
}

void ViewerFloatingButtons::setPresentationMode(bool on)
{
    m_presentationMode = on;
    m_exitFullscreen->setVisible(on);
    if (on) {
        m_titleStrip->raise();
        m_exitFullscreen->raise();
    }
    refreshStyles();
}

void ViewerFloatingButtons::applyTitleStyle(QPushButton *button)
{
    const bool enabled = button->isEnabled();
    const double fill = !enabled ? 0.24 : m_presentationMode ? 0.42 : 0.58;
    const QString text =
        m_presentationMode ? rgba(Qt::white, enabled ? 1.0 : 0.5) : rgba(darkText, enabled ? 1.0 : 0.45);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; "
                                         "border-radius: 10px; color: %3; font-size: 12px; "
                                         "font-weight: 600; padding: 0 12px; }")
                              .arg(rgba(Qt::white, fill), rgba(Qt::white, 0.78), text));
}

void ViewerFloatingButtons::refreshStyles()
{
    applyTitleStyle(m_previous);
    applyTitleStyle(m_next);
    if (m_exitFullscreen->isHidden())
        return;
    const double fill = m_presentationMode ? 0.42 : 0.58;
    m_exitFullscreen->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                                                   "%2; border-radius: 18px; }")
                                        .arg(rgba(Qt::white, fill), rgba(Qt::white, 0.78)));
    const QColor tint = m_presentationMode ? QColor(Qt::white) : darkText;
    m_exitFullscreen->setIcon(tintedSymbol(QStringLiteral("arrow.down.right.and.arrow.up.left"), tint,
                                           m_exitFullscreen->iconSize()));
}
