#pragma once

#include "OpenWindows.h"
#include "ui/viewer/PdfEditToolPalette.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerAnnotationEditor.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>

// The viewer's controls and what it shows, as the tests reach them: by object name.
namespace ViewerParts {

template <typename T> T *child(const QWidget &viewer, const char *name)
{
    T *found = viewer.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// A toolbar button ("zoomInButton", "twoPageButton", ...) or a floating one.
inline QPushButton *button(const QWidget &viewer, const char *name)
{
    return child<QPushButton>(viewer, name);
}

inline void press(const QWidget &viewer, const char *name)
{
    button(viewer, name)->click();
}

// The viewers open now, as the user sees them: shown and not closed.
inline QList<PdfViewerWindowController *> openViewers()
{
    return topLevelWindows<PdfViewerWindowController>(true);
}

// The viewer open now, null when none is: opening one closes the one before.
inline PdfViewerWindowController *openViewer()
{
    const QList<PdfViewerWindowController *> open = openViewers();
    return open.size() == 1 ? open.first() : nullptr;
}

inline PdfPageView *pageView(const QWidget &viewer)
{
    return viewer.findChild<PdfPageView *>();
}

inline ViewerAnnotationEditor &editor(const QWidget &viewer)
{
    return *viewer.findChild<ViewerAnnotationEditor *>();
}

// The edit mode's palette, while the viewer is in edit mode.
inline PdfEditInspectorView &palette(const QWidget &viewer)
{
    auto *found = viewer.findChild<PdfEditInspectorView *>();
    if (!found)
        qFatal("no edit palette");
    return *found;
}

// The page number field, counting from 1.
inline QString pageField(const QWidget &viewer)
{
    return child<QLineEdit>(viewer, "pageNumberField")->text();
}

// The title the toolbar names.
inline QString titleLabel(const QWidget &viewer)
{
    return child<QLabel>(viewer, "currentTitleLabel")->text();
}

// The book whose pages the viewer shows; empty when none is.
inline QString shownBook(const QWidget &viewer)
{
    const PdfDocumentPtr &book = pageView(viewer)->document();
    return book ? book->path() : QString();
}

// Presentation mode: the circular exit button shows exactly then.
inline bool presenting(const QWidget &viewer)
{
    return button(viewer, "floatingExitFullscreen")->isVisibleTo(&viewer);
}

// The full titles the floating buttons name before and after the current one; empty at either end of
// the list and without one.
inline QString previousTitle(const QWidget &viewer)
{
    return button(viewer, "floatingPreviousTitle")->toolTip();
}

inline QString nextTitle(const QWidget &viewer)
{
    return button(viewer, "floatingNextTitle")->toolTip();
}

// A pinch over the page: the scale times (1 + magnification).
inline void pinch(const QWidget &viewer, double magnification)
{
    QWidget *area = pageView(viewer)->viewport();
    const QPointF middle(10, 10);
    QNativeGestureEvent event(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, middle,
                              middle, area->mapToGlobal(middle), magnification, QPointF(), 0);
    QApplication::sendEvent(area, &event);
}

} // namespace ViewerParts
