#include "ui/mainwindow/WindowsStyleSlotTileView.h"

#include "ui/services/LyrafoldLanguageService.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int tileSide = 60;
constexpr int namePixelSize = 12;
// A name that does not fit the square even in this type widens the tile, when up to widestTile shows it
// whole; a longer one is cut on the square tile. A tile may grow to widestTile, so that the tiles of a
// column of the slot grid share the widest one's width.
constexpr int widenedNamePixelSize = 9;
constexpr int widestTile = 90;
constexpr int nameMargin = 2;

} // namespace

WindowsStyleSlotTileView::WindowsStyleSlotTileView(int slotNumber, const QString &defaultName,
                                                   const QString &toolTip, Action action,
                                                   const QPixmap &slotImage, QWidget *parent)
    : TileView(QSize(tileSide, tileSide), tileSide, 8, toolTip, std::move(action), parent),
      m_numberField(makeLabel(defaultName, namePixelSize, QFont::Bold, 1)),
      m_slotLabel(makeLabel(QStringLiteral("Slot"), 8, QFont::Medium, 1)), m_name(defaultName),
      m_toolTip(toolTip)
{
    hitButton()->setProperty(tagProperty, slotNumber);
    // The tile writes its tool tip itself (with the name when the tile cuts it).
    LyrafoldLanguageService::markDynamicText(hitButton());
    setPicture(slotImage);
    fitWidthToName();
    layoutContents();
    hitButton()->raise();
    applyChrome();
}

void WindowsStyleSlotTileView::layoutContents()
{
    // Picture, name and word share the 60 units of height: the picture gives way first. A long name
    // takes a smaller type. The type is the one the square tile would give the name, so that a tile
    // widened by its neighbour in the grid's column does not write its name larger than the others.
    QFont nominal = m_numberField->font();
    nominal.setPixelSize(namePixelSize);
    const int nameHeight = QFontMetrics(nominal).height();
    const int wordHeight = m_slotLabel->fontMetrics().height();
    const int pictureSide = qMax(16, tileSide - 2 - 1 - nameHeight - wordHeight - 2);
    placePicture(QRect((width() - pictureSide) / 2, 2, pictureSide, pictureSide));
    const QRect nameArea(nameMargin, 2 + pictureSide + 1, width() - 2 * nameMargin, nameHeight);
    if (m_numberField->text() != m_name)
        m_numberField->setText(m_name);
    placeCaption(m_numberField, QRect(nameArea.topLeft(), QSize(tileSide - 2 * nameMargin, nameHeight)), 1);
    if (!captionFits(m_numberField))
        placeCaption(m_numberField, nameArea, 1);
    m_numberField->setGeometry(QRect(nameArea.topLeft(), QSize(nameArea.width(), m_numberField->height())));
    const bool cut = !captionFits(m_numberField);
    if (cut)
        m_numberField->setText(
            m_numberField->fontMetrics().elidedText(m_name, Qt::ElideRight, nameArea.width()));
    const QString tip = cut ? m_name + QLatin1Char('\n') + m_toolTip : m_toolTip;
    hitButton()->setToolTip(tip);
    m_slotLabel->setGeometry(nameMargin, 2 + pictureSide + 1 + nameHeight, width() - 2 * nameMargin,
                             wordHeight);
}

void WindowsStyleSlotTileView::fitWidthToName()
{
    QFont font = m_numberField->font();
    font.setPixelSize(widenedNamePixelSize);
    const int needed = QFontMetrics(font).horizontalAdvance(m_name) + 2 * nameMargin;
    const int natural = needed > widestTile ? tileSide : qMax(tileSide, needed);
    setWidths(natural, natural, widestTile);
}

void WindowsStyleSlotTileView::setName(const QString &name, const QString &toolTip)
{
    m_name = name;
    m_toolTip = toolTip;
    fitWidthToName();
    layoutContents();
}

void WindowsStyleSlotTileView::applyChrome()
{
    // The small word in a fainter shade of the tile's text colour, which the window's palette sets.
    QPalette tertiary = palette();
    QColor faint = tertiary.color(QPalette::WindowText);
    faint.setAlphaF(0.5f);
    tertiary.setColor(QPalette::WindowText, faint);
    m_slotLabel->setPalette(tertiary);
    glassBacking()->setBorder(1, QColor::fromRgbF(1, 1, 1, isDarkAppearance() ? 0.14f : 0.28f));
    glassBacking()->setRing(slotSelected ? 2 : 0, QColor(0, 122, 255));
}
