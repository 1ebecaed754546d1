#include "ui/common/FlowLayout.h"

#include <QWidget>

#include <algorithm>

FlowLayout::FlowLayout(QWidget *parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), m_horizontalSpacing(horizontalSpacing), m_verticalSpacing(verticalSpacing)
{
}

FlowLayout::~FlowLayout()
{
    qDeleteAll(m_items);
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const
{
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : m_items) {
        const QSize hint = item->sizeHint();
        width += hint.width() + (width > 0 ? m_horizontalSpacing : 0);
        height = std::max(height, hint.height());
    }
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int FlowLayout::doLayout(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    struct Placed {
        QLayoutItem *item;
        QSize size;
    };
    QList<QList<Placed>> rows(1);
    int rowWidth = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        const int needed = rowWidth == 0 ? hint.width() : rowWidth + m_horizontalSpacing + hint.width();
        if (rowWidth > 0 && needed > area.width()) {
            rows.append(QList<Placed>());
            rowWidth = hint.width();
        } else {
            rowWidth = needed;
        }
        rows.last().append(Placed{item, hint});
    }
    int y = area.y();
    for (const QList<Placed> &row : std::as_const(rows)) {
        int rowHeight = 0;
        int fixedWidth = 0;
        for (const Placed &placed : row) {
            rowHeight = std::max(rowHeight, placed.size.height());
            fixedWidth += placed.size.width();
        }
        fixedWidth += m_horizontalSpacing * std::max<int>(0, int(row.size()) - 1);
        int x = area.x();
        for (const Placed &placed : row) {
            QSize size = placed.size;
            // A spacer takes what the row leaves.
            if (placed.item->expandingDirections() & Qt::Horizontal)
                size.setWidth(std::max(size.width(), size.width() + area.width() - fixedWidth));
            if (apply)
                placed.item->setGeometry(QRect(QPoint(x, y + (rowHeight - size.height()) / 2), size));
            x += size.width() + m_horizontalSpacing;
        }
        y += rowHeight + m_verticalSpacing;
    }
    const int used = y - m_verticalSpacing - area.y();
    const QMargins margins = contentsMargins();
    return std::max(used, 0) + margins.top() + margins.bottom();
}
