#pragma once

#include "core/viewer/SwipeAccumulator.h"

#include <QWidget>

#include <optional>

class PdfPageView;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class ViewerAnnotationEditor;

// The page area of the viewer. It takes the wheel, touchpad, pinch and mouse input of the page view
// before the page view sees it: horizontal swipes turn pages, a fitted page does not scroll, pinches
// (or Ctrl and the wheel) zoom, and the mouse draws (in edit mode), pans a zoomed page or fits the page
// (a double click; in presentation mode it ends presentation mode). What is left scrolls the page view.
// It also gives the window's keys their meaning. What the input asks of the window it sends as signals.
class PDFScrollZoomWrapper : public QWidget {
    Q_OBJECT

public:
    // Outside edit mode, a drag moves the page once it is zoomed this far past the fit.
    static constexpr double panningZoom = 1.2;

    explicit PDFScrollZoomWrapper(QWidget *parent = nullptr);

    // Takes the input of view (its viewport); the editor gets the mouse in edit mode. Given none (as
    // the window goes), it lets go and the input reaches the page view alone.
    void watchInputOf(PdfPageView *view, ViewerAnnotationEditor *editor);

    // What the input means depends on these, which the window keeps up to date: the scale of the last
    // fit (past it a swipe no longer turns pages, and a drag pans), presentation mode (Esc and a double
    // click end it) and whether the window plays a list (up and down step through its titles).
    void setFittedScale(double scale) { m_fittedScale = scale; }
    void setPresentationMode(bool on) { m_presentationMode = on; }
    void setStepsThroughTitles(bool on) { m_stepsThroughTitles = on; }

    // A scroll step of the wheel or the touchpad; true when it is used up here, otherwise the page
    // view scrolls.
    bool handleScrollSample(const SwipeAccumulator::Sample &sample);
    // The keys that work wherever the focus is in the window: Esc ends presentation mode, left and
    // right turn pages, up and down step through the list's titles. True when the key was used.
    bool handleWindowKey(QKeyEvent *event);
    // The page view's own keys (paging, scrolling, first and last page); false for other keys.
    bool handleViewKey(QKeyEvent *event);

Q_SIGNALS:
    void resized();
    // The scale times (1 + magnification).
    void zoomRequested(double magnification);
    // One display step forward (direction above 0) or back.
    void pageTurnRequested(int direction);
    // The page, as the user's own step through the book.
    void pageRequested(int pageIndex);
    // The next title of the list (step above 0) or the previous one.
    void titleStepRequested(int step);
    // The page fitted into the view.
    void fitRequested();
    void presentationExitRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool handleScrollWheel(QWheelEvent *event);
    // Press, drag, release and double click on the page, routed to the tools or to panning.
    bool handlePageMouseEvent(QMouseEvent *event);
    void panBy(const QPointF &delta);

    PdfPageView *m_view = nullptr;
    ViewerAnnotationEditor *m_editor = nullptr;
    SwipeAccumulator m_swipe;
    double m_fittedScale = 1;
    bool m_presentationMode = false;
    bool m_stepsThroughTitles = false;
    // Where the pointer was at the last step of a drag that pans the page.
    std::optional<QPointF> m_lastDragLocation;
};
