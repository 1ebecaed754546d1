#pragma once

#include "pdf/engine/PdfDocument.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// How one page is shown: which part of its user space is visible and how it is turned. Pages are
// drawn as the renderer draws them, so the visible box follows the renderer's rules (a crop box that
// is missing, wider or taller than the media box gives way to the media box, and the rest is clipped
// to it) and a rotation that is not a multiple of 90 degrees counts as none.
//
// Two spaces meet here:
// - user space: the page's own PDF coordinates in points, origin at the lower left, before rotation;
//   annotations are stored in it;
// - shown space: the page as it appears, in points, origin at the top left of the visible box after
//   the page's rotation (clockwise, as /Rotate turns it).
class PageGeometry {
public:
    PageGeometry() = default;

    // From the boxes as written. shownSize, the size the renderer reports, stands in for a media box
    // that is missing or malformed (the renderer then takes a default).
    static PageGeometry fromBoxes(const PdfPageBoxes &boxes, const QSizeF &shownSize);
    // A page whose boxes cannot be read: its shown size, unrotated, at the origin.
    static PageGeometry fromShownSize(const QSizeF &shownSize);

    // 0, 90, 180 or 270.
    static int normalisedRotation(int rotation);

    int rotation() const { return m_rotation; }
    // The visible box's size, its sides swapped by a quarter turn.
    QSizeF shownSize() const;

    QTransform userToShown() const;
    QPointF toUser(const QPointF &shownPoint) const;

private:
    QRectF m_visibleBox;
    int m_rotation = 0;
};
