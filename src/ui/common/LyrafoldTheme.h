#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStringList>

#include <functional>

class QAbstractButton;
class QPainter;
class QRectF;
class QWidget;

// The shared look of the windows: named colours, the serif title fonts, the card look and the glass
// panels. Sizes are in the windows' logical units (device-independent pixels), like every length of
// the layouts, so font sizes are pixel sizes: a 10-unit hint keeps fitting the fixed height its
// layout gives it whatever the desktop's font DPI. Main thread only.
namespace LyrafoldTheme {

// The heads-up-display glass of the main, playlists and auto playlist windows, whatever the desktop's
// colours: light text on dark panels.
QPalette hudPalette();

const QColor &brassBorder();
const QColor &liquidRowEven();
const QColor &liquidRowOdd();
const QColor &tableSelectionBlue();
const QColor &tableHoverBlue();
// The ring of a control that has the keyboard focus and draws its own (the tiles).
const QColor &focusRing();
// Draws the ring, 2 units wide, just inside rect; on a light backdrop with a deeper line inside it.
void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const QColor &backdrop = {});
// Makes the application's buttons that the style draws (alert buttons, picture buttons) show the
// keyboard focus with the ring above. Called once at start, before the first window.
void installFocusRings();
// The style sheet rule that marks a button of the selector with the keyboard focus: its border turns
// the focus ring's colour, at least 2 units wide. For buttons whose style sheet draws their border;
// border and padding are the button's own, in units.
QString focusedButtonRule(const QString &selector, int border, int paddingTop, int paddingSide);
const QColor &previewHighlightCardTint();
const QColor &tableHeaderFill();
// Follows the palette (light or dark): the text colour at 12 % opacity.
QColor playlistNameCardFill();

// Tells whether a font family is installed; tests pass their own.
using FamilyFilter = std::function<bool(const QString &family)>;

// The serif faces of card titles and headers. Georgia, else Palatino, each through the metric-
// compatible families that Linux systems carry in their place (Gelasio; TeX Gyre Pagella, P052, URW
// Palladio); else the system font, semibold for the bold face.
QFont playlistCardTitleFontBold(qreal size, const FamilyFilter &installed = {});
QFont playlistCardTitleFont(qreal size, const FamilyFilter &installed = {});

// The deep red of the import buttons: white bold text on a matte red face with a coral rim.
void styleMatteRedButton(QAbstractButton *button);

} // namespace LyrafoldTheme

namespace LyrafoldPlaylistCardChrome {

// The card look: rounded corners of 8, the card fill and a soft shadow. A widget that already has a
// graphics effect keeps it and gets the fill only. Applying it twice changes nothing.
void applyLayerStyle(QWidget *view);

} // namespace LyrafoldPlaylistCardChrome

namespace LyrafoldLiquidChrome {

// A new rounded, translucent dark panel, with a 1-unit white border at 22 % opacity when wanted.
QWidget *makePanelLiquidView(qreal cornerRadius, bool hairlineBorder, QWidget *parent = nullptr);

} // namespace LyrafoldLiquidChrome
