#include "ui/common/CoverThumbnailLoader.h"

#include "core/common/Hop.h"
#include "pdf/render/BookCover.h"

#include <QAbstractItemView>
#include <QGuiApplication>

#include <algorithm>

namespace {

// Enough for the covers of a few thousand books on screen at once.
constexpr qsizetype cacheKilobytes = 96 * 1024;

} // namespace

CoverThumbnailLoader::CoverThumbnailLoader(const QSize &logicalSize, QObject *parent)
    : QObject(parent), m_cache(cacheKilobytes)
{
    if (const auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        m_pixelRatio = std::max(app->devicePixelRatio(), 1.0);
    m_pixelSize = logicalSize * m_pixelRatio;
    // Renders share the machine with the rest of the application: a few at a time.
    m_pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount() / 2, 2, 4));
}

CoverThumbnailLoader::~CoverThumbnailLoader()
{
    m_queue.clear();
    m_pool.clear();
    m_pool.waitForDone();
}

QPixmap CoverThumbnailLoader::cached(const QString &path, const QDateTime &modified) const
{
    const Entry *entry = m_cache.object(path);
    if (!entry || entry->modified != modified)
        return {};
    return entry->pixmap;
}

QString CoverThumbnailLoader::failureKey(const Request &request)
{
    return request.path + QLatin1Char('\n') + request.modified.toString(Qt::ISODateWithMs);
}

void CoverThumbnailLoader::request(const QList<Request> &wanted)
{
    m_queue.clear();
    QSet<QString> queued;
    for (const Request &request : wanted) {
        if (request.path.isEmpty() || m_running.contains(request.path) || queued.contains(request.path) ||
            m_failed.contains(failureKey(request)) || !cached(request.path, request.modified).isNull())
            continue;
        queued.insert(request.path);
        m_queue.append(request);
    }
    startNext();
}

std::pair<int, int> CoverThumbnailLoader::visibleRows(const QAbstractItemView &view)
{
    const QAbstractItemModel *model = view.model();
    const int count = model ? model->rowCount(view.rootIndex()) : 0;
    const QRect area = view.viewport()->rect();
    // The first row whose cell meets the condition, found by halving.
    const auto firstRowWith = [&](auto condition) {
        int low = 0;
        int high = count;
        while (low < high) {
            const int middle = (low + high) / 2;
            if (condition(view.visualRect(model->index(middle, 0, view.rootIndex()))))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    const int first = firstRowWith([&area](const QRect &cell) { return cell.bottom() >= area.top(); });
    const int afterLast = firstRowWith([&area](const QRect &cell) { return cell.top() > area.bottom(); });
    return {first, afterLast - 1};
}

void CoverThumbnailLoader::requestVisible(const QAbstractItemView &view,
                                          const std::function<std::optional<Request>(int row)> &requestOf)
{
    const auto [first, last] = visibleRows(view);
    QList<Request> wanted;
    if (first <= last) {
        const int count = view.model()->rowCount(view.rootIndex());
        const int screenful = last - first + 1;
        const auto want = [&](int from, int to) {
            for (int row = std::max(from, 0); row <= to && row < count; ++row) {
                if (std::optional<Request> one = requestOf(row))
                    wanted.append(std::move(*one));
            }
        };
        want(first, last);
        want(last + 1, last + screenful);
        want(first - screenful, first - 1);
    }
    request(wanted);
}

void CoverThumbnailLoader::forget(const QStringList &paths)
{
    for (const QString &path : paths)
        m_cache.remove(path);
}

void CoverThumbnailLoader::retryFailed()
{
    m_failed.clear();
}

void CoverThumbnailLoader::startNext()
{
    while (!m_queue.isEmpty() && m_running.size() < m_pool.maxThreadCount()) {
        const Request request = m_queue.takeFirst();
        m_running.insert(request.path);
        Hop::run(
            this,
            [request, size = m_pixelSize] {
                return BookCover::render(request.path, request.coverName, size);
            },
            [this, request](std::optional<QImage> image) {
                m_running.remove(request.path);
                if (image) {
                    image->setDevicePixelRatio(m_pixelRatio);
                    const qsizetype kilobytes = std::max<qsizetype>(1, image->sizeInBytes() / 1024);
                    m_cache.insert(request.path, new Entry{request.modified, QPixmap::fromImage(*image)},
                                   kilobytes);
                } else {
                    m_failed.insert(failureKey(request));
                }
                Q_EMIT coverReady(request.path);
                startNext();
            },
            &m_pool);
    }
}
