#include "pdf/annotations/AnnotationLayer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A note's frame, in screen points: at least this wide and this high, and as high as its font and a
// margin.
constexpr double noteFrameWidth = 220;
constexpr double noteFrameMinHeight = 24;
constexpr double noteFrameMargin = 8;

double unit(double value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

QFont noteFont(double fontSize, double pixelsPerScreenPoint)
{
    QFont font;
    font.setPixelSize(std::max(1, int(std::lround(std::min(fontSize, 1000.0) * pixelsPerScreenPoint))));
    return font;
}

// Where a note is drawn, in the pixels of the whole page: its frame's lower left corner is its position.
QRectF noteFrame(const TextRecord &note, const AnnotationLayerGeometry &geometry,
                 const QFontMetricsF &metrics)
{
    const double ppp = geometry.pixelsPerScreenPoint;
    const QPointF lowerLeft = geometry.userToPixels.map(QPointF(note.position.x, note.position.y));
    const double height = std::max(note.fontSize + noteFrameMargin, noteFrameMinHeight) * ppp;
    const double width =
        std::max(noteFrameWidth * ppp, metrics.horizontalAdvance(note.text) + noteFrameMargin * ppp);
    return QRectF(lowerLeft.x(), lowerLeft.y() - height, width, height);
}

bool drawable(const TextRecord &note)
{
    return note.fontSize > 0 && std::isfinite(note.fontSize);
}

QPolygonF mappedPoints(const StrokeRecord &stroke, const QTransform &transform)
{
    QPolygonF points;
    points.reserve(stroke.points.size());
    for (const PointRecord &point : stroke.points)
        points.append(transform.map(QPointF(point.x, point.y)));
    return points;
}

double strokeWidth(const StrokeRecord &stroke)
{
    return std::isfinite(stroke.thickness) ? std::max(stroke.thickness, 0.0) : 0.0;
}

// Draws with cairo into a QImage of premultiplied ARGB, which has cairo's own pixel layout.
class ImageCairo {
public:
    ImageCairo(QImage &image, const QPoint &origin)
        : m_surface(cairo_image_surface_create_for_data(image.bits(), CAIRO_FORMAT_ARGB32, image.width(),
                                                        image.height(), int(image.bytesPerLine()))),
          m_cr(cairo_create(m_surface))
    {
        cairo_translate(m_cr, -origin.x(), -origin.y());
        cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
    }
    ~ImageCairo()
    {
        cairo_destroy(m_cr);
        cairo_surface_flush(m_surface);
        cairo_surface_destroy(m_surface);
    }
    ImageCairo(const ImageCairo &) = delete;
    ImageCairo &operator=(const ImageCairo &) = delete;

    void stroke(const QPolygonF &points, double width, const QColor &color, bool multiply)
    {
        cairo_new_path(m_cr);
        cairo_move_to(m_cr, points.first().x(), points.first().y());
        for (qsizetype i = 1; i < points.size(); ++i)
            cairo_line_to(m_cr, points[i].x(), points[i].y());
        cairo_set_source_rgba(m_cr, color.redF(), color.greenF(), color.blueF(), color.alphaF());
        cairo_set_line_width(m_cr, width);
        cairo_set_operator(m_cr, multiply ? CAIRO_OPERATOR_MULTIPLY : CAIRO_OPERATOR_OVER);
        cairo_stroke(m_cr);
    }

private:
    cairo_surface_t *m_surface;
    cairo_t *m_cr;
};

QImage blankImage(const QSize &size, const QColor &fill)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

} // namespace

QColor AnnotationLayer::colorOf(const ColorRecord &color, double opacity)
{
    return QColor::fromRgbF(float(unit(color.red)), float(unit(color.green)), float(unit(color.blue)),
                            float(unit(opacity)));
}

AnnotationLayer::AnnotationLayer(const AnnotationLayerGeometry &geometry, const QRect &region)
    : m_geometry(geometry), m_region(region), m_over(blankImage(region.size(), Qt::transparent))
{
}

AnnotationLayer AnnotationLayer::render(const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts,
                                        const AnnotationLayerGeometry &geometry, const QRect &region)
{
    AnnotationLayer layer(geometry, region);
    layer.drawStrokes(strokes);
    layer.drawTexts(texts);
    return layer;
}

AnnotationLayer AnnotationLayer::renderInBands(const QList<StrokeRecord> &strokes,
                                               const QList<TextRecord> &texts,
                                               const AnnotationLayerGeometry &geometry, const QRect &region,
                                               int threads)
{
    constexpr int minimumBandHeight = 64;
    const int bands = std::clamp(region.height() / minimumBandHeight, 1, std::max(threads, 1));
    if (bands == 1)
        return render(strokes, texts, geometry, region);
    QList<AnnotationLayer> parts(bands);
    std::vector<std::thread> workers;
    for (int i = 0; i < bands; ++i) {
        const int top = region.top() + region.height() * i / bands;
        const int bottom = region.top() + region.height() * (i + 1) / bands;
        const QRect band(region.left(), top, region.width(), bottom - top);
        workers.emplace_back([&, i, band] { parts[i] = render(strokes, texts, geometry, band); });
    }
    for (std::thread &worker : workers)
        worker.join();
    AnnotationLayer layer(geometry, region);
    const bool multiplying =
        std::any_of(parts.begin(), parts.end(), [](const auto &part) { return !part.m_factor.isNull(); });
    const bool notes =
        std::any_of(parts.begin(), parts.end(), [](const auto &part) { return !part.m_notes.isNull(); });
    if (multiplying)
        layer.beginMultiplying();
    if (notes)
        layer.m_notes = blankImage(region.size(), Qt::transparent);
    for (AnnotationLayer &part : parts) {
        if (multiplying && part.m_factor.isNull())
            part.beginMultiplying();
        layer.takeBand(part);
    }
    return layer;
}

void AnnotationLayer::takeBand(const AnnotationLayer &band)
{
    const QPoint offset = band.m_region.topLeft() - m_region.topLeft();
    const auto copy = [&](QImage &into, const QImage &from) {
        if (from.isNull() || into.isNull())
            return;
        const qsizetype rowBytes = qsizetype(from.width()) * 4;
        for (int y = 0; y < from.height(); ++y)
            std::memcpy(into.scanLine(offset.y() + y) + qsizetype(offset.x()) * 4, from.constScanLine(y),
                        size_t(rowBytes));
    };
    copy(m_over, band.m_over);
    copy(m_factor, band.m_factor);
    copy(m_notes, band.m_notes);
}

QRect AnnotationLayer::bounds(const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts,
                              const AnnotationLayerGeometry &geometry)
{
    QRectF area;
    for (const StrokeRecord &stroke : strokes) {
        if (stroke.points.size() < 2)
            continue;
        const double reach = strokeWidth(stroke) * geometry.pixelsPerScreenPoint / 2 + 1;
        area |=
            mappedPoints(stroke, geometry.userToPixels).boundingRect().adjusted(-reach, -reach, reach, reach);
    }
    for (const TextRecord &note : texts) {
        if (drawable(note))
            area |= noteFrame(note, geometry,
                              QFontMetricsF(noteFont(note.fontSize, geometry.pixelsPerScreenPoint)));
    }
    return area.toAlignedRect();
}

void AnnotationLayer::addStroke(const StrokeRecord &stroke)
{
    drawStrokes({stroke});
}

void AnnotationLayer::addText(const TextRecord &text)
{
    drawTexts({text});
}

void AnnotationLayer::growTo(const QRect &region)
{
    const QRect grown = m_region.united(region);
    if (isNull() || grown == m_region)
        return;
    const QPoint offset = m_region.topLeft() - grown.topLeft();
    const auto grow = [&](QImage &image, const QColor &blank) {
        if (image.isNull())
            return;
        QImage larger = blankImage(grown.size(), blank);
        QPainter painter(&larger);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(offset, image);
        painter.end();
        image = std::move(larger);
    };
    // Nothing drawn: no colour over transparency; a factor of 1 and nothing added.
    grow(m_over, m_factor.isNull() ? QColor(Qt::transparent) : QColor(Qt::black));
    grow(m_factor, Qt::white);
    grow(m_notes, Qt::transparent);
    m_region = grown;
}

qint64 AnnotationLayer::bytes() const
{
    return m_over.sizeInBytes() + m_factor.sizeInBytes() + m_notes.sizeInBytes();
}

void AnnotationLayer::beginMultiplying()
{
    // The page under a transparent image of premultiplied colour c and coverage a becomes
    // page * (1 - a) + c: a factor of 1 - a, and c added.
    m_factor = blankImage(m_over.size(), Qt::white);
    for (int y = 0; y < m_over.height(); ++y) {
        auto *over = reinterpret_cast<QRgb *>(m_over.scanLine(y));
        auto *factor = reinterpret_cast<QRgb *>(m_factor.scanLine(y));
        for (int x = 0; x < m_over.width(); ++x) {
            const int keep = 255 - qAlpha(over[x]);
            factor[x] = qRgba(keep, keep, keep, 255);
            over[x] |= 0xff000000u;
        }
    }
}

void AnnotationLayer::drawStrokes(const QList<StrokeRecord> &strokes)
{
    if (isNull())
        return;
    const QRectF area(m_region);
    std::optional<ImageCairo> over;
    std::optional<ImageCairo> factor;
    for (const StrokeRecord &stroke : strokes) {
        if (stroke.points.size() < 2)
            continue;
        const QPolygonF points = mappedPoints(stroke, m_geometry.userToPixels);
        const double width = strokeWidth(stroke) * m_geometry.pixelsPerScreenPoint;
        const double reach = width / 2 + 1;
        if (!points.boundingRect().adjusted(-reach, -reach, reach, reach).intersects(area))
            continue;
        if (stroke.isHighlighter && m_factor.isNull()) {
            over.reset();
            beginMultiplying();
        }
        if (!over)
            over.emplace(m_over, m_region.topLeft());
        if (!m_factor.isNull() && !factor)
            factor.emplace(m_factor, m_region.topLeft());
        const QColor color = colorOf(stroke.color, stroke.opacity);
        over->stroke(points, width, color, stroke.isHighlighter);
        if (factor) {
            // A covering stroke keeps 1 - a of the page under it; a multiplying one multiplies the
            // factor as it does the amount.
            const QColor kept = stroke.isHighlighter ? color : QColor::fromRgbF(0, 0, 0, color.alphaF());
            factor->stroke(points, width, kept, stroke.isHighlighter);
        }
    }
}

void AnnotationLayer::drawTexts(const QList<TextRecord> &texts)
{
    if (isNull())
        return;
    std::optional<QPainter> painter;
    for (const TextRecord &note : texts) {
        if (!drawable(note))
            continue;
        if (!painter) {
            if (m_notes.isNull())
                m_notes = blankImage(m_region.size(), Qt::transparent);
            painter.emplace(&m_notes);
            painter->translate(-m_region.topLeft());
            painter->setRenderHint(QPainter::TextAntialiasing);
        }
        const QFont font = noteFont(note.fontSize, m_geometry.pixelsPerScreenPoint);
        painter->setFont(font);
        painter->setPen(colorOf(note.color, note.opacity));
        painter->drawText(noteFrame(note, m_geometry, QFontMetricsF(font)),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, note.text);
    }
}

void AnnotationLayer::paint(QPainter &painter, const QRectF &target) const
{
    if (isNull())
        return;
    const QPainter::CompositionMode mode = painter.compositionMode();
    const QRectF source(QPointF(), QSizeF(m_region.size()));
    if (m_factor.isNull()) {
        painter.drawImage(target, m_over, source);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        painter.drawImage(target, m_factor, source);
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.drawImage(target, m_over, source);
        painter.setCompositionMode(mode);
    }
    if (!m_notes.isNull())
        painter.drawImage(target, m_notes, source);
}

void AnnotationLayer::paintStroke(QPainter &painter, const StrokeRecord &stroke,
                                  const QTransform &userToPainter)
{
    if (stroke.points.size() < 2)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colorOf(stroke.color, stroke.opacity), strokeWidth(stroke), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (stroke.isHighlighter)
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawPolyline(mappedPoints(stroke, userToPainter));
    painter.restore();
}
