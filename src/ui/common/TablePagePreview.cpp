#include "ui/common/TablePagePreview.h"

#include "ui/common/WindowPlacement.h"

#include "core/bookmarks/SongRecord.h"
#include "core/common/Hop.h"
#include "core/common/HoverLog.h"
#include "pdf/render/LyrafoldBookmarkPdfPreview.h"
#include "ui/common/PagePreviewWindow.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>
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

// Tells when a menu or a dialog opens anywhere in the application.
class OpeningWatcher : public QObject {
public:
    OpeningWatcher(std::function<void()> opened, QObject *parent)
        : QObject(parent), m_opened(std::move(opened))
    {
    }

    static bool isMenuOrDialog(const QWidget *window)
    {
        return window->windowType() == Qt::Popup || qobject_cast<const QDialog *>(window) ||
               window->isModal();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            const auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && isMenuOrDialog(widget))
                m_opened();
        }
        return false;
    }

private:
    std::function<void()> m_opened;
};

QString formatPoint(const QPoint &point)
{
    return QStringLiteral("(%1, %2)")
        .arg(QString::number(double(point.x()), 'f', 1), QString::number(double(point.y()), 'f', 1));
}

} // namespace

TablePagePreview::TablePagePreview(QTableView *table, SongAt songAt, QObject *parent)
    : TablePagePreview(table, std::move(songAt), parent, Behaviour())
{
}

TablePagePreview::TablePagePreview(QTableView *table, SongAt songAt, QObject *parent, Behaviour behaviour)
    : QObject(parent), m_table(table), m_songAt(std::move(songAt)), m_behaviour(std::move(behaviour))
{
    setObjectName(QStringLiteral("tablePagePreview"));
    m_hoverTimer = new QTimer(this);
    m_hoverTimer->setSingleShot(true);
    m_hoverTimer->setInterval(m_behaviour.hoverDelayMilliseconds);
    connect(m_hoverTimer, &QTimer::timeout, this, [this] {
        hoverLog(QStringLiteral("timer fired row=%1").arg(m_pendingRow));
        showPendingRow();
    });
    m_openingWatcher = new OpeningWatcher(
        [this] {
            if (active()) {
                hoverLog(QStringLiteral("a menu or dialog opened, closing preview"));
                close();
            }
        },
        this);
    table->viewport()->setMouseTracking(true);
    table->viewport()->installEventFilter(this);
    if (QWidget *window = table->window(); window != table)
        window->installEventFilter(this);
}

TablePagePreview::~TablePagePreview()
{
    closeWindow();
}

bool TablePagePreview::eventFilter(QObject *watched, QEvent *event)
{
    QTableView *view = table();
    if (!view)
        return false;
    if (watched == view->viewport()) {
        if (event->type() == QEvent::MouseMove)
            pointerMoved(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
        else if (event->type() == QEvent::MouseButtonPress && m_behaviour.opensOnPress &&
                 static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            pressed(static_cast<QMouseEvent *>(event)->position().toPoint());
        else if (event->type() == QEvent::Leave && active())
            close();
    } else if (event->type() == QEvent::WindowDeactivate && active()) {
        close();
    }
    return false;
}

void TablePagePreview::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (suspended)
        dismiss();
}

void TablePagePreview::dismiss()
{
    closeWindow();
    setPreviewRow(-1);
    m_shownRow = -1;
    m_pendingRow = -1;
}

void TablePagePreview::songsChanged()
{
    if (m_suspended || m_shownRow < 0 || m_window || m_cancelRendering)
        return;
    m_pendingRow = m_shownRow;
    showPendingRow();
}

void TablePagePreview::close()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(m_openingWatcher);
    m_hoverTimer->stop();
    closeWindow();
    m_shownRow = -1;
    m_pendingRow = -1;
    setHoveredRow(-1);
    setPreviewRow(-1);
}

bool TablePagePreview::active() const
{
    // Moves away from the table come by the hundred; only the first of them has anything to close.
    return m_window || m_pendingRow >= 0 || m_shownRow >= 0 || m_hoveredRow >= 0;
}

void TablePagePreview::pointerMoved(const QPoint &global)
{
    if (m_suspended) {
        closeWindow();
        setPreviewRow(-1);
        return;
    }
    QTableView *view = table();
    if (!view)
        return;
    QWidget *window = view->window();
    if (!window || !window->isActiveWindow()) {
        if (active()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: window not key, closing preview"));
            close();
        }
        return;
    }
    QWidget *viewport = view->viewport();
    const QPoint local = viewport->mapFromGlobal(global);
    if (!viewport->rect().contains(local)) {
        if (active()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: outside scroll view, closing preview"));
            close();
        }
        return;
    }
    const int row = view->rowAt(local.y());
    if (!m_songAt(row) || isOnControl(row, local)) {
        if (active()) {
            hoverLog(QStringLiteral("previewHoverMouseMoved: invalid row %1, closing preview").arg(row));
            close();
        }
        return;
    }
    if (row == m_shownRow) {
        if (!m_window)
            return;
        const QPoint origin =
            WindowPlacement::besidePointer(global, m_window->size(), visibleFrameAt(global, window));
        m_window->move(origin);
        hoverLog(QStringLiteral("previewHoverMouseMoved: tracking cursor windowPt=") + formatPoint(origin));
        return;
    }
    if (row == m_pendingRow)
        return;
    m_pendingRow = row;
    m_hoverTimer->start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(m_openingWatcher);
}

bool TablePagePreview::somethingElseIsOpen()
{
    return QApplication::activePopupWidget() || QApplication::activeModalWidget();
}

void TablePagePreview::showNoPage()
{
    hoverLog(QStringLiteral("updateOrShowPreviewPopover FAILED: file/doc/page missing"));
    closeWindow();
    setPreviewRow(-1);
}

void TablePagePreview::pressed(const QPoint &local)
{
    QTableView *view = table();
    const int row = view ? view->rowAt(local.y()) : -1;
    if (!m_songAt(row))
        return;
    close();
    if (!isOnControl(row, local))
        Q_EMIT rowPressed(row);
}

bool TablePagePreview::isOnControl(int row, const QPoint &local) const
{
    return m_behaviour.isOnControl && m_behaviour.isOnControl(row, local);
}

void TablePagePreview::showPendingRow()
{
    const int row = m_pendingRow;
    setHoveredRow(row);
    m_shownRow = row;
    hoverLog(QStringLiteral("updateOrShowPreviewPopover row=%1").arg(row));
    const SongRecord *song = m_songAt(row);
    if (!song || somethingElseIsOpen())
        return;
    if (!QFileInfo(song->pdfFilePath).isFile()) {
        showNoPage();
        return;
    }
    if (QTableView *view = table(); view && view->window())
        startRendering(row, *song, QCursor::pos());
}

void TablePagePreview::startRendering(int row, const SongRecord &song, const QPoint &pointer)
{
    if (m_cancelRendering)
        *m_cancelRendering = true;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    m_cancelRendering = cancelled;
    QTableView *view = table();
    if (!view)
        return;
    const qreal ratio = view->devicePixelRatioF();
    const QSize pixels =
        QSize(PagePreviewWindow::contentWidth, PagePreviewWindow::contentHeight) * std::max<qreal>(ratio, 1);
    // The book is opened and the page drawn on a worker; the window opens when the page is there, so a
    // book that cannot be read shows no empty card.
    Hop::run(
        this,
        [cancelled, path = song.pdfFilePath, page = song.pageNumber, pixels]() -> std::optional<QImage> {
            if (*cancelled)
                return std::nullopt;
            return LyrafoldBookmarkPdfPreview::thumbnail(path, page, pixels);
        },
        [this, cancelled, row, pointer](const std::optional<QImage> &image) {
            if (*cancelled)
                return;
            if (!image) {
                showNoPage();
                return;
            }
            pageRendered(row, *image, pointer);
        });
}

void TablePagePreview::pageRendered(int row, const QImage &image, const QPoint &pointer)
{
    QTableView *view = table();
    if (!view || somethingElseIsOpen())
        return;
    QWidget *owner = view->window();
    const bool reused = m_window;
    if (!reused)
        m_window = new PagePreviewWindow(owner);
    m_window->setImage(image);
    m_window->move(WindowPlacement::besidePointer(pointer, m_window->size(), visibleFrameAt(pointer, owner)));
    m_window->show();
    m_window->raise();
    if (!reused)
        m_shownRow = row;
    setHoveredRow(row);
    setPreviewRow(row);
}

void TablePagePreview::closeWindow()
{
    hoverLog(QStringLiteral("closePreviewWindow called"));
    if (m_cancelRendering) {
        *m_cancelRendering = true;
        m_cancelRendering.reset();
    }
    if (m_hoverTimer)
        m_hoverTimer->stop();
    if (PagePreviewWindow *window = m_window) {
        m_window = nullptr;
        window->hide();
        window->deleteLater();
    }
}

void TablePagePreview::setHoveredRow(int row)
{
    if (row == m_hoveredRow)
        return;
    m_hoveredRow = row;
    Q_EMIT hoveredRowChanged(row);
}

void TablePagePreview::setPreviewRow(int row)
{
    if (row == m_previewRow)
        return;
    m_previewRow = row;
    Q_EMIT previewRowChanged(row);
}
