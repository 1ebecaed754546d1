#include "ui/common/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace {

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

} // namespace WindowPlacement
