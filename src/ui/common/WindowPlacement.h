#pragma once

#include <QPoint>
#include <QRect>

class QSize;
class QWidget;

// Where the application's windows open: centred on their screen, and brought in front when asked for
// again. Main thread only.
namespace WindowPlacement {

// Centres the window, its frame included once it is shown, in the free area of its screen (else the
// active window's, else the primary one).
void centreOnScreen(QWidget *window);

// Shows the window in front and active, restored when it was minimised; centred when asked.
void bringToFront(QWidget *window, bool centre = false);

// Keeps the window's minimum size at floor, or at what its contents need whenever that is more: texts
// grow and shrink with a change of language, and no control may be cut then. The window has a layout.
void keepMinimumFitting(QWidget *window, const QSize &floor);

// Puts the window with its title bar and borders into frame (screen coordinates). A window manager
// tells the size of its frame only some time after the window is shown; the window is fitted again
// once the frame is known.
void placeFrame(QWidget *window, const QRect &frame);

// Where a window of that size opens beside the pointer (global coordinates, y downwards): right of and
// below it, else left of or above it where the screen ends, never past the visible frame's left or top
// edge. visibleFrame empty: no screen, right and below.
QPoint besidePointer(const QPoint &pointer, const QSize &size, const QRect &visibleFrame);

// Where study mode puts a viewer: the left half of the screen's visible area.
QRect leftHalf(const QRect &visibleFrame);

} // namespace WindowPlacement
