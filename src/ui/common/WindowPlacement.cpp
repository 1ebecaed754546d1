#include "ui/common/WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

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

} // namespace WindowPlacement
