#include "pdf/render/ScannedPageImage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// How the pixels of one axis of the target take the pixels of the same axis of the source: target
// pixel t covers the source interval [origin + t * ratio, origin + (t + 1) * ratio), and each source
// pixel it touches counts by how much of it lies inside. Source pixels past the end (past the page's
// last, partly covered pixel at the larger scale) count as white.
struct Spans {
    std::vector<int> first;     // per target pixel, its first source pixel (relative to origin)
    std::vector<int> count;     // per target pixel, how many source pixels
    std::vector<float> weights; // count[0] weights, then count[1], ...
    int origin = 0;             // the first source pixel any target pixel touches
    int extent = 0;             // how many source pixels from origin are touched
};

// The pixels [first, last) that the renderer gives an image spanning [from, to) at some scale: it
// stretches the image over whole pixels.
std::pair<int, int> imagePixels(double from, double to)
{
    const int first = int(std::floor(from));
    return {first, std::max(first + 1, int(std::floor(to)) + 1)};
}

// Target pixels and source pixels along one axis: the image lies over [from, to) points, the source is
// at sourceScale, the target at targetScale.
struct Axis {
    double origin = 0; // source position of target position 0
    double ratio = 1;  // source pixels a target pixel
};

Axis axis(double from, double to, double sourceScale, double targetScale)
{
    const auto [sourceFirst, sourceEnd] = imagePixels(from * sourceScale, to * sourceScale);
    const auto [targetFirst, targetEnd] = imagePixels(from * targetScale, to * targetScale);
    const double ratio = double(sourceEnd - sourceFirst) / double(targetEnd - targetFirst);
    return {sourceFirst - targetFirst * ratio, ratio};
}

Spans spans(int targetFirst, int targetCount, const Axis &axis)
{
    Spans out;
    out.first.reserve(size_t(targetCount));
    out.count.reserve(size_t(targetCount));
    const double ratio = axis.ratio;
    out.origin = std::max(0, int(std::floor(axis.origin + targetFirst * ratio)));
    for (int t = targetFirst; t < targetFirst + targetCount; ++t) {
        // A target pixel before the source's first pixel takes that pixel.
        const double to = std::max(1.0, axis.origin + (t + 1) * ratio);
        const double from = std::clamp(axis.origin + t * ratio, 0.0, to - 1e-6);
        const int first = int(std::floor(from));
        const int last = std::max(first, int(std::ceil(to)) - 1);
        out.first.push_back(first - out.origin);
        out.count.push_back(last - first + 1);
        for (int s = first; s <= last; ++s)
            out.weights.push_back(float((std::min(to, s + 1.0) - std::max(from, double(s))) / (to - from)));
        out.extent = std::max(out.extent, last + 1 - out.origin);
    }
    return out;
}

bool allGrey(const QImage &rgb)
{
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *row = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x, row += 3) {
            if (row[0] != row[1] || row[1] != row[2])
                return false;
        }
    }
    return true;
}

} // namespace

std::optional<ScannedPageImage> ScannedPageImage::render(const PdfDocument &document, int pageIndex,
                                                         double scale, const QRectF &image,
                                                         const std::atomic<bool> *abandoned)
{
    const Result<QImage> page = document.render(pageIndex, scale, QRect(), abandoned);
    if (!page)
        return std::nullopt;
    return fromRender(page.value(), scale, document.pageSize(pageIndex), image);
}

ScannedPageImage ScannedPageImage::fromRender(const QImage &page, double scale, const QSizeF &pageSize,
                                              const QRectF &image)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
    // A grey scan kept in one byte a pixel takes a third of the memory, and a third of the averaging.
    return ScannedPageImage(allGrey(rgb) ? rgb.convertToFormat(QImage::Format_Grayscale8) : rgb, scale,
                            pageSize, image);
}

std::optional<QImage> ScannedPageImage::scaled(double scale, const QRect &region,
                                               const std::atomic<bool> *abandoned) const
{
    if (!(scale > 0) || scale > m_scale || m_image.isNull())
        return std::nullopt;
    // The whole page at scale, sized as the renderer sizes it.
    const QSizeF size = m_pageSize * scale;
    const QRect whole(0, 0, int(std::ceil(size.width())), int(std::ceil(size.height())));
    const QRect area = region.isNull() ? whole : region.intersected(whole);
    if (area.isEmpty())
        return std::nullopt;

    const Spans columns = spans(area.x(), area.width(), axis(m_scan.left(), m_scan.right(), m_scale, scale));
    const Spans rows = spans(area.y(), area.height(), axis(m_scan.top(), m_scan.bottom(), m_scale, scale));
    const int channels = m_image.format() == QImage::Format_Grayscale8 ? 1 : 3;
    const int sourceWidth = m_image.width();
    const int sourceHeight = m_image.height();
    QImage out(area.size(), QImage::Format_RGB32);
    std::vector<float> sums(size_t(columns.extent) * size_t(channels));
    size_t rowWeight = 0;
    for (int y = 0; y < area.height(); ++y) {
        if (abandoned && abandoned->load(std::memory_order_relaxed))
            return std::nullopt;
        // The source rows of this target row, weighted, summed column by column.
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (int i = 0; i < rows.count[size_t(y)]; ++i) {
            const float weight = rows.weights[rowWeight++];
            const int sourceY = rows.origin + rows.first[size_t(y)] + i;
            if (sourceY >= sourceHeight) {
                for (float &sum : sums)
                    sum += weight * 255.0f;
                continue;
            }
            const uchar *line = m_image.constScanLine(sourceY);
            for (int c = 0; c < columns.extent; ++c) {
                const int sourceX = columns.origin + c;
                float *sum = &sums[size_t(c) * size_t(channels)];
                if (sourceX >= sourceWidth) {
                    for (int k = 0; k < channels; ++k)
                        sum[k] += weight * 255.0f;
                    continue;
                }
                const uchar *pixel = line + size_t(sourceX) * size_t(channels);
                for (int k = 0; k < channels; ++k)
                    sum[k] += weight * float(pixel[k]);
            }
        }
        // Then the columns of each target pixel.
        auto *target = reinterpret_cast<QRgb *>(out.scanLine(y));
        size_t columnWeight = 0;
        for (int x = 0; x < area.width(); ++x) {
            float value[3] = {0, 0, 0};
            for (int j = 0; j < columns.count[size_t(x)]; ++j) {
                const float weight = columns.weights[columnWeight++];
                const float *sum = &sums[size_t(columns.first[size_t(x)] + j) * size_t(channels)];
                for (int k = 0; k < channels; ++k)
                    value[k] += weight * sum[k];
            }
            const auto level = [](float v) { return std::clamp(int(v + 0.5f), 0, 255); };
            target[x] = channels == 1 ? qRgb(level(value[0]), level(value[0]), level(value[0]))
                                      : qRgb(level(value[0]), level(value[1]), level(value[2]));
        }
    }
    return out;
}
