#include "ui/workshop/WorkshopGridView.h"

#include "ui/workshop/WorkshopGridItemDelegate.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

WorkshopGridView::WorkshopGridView(WorkshopGridItemDelegate *delegate, QWidget *parent)
    : QListView(parent), m_delegate(delegate)
{
    setItemDelegate(delegate);
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    // Cells of 100 by 168 with 10 between columns and 12 between rows.
    setGridSize(WorkshopGridItemDelegate::cellSize + QSize(10, 12));
    setSpacing(0);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(12, 12, 12, 16);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
}

void WorkshopGridView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && m_delegate->showsRelink(index) &&
        WorkshopGridItemDelegate::relinkButtonRect(visualRect(index)).contains(event->position().toPoint())) {
        event->accept();
        Q_EMIT relinkPressed(index.row());
        return;
    }
    QListView::mousePressEvent(event);
}

void WorkshopGridView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !current.isValid() || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QListView::keyPressEvent(event);
        return;
    }
    if (m_delegate->showsRelink(current))
        Q_EMIT relinkPressed(current.row());
    else
        Q_EMIT openRequested(current.row());
}

void WorkshopGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid())
        Q_EMIT openRequested(index.row());
}
