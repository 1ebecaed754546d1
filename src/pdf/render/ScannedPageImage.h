#pragma once

#include "pdf/engine/PdfDocument.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <atomic>
#include <optional>

// A scanned page (PdfDocument::scannedImage()) rendered once, at the largest scale it is shown at,
// from which every smaller scale is made by averaging its pixels: a zoom step then costs a resampling
// of the part in view, where a render decodes and scales the whole scan again.
//
// The renderer too makes a page's pixels by averaging the scan's, over whole pixels of the scan, and
// stretches the image over whole pixels of the page: the pixels made here follow the image where the
// renderer puts it at each scale, and differ from a render by a few grey levels on average, more at
// sharp edges, where the renderer's own rounding moves them by a fraction of a pixel.
//
// Immutable once made: one may be shared by threads.
class ScannedPageImage {
public:
    // Renders the whole page at scale; image: where the scan lies on the page, in points of the page as
    // shown. Nothing when the render fails or is given up.
    static std::optional<ScannedPageImage> render(const PdfDocument &document, int pageIndex, double scale,
                                                  const QRectF &image,
                                                  const std::atomic<bool> *abandoned = nullptr);
    // The page of pageSize points as rendered whole at scale, the scan lying over image.
    static ScannedPageImage fromRender(const QImage &page, double scale, const QSizeF &pageSize,
                                       const QRectF &image);

    double scale() const { return m_scale; }

    // The page at a scale no larger than scale(), as PdfDocument::render would give it: the region in
    // the pixels of the whole page at that scale (null for the whole page), in QImage::Format_RGB32.
    // Nothing when the region lies outside the page or abandoned turns true (checked at every row).
    std::optional<QImage> scaled(double scale, const QRect &region = QRect(),
                                 const std::atomic<bool> *abandoned = nullptr) const;

private:
    ScannedPageImage(QImage image, double scale, const QSizeF &pageSize, const QRectF &scan)
        : m_image(std::move(image)), m_scale(scale), m_pageSize(pageSize), m_scan(scan)
    {
    }

    // Format_Grayscale8 when every pixel is grey (as on most scans), else Format_RGB888.
    QImage m_image;
    double m_scale = 1;
    QSizeF m_pageSize;
    QRectF m_scan;
};
