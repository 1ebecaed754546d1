#include "core/viewer/ViewerZoom.h"

#include <algorithm>
#include <cmath>

namespace ViewerZoom {

std::optional<double> fitScale(const QSizeF &pageSize, const QSizeF &available, bool twoUp, double minimum,
                               double maximum)
{
    if (!(pageSize.width() > 0) || !(pageSize.height() > 0))
        return std::nullopt;
    const double width = std::max(available.width(), 1.0);
    const double height = std::max(available.height(), 1.0);
    const double countedWidth = twoUp ? pageSize.width() * 2 : pageSize.width();
    const double scale = std::min(height / pageSize.height(), width / countedWidth) * fitMargin;
    return std::min(std::max(scale, minimum), maximum);
}

double zoomedIn(double scale, double maximum)
{
    return std::min(scale + zoomStep, maximum);
}

double zoomedOut(double scale, double minimum)
{
    return std::max(scale - zoomStep, minimum);
}

std::optional<double> magnified(double scale, double magnification, double minimum, double maximum)
{
    if (magnification == 0 || !std::isfinite(magnification))
        return std::nullopt;
    const double factor = std::clamp(1 + magnification, 0.2, 5.0);
    return std::min(std::max(scale * factor, minimum), maximum);
}

bool isZoomedIn(double scale, double fittedScale)
{
    return scale >= zoomedInRatio * fittedScale;
}

double wheelMagnification(int angleDeltaY)
{
    return angleDeltaY / 1200.0;
}

} // namespace ViewerZoom
