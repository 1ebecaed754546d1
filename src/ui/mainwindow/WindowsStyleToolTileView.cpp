#include "ui/mainwindow/WindowsStyleToolTileView.h"

#include "ui/common/LyrafoldUIAssets.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int tileWidth = 104;
constexpr int narrowestTileWidth = 80;
constexpr int pictureSide = 68;

QPixmap pictureFor(const QPixmap &image, const QString &fallbackSystemSymbol)
{
    if (!image.isNull())
        return image;
    if (fallbackSystemSymbol.isEmpty())
        return {};
    const QIcon symbol = LyrafoldUIAssets::systemSymbol(fallbackSystemSymbol);
    return symbol.isNull() ? QPixmap() : symbol.pixmap(28, 28);
}

} // namespace

WindowsStyleToolTileView::WindowsStyleToolTileView(const QString &title, const QPixmap &image,
                                                   const QString &toolTip, Action action,
                                                   const QString &fallbackSystemSymbol,
                                                   std::optional<qreal> customHeight, QWidget *parent)
    : TileView(QSize(tileWidth, qRound(customHeight.value_or(132))), narrowestTileWidth, 10, toolTip,
               std::move(action), parent),
      m_captionField(makeLabel(title, 12, QFont::DemiBold, 3))
{
    setPicture(pictureFor(image, fallbackSystemSymbol));
    layoutContents();
    hitButton()->raise();
    refreshChrome();
}

void WindowsStyleToolTileView::layoutContents()
{
    const int side = qMin(pictureSide, width() - 8);
    placePicture(QRect((width() - side) / 2, 8, side, side));
    const int top = 8 + pictureSide + 6;
    placeCaption(m_captionField, QRect(4, top, width() - 8, height() - 6 - top), 3);
}

void WindowsStyleToolTileView::refreshChrome()
{
    glassBacking()->setBorder(glassBacking()->borderWidth(),
                              QColor::fromRgbF(1, 1, 1, isDarkAppearance() ? 0.14f : 0.28f));
}
