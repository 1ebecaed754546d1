#pragma once

#include <QPointer>
#include <QWidget>

class PdfViewerWindowController;

// The page area of the viewer. It hands the wheel, touchpad, pinch and mouse input of the page view to
// the controller before the page view sees it: horizontal swipes turn pages, a fitted page does not
// scroll, pinches (or Ctrl and the wheel) zoom, and the mouse draws, pans or fits the page. What the
// controller leaves scrolls the page view.
class PDFScrollZoomWrapper : public QWidget {
    Q_OBJECT

public:
    explicit PDFScrollZoomWrapper(QWidget *parent = nullptr);

    QPointer<PdfViewerWindowController> controller;

    // Takes the input of view (the page view's viewport).
    void watchInputOf(QWidget *view);

Q_SIGNALS:
    void resized();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
