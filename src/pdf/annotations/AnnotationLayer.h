#pragma once

#include "core/annotations/PdfEditCacheFile.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QTransform>

class QPainter;

// How a page's annotations land in pixels: page user space to the pixels of the whole shown page (its
// top left at 0, 0), and how many pixels a screen point has. Line widths and font sizes are screen
// points: they stay the same whatever the zoom.
struct AnnotationLayerGeometry {
    QTransform userToPixels;
    double pixelsPerScreenPoint = 1;

    friend bool operator==(const AnnotationLayerGeometry &, const AnnotationLayerGeometry &) = default;
};

// A page's strokes and notes drawn into pixels, ready to lay over the page: strokes in drawing order,
// then the notes above them all, the highlighter's strokes darkening what lies under them (multiply)
// and the pen's covering it. Covers one region of the whole shown page. Made on any thread; a layer is
// a value. A stroke or note added later lands where a fresh render would put it.
//
// Strokes without a highlighter among them are one transparent image laid over the page. Once a
// highlighter stroke is in, they become two images that together give, channel by channel, the page
// under them times a factor plus an amount (which is what any mix of covering and multiplying strokes
// in any order comes to): laid over the page by multiplying with the first and adding the second. The
// notes are a transparent image of their own, laid last. So a layer is drawn once, and scrolling only
// lays it again.
class AnnotationLayer {
public:
    AnnotationLayer() = default;
    // An empty layer over region.
    AnnotationLayer(const AnnotationLayerGeometry &geometry, const QRect &region);

    static AnnotationLayer render(const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts,
                                  const AnnotationLayerGeometry &geometry, const QRect &region);
    // The same, drawn in bands by up to threads threads at once (for pages with many annotations).
    static AnnotationLayer renderInBands(const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts,
                                         const AnnotationLayerGeometry &geometry, const QRect &region,
                                         int threads);
    // The pixels of the whole shown page that the strokes and notes touch (notes measured with the font
    // they are drawn in). Beyond the page too: a stroke may reach into the margin.
    static QRect bounds(const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts,
                        const AnnotationLayerGeometry &geometry);

    // Draw on top of what the layer holds.
    void addStroke(const StrokeRecord &stroke);
    void addText(const TextRecord &text);
    // Covers region as well, keeping what is drawn.
    void growTo(const QRect &region);

    bool isNull() const { return m_over.isNull(); }
    const QRect &region() const { return m_region; }
    const AnnotationLayerGeometry &geometry() const { return m_geometry; }
    qint64 bytes() const;

    // Lays the layer over what painter has painted, its region stretched over target.
    void paint(QPainter &painter, const QRectF &target) const;

    // A stroke's or a note's colour, each part kept within 0-1 (a damaged file may hold any number).
    static QColor colorOf(const ColorRecord &color, double opacity);

    // One stroke drawn straight onto painter (a stroke being drawn, on top of everything), its points
    // mapped by userToPainter; its width is in painter units.
    static void paintStroke(QPainter &painter, const StrokeRecord &stroke, const QTransform &userToPainter);

private:
    void beginMultiplying();
    // Copies band's pixels into this layer, which covers them.
    void takeBand(const AnnotationLayer &band);
    void drawStrokes(const QList<StrokeRecord> &strokes);
    void drawTexts(const QList<TextRecord> &texts);

    AnnotationLayerGeometry m_geometry;
    QRect m_region;
    // Alone: premultiplied colour over transparency. With m_factor: the amount added, opaque.
    QImage m_over;
    // The factor the page is multiplied by; null until a highlighter stroke is drawn.
    QImage m_factor;
    // The notes; null until there is one.
    QImage m_notes;
};
