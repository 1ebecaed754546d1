#include "ui/mainwindow/WindowsStyleToolTileView.h"

#include "ui/common/LyrafoldUIAssets.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int tileWidth = 104;
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
    : TileView(QSize(tileWidth, qRound(customHeight.value_or(132))), 10, toolTip, std::move(action), parent),
      m_captionField(makeLabel(title, 12, QFont::DemiBold, 3))
{
    setPicture(pictureFor(image, fallbackSystemSymbol),
               QRect((tileWidth - pictureSide) / 2, 8, pictureSide, pictureSide));
    placeCaption(m_captionField, 8 + pictureSide + 6, 4, tileWidth - 8, height() - 6, 3);
    hitButton()->raise();
    refreshChrome();
}

void WindowsStyleToolTileView::refreshChrome()
{
    glassBacking()->setBorder(glassBacking()->borderWidth(),
                              QColor::fromRgbF(1, 1, 1, isDarkAppearance() ? 0.14f : 0.28f));
}
