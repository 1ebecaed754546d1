#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <optional>

// The ways the page view lays out pages; the values are the ones the viewer's display mode has
// always used (1 and 3, the continuous forms, are not offered).
enum class PageDisplayMode { singlePage = 0, twoUp = 2 };

// Which pages are shown together and where they sit. A two-up spread is laid out like an open book:
// two slots side by side, a page that stands alone (the cover, or an odd last page) in the slot it
// would have in the book, so that turning pages never shifts the spread sideways.
namespace PageLayout {

// The gap between the two pages of a spread, in view units.
inline constexpr double spreadGap = 4;

// The pages shown with one page: the left and the right page, either -1 when that slot is empty. In
// single-page mode only left is used.
struct Spread {
    int left = -1;
    int right = -1;
    friend bool operator==(const Spread &, const Spread &) = default;

    QList<int> pages() const;
    bool contains(int page) const { return page >= 0 && (page == left || page == right); }
};

// The spread that shows page. With displaysAsBook the first page stands alone, on the right, and
// the spreads are (1, 2), (3, 4), ... (0-based); without it they are (0, 1), (2, 3), .... A page
// outside the document gives an empty spread.
Spread spreadFor(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook);

// The spreads before and after the one that shows page; empty at either end.
Spread previousSpread(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook);
Spread nextSpread(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook);

struct PlacedPage {
    int page = -1;
    QRectF rect; // in spread coordinates: origin at the spread's top left, view units
};

struct SpreadLayout {
    QList<PlacedPage> pages;
    QSizeF size;

    std::optional<PlacedPage> find(int page) const;
    // The page whose rectangle holds the point (spread coordinates), if any.
    std::optional<int> pageAt(const QPointF &point) const;
};

// Lays out a spread at a scale (view units per point). shownSize gives each page's shown size in
// points. Pages are centred vertically in the spread; every edge falls on a whole view unit.
SpreadLayout layout(const Spread &spread, PageDisplayMode mode, double scale,
                    const std::function<QSizeF(int page)> &shownSize);

} // namespace PageLayout
