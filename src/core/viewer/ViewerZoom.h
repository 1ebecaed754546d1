#pragma once

#include <QSizeF>

#include <optional>

// The viewer's scale arithmetic. Scales are view units per point: 1 shows a page at its printed size
// on a screen of 72 units per inch.
namespace ViewerZoom {

inline constexpr double minScaleFactor = 0.25;
inline constexpr double maxScaleFactor = 4.0;
// A fitted page leaves this share of the page area around it.
inline constexpr double fitMargin = 0.98;
// The zoom buttons add or take away this much.
inline constexpr double zoomStep = 0.25;
// From this multiple of the fitted scale on, the page counts as zoomed in: it scrolls, and a swipe
// no longer turns the page.
inline constexpr double zoomedInRatio = 1.2;

// The scale that fits a page of pageSize (shown size, points) into available (view units, each side
// raised to 1); two-up mode counts the page twice side by side. Nothing for a page without area.
std::optional<double> fitScale(const QSizeF &pageSize, const QSizeF &available, bool twoUp,
                               double minimum = minScaleFactor, double maximum = maxScaleFactor);

double zoomedIn(double scale, double maximum = maxScaleFactor);
double zoomedOut(double scale, double minimum = minScaleFactor);

// A pinch of magnification m multiplies the scale by 1 + m, the factor kept within 0.2 and 5, and the
// result within the limits. A magnification of 0 gives nothing: the pinch is ignored.
std::optional<double> magnified(double scale, double magnification, double minimum = minScaleFactor,
                                double maximum = maxScaleFactor);

bool isZoomedIn(double scale, double fittedScale);

// Ctrl and a mouse wheel zoom like a pinch: one notch (120 eighths of a degree) is a magnification
// of 0.1.
double wheelMagnification(int angleDeltaY);

} // namespace ViewerZoom
