#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

// The interface images and book covers that ship with the application (resource folders "UI" and
// "UI/Covers"). Nothing is cached: callers that show many images keep their own. A missing image is
// a null image.
namespace LyrafoldUIAssets {

// The file <resource>.<ext> of the folder "UI". Safe on any thread.
QImage image(const QString &resource, const QString &ext);

// The image of that name: its older file name first, then the name itself, each as png, jpg and
// jpeg; the first file that loads wins. Safe on any thread (the playlist PDF asks for "spotify" and
// "youtube" from its worker).
QImage image(const QString &name);

// The named image for a widget, scaled down (never up) so that its longer side is at most maxSide
// logical units, rendered for the application's device pixel ratio. Main thread.
QPixmap image(const QString &name, qreal maxSide);

// An image scaled down so that its longer side is at most maxSide logical units, with as many pixels
// as devicePixelRatio asks for but never more than it has. An image already within maxSide comes back
// unchanged. Safe on any thread.
QImage scaledDown(const QImage &image, qreal maxSide, qreal devicePixelRatio = 1.0);

// The desktop theme's icon for a symbol name the windows use (e.g. "magnifyingglass", "trash"), with
// a bundled drawing where the theme has none. A null icon for a symbol name not known here. Main
// thread.
QIcon systemSymbol(const QString &symbolName);

} // namespace LyrafoldUIAssets
