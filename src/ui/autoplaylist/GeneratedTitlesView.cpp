#include "ui/autoplaylist/GeneratedTitlesView.h"

#include "ui/autoplaylist/GeneratedTitlesModel.h"
#include "ui/common/LyrafoldTheme.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <iterator>

GeneratedTitlesView::GeneratedTitlesView(QWidget *parent)
    : QTableView(parent), m_rowView(new AutoPlaylistGeneratedRowView(this))
{
    setItemDelegate(m_rowView);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(AutoPlaylistGeneratedRowView::rowHeight);
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list; the arrow keys select its cards.
    setTabKeyNavigation(false);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    // Drags start from the handle only (startDrag below); every drop lands between two rows.
    setDragDropMode(QAbstractItemView::DropOnly);
    setDragDropOverwriteMode(false);
    setDropIndicatorShown(true);
    setDefaultDropAction(Qt::MoveAction);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, QColor::fromRgbF(0.82f, 0.82f, 0.82f));
    // The cards show their own selection; the row behind them is never banded.
    palette.setColor(QPalette::Highlight, Qt::transparent);
    setPalette(palette);
}

void GeneratedTitlesView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    m_titles = qobject_cast<GeneratedTitlesModel *>(model);
}

void GeneratedTitlesView::keyPressEvent(QKeyEvent *event)
{
    using Button = AutoPlaylistGeneratedRowView::Button;
    // The buttons as they stand on the card, from the left.
    static constexpr Button order[] = {Button::bookSwap, Button::titleSwap, Button::spotify, Button::youtube,
                                       Button::remove};
    const int row = currentIndex().row();
    const int key = event->key();
    if (row < 0 || event->modifiers() != Qt::NoModifier ||
        (key != Qt::Key_Left && key != Qt::Key_Right && (key != Qt::Key_Space || !m_keyButton))) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Space) {
        Q_EMIT buttonClicked(*m_keyButton, row);
        return;
    }
    // -1 for the card itself, left of its first button.
    const int at = m_keyButton
                       ? int(std::find(std::begin(order), std::end(order), *m_keyButton) - std::begin(order))
                       : -1;
    const int next = std::clamp(at + (key == Qt::Key_Right ? 1 : -1), -1, int(std::size(order)) - 1);
    m_keyButton = next < 0 ? std::nullopt : std::optional(order[next]);
    viewport()->update();
}

void GeneratedTitlesView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (!hasFocus() || !currentIndex().isValid())
        return;
    // Where the keys act: the ringed button of the current card, or the whole current card.
    QPainter ring(viewport());
    const QRect card = AutoPlaylistGeneratedRowView::cardRect(cellRect(currentIndex().row()));
    if (m_keyButton)
        LyrafoldTheme::drawFocusRing(ring, AutoPlaylistGeneratedRowView::buttonRect(*m_keyButton, card), 8,
                                     Qt::white);
    else
        LyrafoldTheme::drawFocusRing(ring, QRectF(card).adjusted(3, 3, -3, -3), 9, Qt::white);
}

QRect GeneratedTitlesView::cellRect(int row) const
{
    return QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

bool GeneratedTitlesView::isOnControl(int row, const QPoint &viewportPosition) const
{
    return row >= 0 && AutoPlaylistGeneratedRowView::isOnControl(cellRect(row), viewportPosition);
}

void GeneratedTitlesView::setPressedRow(int row)
{
    const int was = m_rowView->pressedRow();
    if (was == row)
        return;
    m_rowView->setPressedRow(row);
    for (int changed : {was, row}) {
        if (changed >= 0)
            viewport()->update(cellRect(changed));
    }
}

void GeneratedTitlesView::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    const int row = rowAt(position.y());
    m_pressedButton.reset();
    m_handleRow = -1;
    if (event->button() == Qt::LeftButton && row >= 0) {
        if (const auto button = AutoPlaylistGeneratedRowView::buttonAt(cellRect(row), position)) {
            m_pressedButton = PressedButton{row, *button};
            event->accept();
            return;
        }
        if (isOnControl(row, position)) {
            m_handleRow = row;
            m_handlePressPosition = position;
        } else {
            setPressedRow(row);
        }
    }
    QTableView::mousePressEvent(event);
}

void GeneratedTitlesView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressedButton)
        return;
    if (m_handleRow >= 0 && (event->buttons() & Qt::LeftButton)) {
        if ((event->position().toPoint() - m_handlePressPosition).manhattanLength() >=
            QApplication::startDragDistance())
            startDrag(Qt::MoveAction);
        return;
    }
    // Only hovering reaches the table: a press on a card opens its title rather than selecting rows.
    if (!(event->buttons() & Qt::LeftButton))
        QTableView::mouseMoveEvent(event);
}

void GeneratedTitlesView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        setPressedRow(-1);
        m_handleRow = -1;
        if (const auto pressed = std::exchange(m_pressedButton, std::nullopt)) {
            const QPoint position = event->position().toPoint();
            const int row = rowAt(position.y());
            if (row == pressed->row &&
                AutoPlaylistGeneratedRowView::buttonAt(cellRect(row), position) == pressed->button)
                Q_EMIT buttonClicked(pressed->button, row);
            return;
        }
    }
    QTableView::mouseReleaseEvent(event);
}

void GeneratedTitlesView::startDrag(Qt::DropActions)
{
    const int row = std::exchange(m_handleRow, -1);
    if (row < 0 || !m_titles || !m_titles->entry(row))
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(GeneratedTitlesModel::rowMimeData(row));
    // The card itself travels under the pointer.
    const QRect cell = cellRect(row);
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(cell.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = QRect(QPoint(), cell.size());
        m_rowView->paint(&painter, option, m_titles->index(row));
    }
    drag->setPixmap(picture);
    drag->setHotSpot(m_handlePressPosition - cell.topLeft());
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}
