#include "ui/viewer/PDFScrollZoomWrapper.h"

#include "core/viewer/ViewerZoom.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

PDFScrollZoomWrapper::PDFScrollZoomWrapper(QWidget *parent) : QWidget(parent) {}

void PDFScrollZoomWrapper::watchInputOf(QWidget *view)
{
    view->installEventFilter(this);
}

bool PDFScrollZoomWrapper::eventFilter(QObject *watched, QEvent *event)
{
    if (!controller)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() != 0)
                controller->magnifyZoom(ViewerZoom::wheelMagnification(wheel->angleDelta().y()));
            return true;
        }
        return controller->handleScrollWheel(wheel);
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return controller->handlePageMouseEvent(static_cast<QMouseEvent *>(event));
    default:
        break;
    }
    if (event->type() == QEvent::NativeGesture) {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            controller->magnifyZoom(gesture->value());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PDFScrollZoomWrapper::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resized();
}
