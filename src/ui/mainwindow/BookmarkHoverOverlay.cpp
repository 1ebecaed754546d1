#include "ui/mainwindow/BookmarkHoverOverlay.h"

#include "core/common/HoverLog.h"
#include "ui/common/LyrafoldTheme.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTableView>

BookmarkHoverOverlay::BookmarkHoverOverlay(QTableView *tableView)
    : QWidget(tableView->viewport()), m_tableView(tableView)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(tableView->viewport()->rect());
    tableView->viewport()->installEventFilter(this);
    raise();
}

void BookmarkHoverOverlay::setHoveredRow(int row)
{
    if (row == m_hoveredRow)
        return;
    hoverLog(QStringLiteral("overlay hoveredRow=%1 oldValue=%2 bounds=%3")
                 .arg(row)
                 .arg(m_hoveredRow)
                 .arg(HoverLog::formatRect(rect())));
    m_hoveredRow = row;
    // At once rather than at the next paint cycle, so the band keeps up with the pointer.
    repaint();
}

QColor BookmarkHoverOverlay::hoverBandColour() const
{
    // The window's look decides; the table's style sheet gives the overlay a palette of its own.
    const bool dark = window()->palette().color(QPalette::Window).lightnessF() < 0.5;
    // The band lies over the row: an opaque grey would hide the row's texts and buttons, so the
    // dark look lightens the row instead.
    return dark ? QColor::fromRgbF(1, 1, 1, 0.18f) : LyrafoldTheme::tableHoverBlue();
}

void BookmarkHoverOverlay::paintEvent(QPaintEvent *)
{
    const int row = m_hoveredRow;
    const int rows = m_tableView && m_tableView->model() ? m_tableView->model()->rowCount() : 0;
    if (row < 0 || !m_tableView || row >= rows) {
        hoverLog(QStringLiteral("draw SKIP hoveredRow=%1 tableView=%2 rows=%3")
                     .arg(row)
                     .arg(m_tableView ? QStringLiteral("true") : QStringLiteral("false"))
                     .arg(rows));
        return;
    }
    QItemSelectionModel *selection = m_tableView->selectionModel();
    if (selection && selection->isRowSelected(row, QModelIndex()))
        return;
    const QRectF rectInSelf(0, m_tableView->rowViewportPosition(row), width(), m_tableView->rowHeight(row));
    // The row in the coordinates of the whole table, scrolled part included.
    const QRectF rowRect = rectInSelf.translated(m_tableView->horizontalHeader()->offset(),
                                                 m_tableView->verticalHeader()->offset());
    hoverLog(QStringLiteral("draw row=%1 rowRect=%2 rectInSelf=%3 bounds=%4")
                 .arg(row)
                 .arg(HoverLog::formatRect(rowRect), HoverLog::formatRect(rectInSelf),
                      HoverLog::formatRect(rect())));
    QPainter painter(this);
    painter.fillRect(rectInSelf, row == m_previewHighlightRow ? LyrafoldTheme::previewHighlightCardTint()
                                                              : hoverBandColour());
}

bool BookmarkHoverOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (m_tableView && watched == m_tableView->viewport() && event->type() == QEvent::Resize)
        setGeometry(m_tableView->viewport()->rect());
    return false;
}
