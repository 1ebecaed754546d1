#include "ui/mainwindow/WindowsStyleSlotTileView.h"

#include "ui/services/LyrafoldLanguageService.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int tileSide = 60;
constexpr int namePixelSize = 12;
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
    layoutContents();
    hitButton()->raise();
    applyChrome();
}

void WindowsStyleSlotTileView::layoutContents()
{
    // Picture, name and word share the 60 units of height: the picture gives way first. The name keeps
    // its type and its one line; a longer one ends in "…" and the tool tip names it in full.
    const int nameHeight = m_numberField->fontMetrics().height();
    const int wordHeight = m_slotLabel->fontMetrics().height();
    const int pictureSide = qMax(16, tileSide - 2 - 1 - nameHeight - wordHeight - 2);
    placePicture(QRect((width() - pictureSide) / 2, 2, pictureSide, pictureSide));
    const QRect nameArea(nameMargin, 2 + pictureSide + 1, width() - 2 * nameMargin, nameHeight);
    m_numberField->setGeometry(nameArea);
    const QString shown = m_numberField->fontMetrics().elidedText(m_name, Qt::ElideRight, nameArea.width());
    if (m_numberField->text() != shown)
        m_numberField->setText(shown);
    hitButton()->setToolTip(shown != m_name ? m_name + QLatin1Char('\n') + m_toolTip : m_toolTip);
    m_slotLabel->setGeometry(nameMargin, 2 + pictureSide + 1 + nameHeight, width() - 2 * nameMargin,
                             wordHeight);
}

void WindowsStyleSlotTileView::setName(const QString &name, const QString &toolTip)
{
    m_name = name;
    m_toolTip = toolTip;
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
