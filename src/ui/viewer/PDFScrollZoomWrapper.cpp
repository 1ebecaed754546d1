#include "ui/viewer/PDFScrollZoomWrapper.h"

#include "core/viewer/ViewerNavigation.h"
#include "core/viewer/ViewerZoom.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/ViewerAnnotationEditor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

SwipeAccumulator::Phase phaseOf(Qt::ScrollPhase phase)
{
    switch (phase) {
    case Qt::ScrollBegin:
        return SwipeAccumulator::Phase::began;
    case Qt::ScrollUpdate:
    case Qt::ScrollMomentum:
        return SwipeAccumulator::Phase::changed;
    case Qt::ScrollEnd:
        return SwipeAccumulator::Phase::ended;
    case Qt::NoScrollPhase:
        break;
    }
    return SwipeAccumulator::Phase::none;
}

} // namespace

PDFScrollZoomWrapper::PDFScrollZoomWrapper(QWidget *parent) : QWidget(parent) {}

void PDFScrollZoomWrapper::watchInputOf(PdfPageView *view, ViewerAnnotationEditor *editor)
{
    if (m_view)
        m_view->viewport()->removeEventFilter(this);
    m_view = view;
    m_editor = editor;
    if (m_view)
        m_view->viewport()->installEventFilter(this);
}

bool PDFScrollZoomWrapper::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_view || !m_editor)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier))
            return handleScrollWheel(wheel);
        if (wheel->angleDelta().y() != 0)
            Q_EMIT zoomRequested(ViewerZoom::wheelMagnification(wheel->angleDelta().y()));
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return handlePageMouseEvent(static_cast<QMouseEvent *>(event));
    case QEvent::NativeGesture: {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture)
            break;
        Q_EMIT zoomRequested(gesture->value());
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PDFScrollZoomWrapper::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}

// ---- Scrolling and swiping

bool PDFScrollZoomWrapper::handleScrollWheel(QWheelEvent *event)
{
    // Touchpads report distances; a mouse wheel reports notches of 120, taken as 60 units each.
    const QPointF delta =
        !event->pixelDelta().isNull() ? QPointF(event->pixelDelta()) : QPointF(event->angleDelta()) / 2.0;
    SwipeAccumulator::Sample sample;
    sample.dx = delta.x();
    sample.dy = delta.y();
    sample.phase = phaseOf(event->phase());
    sample.momentum = event->phase() == Qt::ScrollMomentum;
    sample.timeMs = qint64(event->timestamp());
    return handleScrollSample(sample);
}

bool PDFScrollZoomWrapper::handleScrollSample(const SwipeAccumulator::Sample &sample)
{
    const SwipeAccumulator::Decision decision =
        m_swipe.feed(sample, {m_editor->isEditMode(), m_view->scaleFactor(), m_fittedScale});
    if (decision.turnDirection != 0)
        Q_EMIT pageTurnRequested(decision.turnDirection);
    return decision.consumed;
}

// ---- The mouse

bool PDFScrollZoomWrapper::handlePageMouseEvent(QMouseEvent *event)
{
    const QPointF point = event->position();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (event->button() != Qt::LeftButton)
            return false;
        // The tooltip of "Fullscreen" promises it: a double click leaves presentation mode, also while
        // drawing, and its first click leaves no stroke behind. A first click that drew a real mark
        // was a mark: the second press starts the next one.
        if (m_presentationMode && m_editor->lastReleaseWasPointLike()) {
            m_editor->withdrawDoubleClickStroke();
            Q_EMIT presentationExitRequested();
            return true;
        }
        if (!m_editor->isEditMode()) {
            Q_EMIT fitRequested();
            return true;
        }
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        if (event->button() != Qt::LeftButton)
            return false;
        if (m_editor->press(point))
            return true;
        m_lastDragLocation = point;
        return true;
    case QEvent::MouseMove:
        if (!(event->buttons() & Qt::LeftButton))
            return false;
        if (m_editor->drag(point))
            return true;
        if (m_view->scaleFactor() >= m_fittedScale * panningZoom) {
            if (m_lastDragLocation)
                panBy(point - *m_lastDragLocation);
            m_lastDragLocation = point;
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (event->button() != Qt::LeftButton)
            return false;
        m_editor->release();
        m_lastDragLocation.reset();
        return true;
    default:
        return false;
    }
}

void PDFScrollZoomWrapper::panBy(const QPointF &delta)
{
    QScrollBar *horizontal = m_view->horizontalScrollBar();
    QScrollBar *vertical = m_view->verticalScrollBar();
    horizontal->setValue(horizontal->value() - int(std::lround(delta.x())));
    vertical->setValue(vertical->value() - int(std::lround(delta.y())));
}

// ---- Keys

bool PDFScrollZoomWrapper::handleWindowKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!m_presentationMode)
            return false;
        Q_EMIT presentationExitRequested();
        return true;
    case Qt::Key_Left:
        Q_EMIT pageTurnRequested(-1);
        return true;
    case Qt::Key_Right:
        Q_EMIT pageTurnRequested(1);
        return true;
    case Qt::Key_Down:
        if (!m_stepsThroughTitles)
            return false;
        Q_EMIT titleStepRequested(1);
        return true;
    case Qt::Key_Up:
        if (!m_stepsThroughTitles)
            return false;
        Q_EMIT titleStepRequested(-1);
        return true;
    default:
        return false;
    }
}

bool PDFScrollZoomWrapper::handleViewKey(QKeyEvent *event)
{
    using Key = ViewerNavigation::ViewKey;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    std::optional<Key> key;
    if (event->key() == Qt::Key_Space && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier))
        key = modifiers == Qt::ShiftModifier ? Key::pageUp : Key::pageDown;
    else if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_PageDown:
            key = Key::pageDown;
            break;
        case Qt::Key_PageUp:
            key = Key::pageUp;
            break;
        case Qt::Key_Down:
            key = Key::lineDown;
            break;
        case Qt::Key_Up:
            key = Key::lineUp;
            break;
        case Qt::Key_Home:
            key = Key::firstPage;
            break;
        case Qt::Key_End:
            key = Key::lastPage;
            break;
        default:
            break;
        }
    }
    if (!key)
        return false;
    const PdfDocumentPtr &document = m_view->document();
    if (!document)
        return true;
    QScrollBar *scroll = m_view->verticalScrollBar();
    const std::optional<ViewerNavigation::ViewKeyMove> move = ViewerNavigation::viewKeyMove(
        *key, {scroll->value(), scroll->maximum(), scroll->pageStep(), scroll->singleStep()},
        m_view->currentPageIndex(), document->pageCount(), m_view->displayMode());
    if (!move)
        return true;
    if (move->scrollTo) {
        scroll->setValue(*move->scrollTo);
        return true;
    }
    Q_EMIT pageRequested(*move->page);
    if (move->atBottom)
        scroll->setValue(scroll->maximum());
    return true;
}
