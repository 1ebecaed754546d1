#include "pdf/view/PageRenderQueue.h"

#include "pdf/engine/PdfDocument.h"
#include "pdf/view/RetiredThreads.h"
#include "pdf/view/ScannedPageMasters.h"

#include <QHash>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

struct PageRenderQueue::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    QString path;
    quint64 generation = 0;
    std::deque<PageRenderRequest> pending;
    // The render under way, with the generation of its book, until the renderer returns: a render that
    // was given up keeps the thread until then.
    std::optional<std::pair<quint64, PageRenderRequest>> running;
    // Set (under the lock) when a new book or a new list of requests leaves the running render out: it
    // stops at the renderer's next check and its image is dropped.
    std::atomic<bool> abandonRunning = false;
    // Rendered and on their way to the queue's thread: asked for again, they are not done twice.
    QList<std::pair<quint64, PageRenderRequest>> handedOver;
    bool stopping = false;
    std::function<void(const PageRenderRequest &)> startHook;
    // What the view shows: scanned pages among these are made ready for zooming, up to this scale.
    QList<int> shownPages;
    double largestScale = 0;
    // The running render is drawn by the renderer, not scaled from a page's large image.
    bool runningIsRender = false;

    // Callers hold the lock.
    void abandonRunningUnlessIn(quint64 currentGeneration, const QList<PageRenderRequest> &requests)
    {
        if (!running || abandonRunning)
            return;
        if (running->first == currentGeneration && requests.contains(running->second))
            return;
        abandonRunning = true;
    }
    // Whether the request will arrive without being asked for again.
    bool underWay(quint64 currentGeneration, const PageRenderRequest &request) const
    {
        const std::pair<quint64, PageRenderRequest> asked(currentGeneration, request);
        return handedOver.contains(asked) || (running && !abandonRunning && *running == asked);
    }
};

namespace {

// The largest image of a scanned page kept to zoom from: a letter page at eight pixels a point.
constexpr qint64 maxScannedPagePixels = 32'000'000;

} // namespace

PageRenderQueue::PageRenderQueue(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    // A page's large image that arrives while the renderer draws the same page: the render is given up
    // and the request made again, from the image.
    m_masters = std::make_shared<ScannedPageMasters>(
        [weak = std::weak_ptr<Shared>(m_shared)](quint64 generation, int pageIndex, double scale) {
            const std::shared_ptr<Shared> shared = weak.lock();
            if (!shared)
                return;
            {
                std::lock_guard lock(shared->mutex);
                const auto &running = shared->running;
                if (!running || running->first != generation || running->second.pageIndex != pageIndex ||
                    running->second.scale > scale || !shared->runningIsRender || shared->abandonRunning)
                    return;
                shared->abandonRunning = true;
                shared->pending.push_front(running->second);
            }
            shared->wake.notify_all();
        });
    m_thread = std::thread([shared = m_shared, masters = m_masters, this] { run(shared, masters, this); });
}

PageRenderQueue::~PageRenderQueue()
{
    bool rendering = false;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->pending.clear();
        m_shared->abandonRunningUnlessIn(m_generation, {});
        rendering = m_shared->running.has_value();
    }
    m_shared->wake.notify_all();
    // The large image under way is given up as well, and its book let go.
    m_masters->setDocument(m_generation + 1, QString());
    // Only a thread inside a render is left to finish on its own. An idle one ends at once and is
    // joined here: left to end beside the thread of the queue that replaces this one (a viewer opened
    // as another closes), it made that queue's first page a third slower on a busy machine.
    if (rendering)
        RetiredThreads::adopt(std::move(m_thread));
    else
        m_thread.join();
}

void PageRenderQueue::setDocumentPath(const QString &path)
{
    ++m_generation;
    m_masters->setDocument(m_generation, path);
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->path = path;
        m_shared->generation = m_generation;
        m_shared->pending.clear();
        m_shared->abandonRunningUnlessIn(m_generation, {});
    }
    m_shared->wake.notify_all();
}

void PageRenderQueue::setPending(const QList<PageRenderRequest> &requests)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pending.clear();
        m_shared->abandonRunningUnlessIn(m_generation, requests);
        // A render given up that is asked for again starts again once the renderer has returned.
        for (const PageRenderRequest &request : requests) {
            if (!m_shared->underWay(m_generation, request))
                m_shared->pending.push_back(request);
        }
    }
    m_shared->wake.notify_all();
}

void PageRenderQueue::setShown(const QList<int> &pages, double largestScale)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->shownPages = pages;
    m_shared->largestScale = largestScale;
}

bool PageRenderQueue::isIdleForTesting() const
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (!m_shared->pending.empty() || m_shared->running || !m_shared->handedOver.isEmpty())
            return false;
    }
    return m_masters->isIdle();
}

void PageRenderQueue::setRenderStartHookForTesting(std::function<void(const PageRenderRequest &)> hook)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->startHook = std::move(hook);
}

void PageRenderQueue::run(const std::shared_ptr<Shared> &shared,
                          const std::shared_ptr<ScannedPageMasters> &masters, PageRenderQueue *queue)
{
    PdfDocumentPtr document;
    // The book is opened again for every new generation, even at the same path: the file may have
    // been rewritten, or may open now where it failed before.
    bool bookRead = false;
    quint64 openedGeneration = 0;
    QString openError;
    // The scale each page of the book was first asked at: another is a zoom.
    QHash<int, double> firstScales;
    std::unique_lock lock(shared->mutex);
    for (;;) {
        // A closed book is let go at once rather than at the next render.
        if (shared->path.isEmpty() && document) {
            document.reset();
            bookRead = false;
        }
        shared->wake.wait(lock, [&] {
            return shared->stopping || !shared->pending.empty() || (shared->path.isEmpty() && document);
        });
        if (shared->stopping)
            return;
        if (shared->pending.empty())
            continue;
        const PageRenderRequest request = shared->pending.front();
        shared->pending.pop_front();
        const quint64 generation = shared->generation;
        const QString path = shared->path;
        shared->running = {generation, request};
        shared->abandonRunning = false;
        shared->runningIsRender = true;
        const auto startHook = shared->startHook;
        const bool shown = shared->shownPages.contains(request.pageIndex);
        const double largestScale = shared->largestScale;
        lock.unlock();
        if (startHook)
            startHook(request);

        if (!bookRead || generation != openedGeneration) {
            document.reset();
            bookRead = true;
            openedGeneration = generation;
            firstScales.clear();
            Result<PdfDocumentPtr> opened = PdfDocument::open(path);
            openError = opened ? QString() : opened.error().message;
            if (opened)
                document = std::move(opened).value();
        }
        QImage image;
        QString error = openError;
        // The book could not be read at all: it failed to open, or became shorter since.
        bool unreadable = !openError.isEmpty();
        if (document) {
            // Only scanned pages have large images.
            const std::shared_ptr<const ScannedPageImage> large =
                masters->find(generation, request.pageIndex);
            if (large && request.scale <= large->scale()) {
                {
                    std::lock_guard scaling(shared->mutex);
                    shared->runningIsRender = false;
                }
                if (const std::optional<QImage> scaled =
                        large->scaled(request.scale, request.region, &shared->abandonRunning))
                    image = *scaled;
                else
                    error = QStringLiteral("The page %1 could not be scaled.").arg(request.pageIndex + 1);
            } else {
                // Zooming into a scanned page in view: its large image is made beside this render, and
                // the next steps come from it. Whether the page is a scan is asked at the first zoom
                // only: the walk through its content that tells costs a page of music a quarter of its
                // render, which paging and the first page of a book need not wait for.
                const double first = firstScales.value(request.pageIndex, request.scale);
                firstScales.insert(request.pageIndex, first);
                const std::optional<QRectF> scan = shown && !qFuzzyCompare(first, request.scale)
                                                       ? document->scannedImage(request.pageIndex)
                                                       : std::nullopt;
                if (scan) {
                    const QSizeF size = document->pageSize(request.pageIndex);
                    const double cap =
                        std::sqrt(double(maxScannedPagePixels) / (size.width() * size.height()));
                    const double scale = std::min(largestScale, cap);
                    if (scale >= request.scale)
                        masters->want(generation, request.pageIndex, scale, *scan);
                }
                const Result<QImage> page = document->render(request.pageIndex, request.scale, request.region,
                                                             &shared->abandonRunning);
                if (page)
                    image = page.value().convertToFormat(QImage::Format_RGB32);
                else
                    error = page.error().message;
                unreadable = !page && page.error().code == PdfDocument::bookCutShortCode;
            }
        }
        lock.lock();
        shared->running.reset();
        // Given up: nobody waits for it. Nor is there a queue to deliver to once it is stopping: it is
        // alive up to here, and what it was sent goes with it.
        if (shared->abandonRunning || shared->stopping)
            continue;
        shared->handedOver.append({generation, request});
        QMetaObject::invokeMethod(
            queue,
            [queue, generation, request, image, error, unreadable] {
                queue->deliver(generation, request, image, error, unreadable);
            },
            Qt::QueuedConnection);
    }
}

void PageRenderQueue::deliver(quint64 generation, const PageRenderRequest &request, const QImage &image,
                              const QString &error, bool unreadable)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->handedOver.removeOne(std::pair(generation, request));
    }
    if (generation != m_generation)
        return;
    if (image.isNull()) {
        Q_EMIT renderFailed(request, error);
        if (unreadable)
            Q_EMIT bookUnreadable(error);
    } else {
        Q_EMIT rendered(request, image);
    }
}
