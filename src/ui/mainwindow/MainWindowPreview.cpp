// The pointer over the library table: the hover page preview and the row clicks.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/HoverLog.h"
#include "core/library/LibraryColumns.h"
#include "core/playlist/PlaylistStore.h"
#include "pdf/render/LyrafoldBookmarkPdfPreview.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/PagePreviewWindow.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

namespace {

QRect visibleFrameAt(const QPoint &pointer, const QWidget *window)
{
    QScreen *screen = QGuiApplication::screenAt(pointer);
    if (!screen && window)
        screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QString formatPoint(const QPoint &point)
{
    return QStringLiteral("(%1, %2)")
        .arg(QString::number(double(point.x()), 'f', 1), QString::number(double(point.y()), 'f', 1));
}

} // namespace

QPoint MainWindowController::previewWindowPosition(const QPoint &pointer, const QSize &size,
                                                   const QRect &visibleFrame)
{
    int x = pointer.x() + 20;
    int y = pointer.y() + 20;
    if (visibleFrame.isEmpty())
        return {x, y};
    if (x + size.width() > visibleFrame.x() + visibleFrame.width())
        x = pointer.x() - size.width() - 20;
    if (y + size.height() > visibleFrame.y() + visibleFrame.height())
        y = pointer.y() - size.height() - 20;
    x = std::max(x, visibleFrame.x());
    y = std::max(y, visibleFrame.y());
    return {x, y};
}

void MainWindowController::resetPreviewHighlightRow()
{
    if (!m_hoverOverlay || m_hoverOverlay->previewHighlightRow() == -1)
        return;
    m_hoverOverlay->setPreviewHighlightRow(-1);
    m_hoverOverlay->repaint();
}

void MainWindowController::closePreviewOnHoverPath()
{
    m_previewHoverTimer->stop();
    closePreviewWindow();
    m_lastPreviewRow = -1;
    m_pendingPreviewRow = -1;
    if (m_hoverOverlay)
        m_hoverOverlay->setHoveredRow(-1);
    resetPreviewHighlightRow();
}

bool MainWindowController::previewActive() const
{
    // Moves away from the table come by the hundred; only the first of them has anything to close.
    return m_previewPopover || m_pendingPreviewRow >= 0 || m_lastPreviewRow >= 0 ||
           (m_hoverOverlay && m_hoverOverlay->hoveredRow() >= 0);
}

void MainWindowController::previewHoverMouseMoved(QMouseEvent *event)
{
    if (!m_tableView)
        return;
    if (m_suppressPreviewDuringCellEdit) {
        closePreviewWindow();
        resetPreviewHighlightRow();
        return;
    }
    QWidget *tableWindow = m_tableView->window();
    if (!tableWindow || !tableWindow->isActiveWindow()) {
        if (previewActive()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: window not key, closing preview"));
            closePreviewOnHoverPath();
        }
        return;
    }
    const QPoint global = event->globalPosition().toPoint();
    QWidget *viewport = m_tableView->viewport();
    const QPoint local = viewport->mapFromGlobal(global);
    if (!viewport->rect().contains(local)) {
        if (previewActive()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: outside scroll view, closing preview"));
            closePreviewOnHoverPath();
        }
        return;
    }
    const int row = m_tableView->rowAt(local.y());
    if (!m_session.displayedBookmark(row)) {
        if (previewActive()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: invalid row %1, closing preview").arg(row));
            closePreviewOnHoverPath();
        }
        return;
    }
    if (row == m_lastPreviewRow) {
        if (!m_previewPopover)
            return;
        const QPoint origin =
            previewWindowPosition(global, m_previewPopover->size(), visibleFrameAt(global, tableWindow));
        m_previewPopover->move(origin);
        hoverLog(QStringLiteral("previewHoverMouseMoved: tracking cursor windowPt=") + formatPoint(origin));
        return;
    }
    if (row == m_pendingPreviewRow)
        return;
    m_pendingPreviewRow = row;
    m_previewHoverTimer->start();
}

void MainWindowController::updateOrShowPreviewPopover(int row)
{
    hoverLog(QStringLiteral("updateOrShowPreviewPopover row=%1").arg(row));
    const BookmarkEntry *entry = m_session.displayedBookmark(row);
    if (!entry)
        return;
    if (!QFileInfo(entry->pdfFilePath).isFile()) {
        hoverLog(QStringLiteral("updateOrShowPreviewPopover FAILED: file/doc/page missing"));
        return;
    }
    m_previewHoverTimer->stop();
    if (!m_tableView || !m_tableView->window())
        return;
    startPreviewRendering(row, *entry, QCursor::pos());
}

void MainWindowController::startPreviewRendering(int row, const BookmarkEntry &entry, const QPoint &pointer)
{
    if (m_previewPendingWork)
        *m_previewPendingWork = true;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    m_previewPendingWork = cancelled;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels =
        QSize(PagePreviewWindow::contentWidth, PagePreviewWindow::contentHeight) * std::max<qreal>(ratio, 1);
    QPointer<MainWindowController> self(this);
    const QString path = entry.pdfFilePath;
    const qint64 page = entry.pageNumber;
    // The book is opened and the page drawn on a worker; the window opens when the page is there, so a
    // book that cannot be read shows no empty card.
    QThreadPool::globalInstance()->start([self, cancelled, path, page, pixels, row, pointer] {
        if (*cancelled)
            return;
        const std::optional<QImage> image = LyrafoldBookmarkPdfPreview::thumbnail(path, page, pixels);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, cancelled, image, row, pointer] {
                if (!self || *cancelled)
                    return;
                if (!image) {
                    hoverLog(QStringLiteral("updateOrShowPreviewPopover FAILED: file/doc/page missing"));
                    return;
                }
                MainWindowController *window = self.data();
                const bool reused = window->m_previewPopover;
                if (!reused)
                    window->m_previewPopover = new PagePreviewWindow(window);
                PagePreviewWindow *preview = window->m_previewPopover;
                preview->setImage(*image);
                preview->move(
                    previewWindowPosition(pointer, preview->size(), visibleFrameAt(pointer, window)));
                preview->show();
                preview->raise();
                if (!reused)
                    window->m_lastPreviewRow = row;
                if (window->m_hoverOverlay) {
                    window->m_hoverOverlay->setHoveredRow(row);
                    if (window->m_hoverOverlay->previewHighlightRow() != row) {
                        window->m_hoverOverlay->setPreviewHighlightRow(row);
                        window->m_hoverOverlay->repaint();
                    }
                }
            },
            Qt::QueuedConnection);
    });
}

void MainWindowController::closePreviewWindow()
{
    hoverLog(QStringLiteral("closePreviewWindow called"));
    if (m_previewPendingWork) {
        *m_previewPendingWork = true;
        m_previewPendingWork.reset();
    }
    if (m_previewHoverTimer)
        m_previewHoverTimer->stop();
    if (PagePreviewWindow *preview = m_previewPopover) {
        m_previewPopover = nullptr;
        preview->hide();
        preview->deleteLater();
    }
}

void MainWindowController::handleTableClick(QMouseEvent *event)
{
    if (!m_tableView || event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier))
        return;
    const QPoint local = event->position().toPoint();
    const QModelIndex index = m_tableView->indexAt(local);
    const int row = index.isValid() ? index.row() : -1;
    const QString column = BookmarkTableModel::columnIdentifier(index.column());
    const bool editableCell =
        m_isColumnEditModeEnabled && currentSlotId() != 0 && editableColumns().contains(column);
    if (editableCell && m_session.displayedBookmark(row)) {
        // The cell is about to open for editing. The flag that keeps previews away is set only once the
        // editor exists, so a click that opens none does not lose the previews.
        closePreviewWindow();
        resetPreviewHighlightRow();
        m_lastPreviewRow = -1;
        m_pendingPreviewRow = -1;
    }
    // The row's drawn Add and Share buttons take their own clicks.
    if (index.isValid() &&
        BookmarkTableDelegate::rowButtonRect(column, m_tableView->visualRect(index)).contains(local))
        return;
    const BookmarkEntry *entry = m_session.displayedBookmark(row);
    if (!entry)
        return;
    m_tableView->triggerPressPulse(row, clickActionDelayMilliseconds / 1000.0);
    QTimer::singleShot(clickActionDelayMilliseconds, this,
                       [this, bookmark = *entry, row, column] { performClickAction(bookmark, row, column); });
}

void MainWindowController::performClickAction(const BookmarkEntry &entry, int row, const QString &column)
{
    // The rows may have moved since the click (a search pass landing): the song is selected where it is
    // now, or not at all.
    selectRowsWithIdentityKeys({entry.id()});
    if (m_addToPlaylistTargetName) {
        PlaylistStore::addToPlaylist(*m_addToPlaylistTargetName, entry);
        setStatus(QStringLiteral("Added \"%1\" to \"%2\". Click another title or press Done.")
                      .arg(entry.title, *m_addToPlaylistTargetName));
        if (m_finishAddToPlaylistButton)
            m_finishAddToPlaylistButton->show();
        return;
    }
    if (m_isColumnEditModeEnabled) {
        const BookmarkEntry *shown = m_session.displayedBookmark(row);
        if (currentSlotId() == 0 || !editableColumns().contains(column) || !shown ||
            shown->id() != entry.id())
            return;
        m_columnEditModeColumn = column;
        if (m_editModeButton)
            m_editModeButton->setText(QStringLiteral("Editing: ") + column);
        m_tableView->setFocus();
        m_tableView->edit(m_tableModel->index(row, BookmarkTableModel::columnOf(column)));
        return;
    }
    const QString key = entry.id();
    if (key == m_lastClickOpenKey && m_lastClickOpen.isValid() &&
        m_lastClickOpen.elapsed() < QApplication::doubleClickInterval())
        return;
    m_lastClickOpenKey = key;
    m_lastClickOpen.start();
    openPdf(entry);
}

void MainWindowController::openPdfFromTableDoubleClick()
{
    if (m_addToPlaylistTargetName || m_isColumnEditModeEnabled || !m_tableView)
        return;
    const BookmarkEntry *entry = m_session.displayedBookmark(m_tableView->currentIndex().row());
    if (!entry)
        return;
    // The first click of the pair has opened the song already (or is about to): one double click,
    // one opening.
    const QString key = entry->id();
    if (key == m_lastClickOpenKey && m_lastClickOpen.isValid() &&
        m_lastClickOpen.elapsed() < QApplication::doubleClickInterval() + clickActionDelayMilliseconds)
        return;
    m_lastClickOpenKey = key;
    m_lastClickOpen.start();
    openPdf(*entry);
}
