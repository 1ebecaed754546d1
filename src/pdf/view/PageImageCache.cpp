#include "pdf/view/PageImageCache.h"

#include <algorithm>
#include <cmath>

const PageImageCache::Entry *PageImageCache::find(int page, double scale, const QRect &area)
{
    for (Entry &entry : m_entries) {
        if (entry.request.pageIndex == page && qFuzzyCompare(entry.request.scale, scale) &&
            entry.area.contains(area)) {
            entry.lastUse = ++m_clock;
            return &entry;
        }
    }
    return nullptr;
}

QList<const PageImageCache::Entry *> PageImageCache::imagesOf(int page, double scale) const
{
    QList<const Entry *> images;
    for (const Entry &entry : m_entries) {
        if (entry.request.pageIndex == page)
            images.append(&entry);
    }
    const auto distance = [scale](const Entry *entry) {
        return std::abs(std::log(entry->request.scale / scale));
    };
    std::stable_sort(images.begin(), images.end(),
                     [&](const Entry *a, const Entry *b) { return distance(a) > distance(b); });
    return images;
}

void PageImageCache::insert(const PageRenderRequest &request, const QImage &image)
{
    if (image.isNull())
        return;
    const QRect area = request.region.isNull() ? QRect(QPoint(), image.size())
                                               : QRect(request.region.topLeft(), image.size());
    // An image that a new one covers at the same scale is of no more use.
    m_entries.removeIf([&](const Entry &entry) {
        return entry.request.pageIndex == request.pageIndex &&
               qFuzzyCompare(entry.request.scale, request.scale) && area.contains(entry.area);
    });
    m_entries.append({request, area, image, ++m_clock});
}

void PageImageCache::trim(const QList<PageRenderRequest> &keep)
{
    qint64 total = bytes();
    while (total > m_byteBudget) {
        Entry *oldest = nullptr;
        for (Entry &entry : m_entries) {
            if (!keep.contains(entry.request) && (!oldest || entry.lastUse < oldest->lastUse))
                oldest = &entry;
        }
        if (!oldest)
            return;
        total -= oldest->image.sizeInBytes();
        m_entries.removeAt(oldest - m_entries.data());
    }
}

void PageImageCache::clear()
{
    m_entries.clear();
}

qint64 PageImageCache::bytes() const
{
    qint64 total = 0;
    for (const Entry &entry : m_entries)
        total += entry.image.sizeInBytes();
    return total;
}
