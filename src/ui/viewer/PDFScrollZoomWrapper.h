#pragma once

#include "core/viewer/SwipeAccumulator.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class PdfPageView;
class PdfViewerWindowController;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class ViewerAnnotationEditor;

// The page area of the viewer. It takes the wheel, touchpad, pinch and mouse input of the page view
// before the page view sees it: horizontal swipes turn pages, a fitted page does not scroll, pinches
// (or Ctrl and the wheel) zoom, and the mouse draws (in edit mode), pans a zoomed page or fits the page
// (a double click; in presentation mode it ends presentation mode). What is left scrolls the page view.
// It also gives the window's keys their meaning.
class PDFScrollZoomWrapper : public QWidget {
    Q_OBJECT

public:
    // Outside edit mode, a drag moves the page once it is zoomed this far past the fit.
    static constexpr double panningZoom = 1.2;

    explicit PDFScrollZoomWrapper(QWidget *parent = nullptr);

    // Cleared by the controller as it goes: input then reaches the page view alone.
    QPointer<PdfViewerWindowController> controller;

    // Takes the input of view (its viewport); the editor gets the mouse in edit mode.
    void watchInputOf(PdfPageView *view, ViewerAnnotationEditor *editor);

    // True when the event is used up here; otherwise the page view scrolls.
    bool handleScrollWheel(QWheelEvent *event);
    bool handleScrollSample(const SwipeAccumulator::Sample &sample);
    // Press, drag, release and double click on the page, routed to the tools or to panning.
    bool handlePageMouseEvent(QMouseEvent *event);
    // The keys that work wherever the focus is in the window: Esc ends presentation mode, left and
    // right turn pages, up and down step through the list's titles. True when the key was used.
    bool handleWindowKey(QKeyEvent *event);
    // The page view's own keys (paging, scrolling, first and last page); false for other keys.
    bool handleViewKey(QKeyEvent *event);

Q_SIGNALS:
    void resized();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void panBy(const QPointF &delta);

    PdfPageView *m_view = nullptr;
    ViewerAnnotationEditor *m_editor = nullptr;
    SwipeAccumulator m_swipe;
    // Where the pointer was at the last step of a drag that pans the page.
    std::optional<QPointF> m_lastDragLocation;
};
