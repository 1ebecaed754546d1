#include "ui/mainwindow/BookmarkTableView.h"

#include "ui/common/LyrafoldOpaqueTableHeaderView.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTimer>

#include <vector>

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
    horizontalHeader()->setObjectName(QStringLiteral("libraryTableHeader"));
    horizontalHeader()->setSectionsClickable(true);
    // The header sorts by its sections from the keyboard too; Tab reaches it right after the rows.
    horizontalHeader()->setFocusPolicy(Qt::TabFocus);
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
    // The window opens a cell's field when a click on it acts (column edit mode); the view's own
    // mouse triggers would open a second one, or refuse that one, for the same click.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    // Tab leaves the table for the next control; the arrow keys move between rows and cells.
    setTabKeyNavigation(false);
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

void BookmarkTableView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    // A language switch brings headers of other widths.
    if (model)
        connect(model, &QAbstractItemModel::headerDataChanged, this, &BookmarkTableView::fitColumnsToWidth);
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
    const int count = int(m_baseWidths.size());
    const int available = viewport()->width();
    if (count == 0 || available <= 0)
        return;
    std::vector<int> minimum(size_t(count), 0);
    std::vector<qreal> base(size_t(count), 0);
    for (int column = 0; column < count; ++column) {
        const QString header = model() ? model()->headerData(column, Qt::Horizontal).toString() : QString();
        minimum[column] = qMax(16, LyrafoldTableHeaderCell::widthFor(header));
        base[column] = qMax(m_baseWidths[column], minimum[column]);
    }
    // The width goes out in proportion to the base widths; a column whose share would fall under its
    // minimum keeps the minimum, and the others share what is left.
    std::vector<bool> atMinimum(size_t(count), false);
    qreal factor = 0;
    for (bool settled = false; !settled;) {
        qreal free = available;
        qreal freeBase = 0;
        for (int column = 0; column < count; ++column) {
            if (atMinimum[column])
                free -= minimum[column];
            else
                freeBase += base[column];
        }
        factor = freeBase > 0 ? qMax<qreal>(0, free) / freeBase : 0;
        settled = true;
        for (int column = 0; column < count; ++column) {
            if (!atMinimum[column] && base[column] * factor < minimum[column]) {
                atMinimum[column] = true;
                settled = false;
            }
        }
    }
    std::vector<int> widths(size_t(count), 0);
    int used = 0;
    int lastShared = -1;
    for (int column = 0; column < count; ++column) {
        widths[column] = atMinimum[column] ? minimum[column] : qRound(base[column] * factor);
        used += widths[column];
        if (!atMinimum[column])
            lastShared = column;
    }
    // Rounding leaves a unit or two; the last column that shares takes them.
    if (lastShared >= 0)
        widths[lastShared] = qMax(minimum[lastShared], widths[lastShared] + available - used);
    m_fitting = true;
    for (int column = 0; column < count; ++column)
        setColumnWidth(column, widths[column]);
    m_fitting = false;
}
