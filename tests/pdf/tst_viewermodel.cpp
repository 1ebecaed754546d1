#include "PdfFixtures.h"
#include "TestHarness.h"
#include "pdf/annotations/AnnotationLayer.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/render/ScannedPageImage.h"
#include "pdf/view/PageGeometry.h"
#include "pdf/view/PageImageCache.h"
#include "pdf/view/PageRenderQueue.h"
#include "pdf/view/RetiredThreads.h"
#include "pdf/view/ScannedPageMasters.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <memory>
#include <optional>

namespace {

bool isBlack(const QImage &image, const QPointF &point)
{
    return qGray(image.pixel(point.toPoint())) < 64;
}

const QString scan = TestHarness::testData("scans/beethoven-sonata-19-op49-1.pdf");

// How far two images of the same size lie apart in grey: the mean difference, and the difference that
// 99% of the pixels stay within.
std::pair<double, int> greyDistance(const QImage &a, const QImage &b)
{
    std::array<qint64, 256> counts{};
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const int difference = qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            ++counts[size_t(difference)];
            sum += difference;
        }
    }
    const qint64 pixels = qint64(a.width()) * a.height();
    qint64 within = 0;
    int level = 0;
    while (within + counts[size_t(level)] < pixels * 99 / 100)
        within += counts[size_t(level++)];
    return {sum / double(pixels), level};
}

} // namespace

class ViewerModelTest : public QObject {
    Q_OBJECT

    // What the scanned-page zoom rows share, as a viewer zooming in step by step would: the page rendered
    // once at the largest zoom, and one queue showing the page, which made such an image of its own.
    std::optional<ScannedPageImage> m_largeScan;
    std::unique_ptr<PageRenderQueue> m_scanQueue;

private Q_SLOTS:
    // ---- Geometry

    // A page's visible box and rotation as the renderer draws them: the shown size matches the
    // renderer's, a point in the black top-left quarter of the drawing maps onto black in a render,
    // and every mapping goes back to where it started.
    void pageGeometryFollowsTheRenderer_data()
    {
        QTest::addColumn<QSizeF>("mediaSize");
        QTest::addColumn<QRectF>("cropBox");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSizeF>("shown");
        QTest::newRow("plain") << QSizeF(600, 800) << QRectF() << 0 << QSizeF(600, 800);
        QTest::newRow("90") << QSizeF(600, 800) << QRectF() << 90 << QSizeF(800, 600);
        QTest::newRow("180") << QSizeF(600, 800) << QRectF() << 180 << QSizeF(600, 800);
        QTest::newRow("270, landscape") << QSizeF(800, 600) << QRectF() << 270 << QSizeF(600, 800);
        QTest::newRow("-90 is 270") << QSizeF(600, 800) << QRectF() << -90 << QSizeF(800, 600);
        QTest::newRow("450 is 90") << QSizeF(600, 800) << QRectF() << 450 << QSizeF(800, 600);
        QTest::newRow("cropped") << QSizeF(600, 800) << QRectF(50, 100, 400, 500) << 0 << QSizeF(400, 500);
        QTest::newRow("cropped, 90") << QSizeF(600, 800) << QRectF(50, 100, 400, 500) << 90
                                     << QSizeF(500, 400);
        QTest::newRow("cropped, 270")
            << QSizeF(600, 800) << QRectF(20, 30, 300, 700) << 270 << QSizeF(700, 300);
        QTest::newRow("crop past the media box is clipped")
            << QSizeF(600, 800) << QRectF(300, 400, 500, 300) << 0 << QSizeF(300, 300);
        QTest::newRow("crop taller than the media box")
            << QSizeF(600, 800) << QRectF(100, -50, 200, 900) << 180 << QSizeF(200, 800);
    }

    void pageGeometryFollowsTheRenderer()
    {
        QFETCH(QSizeF, mediaSize);
        QFETCH(QRectF, cropBox);
        QFETCH(int, rotation);
        QFETCH(QSizeF, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        PdfFixtures::write(path, {{mediaSize, rotation, cropBox}});
        const Result<PdfDocumentPtr> document = PdfDocument::open(path);
        QVERIFY(document);
        const PageGeometry geometry =
            PageGeometry::fromBoxes(document.value()->pageBoxes(0).value(), document.value()->pageSize(0));
        QCOMPARE(geometry.shownSize(), shown);
        QCOMPARE(document.value()->pageSize(0), shown);

        const double scale = 0.5;
        const QImage image = document.value()->render(0, scale).value();
        // The fixture blackens the drawing's top-left quarter: in user space x below a quarter of the
        // width, y above three quarters of the height. Probe inside the visible box, away from edges.
        const QRectF black(0, mediaSize.height() * 0.75, mediaSize.width() / 4, mediaSize.height() / 4);
        const QRectF media(QPointF(), mediaSize);
        const QRectF visible = cropBox.isNull() ? media : cropBox.intersected(media);
        const QList<QPointF> probes = {visible.topLeft() + QPointF(3, 3),
                                       visible.bottomRight() - QPointF(3, 3),
                                       QPointF(visible.left() + 3, visible.bottom() - 3),
                                       QPointF(visible.right() - 3, visible.top() + 3), visible.center()};
        for (const QPointF &user : probes) {
            const QPointF shownPoint = geometry.userToShown().map(user);
            QVERIFY2(QRectF(QPointF(), shown).contains(shownPoint), qPrintable(QString::number(user.x())));
            QCOMPARE(isBlack(image, shownPoint * scale), black.contains(user));
            const QPointF back = geometry.toUser(shownPoint);
            QVERIFY(qAbs(back.x() - user.x()) < 1e-9 && qAbs(back.y() - user.y()) < 1e-9);
        }
    }

    // A layer laid over a page gives what drawing each stroke straight onto the page in order gives:
    // pens cover, highlighters multiply, later on top; whether drawn at once, added one by one or
    // grown from a smaller region.
    void annotationLayerComposes_data()
    {
        QTest::addColumn<int>("how"); // 0 at once, 1 added one by one, 2 grown from a corner
        QTest::newRow("drawn at once") << 0;
        QTest::newRow("added one by one") << 1;
        QTest::newRow("grown from a corner") << 2;
    }

    void annotationLayerComposes()
    {
        QFETCH(int, how);
        const auto line = [](double y, ColorRecord colour, double opacity, bool highlighter) {
            return StrokeRecord{{{10, y}, {190, y}}, colour, 14, opacity, highlighter};
        };
        const QList<StrokeRecord> strokes = {
            line(40, {1, 0, 0, 1}, 1, false),   // red pen
            line(46, {1, 1, 0, 1}, 0.5, true),  // yellow highlighter over it
            line(52, {0, 0, 1, 1}, 0.6, false), // blue pen over both
            line(20, {0, 1, 1, 1}, 1, true),    // a lone highlighter over the dark half
        };
        // Page space, y up, 200 x 200, drawn at two pixels a point.
        const AnnotationLayerGeometry geometry{
            QTransform::fromScale(2, -2) * QTransform::fromTranslate(0, 400), 1};
        QImage page(400, 400, QImage::Format_ARGB32_Premultiplied);
        page.fill(Qt::white);
        QPainter(&page).fillRect(0, 200, 400, 200, QColor(40, 80, 120));
        QImage expected = page;
        {
            QPainter painter(&expected);
            for (const StrokeRecord &stroke : strokes)
                AnnotationLayer::paintStroke(painter, stroke, geometry.userToPixels);
        }
        AnnotationLayer layer;
        const QRect whole(0, 0, 400, 400);
        if (how == 0) {
            layer = AnnotationLayer::render(strokes, {}, geometry, whole);
        } else {
            layer = AnnotationLayer(geometry, how == 1 ? whole : QRect(0, 0, 8, 8));
            for (const StrokeRecord &stroke : strokes) {
                layer.growTo(AnnotationLayer::bounds({stroke}, {}, geometry));
                layer.addStroke(stroke);
            }
        }
        QImage shown = page;
        {
            QPainter painter(&shown);
            layer.paint(painter, layer.region());
        }
        // Inside the lines, where edge smoothing plays no part.
        for (const QPoint probe : {QPoint(200, 320), QPoint(200, 308), QPoint(200, 296), QPoint(200, 360),
                                   QPoint(200, 100), QPoint(30, 250)}) {
            const QRgb a = shown.pixel(probe);
            const QRgb b = expected.pixel(probe);
            QVERIFY2(std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
                         std::abs(qBlue(a) - qBlue(b)) <= 3,
                     qPrintable(QStringLiteral("at %1,%2: %3 against %4")
                                    .arg(probe.x())
                                    .arg(probe.y())
                                    .arg(QColor(a).name(), QColor(b).name())));
        }
    }

    // ---- Rendering

    // Pending requests are replaced, so pages the user has left are never rendered; results of a
    // book that was replaced never arrive.
    void renderQueueKeepsOnlyWhatIsWanted()
    {
        const QString book = TestHarness::testData("books/songs-from-the-public-domain.pdf");
        PageRenderQueue queue;
        QSignalSpy rendered(&queue, &PageRenderQueue::rendered);
        queue.setDocumentPath(book);
        QList<PageRenderRequest> many;
        for (int page = 0; page < 40; ++page)
            many.append({page, 1.0, QRect()});
        queue.setPending(many);
        queue.setPending({{100, 0.5, QRect()}, {101, 0.5, QRect(10, 20, 30, 40)}});
        WAIT_VERIFY(queue.isIdleForTesting());
        QVERIFY(!rendered.isEmpty() && rendered.size() <= 4); // at most two started before the change
        const auto last = rendered.takeLast();
        const PageRenderRequest request = last.at(0).value<PageRenderRequest>();
        QCOMPARE(request.pageIndex, 101);
        const QImage image = last.at(1).value<QImage>();
        QCOMPARE(image.size(), QSize(30, 40));
        QCOMPARE(image.format(), QImage::Format_RGB32);

        // Renders from here on wait at their start until the test lets them go.
        struct Latch {
            QSemaphore started, release;
        };
        const auto latch = std::make_shared<Latch>();
        queue.setRenderStartHookForTesting([latch](const PageRenderRequest &) {
            latch->started.release();
            latch->release.acquire();
        });
        const auto letGo = qScopeGuard([&] {
            queue.setRenderStartHookForTesting({});
            latch->release.release(100);
        });

        // Asked for again while it is being rendered, a page is not rendered twice.
        rendered.clear();
        queue.setPending({{5, 1.5, QRect()}});
        QVERIFY(latch->started.tryAcquire(1, 10000));
        queue.setPending({{5, 1.5, QRect()}});
        latch->release.release();
        WAIT_VERIFY(queue.isIdleForTesting());
        QCOMPARE(rendered.size(), 1);
        QCOMPARE(latch->started.available(), 0);

        // Given up while under way and asked for again at once, a page still arrives, once.
        rendered.clear();
        queue.setPending({{7, 3.0, QRect()}});
        QVERIFY(latch->started.tryAcquire(1, 10000));
        queue.setPending({});
        queue.setPending({{7, 3.0, QRect()}});
        latch->release.release(2);
        WAIT_VERIFY(queue.isIdleForTesting());
        QCOMPARE(rendered.size(), 1);
        QCOMPARE(latch->started.available(), 1); // started again once given up

        // A render given up keeps the thread until the renderer returns, and the queue is busy till then.
        rendered.clear();
        QVERIFY(latch->started.tryAcquire(1, 0));
        queue.setPending({{8, 3.0, QRect()}});
        QVERIFY(latch->started.tryAcquire(1, 10000));
        queue.setPending({});
        QVERIFY(!queue.isIdleForTesting());
        latch->release.release();
        WAIT_VERIFY(queue.isIdleForTesting());
        QCOMPARE(rendered.size(), 0);
        queue.setRenderStartHookForTesting({});

        rendered.clear();
        queue.setPending({{0, 2.0, QRect()}});
        queue.setDocumentPath(TestHarness::testData("books/joplin-pineapple-rag.pdf"));
        WAIT_VERIFY(queue.isIdleForTesting());
        QCOMPARE(rendered.size(), 0);

        QSignalSpy failed(&queue, &PageRenderQueue::renderFailed);
        queue.setPending({{99, 1.0, QRect()}});
        WAIT_COMPARE(failed.size(), 1);
        QCOMPARE(rendered.size(), 0);
    }

    // A queue that goes while a render or a scanned page's large image is under way goes at once: the
    // window closing it does not wait for the renderer, whose thread finishes on its own. One with
    // nothing under way ends its threads at once and hands none over.
    void closingDoesNotWaitForWorkUnderWay_data()
    {
        QTest::addColumn<bool>("largeImage");
        QTest::addColumn<bool>("underWay");
        QTest::newRow("a page render") << false << true;
        QTest::newRow("a scanned page's large image") << true << true;
        QTest::newRow("an idle queue") << false << false;
        QTest::newRow("no large image being made") << true << false;
    }

    void closingDoesNotWaitForWorkUnderWay()
    {
        QFETCH(bool, largeImage);
        QFETCH(bool, underWay);
        // Work held at its start until the test lets it go. Nobody letting it go, it goes on by itself
        // after a while, so that a close that waits fails the test rather than hanging it.
        struct Gate {
            QSemaphore started, release;
            std::atomic<bool> holding = false;
            void hold()
            {
                holding = true;
                started.release();
                release.tryAcquire(1, 5000);
                holding = false;
            }
        };
        const auto gate = std::make_shared<Gate>();
        std::function<void()> close;
        std::function<bool()> idle;
        if (largeImage) {
            const PdfDocumentPtr document = PdfDocument::open(scan).value();
            auto masters = std::make_shared<ScannedPageMasters>([](quint64, int, double) {});
            masters->setStartHookForTesting([gate](int) { gate->hold(); });
            masters->setDocument(1, scan);
            masters->want(1, 0, underWay ? 4.0 : 0.25, *document->scannedImage(0));
            close = [masters]() mutable { masters.reset(); };
            idle = [masters] { return masters->isIdle(); };
        } else {
            auto queue = std::make_shared<PageRenderQueue>();
            queue->setRenderStartHookForTesting([gate](const PageRenderRequest &) { gate->hold(); });
            queue->setDocumentPath(scan);
            queue->setPending({{0, underWay ? 1.0 : 0.1, QRect()}});
            close = [queue]() mutable { queue.reset(); };
            idle = [queue] { return queue->isIdleForTesting(); };
        }
        QVERIFY(gate->started.tryAcquire(1, 10000));
        if (!underWay) {
            gate->release.release();
            WAIT_VERIFY(idle());
        }
        idle = nullptr;
        const int handedOver = RetiredThreads::adoptedForTesting();
        close();
        close = nullptr;
        QCOMPARE(RetiredThreads::adoptedForTesting() - handedOver, underWay ? 1 : 0);
        if (underWay) {
            QVERIFY(gate->holding);
            gate->release.release();
        }
        RetiredThreads::waitForAll();
        QVERIFY(!gate->holding);
    }

    // A book given again at the same path is read again: a file that was broken may be whole now,
    // and one rewritten shows its new pages.
    void renderQueueRereadsABookGivenAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.pdf"));
        TestHarness::writeFile(path, "%PDF-1.4\nnot yet written");
        PageRenderQueue queue;
        QSignalSpy rendered(&queue, &PageRenderQueue::rendered);
        QSignalSpy failed(&queue, &PageRenderQueue::renderFailed);
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        WAIT_COMPARE(failed.size(), 1);

        PdfFixtures::write(path, {PdfFixtures::Page{QSizeF(100, 200), 0, QRectF(), false}});
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        WAIT_VERIFY(queue.isIdleForTesting());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(rendered.size(), 1);
        QCOMPARE(rendered.takeFirst().at(1).value<QImage>().size(), QSize(100, 200));

        PdfFixtures::write(path, {PdfFixtures::Page{QSizeF(300, 150), 0, QRectF(), false}});
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        WAIT_COMPARE(rendered.size(), 1);
        QCOMPARE(rendered.takeFirst().at(1).value<QImage>().size(), QSize(300, 150));
    }

    // A zoom into a scanned page is made from the page rendered once at the largest zoom, and shows
    // what a render at that zoom shows: at most 5 grey levels apart on average (2 to 4 here), and 99% of
    // the pixels within 72 (the renderer's own rounding moves sharp edges by part of a pixel).
    void scannedPageZooms_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("region");
        QTest::newRow("fitted") << 1.1 << QRect();
        QTest::newRow("twice") << 2.2 << QRect();
        QTest::newRow("three times, the part in view") << 3.3 << QRect(700, 900, 900, 700);
    }

    void scannedPageZooms()
    {
        QFETCH(double, scale);
        QFETCH(QRect, region);
        const PdfDocumentPtr document = PdfDocument::open(scan).value();
        if (!m_largeScan)
            m_largeScan = ScannedPageImage::render(*document, 0, 4.0, *document->scannedImage(0));
        QVERIFY(m_largeScan);
        const QImage scaled = *m_largeScan->scaled(scale, region);
        QImage rendered = document->render(0, scale).value();
        if (!region.isNull())
            rendered = rendered.copy(region);
        QCOMPARE(scaled.size(), rendered.size());
        const auto [mean, most] = greyDistance(scaled, rendered);
        QVERIFY2(mean <= 5 && most <= 72, qPrintable(QStringLiteral("%1, %2").arg(mean).arg(most)));

        // The queue makes a shown scan's zoom steps from such an image once it has made it.
        if (!m_scanQueue) {
            m_scanQueue = std::make_unique<PageRenderQueue>();
            QSignalSpy steps(m_scanQueue.get(), &PageRenderQueue::rendered);
            m_scanQueue->setDocumentPath(scan);
            m_scanQueue->setShown({0}, 4.0);
            for (const double step : {0.5, 0.6}) {
                m_scanQueue->setPending({{0, step, QRect()}});
                WAIT_VERIFY(m_scanQueue->isIdleForTesting());
            }
            QCOMPARE(steps.size(), 2);
        }
        QSignalSpy arrived(m_scanQueue.get(), &PageRenderQueue::rendered);
        m_scanQueue->setPending({{0, scale, region}});
        WAIT_VERIFY(m_scanQueue->isIdleForTesting());
        QCOMPARE(arrived.size(), 1);
        QCOMPARE(arrived.last().at(1).value<QImage>(), scaled);
    }

    void imageCacheStaysWithinItsBudget()
    {
        const QImage page(100, 100, QImage::Format_RGB32); // 40,000 bytes
        PageImageCache cache(100'000);
        const PageRenderRequest a{0, 1.0, QRect()}, b{1, 1.0, QRect()}, c{2, 1.0, QRect()};
        cache.insert(a, page);
        cache.insert(b, page);
        QVERIFY(cache.find(0, 1.0, QRect(0, 0, 10, 10))); // a is now the most recently used
        cache.insert(c, page);
        cache.trim({c});
        QCOMPARE(cache.sizeForTesting(), 2);
        QVERIFY(cache.find(0, 1.0, QRect(0, 0, 10, 10)));
        QVERIFY(!cache.find(1, 1.0, QRect(0, 0, 10, 10)));
        // Kept images stay even over the budget.
        cache.insert(b, page);
        cache.trim({a, b, c});
        QCOMPARE(cache.sizeForTesting(), 3);
        cache.trim({});
        QCOMPARE(cache.sizeForTesting(), 2);

        // A region covers only its part; a whole page at the same scale replaces the regions it covers,
        // and images at other scales come first when painting.
        PageImageCache regions;
        regions.insert({5, 2.0, QRect(0, 0, 50, 50)}, QImage(50, 50, QImage::Format_RGB32));
        QVERIFY(regions.find(5, 2.0, QRect(10, 10, 20, 20)));
        QVERIFY(!regions.find(5, 2.0, QRect(40, 40, 20, 20)));
        QVERIFY(!regions.find(5, 1.0, QRect(10, 10, 20, 20)));
        regions.insert({5, 1.0, QRect()}, QImage(60, 60, QImage::Format_RGB32));
        regions.insert({5, 2.0, QRect()}, QImage(120, 120, QImage::Format_RGB32));
        QCOMPARE(regions.sizeForTesting(), 2);
        const QList<const PageImageCache::Entry *> order = regions.imagesOf(5, 2.0);
        QCOMPARE(order.size(), 2);
        QCOMPARE(order.last()->request.scale, 2.0);
    }
};

LYRAFOLD_TEST_MAIN_WITH(QGuiApplication, ViewerModelTest)
#include "tst_viewermodel.moc"
