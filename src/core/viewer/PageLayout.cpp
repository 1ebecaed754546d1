#include "core/viewer/PageLayout.h"

#include <cmath>

namespace PageLayout {

QList<int> Spread::pages() const
{
    QList<int> list;
    if (left >= 0)
        list.append(left);
    if (right >= 0)
        list.append(right);
    return list;
}

Spread spreadFor(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook)
{
    if (page < 0 || page >= pageCount)
        return {};
    if (mode == PageDisplayMode::singlePage)
        return {page, -1};
    // The index of the spread's left slot, counted as if the cover had a blank page before it.
    const int shifted = displaysAsBook ? page + 1 : page;
    const int left = shifted - shifted % 2 - (displaysAsBook ? 1 : 0);
    const int right = left + 1;
    return {left >= 0 ? left : -1, right < pageCount ? right : -1};
}

Spread previousSpread(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook)
{
    const Spread current = spreadFor(page, pageCount, mode, displaysAsBook);
    const int first = current.left >= 0 ? current.left : current.right;
    return first > 0 ? spreadFor(first - 1, pageCount, mode, displaysAsBook) : Spread{};
}

Spread nextSpread(int page, int pageCount, PageDisplayMode mode, bool displaysAsBook)
{
    const Spread current = spreadFor(page, pageCount, mode, displaysAsBook);
    const int last = current.right >= 0 ? current.right : current.left;
    return last >= 0 ? spreadFor(last + 1, pageCount, mode, displaysAsBook) : Spread{};
}

std::optional<PlacedPage> SpreadLayout::find(int page) const
{
    for (const PlacedPage &placed : pages) {
        if (placed.page == page)
            return placed;
    }
    return std::nullopt;
}

std::optional<int> SpreadLayout::pageAt(const QPointF &point) const
{
    for (const PlacedPage &placed : pages) {
        if (placed.rect.contains(point))
            return placed.page;
    }
    return std::nullopt;
}

SpreadLayout layout(const Spread &spread, PageDisplayMode mode, double scale,
                    const std::function<QSizeF(int page)> &shownSize)
{
    SpreadLayout result;
    const auto scaled = [&](int page) {
        if (page < 0)
            return QSizeF();
        const QSizeF size = shownSize(page) * scale;
        return QSizeF(std::round(size.width()), std::round(size.height()));
    };
    const QSizeF left = scaled(spread.left);
    const QSizeF right = scaled(spread.right);
    if (mode == PageDisplayMode::singlePage || (left.isEmpty() && right.isEmpty())) {
        if (spread.left >= 0 && !left.isEmpty()) {
            result.pages.append({spread.left, QRectF(QPointF(), left)});
            result.size = left;
        }
        return result;
    }
    // An empty slot keeps the width of the page beside it.
    const double leftWidth = left.isEmpty() ? right.width() : left.width();
    const double rightWidth = right.isEmpty() ? left.width() : right.width();
    const double height = std::max(left.height(), right.height());
    result.size = QSizeF(leftWidth + spreadGap + rightWidth, height);
    const auto top = [&](const QSizeF &size) { return std::round((height - size.height()) / 2); };
    if (!left.isEmpty())
        result.pages.append({spread.left, QRectF(QPointF(0, top(left)), left)});
    if (!right.isEmpty())
        result.pages.append({spread.right, QRectF(QPointF(leftWidth + spreadGap, top(right)), right)});
    return result;
}

} // namespace PageLayout
