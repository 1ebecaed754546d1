#include "ui/common/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace {

// Puts a window's frame on a rectangle once the frame is known. A window manager frames a window some
// time after it is shown, and it need not move or resize the window when it does; so the frame is
// looked for at every move and resize, and for three seconds on a timer.
class FramePlacer : public QObject {
public:
    static constexpr int checkIntervalMs = 50;
    static constexpr int checkLimit = 60;

    explicit FramePlacer(QWidget *window) : QObject(window), m_window(window)
    {
        setObjectName(QStringLiteral("framePlacer"));
        m_timer.setInterval(checkIntervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            fitWhenFramed();
            if (!m_frame || ++m_checks >= checkLimit)
                m_timer.stop();
        });
        window->installEventFilter(this);
    }

    void place(const QRect &frame)
    {
        m_frame = frame;
        fit();
        if (!m_frame)
            return;
        // Without a window manager there is no frame to wait for.
        m_checks = 0;
        m_timer.start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            fitWhenFramed();
        return false;
    }

private:
    void fitWhenFramed()
    {
        if (m_frame && m_window->frameGeometry() != m_window->geometry())
            fit();
    }

    void fit()
    {
        const QRect inner = m_window->geometry();
        const QRect outer = m_window->frameGeometry();
        const QMargins margins(inner.left() - outer.left(), inner.top() - outer.top(),
                               outer.right() - inner.right(), outer.bottom() - inner.bottom());
        // A window's position is that of its frame; its size that of what is inside.
        m_window->resize(m_frame->size().shrunkBy(margins));
        m_window->move(m_frame->topLeft());
        if (!margins.isNull())
            m_frame.reset();
    }

    QWidget *m_window;
    // Until the window's frame is known and the window fits it.
    std::optional<QRect> m_frame;
    QTimer m_timer;
    int m_checks = 0;
};

// Fits the window's minimum size to its contents again whenever its layout changes.
class MinimumFitter : public QObject {
public:
    MinimumFitter(QWidget *window, const QSize &floor) : QObject(window), m_window(window), m_floor(floor)
    {
        fit();
        window->installEventFilter(this);
    }

    void fit()
    {
        const QLayout *layout = m_window->layout();
        if (!layout)
            return;
        const QSize minimum = layout->totalMinimumSize().expandedTo(m_floor);
        if (minimum != m_window->minimumSize())
            m_window->setMinimumSize(minimum);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::LayoutRequest)
            fit();
        return false;
    }

private:
    QWidget *m_window;
    QSize m_floor;
};

} // namespace

namespace WindowPlacement {

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen();
    if (!screen && QApplication::activeWindow())
        screen = QApplication::activeWindow()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPointF middle = QRectF(screen->availableGeometry()).center();
    const QSize size = window->isVisible() ? window->frameGeometry().size() : window->size();
    window->move(qRound(middle.x() - size.width() / 2.0), qRound(middle.y() - size.height() / 2.0));
}

void bringToFront(QWidget *window, bool centre)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    if (centre)
        centreOnScreen(window);
    window->raise();
    window->activateWindow();
}

void keepMinimumFitting(QWidget *window, const QSize &floor)
{
    new MinimumFitter(window, floor);
}

void placeFrame(QWidget *window, const QRect &frame)
{
    auto *placer =
        window->findChild<FramePlacer *>(QStringLiteral("framePlacer"), Qt::FindDirectChildrenOnly);
    if (!placer)
        placer = new FramePlacer(window);
    placer->place(frame);
}

QPoint besidePointer(const QPoint &pointer, const QSize &size, const QRect &visibleFrame)
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

QRect leftHalf(const QRect &visibleFrame)
{
    return QRect(visibleFrame.topLeft(), QSize(visibleFrame.width() / 2, visibleFrame.height()));
}

} // namespace WindowPlacement
