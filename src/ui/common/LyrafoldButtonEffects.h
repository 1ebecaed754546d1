#pragma once

#include <QString>

#include <optional>

class QWidget;

// The raised, tactile look of every button of a window, without any button subclass: at rest a soft
// drop shadow; under the mouse it lifts a little; pressed it sinks, shrinks slightly and darkens. One
// manager per window watches the window's mouse events (an event filter on its QWindow) and restyles
// the button under the mouse through a graphics effect; for an icon-only button (flat, no text) the
// widget that holds it moves with it. A widget that carries a graphics effect of its own keeps it and
// is left out.
//
// Left alone: buttons whose objectName is "MainSelectionActionButton" (they style themselves), and
// every button inside a QTableView. The tiles "WindowsStyleToolTileView",
// "WindowsStyleToggleToolTileView" and "WindowsStyleSlotTileView" (found by class name) take a hit
// anywhere on their surface for their first visible button. A button's corner radius for the looks
// is its dynamic property "lyrafoldCornerRadius", raised to at least 6.
namespace LyrafoldButtonEffects {

inline const QString selfStyledButtonName = QStringLiteral("MainSelectionActionButton");
inline constexpr char cornerRadiusProperty[] = "lyrafoldCornerRadius";

// Gives the window its manager, once, and the base look to all its buttons. Calling it again only
// re-applies the base look (to buttons added since). No window: nothing happens.
void install(QWidget *window);

enum class Look { base, hover, press };

// The look a widget shows, or none when the effects leave it alone.
std::optional<Look> lookOf(const QWidget *host);

} // namespace LyrafoldButtonEffects
