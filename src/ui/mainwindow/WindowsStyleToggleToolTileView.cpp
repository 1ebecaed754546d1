#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"

#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int tileWidth = 104;
constexpr int narrowestTileWidth = 80;
constexpr int pictureSide = 28;

} // namespace

WindowsStyleToggleToolTileView::WindowsStyleToggleToolTileView(
    const QString &title, const QString &toolTip, Action action, bool isToggle, const QPixmap &image,
    const QString &fallbackSystemSymbol, std::optional<qreal> customHeight, QWidget *parent)
    : TileView(QSize(tileWidth, qRound(customHeight.value_or(63))), narrowestTileWidth, 10, toolTip,
               std::move(action), parent),
      m_captionField(makeLabel(title, 13.75, QFont::Bold, 2)), m_isToggle(isToggle)
{
    // Both kinds keep an on/off state; only a toggle flips it when clicked.
    hitButton()->setCheckable(true);
    QPixmap picture = image;
    if (picture.isNull() && !fallbackSystemSymbol.isEmpty())
        picture = LyrafoldUIAssets::systemSymbol(fallbackSystemSymbol).pixmap(pictureSide, pictureSide);
    setPicture(picture);
    layoutContents();
    hitButton()->raise();
    refreshAppearance();
}

void WindowsStyleToggleToolTileView::layoutContents()
{
    placePicture(QRect((width() - pictureSide) / 2, 6, pictureSide, pictureSide));
    const int top = 6 + pictureSide + 2;
    placeCaption(m_captionField, QRect(4, top, width() - 8, height() - 6 - top), 2);
}

void WindowsStyleToggleToolTileView::activate()
{
    // A programmatic click flips a toggle and sends the action as a real click would; the action's
    // handler restyles the pair. A plain push button keeps its state and only sends the action.
    if (m_isToggle)
        hitButton()->click();
    else
        TileView::activate();
}

void WindowsStyleToggleToolTileView::refreshAppearance()
{
    refreshChrome();
    refreshToggleChrome();
}

void WindowsStyleToggleToolTileView::refreshChrome()
{
    glassBacking()->setBorder(glassBacking()->borderWidth(),
                              QColor::fromRgbF(1, 1, 1, isDarkAppearance() ? 0.14f : 0.28f));
}

void WindowsStyleToggleToolTileView::refreshToggleChrome()
{
    if (hitButton()->isChecked())
        glassBacking()->setBorder(3, LyrafoldTheme::brassBorder());
    else
        glassBacking()->setBorder(1, QColor::fromRgbF(1, 1, 1, 0.3f));
}
