#pragma once

#include <QImage>
#include <QList>
#include <QObject>

#include <QRect>
#include <QString>
#include <functional>

#include <memory>
#include <thread>

class ScannedPageMasters;

// One page image to render: the whole page, or a part of it, at a scale in pixels per point.
struct PageRenderRequest {
    int pageIndex = -1;
    double scale = 0;
    QRect region; // in the pixels of the whole page image at this scale; null for the whole page

    friend bool operator==(const PageRenderRequest &a, const PageRenderRequest &b)
    {
        return a.pageIndex == b.pageIndex && qFuzzyCompare(a.scale, b.scale) && a.region == b.region;
    }
};

// Renders page images on a thread of its own, first wanted first, so that the interface never waits
// for a page. The thread opens the book itself: a PDF document must not be used by two threads at once,
// and the interface keeps using its own.
//
// The queue holds only what is wanted now: each setPending() replaces what has not started, so the
// pages the user has left are never rendered. A render under way that a new list leaves out, or whose
// book was replaced, is given up and never arrives; it keeps the thread until the renderer returns,
// which on engraved pages is within milliseconds (the renderer checks between drawing operators) and on
// a scanned page can take most of a render (an image under way is decoded no further but still scaled
// to its end). Results come back on the queue's thread, as signals. A queue that goes does not wait for
// such a render: its thread finishes it on its own and is joined elsewhere (RetiredThreads).
class PageRenderQueue : public QObject {
    Q_OBJECT

public:
    explicit PageRenderQueue(QObject *parent = nullptr);
    // Gives up the render under way, if any, without waiting for it.
    ~PageRenderQueue() override;

    // The book to render from; an empty path closes it. Drops everything pending.
    void setDocumentPath(const QString &path);

    // Replaces the pending requests, first first.
    void setPending(const QList<PageRenderRequest> &requests);
    // The pages the view shows and the largest scale it shows pages at (pixels a point). A scanned page
    // among them that is asked for at a second scale (a zoom) is rendered once at that largest scale,
    // beside the queue, and its later requests are scaled from that image (ScannedPageImage) instead of
    // being rendered: a zoom step over a 600-dpi scan then takes a few tens of milliseconds rather than
    // a render of the whole scan. Nothing of the sort while this is not given.
    void setShown(const QList<int> &pages, double largestScale);

    // Nothing pending, nothing being rendered (a render given up included), nothing rendered that has
    // not arrived yet, and no large image of a scanned page being made: what tests and benchmarks wait
    // for.
    bool isIdleForTesting() const;

    // Called on the queue's thread as each render starts, before it is drawn: a test that must act in
    // the middle of a render holds it there.
    void setRenderStartHookForTesting(std::function<void(const PageRenderRequest &)> hook);

Q_SIGNALS:
    // The image is in QImage::Format_RGB32, the cheapest to paint.
    void rendered(const PageRenderRequest &request, const QImage &image);
    void renderFailed(const PageRenderRequest &request, const QString &message);
    // After renderFailed, when the failure was the book's, not the page's: the book could not be opened
    // on the queue's thread, or its file became shorter since (PdfDocument::bookCutShortCode).
    void bookUnreadable(const QString &message);

private:
    struct Shared;
    // The thread's loop: it holds what it works on, which outlives the queue until the loop ends.
    static void run(const std::shared_ptr<Shared> &shared, const std::shared_ptr<ScannedPageMasters> &masters,
                    PageRenderQueue *queue);
    void deliver(quint64 generation, const PageRenderRequest &request, const QImage &image,
                 const QString &error, bool unreadable);

    std::shared_ptr<Shared> m_shared;
    quint64 m_generation = 0;
    std::shared_ptr<ScannedPageMasters> m_masters;
    std::thread m_thread;
};
