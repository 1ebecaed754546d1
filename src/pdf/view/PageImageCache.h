#pragma once

#include "pdf/view/PageRenderQueue.h"

#include <QImage>
#include <QList>
#include <QRect>

// The rendered page images the page view keeps, within a memory budget; the least recently used go
// first. Interface thread only.
class PageImageCache {
public:
    static constexpr qint64 defaultByteBudget = 48LL * 1024 * 1024;

    struct Entry {
        PageRenderRequest request;
        QRect area; // what the image covers, in pixels of the whole page image at its scale
        QImage image;
        quint64 lastUse = 0;
    };

    explicit PageImageCache(qint64 byteBudget = defaultByteBudget) : m_byteBudget(byteBudget) {}

    // An image of the page at this scale that covers area; marked as used.
    const Entry *find(int page, double scale, const QRect &area);
    // Every image of the page, the least fitting for the scale first (a different scale before the
    // same one, farther scales before nearer ones), so that painting them in order leaves the best on top.
    QList<const Entry *> imagesOf(int page, double scale) const;

    void insert(const PageRenderRequest &request, const QImage &image);
    // Drops the least recently used images until the rest fit the budget; the requested ones stay.
    void trim(const QList<PageRenderRequest> &keep);
    void clear();

    qint64 bytes() const;
    qsizetype sizeForTesting() const { return m_entries.size(); }
    qint64 byteBudget() const { return m_byteBudget; }

private:
    QList<Entry> m_entries;
    qint64 m_byteBudget;
    quint64 m_clock = 0;
};
