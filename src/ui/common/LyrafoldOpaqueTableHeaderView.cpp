#include "ui/common/LyrafoldOpaqueTableHeaderView.h"

#include "ui/common/LyrafoldTheme.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

LyrafoldOpaqueTableHeaderView::LyrafoldOpaqueTableHeaderView(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void LyrafoldOpaqueTableHeaderView::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(viewport());
        painter.fillRect(event->rect(), LyrafoldTheme::tableHeaderFill());
    }
    QHeaderView::paintEvent(event);
}

void LyrafoldOpaqueTableHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    LyrafoldTableHeaderCell::draw(painter, rect, text);
    if (hasFocus() && logicalIndex == keyboardSection()) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(LyrafoldTheme::focusRing(), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
        painter->restore();
    }
    if (!isSortIndicatorShown() || sortIndicatorSection() != logicalIndex)
        return;
    const qreal size = 7;
    const QPointF centre(rect.right() - 9, rect.center().y() + 0.5);
    const qreal tip = sortIndicatorOrder() == Qt::AscendingOrder ? -size / 2 : size / 2;
    const QPointF points[] = {{centre.x() - size / 2, centre.y() - tip / 2},
                              {centre.x() + size / 2, centre.y() - tip / 2},
                              {centre.x(), centre.y() + tip / 2}};
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor::fromRgbF(1, 1, 1, 0.85f));
    painter->drawPolygon(points, 3);
    painter->restore();
}

int LyrafoldOpaqueTableHeaderView::keyboardSection() const
{
    if (m_keyboardSection >= 0 && m_keyboardSection < count() && !isSectionHidden(m_keyboardSection))
        return m_keyboardSection;
    for (int visual = 0; visual < count(); ++visual) {
        const int section = logicalIndex(visual);
        if (!isSectionHidden(section))
            return section;
    }
    return -1;
}

void LyrafoldOpaqueTableHeaderView::moveKeyboardSection(int step)
{
    const int from = keyboardSection();
    if (from < 0)
        return;
    for (int visual = visualIndex(from) + step; visual >= 0 && visual < count(); visual += step) {
        const int section = logicalIndex(visual);
        if (!isSectionHidden(section)) {
            m_keyboardSection = section;
            viewport()->update();
            return;
        }
    }
}

void LyrafoldOpaqueTableHeaderView::keyPressEvent(QKeyEvent *event)
{
    // Shortcuts of the window keep their modifiers; the item view's own keys would move or select in
    // the table whose selection the header shares.
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveKeyboardSection(-1);
        break;
    case Qt::Key_Right:
        moveKeyboardSection(1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const int section = keyboardSection(); section >= 0 && sectionsClickable())
            Q_EMIT sectionClicked(section);
        break;
    default:
        break;
    }
    event->accept();
}

namespace LyrafoldTableHeaderCell {

namespace {

QFont font()
{
    return LyrafoldTheme::playlistCardTitleFontBold(12);
}

} // namespace

int widthFor(const QString &text)
{
    return QFontMetrics(font()).horizontalAdvance(text) + 12;
}

void draw(QPainter *painter, const QRect &frame, const QString &text)
{
    painter->save();
    // A title wider than its cell stays centred and is cut at the cell's edges, not drawn over the
    // neighbours.
    painter->setClipRect(frame, Qt::IntersectClip);
    painter->fillRect(frame, LyrafoldTheme::tableHeaderFill());
    const QRectF f(frame);
    painter->setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.18f), 1));
    painter->drawLine(QPointF(f.right() - 0.5, f.top() + 4), QPointF(f.right() - 0.5, f.bottom() - 4));
    painter->setPen(Qt::white);
    painter->setFont(font());
    const QSizeF textSize = painter->fontMetrics().size(Qt::TextSingleLine, text);
    const QPointF origin(f.left() + (f.width() - textSize.width()) * 0.5,
                         f.top() + (f.height() - textSize.height()) * 0.5);
    painter->drawText(QRectF(origin, textSize), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

} // namespace LyrafoldTableHeaderCell
