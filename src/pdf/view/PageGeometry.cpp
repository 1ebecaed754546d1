#include "pdf/view/PageGeometry.h"

namespace {

// The renderer's page when the file names no usable media box.
QRectF fallbackMediaBox(const QSizeF &shownSize, int rotation)
{
    if (shownSize.isEmpty())
        return QRectF(0, 0, 612, 792);
    return QRectF(QPointF(), rotation % 180 == 0 ? shownSize : shownSize.transposed());
}

} // namespace

int PageGeometry::normalisedRotation(int rotation)
{
    const int turned = ((rotation % 360) + 360) % 360;
    return turned % 90 == 0 ? turned : 0;
}

PageGeometry PageGeometry::fromBoxes(const PdfPageBoxes &boxes, const QSizeF &shownSize)
{
    PageGeometry geometry;
    geometry.m_rotation = normalisedRotation(boxes.rotation);
    const QRectF media =
        boxes.mediaBox.isEmpty() ? fallbackMediaBox(shownSize, geometry.m_rotation) : boxes.mediaBox;
    QRectF crop = boxes.cropBox.isEmpty() ? media : boxes.cropBox;
    // A crop box wider or taller than the media box takes the media box's extent on that axis.
    if (crop.width() > media.width()) {
        crop.setLeft(media.left());
        crop.setRight(media.right());
    }
    if (crop.height() > media.height()) {
        crop.setTop(media.top());
        crop.setBottom(media.bottom());
    }
    crop = crop.intersected(media);
    geometry.m_visibleBox = crop.isEmpty() ? media : crop;
    return geometry;
}

PageGeometry PageGeometry::fromShownSize(const QSizeF &shownSize)
{
    PageGeometry geometry;
    if (!shownSize.isEmpty())
        geometry.m_visibleBox = QRectF(QPointF(), shownSize);
    return geometry;
}

QSizeF PageGeometry::shownSize() const
{
    return m_rotation % 180 == 0 ? m_visibleBox.size() : m_visibleBox.size().transposed();
}

QTransform PageGeometry::userToShown() const
{
    const double left = m_visibleBox.left();
    const double right = m_visibleBox.right();
    // QRectF's "top" is the smaller y: in user space the lower edge.
    const double bottom = m_visibleBox.top();
    const double top = m_visibleBox.bottom();
    // x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy
    switch (m_rotation) {
    case 90:
        return QTransform(0, 1, 1, 0, -bottom, -left);
    case 180:
        return QTransform(-1, 0, 0, 1, right, -bottom);
    case 270:
        return QTransform(0, -1, -1, 0, top, right);
    default:
        return QTransform(1, 0, 0, -1, -left, top);
    }
}

QPointF PageGeometry::toUser(const QPointF &shownPoint) const
{
    return userToShown().inverted().map(shownPoint);
}
