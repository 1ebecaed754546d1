#include "ui/viewer/PdfPageView.h"

#include "core/annotations/AnnotationDocument.h"
#include "core/common/Hop.h"
#include "ui/common/LyrafoldTheme.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// Regions of a page larger than the view are rendered with this much of the view to spare on every
// side, snapped to this grid, so that scrolling a little does not ask for a new render.
constexpr double regionMargin = 0.5;
constexpr int regionGrid = 64;
// Annotation layers cover what is in view and this much of the view around it, as far as the
// annotations reach; a page with many is drawn in this many bands at once.
constexpr double annotationMargin = 0.5;
constexpr int annotationThreads = 4;

QRect snappedOutward(const QRect &rect)
{
    const auto down = [](int value) { return int(std::floor(value / double(regionGrid))) * regionGrid; };
    const auto up = [](int value) { return int(std::ceil(value / double(regionGrid))) * regionGrid; };
    return QRect(QPoint(down(rect.left()), down(rect.top())),
                 QPoint(up(rect.right() + 1) - 1, up(rect.bottom() + 1) - 1));
}

} // namespace

PdfPageView::PdfPageView(QWidget *parent) : QAbstractScrollArea(parent)
{
    m_background = palette().color(QPalette::Window);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    m_renderTimer.setSingleShot(true);
    m_renderTimer.setInterval(0);
    connect(&m_renderTimer, &QTimer::timeout, this, &PdfPageView::updateRenders);
    connect(&m_queue, &PageRenderQueue::rendered, this, &PdfPageView::accept);
    connect(&m_queue, &PageRenderQueue::renderFailed, this,
            [this](const PageRenderRequest &request) { refuse(request); });
    connect(&m_queue, &PageRenderQueue::bookUnreadable, this, [this](const QString &message) {
        if (!m_unreadableTold)
            Q_EMIT bookUnreadable(message);
        m_unreadableTold = true;
    });
    m_annotationPool.setMaxThreadCount(2);
}

PdfPageView::~PdfPageView() = default;

void PdfPageView::setMessage(const QString &message)
{
    m_message = message;
    viewport()->update();
}

void PdfPageView::setDocument(PdfDocumentPtr document)
{
    if (document)
        m_message.clear();
    if (document == m_document) {
        relayout();
        return;
    }
    m_document = std::move(document);
    m_geometries = QList<std::optional<PageGeometry>>(pageCount());
    m_cache.clear();
    m_annotationSlots.clear();
    m_liveStroke.reset();
    m_failed.clear();
    m_wanted.clear();
    m_wantedPages.clear();
    m_unreadableTold = false;
    m_queue.setDocumentPath(m_document ? m_document->path() : QString());
    m_currentPage = pageCount() > 0 ? 0 : -1;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    relayout();
    Q_EMIT pageChanged();
}

int PdfPageView::pageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

void PdfPageView::setDisplayMode(PageDisplayMode mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    relayout();
}

void PdfPageView::setDisplaysAsBook(bool asBook)
{
    if (asBook == m_displaysAsBook)
        return;
    m_displaysAsBook = asBook;
    relayout();
}

void PdfPageView::goToPage(int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    const bool changed = pageIndex != m_currentPage;
    m_currentPage = pageIndex;
    verticalScrollBar()->setValue(0);
    relayout();
    if (changed)
        Q_EMIT pageChanged();
}

void PdfPageView::setScaleFactor(double scale, std::optional<QPointF> anchor)
{
    if (!std::isfinite(scale))
        return;
    const double bounded = std::clamp(scale, m_minScale, m_maxScale);
    if (bounded == m_scale)
        return;
    // The anchor's place in the spread, in points, before and after.
    const QPointF at = anchor.value_or(QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0));
    const QPointF inSpread = (at - spreadOrigin()) / m_scale;
    m_scale = bounded;
    m_layout = layoutOf(m_spread);
    updateScrollBars();
    const QPointF wanted = inSpread * m_scale - at;
    horizontalScrollBar()->setValue(int(std::round(wanted.x())));
    verticalScrollBar()->setValue(int(std::round(wanted.y())));
    relayout();
}

void PdfPageView::setScaleLimits(double minimum, double maximum)
{
    m_minScale = minimum;
    m_maxScale = std::max(minimum, maximum);
    setScaleFactor(m_scale);
}

void PdfPageView::setBackgroundColor(const QColor &color)
{
    m_background = color;
    viewport()->update();
}

void PdfPageView::setScrollBarsShown(bool shown)
{
    m_scrollBarsShown = shown;
    const Qt::ScrollBarPolicy policy = shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
}

PageGeometry PdfPageView::pageGeometry(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= m_geometries.size())
        return {};
    std::optional<PageGeometry> &geometry = m_geometries[pageIndex];
    if (!geometry) {
        const QSizeF shown = m_document->pageSize(pageIndex);
        const Result<PdfPageBoxes> boxes = m_document->pageBoxes(pageIndex);
        geometry = boxes ? PageGeometry::fromBoxes(boxes.value(), shown) : PageGeometry::fromShownSize(shown);
    }
    return *geometry;
}

QList<int> PdfPageView::visiblePages() const
{
    QList<int> pages;
    for (const PageLayout::PlacedPage &placed : m_layout.pages)
        pages.append(placed.page);
    return pages;
}

QRectF PdfPageView::pageRect(int pageIndex) const
{
    const std::optional<PageLayout::PlacedPage> placed = m_layout.find(pageIndex);
    return placed ? placed->rect.translated(spreadOrigin()) : QRectF();
}

std::optional<int> PdfPageView::pageAt(const QPointF &viewPoint) const
{
    return m_layout.pageAt(viewPoint - spreadOrigin());
}

QPointF PdfPageView::convertToPage(const QPointF &viewPoint, int pageIndex) const
{
    QRectF rect = pageRect(pageIndex);
    if (rect.isNull()) {
        const PageLayout::SpreadLayout alone = layoutOf({pageIndex, -1});
        rect = alone.pages.isEmpty() ? QRectF() : alone.pages.first().rect.translated(spreadOrigin());
    }
    return pageGeometry(pageIndex).toUser((viewPoint - rect.topLeft()) / m_scale);
}

std::optional<int> PdfPageView::nearestPageAt(const QPointF &viewPoint) const
{
    if (const std::optional<int> page = pageAt(viewPoint))
        return page;
    std::optional<int> nearest;
    double best = 0;
    for (const PageLayout::PlacedPage &placed : m_layout.pages) {
        const QRectF rect = placed.rect.translated(spreadOrigin());
        const double dx = std::max({rect.left() - viewPoint.x(), 0.0, viewPoint.x() - rect.right()});
        const double dy = std::max({rect.top() - viewPoint.y(), 0.0, viewPoint.y() - rect.bottom()});
        const double distance = dx * dx + dy * dy;
        if (!nearest || distance < best) {
            nearest = placed.page;
            best = distance;
        }
    }
    return nearest;
}

QTransform PdfPageView::pageToView(int pageIndex) const
{
    const QPointF origin = pageRect(pageIndex).topLeft();
    return pageGeometry(pageIndex).userToShown() * QTransform::fromScale(m_scale, m_scale) *
           QTransform::fromTranslate(origin.x(), origin.y());
}

// ---- Layout

PageLayout::SpreadLayout PdfPageView::layoutOf(const PageLayout::Spread &spread) const
{
    return PageLayout::layout(spread, m_displayMode, m_scale,
                              [this](int page) { return pageGeometry(page).shownSize(); });
}

void PdfPageView::relayout()
{
    m_spread = PageLayout::spreadFor(m_currentPage, pageCount(), m_displayMode, m_displaysAsBook);
    m_layout = layoutOf(m_spread);
    updateScrollBars();
    viewport()->update();
    Q_EMIT visibleAreaChanged();
    scheduleRenders();
}

void PdfPageView::updateScrollBars()
{
    const QSize area = viewport()->size();
    const QSize content = m_layout.size.toSize();
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - area.width()));
    verticalScrollBar()->setRange(0, std::max(0, content.height() - area.height()));
    horizontalScrollBar()->setPageStep(area.width());
    verticalScrollBar()->setPageStep(area.height());
}

QPointF PdfPageView::spreadOrigin(const PageLayout::SpreadLayout &layout, const QPoint &scroll) const
{
    const QSizeF area = viewport()->size();
    // Smaller than the view: centred; larger: where the scroll bars put it.
    const auto axis = [](double room, double size, int offset) {
        return size <= room ? std::floor((room - size) / 2) : -double(offset);
    };
    return QPointF(axis(area.width(), layout.size.width(), scroll.x()),
                   axis(area.height(), layout.size.height(), scroll.y()));
}

QPointF PdfPageView::spreadOrigin() const
{
    return spreadOrigin(m_layout, QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

// ---- Rendering

double PdfPageView::deviceScale() const
{
    return m_scale * devicePixelRatioF();
}

QRect PdfPageView::wholePagePixels(int pageIndex, double scale) const
{
    const QSizeF size = pageGeometry(pageIndex).shownSize() * scale;
    return QRect(0, 0, int(std::ceil(size.width())), int(std::ceil(size.height())));
}

QRect PdfPageView::visiblePixels(const PageLayout::PlacedPage &placed, const QPointF &origin) const
{
    const QRectF page = placed.rect.translated(origin);
    const QRectF shown = page.intersected(QRectF(viewport()->rect()));
    if (shown.isEmpty())
        return {};
    const double ratio = devicePixelRatioF();
    const QRectF pixels((shown.topLeft() - page.topLeft()) * ratio, shown.size() * ratio);
    return pixels.toAlignedRect().intersected(wholePagePixels(placed.page, deviceScale()));
}

PageRenderRequest PdfPageView::requestFor(int pageIndex, const QRect &visible) const
{
    const double scale = deviceScale();
    const QRect whole = wholePagePixels(pageIndex, scale);
    const QSizeF area = QSizeF(viewport()->size()) * devicePixelRatioF() * regionMargin;
    const int dx = int(std::ceil(area.width()));
    const int dy = int(std::ceil(area.height()));
    const QRect region = snappedOutward(visible.adjusted(-dx, -dy, dx, dy)).intersected(whole);
    // A page that is all, or nearly all, in view is rendered whole; of a larger one only the part in
    // view, so that a huge page at a high zoom never becomes one huge image.
    if (region == whole)
        return {pageIndex, scale, QRect()};
    return {pageIndex, scale, region};
}

void PdfPageView::scheduleRenders()
{
    // Until the update has run, nobody knows whether every image is there.
    m_imagesComplete = false;
    if (!m_renderTimer.isActive())
        m_renderTimer.start();
}

void PdfPageView::updateRenders()
{
    QList<PageRenderRequest> wanted;
    QList<PageRenderRequest> missing;
    QList<int> pages;
    const double scale = deviceScale();
    const auto want = [&](const PageLayout::PlacedPage &placed, const QPointF &origin) {
        pages.append(placed.page);
        const QRect visible = visiblePixels(placed, origin);
        if (visible.isEmpty())
            return;
        if (const PageImageCache::Entry *cached = m_cache.find(placed.page, scale, visible)) {
            wanted.append(cached->request);
            return;
        }
        const PageRenderRequest request = requestFor(placed.page, visible);
        wanted.append(request);
        if (!m_failed.contains(request))
            missing.append(request);
    };
    if (m_document) {
        for (const PageLayout::PlacedPage &placed : m_layout.pages)
            want(placed, spreadOrigin());
        // The neighbours as they will show after a page turn: from their top, scrolled sideways as now.
        const int count = pageCount();
        for (const PageLayout::Spread &spread :
             {PageLayout::nextSpread(m_currentPage, count, m_displayMode, m_displaysAsBook),
              PageLayout::previousSpread(m_currentPage, count, m_displayMode, m_displaysAsBook)}) {
            const PageLayout::SpreadLayout layout = layoutOf(spread);
            const QPointF origin = spreadOrigin(layout, QPoint(horizontalScrollBar()->value(), 0));
            for (const PageLayout::PlacedPage &placed : layout.pages)
                want(placed, origin);
        }
    }
    m_wanted = wanted;
    m_wantedPages = pages;
    m_cache.trim(wanted);
    QList<int> shown;
    for (const PageLayout::PlacedPage &placed : m_layout.pages)
        shown.append(placed.page);
    m_queue.setShown(shown, m_maxScale * devicePixelRatioF());
    m_queue.setPending(missing);
    updateAnnotationLayers();
    reportCompletion(missing.isEmpty());
}

void PdfPageView::accept(const PageRenderRequest &request, const QImage &image)
{
    // A page the user has left is dropped; an image at an outdated scale of a page still in view is
    // kept to paint from until the sharp one arrives.
    if (!m_wantedPages.contains(request.pageIndex))
        return;
    m_cache.insert(request, image);
    m_cache.trim(m_wanted);
    if (m_layout.find(request.pageIndex))
        viewport()->update();
    if (m_wanted.contains(request))
        scheduleRenders();
}

void PdfPageView::refuse(const PageRenderRequest &request)
{
    if (!m_failed.contains(request))
        m_failed.append(request);
    if (m_wanted.contains(request))
        scheduleRenders();
}

void PdfPageView::reportCompletion(bool complete)
{
    m_imagesComplete = complete;
    if (complete)
        Q_EMIT imagesCompletedForTesting();
}

// ---- Events

void PdfPageView::paintEvent(QPaintEvent *event)
{
    // A move to a screen of another pixel density asks for images of another size.
    if (devicePixelRatioF() != m_paintedPixelRatio) {
        m_paintedPixelRatio = devicePixelRatioF();
        scheduleRenders();
    }
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_background);
    if (!m_document) {
        const int margin = 24;
        painter.setPen(m_background.lightness() < 128 ? Qt::white : Qt::black);
        painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                         Qt::AlignCenter | Qt::TextWordWrap, m_message);
        if (m_focusRingShown)
            LyrafoldTheme::drawFocusRing(painter, viewport()->rect(), 4, m_background);
        return;
    }
    const QPointF origin = spreadOrigin();
    const double scale = deviceScale();
    for (const PageLayout::PlacedPage &placed : m_layout.pages) {
        const QRectF page = placed.rect.translated(origin);
        if (!page.intersects(event->rect()))
            continue;
        painter.fillRect(page, Qt::white);
        painter.save();
        painter.setClipRect(page);
        // Images at other scales first, stretched, the sharp one last and on top.
        for (const PageImageCache::Entry *entry : m_cache.imagesOf(placed.page, scale)) {
            const double unitsPerPixel = m_scale / entry->request.scale;
            const QRectF target(page.topLeft() + QPointF(entry->area.topLeft()) * unitsPerPixel,
                                QSizeF(entry->area.size()) * unitsPerPixel);
            painter.setRenderHint(QPainter::SmoothPixmapTransform,
                                  !qFuzzyCompare(entry->request.scale, scale));
            painter.drawImage(target, entry->image);
        }
        painter.restore();
        painter.setPen(QColor(0, 0, 0, 60));
        painter.drawRect(page.adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    paintAnnotations(painter);
    if (m_focusRingShown)
        LyrafoldTheme::drawFocusRing(painter, viewport()->rect(), 4, m_background);
}

void PdfPageView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Ringed when the keys brought the focus here; the page the viewer opens on, or a click, is not
    // framed.
    m_focusRingShown = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    viewport()->update();
}

void PdfPageView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_focusRingShown = false;
    viewport()->update();
}

void PdfPageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void PdfPageView::scrollContentsBy(int, int)
{
    viewport()->update();
    Q_EMIT visibleAreaChanged();
    scheduleRenders();
}

void PdfPageView::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
}

// ---- Annotations

void PdfPageView::setAnnotations(const AnnotationDocument *annotations)
{
    if (m_annotations)
        disconnect(m_annotations, nullptr, this, nullptr);
    m_annotations = annotations;
    m_annotationSlots.clear();
    if (annotations) {
        connect(annotations, &AnnotationDocument::pageChanged, this, &PdfPageView::annotationsChanged);
        connect(annotations, &AnnotationDocument::replaced, this, [this] {
            m_annotationSlots.clear();
            updateAnnotationLayers();
            viewport()->update();
        });
    }
    updateAnnotationLayers();
    viewport()->update();
}

void PdfPageView::setLiveStroke(int pageIndex, const StrokeRecord &stroke)
{
    const auto reach = [&](const std::optional<std::pair<int, StrokeRecord>> &live) {
        if (!live || live->second.points.isEmpty())
            return QRect();
        QPolygonF points;
        const QTransform transform = pageToView(live->first);
        for (const PointRecord &point : live->second.points)
            points.append(transform.map(QPointF(point.x, point.y)));
        const double margin = live->second.thickness / 2 + 2;
        return points.boundingRect().adjusted(-margin, -margin, margin, margin).toAlignedRect();
    };
    // Only the newest piece of the line needs painting.
    std::optional<std::pair<int, StrokeRecord>> tail = std::pair(pageIndex, stroke);
    tail->second.points = stroke.points.mid(std::max<qsizetype>(0, stroke.points.size() - 2));
    m_liveStroke = std::pair(pageIndex, stroke);
    viewport()->update(reach(tail));
}

void PdfPageView::clearLiveStroke()
{
    if (!m_liveStroke)
        return;
    m_liveStroke.reset();
    viewport()->update();
}

bool PdfPageView::annotationLayersComplete() const
{
    for (auto it = m_annotationSlots.cbegin(); it != m_annotationSlots.cend(); ++it) {
        if (it->drawingAside || (m_annotations && it->version != m_annotations->version(it.key())) ||
            !(it->layer.isNull() || it->layer.geometry() == annotationGeometry(it.key())))
            return false;
    }
    return true;
}

PdfPageView::Shown PdfPageView::shownForTesting() const
{
    Shown shown{m_message, m_background, m_scrollBarsShown, {}, m_imagesComplete, annotationLayersComplete(),
                &m_cache};
    for (const int page : visiblePages())
        shown.pageRects.insert(page, pageRect(page));
    return shown;
}

AnnotationLayerGeometry PdfPageView::annotationGeometry(int pageIndex) const
{
    const double scale = deviceScale();
    return {pageGeometry(pageIndex).userToShown() * QTransform::fromScale(scale, scale), devicePixelRatioF()};
}

void PdfPageView::updateAnnotationLayers()
{
    if (!m_annotations || !m_document) {
        m_annotationSlots.clear();
        return;
    }
    const QList<int> shown = visiblePages();
    m_annotationSlots.removeIf([&](const auto &slot) { return !shown.contains(slot.key()); });
    const double ratio = devicePixelRatioF();
    const QSizeF around = QSizeF(viewport()->size()) * ratio * annotationMargin;
    for (const int page : shown) {
        if (!m_annotations->pageHasAnnotations(page)) {
            m_annotationSlots.remove(page);
            continue;
        }
        AnnotationSlot &slot = m_annotationSlots[page];
        const quint64 version = m_annotations->version(page);
        const AnnotationLayerGeometry geometry = annotationGeometry(page);
        const QList<StrokeRecord> strokes = m_annotations->strokes(page);
        const QList<TextRecord> texts = m_annotations->texts(page);
        if (slot.boundsVersion != version || !(slot.boundsGeometry == geometry)) {
            slot.bounds = AnnotationLayer::bounds(strokes, texts, geometry);
            slot.boundsVersion = version;
            slot.boundsGeometry = geometry;
        }
        // What is in view and around it, in the pixels of the whole page.
        const QPointF origin = pageRect(page).topLeft() * ratio;
        const QRectF inView = QRectF(QPointF(), QSizeF(viewport()->size()) * ratio).translated(-origin);
        const QRect wanted =
            snappedOutward(inView.adjusted(-around.width(), -around.height(), around.width(), around.height())
                               .toAlignedRect())
                .intersected(slot.bounds);
        if (wanted.isEmpty()) {
            slot.layer = {};
            slot.version = version;
            continue;
        }
        const bool current =
            !slot.layer.isNull() && slot.version == version && slot.layer.geometry() == geometry;
        if (current && slot.layer.region().contains(wanted))
            continue;
        if (slot.drawingAside)
            continue; // asked again when it arrives
        qsizetype points = 0;
        for (const StrokeRecord &stroke : strokes)
            points += stroke.points.size();
        if (points + texts.size() * 50 < annotationPointsDrawnAside) {
            slot.layer = AnnotationLayer::render(strokes, texts, geometry, wanted);
            slot.version = version;
            viewport()->update();
        } else {
            drawAside(page, version, geometry, wanted);
        }
    }
}

void PdfPageView::drawAside(int page, quint64 version, const AnnotationLayerGeometry &geometry,
                            const QRect &region)
{
    m_annotationSlots[page].drawingAside = true;
    Hop::run(
        this,
        [strokes = m_annotations->strokes(page), texts = m_annotations->texts(page), geometry, region] {
            return AnnotationLayer::renderInBands(strokes, texts, geometry, region, annotationThreads);
        },
        [this, page, version](AnnotationLayer layer) {
            const auto found = m_annotationSlots.find(page);
            if (found == m_annotationSlots.end())
                return;
            found->drawingAside = false;
            // A layer of another scale still stands in better than nothing; one of older annotations
            // does not.
            if (m_annotations && version == m_annotations->version(page)) {
                found->layer = std::move(layer);
                found->version = version;
                viewport()->update();
            }
            updateAnnotationLayers();
        },
        &m_annotationPool);
}

void PdfPageView::annotationsChanged(qint64 page, quint64 previousVersion, AnnotationDocument::Change change)
{
    const auto found = m_annotationSlots.find(int(page));
    if (change != AnnotationDocument::Change::other && found != m_annotationSlots.end() &&
        addToLayer(*found, page, previousVersion, change == AnnotationDocument::Change::strokeAppended)) {
        viewport()->update();
        return;
    }
    updateAnnotationLayers();
    viewport()->update();
}

bool PdfPageView::addToLayer(AnnotationSlot &slot, qint64 page, quint64 previousVersion, bool stroke)
{
    const AnnotationLayerGeometry geometry = annotationGeometry(int(page));
    if (slot.layer.isNull() || slot.version != previousVersion || !(slot.layer.geometry() == geometry))
        return false;
    const quint64 version = m_annotations->version(page);
    if (stroke) {
        const StrokeRecord added = m_annotations->strokes(page).constLast();
        slot.layer.growTo(AnnotationLayer::bounds({added}, {}, geometry));
        slot.layer.addStroke(added);
    } else {
        const TextRecord added = m_annotations->texts(page).constLast();
        slot.layer.growTo(AnnotationLayer::bounds({}, {added}, geometry));
        slot.layer.addText(added);
    }
    slot.version = version;
    return true;
}

void PdfPageView::paintAnnotations(QPainter &painter)
{
    for (const PageLayout::PlacedPage &placed : m_layout.pages) {
        const auto found = m_annotationSlots.constFind(placed.page);
        if (found == m_annotationSlots.constEnd() || found->layer.isNull())
            continue;
        const AnnotationLayer &layer = found->layer;
        // The layer may be of another scale, until the one of this scale arrives.
        const QTransform pixelsToView = layer.geometry().userToPixels.inverted() * pageToView(placed.page);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        layer.paint(painter, pixelsToView.mapRect(QRectF(layer.region())));
    }
    if (m_liveStroke)
        AnnotationLayer::paintStroke(painter, m_liveStroke->second, pageToView(m_liveStroke->first));
}
