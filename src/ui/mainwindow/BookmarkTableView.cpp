#include "ui/mainwindow/BookmarkTableView.h"

#include "ui/common/LyrafoldOpaqueTableHeaderView.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTimer>

QColor BookmarkTableRowView::background() const
{
    if (selected)
        return LyrafoldTheme::tableSelectionBlue();
    return logicalRow % 2 ? LyrafoldTheme::liquidRowOdd() : LyrafoldTheme::liquidRowEven();
}

BookmarkTableRowView::Look BookmarkTableRowView::look() const
{
    if (pressing)
        return {1.5, 0.992, 0.2, 0.9};
    if (hovering && !selected)
        return {-0.5, 1, 0.26, 0.97};
    return {};
}

BookmarkTableView::BookmarkTableView(QWidget *parent) : QTableView(parent)
{
    setHorizontalHeader(new LyrafoldOpaqueTableHeaderView(Qt::Horizontal, this));
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(24);
    setAlternatingRowColors(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setMouseTracking(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &BookmarkTableView::headerClicked);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        // After the user dragged a column, the columns share the width as they are now.
        if (m_fitting)
            return;
        for (int column = 0; column < m_baseWidths.size(); ++column)
            m_baseWidths[column] = columnWidth(column);
    });
    m_hoverOverlay = new BookmarkHoverOverlay(this);
}

BookmarkTableRowView BookmarkTableView::rowView(int row) const
{
    BookmarkTableRowView view;
    view.logicalRow = row;
    view.hovering = row == m_hoveringRow;
    view.pressing = row == m_pressingRow || m_pulsingRows.contains(row);
    view.selected = selectionModel() && selectionModel()->isRowSelected(row, rootIndex());
    return view;
}

void BookmarkTableView::triggerPressPulse(int row, qreal seconds)
{
    if (row < 0 || !model() || row >= model()->rowCount())
        return;
    m_pulsingRows.insert(row);
    updateRow(row);
    QTimer::singleShot(qRound(seconds * 1000), this, [this, row] {
        m_pulsingRows.remove(row);
        updateRow(row);
    });
}

void BookmarkTableView::setColumnBaseWidths(const QList<int> &widths)
{
    m_baseWidths = widths;
    fitColumnsToWidth();
}

void BookmarkTableView::mouseMoveEvent(QMouseEvent *event)
{
    setHoveringRow(rowAt(event->position().toPoint().y()));
    QTableView::mouseMoveEvent(event);
}

void BookmarkTableView::mousePressEvent(QMouseEvent *event)
{
    const int row = rowAt(event->position().toPoint().y());
    if (event->button() == Qt::LeftButton)
        setPressingRow(row);
    QTableView::mousePressEvent(event);
}

void BookmarkTableView::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        setPressingRow(-1);
}

bool BookmarkTableView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave) {
        // Leaving with the button held takes the pressed look away with the hover.
        setHoveringRow(-1);
        setPressingRow(-1);
    }
    return QTableView::viewportEvent(event);
}

void BookmarkTableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitColumnsToWidth();
}

void BookmarkTableView::setHoveringRow(int row)
{
    if (row == m_hoveringRow)
        return;
    const int old = std::exchange(m_hoveringRow, row);
    updateRow(old);
    updateRow(row);
}

void BookmarkTableView::setPressingRow(int row)
{
    if (row == m_pressingRow)
        return;
    const int old = std::exchange(m_pressingRow, row);
    updateRow(old);
    updateRow(row);
}

void BookmarkTableView::updateRow(int row)
{
    if (row >= 0)
        viewport()->update(QRect(0, rowViewportPosition(row) - 2, viewport()->width(), rowHeight(row) + 4));
}

void BookmarkTableView::fitColumnsToWidth()
{
    qreal total = 0;
    for (int width : std::as_const(m_baseWidths))
        total += width;
    const int available = viewport()->width();
    if (total <= 0 || available <= 0)
        return;
    m_fitting = true;
    const qreal factor = available / total;
    int used = 0;
    for (int column = 0; column < m_baseWidths.size(); ++column) {
        const bool last = column == m_baseWidths.size() - 1;
        const int width = last ? available - used : qRound(m_baseWidths[column] * factor);
        setColumnWidth(column, qMax(width, 16));
        used += width;
    }
    m_fitting = false;
}
