#pragma once

class QWidget;

// Where the application's windows open: centred on their screen, and brought in front when asked for
// again. Main thread only.
namespace WindowPlacement {

// Centres the window, its frame included once it is shown, in the free area of its screen (else the
// active window's, else the primary one).
void centreOnScreen(QWidget *window);

// Shows the window in front and active, restored when it was minimised; centred when asked.
void bringToFront(QWidget *window, bool centre = false);

} // namespace WindowPlacement
