// The PDF viewer's page view on the real books: a page turn to a page rendered ahead, a cold render
// (a fresh document, as after opening a book) of an engraved and of a scanned page at 1200 x 1600
// pixels, a zoom burst over a 600-dpi scan, a viewer closed in the middle of a zoom over that scan, and
// the peak memory while paging through the whole songbook zoomed to twice the fit.

#include "BenchChild.h"
#include "PeakMemory.h"
#include "TestHarness.h"
#include "ViewerParts.h"
#include "core/viewer/ViewerZoom.h"
#include "pdf/view/PageRenderQueue.h"
#include "pdf/view/RetiredThreads.h"
#include "ui/app/AppContext.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include <benchmark/benchmark.h>

namespace {

QString testData(const char *relativePath)
{
    return TestHarness::testData(QLatin1String(relativePath));
}

const QString songbook = testData("books/songs-from-the-public-domain.pdf");
const QString scan = testData("scans/beethoven-sonata-19-op49-1.pdf");

// Runs the event loop until the view has every image it wants, or the time is up.
bool waitForImages(PdfPageView &view, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!view.shownForTesting().imagesComplete && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    return view.shownForTesting().imagesComplete;
}

// A shown page view of the book, its first page fitted into the view.
std::unique_ptr<PdfPageView> openView(const QString &path, const QSize &size, double zoom = 1.0)
{
    Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document)
        return nullptr;
    auto view = std::make_unique<PdfPageView>();
    view->resize(size);
    view->show();
    view->setDocument(document.value());
    const std::optional<double> fit =
        ViewerZoom::fitScale(view->pageGeometry(0).shownSize(), QSizeF(view->size()), false);
    view->setScaleFactor(*fit * zoom);
    return view;
}

// Time from the turn to the painted page, when the page was rendered ahead: the turn, the layout and
// a synchronous paint of the view. The page is about 1200 x 1600 pixels.
void BM_ViewerPageTurnRenderedAhead(benchmark::State &state)
{
    std::unique_ptr<PdfPageView> view = openView(songbook, QSize(1240, 1640));
    if (!view || !waitForImages(*view)) {
        state.SkipWithError("cannot open or render the songbook");
        return;
    }
    const double scale = view->scaleFactor() * view->devicePixelRatioF();
    int page = 10;
    view->goToPage(page);
    waitForImages(*view);
    for (auto _ : state) {
        const int next = page + 1 < view->document()->pageCount() ? page + 1 : 0;
        state.PauseTiming();
        const QRect whole = view->shownForTesting().pageRects.value(page).toAlignedRect();
        const bool ahead = view->shownForTesting().imageCache->imagesOf(next, scale).size() > 0;
        state.ResumeTiming();
        view->goToPage(next);
        view->viewport()->repaint();
        state.PauseTiming();
        if (!ahead)
            state.SkipWithError("the next page was not rendered ahead");
        benchmark::DoNotOptimize(whole);
        page = next;
        waitForImages(*view);
        state.ResumeTiming();
    }
    const QRect shown = view->shownForTesting().pageRects.value(page).toAlignedRect();
    state.counters["page_px"] = double(shown.width()) * shown.height();
}
BENCHMARK(BM_ViewerPageTurnRenderedAhead)->Unit(benchmark::kMillisecond)->Iterations(60);

// From asking the render thread for a page of a book it has not opened to the image arriving on the
// interface thread: opening the book, the first render (fonts not yet loaded), the conversion.
void BM_ViewerColdRender(benchmark::State &state, const QString &path, int pageIndex)
{
    Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document) {
        state.SkipWithError("cannot open");
        return;
    }
    const QSizeF size = document.value()->pageSize(pageIndex);
    const double scale = PdfDocument::fitScale(size, QSizeF(1200, 1600));
    QSize pixels;
    for (auto _ : state) {
        PageRenderQueue queue;
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&queue, &PageRenderQueue::rendered, &loop,
                         [&](const PageRenderRequest &, const QImage &image) {
                             pixels = image.size();
                             ok = true;
                             loop.quit();
                         });
        QObject::connect(&queue, &PageRenderQueue::renderFailed, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        queue.setDocumentPath(path);
        queue.setPending({{pageIndex, scale, QRect()}});
        loop.exec();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!ok)
            state.SkipWithError("render failed");
    }
    state.counters["width"] = pixels.width();
    state.counters["height"] = pixels.height();
}
BENCHMARK_CAPTURE(BM_ViewerColdRender, engraved, songbook, 11)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerColdRender, scanned, scan, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// How long the render thread stays busy with a render that is given up: given up before it starts (0),
// some milliseconds into it, or never (-1, the whole render), on a page fitted into 1200 x 1600 pixels
// of a warm document. busy_ms runs from the moment it is given up (the start, for a whole render) to the
// renderer's return.
void BM_ViewerRenderGivenUp(benchmark::State &state, const QString &path, int pageIndex, int afterMs)
{
    Result<PdfDocumentPtr> opened = PdfDocument::open(path);
    if (!opened) {
        state.SkipWithError("cannot open");
        return;
    }
    const PdfDocumentPtr document = opened.value();
    const double scale = PdfDocument::fitScale(document->pageSize(pageIndex), QSizeF(1200, 1600));
    if (!document->render(pageIndex, scale)) {
        state.SkipWithError("cannot render");
        return;
    }
    double busyMs = 0;
    for (auto _ : state) {
        std::atomic<bool> givenUp = afterMs == 0;
        QElapsedTimer clock;
        clock.start();
        std::thread stopper;
        if (afterMs > 0)
            stopper = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
                givenUp = true;
            });
        benchmark::DoNotOptimize(document->render(pageIndex, scale, QRect(), &givenUp));
        const double elapsedMs = double(clock.nsecsElapsed()) / 1e6;
        if (stopper.joinable())
            stopper.join();
        const double busy = elapsedMs - std::max(afterMs, 0);
        busyMs += std::max(busy, 0.0);
        state.SetIterationTime(std::max(busy, 0.0) / 1e3);
    }
    state.counters["busy_ms"] = busyMs / double(state.iterations());
}
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, scanned_whole, scan, 0, -1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, scanned_before_start, scan, 0, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, scanned_after_30ms, scan, 0, 30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, engraved_whole, songbook, 11, -1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, engraved_before_start, songbook, 11, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ViewerRenderGivenUp, engraved_after_5ms, songbook, 11, 5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// A zoom burst over a 600-dpi scanned page, as the render queue sees it from a 1200 x 900 view: every
// 40 ms the part of the page in view (with the view's margin) at a scale 10% larger, twelve times,
// from the fit to about three times it. Measured: from the last request to its image (shown_ms), the
// same render of the last request alone on a warm book (single_ms) and the ratio of the two, from
// then until the queue has nothing left under way (busy_after_shown_ms), how many images of
// superseded requests were still rendered (wasted_renders), and, for a render 30 ms under way when
// nothing is wanted any more, how long until the render thread is free (stop_ms).
void BM_ViewerZoomBurstOverScan(benchmark::State &state)
{
    Result<PdfDocumentPtr> document = PdfDocument::open(scan);
    if (!document) {
        state.SkipWithError("cannot open the scan");
        return;
    }
    const QSizeF pageSize = document.value()->pageSize(0);
    const QSize view(1200, 900);
    const double fit = PdfDocument::fitScale(pageSize, QSizeF(view));
    constexpr int steps = 12;
    constexpr int stepMs = 40;
    const auto requestAt = [&](int step) {
        const double scale = fit * std::pow(1.1, step);
        const QRect whole(QPoint(), (pageSize * scale).toSize());
        // The view's centre stays on the page's centre; the margin is half the view on every side.
        QRect region(QPoint(), view * 2);
        region.moveCenter(whole.center());
        region = region.intersected(whole);
        return PageRenderRequest{0, scale, region == whole ? QRect() : region};
    };
    double shownMs = 0;
    double busyMs = 0;
    double stopMs = 0;
    double singleMs = 0;
    int wasted = 0;
    for (auto _ : state) {
        {
            const PageRenderRequest alone = requestAt(steps - 1);
            document.value()->render(0, fit);
            QElapsedTimer single;
            single.start();
            benchmark::DoNotOptimize(document.value()->render(0, alone.scale, alone.region));
            singleMs += double(single.nsecsElapsed()) / 1e6;
        }
        PageRenderQueue queue;
        queue.setDocumentPath(scan);
        // As the view tells it: the page is shown, and the view zooms to four times.
        queue.setShown({0}, ViewerZoom::maxScaleFactor);
        // The book opened and its fonts and image decoders warm, as in a viewer already showing it.
        {
            QEventLoop loop;
            QObject::connect(&queue, &PageRenderQueue::rendered, &loop, &QEventLoop::quit);
            QObject::connect(&queue, &PageRenderQueue::renderFailed, &loop, &QEventLoop::quit);
            queue.setPending({requestAt(-1)});
            loop.exec();
        }
        const PageRenderRequest last = requestAt(steps - 1);
        QElapsedTimer sinceLast;
        std::optional<qint64> shownAt;
        int superseded = 0;
        QEventLoop loop;
        QObject::connect(&queue, &PageRenderQueue::rendered, &loop,
                         [&](const PageRenderRequest &request, const QImage &) {
                             if (request == last) {
                                 shownAt = sinceLast.nsecsElapsed();
                                 loop.quit();
                             } else {
                                 ++superseded;
                             }
                         });
        QObject::connect(&queue, &PageRenderQueue::renderFailed, &loop, &QEventLoop::quit);
        for (int step = 0; step < steps; ++step) {
            queue.setPending({requestAt(step)});
            if (step + 1 < steps) {
                QTimer::singleShot(stepMs, &loop, &QEventLoop::quit);
                loop.exec();
            }
        }
        sinceLast.start();
        if (!shownAt)
            loop.exec();
        if (!shownAt) {
            state.SkipWithError("the last image did not arrive");
            return;
        }
        QElapsedTimer idle;
        idle.start();
        while (!queue.isIdleForTesting())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        shownMs += double(*shownAt) / 1e6;
        busyMs += double(idle.nsecsElapsed()) / 1e6;
        queue.setPending({requestAt(steps)});
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        queue.setPending({});
        QElapsedTimer stop;
        stop.start();
        while (!queue.isIdleForTesting())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        stopMs += double(stop.nsecsElapsed()) / 1e6;
        wasted += superseded;
        state.SetIterationTime(double(*shownAt) / 1e9);
    }
    const double runs = double(state.iterations());
    state.counters["shown_ms"] = shownMs / runs;
    state.counters["single_ms"] = singleMs / runs;
    state.counters["shown_over_single"] = shownMs / singleMs;
    state.counters["busy_after_shown_ms"] = busyMs / runs;
    state.counters["wasted_renders"] = wasted / runs;
    state.counters["stop_ms"] = stopMs / runs;
}
BENCHMARK(BM_ViewerZoomBurstOverScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A viewer of the 600-dpi scan in a 1200 x 900 window, its page drawn, zoomed in once (a render at the
// new scale, and the page's large image to zoom from, both under way) and closed 30 ms later, as
// opening another song closes it: how long the close holds the UI thread, from close() until the
// window is deleted. The renders it gave up finish between iterations, outside the measure.
void BM_ViewerCloseDuringZoomOverScan(benchmark::State &state)
{
    AppContext context;
    double longestMs = 0;
    for (auto _ : state) {
        auto *viewer = new PdfViewerWindowController(context, scan, 1, std::nullopt, std::nullopt, 0, {});
        viewer->resize(1200, 900);
        viewer->show();
        PdfPageView *view = ViewerParts::pageView(*viewer);
        // The fit comes a moment after the window shows.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!waitForImages(*view)) {
            state.SkipWithError("the page was not drawn");
            delete viewer;
            return;
        }
        ViewerParts::press(*viewer, "zoomInButton");
        QElapsedTimer underWay;
        underWay.start();
        while (underWay.elapsed() < 30)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (view->shownForTesting().imagesComplete) {
            state.SkipWithError("the zoom was drawn within 30 ms: nothing was under way");
            delete viewer;
            return;
        }
        QElapsedTimer closing;
        closing.start();
        viewer->close();
        delete viewer;
        const double closeMs = double(closing.nsecsElapsed()) / 1e6;
        state.SetIterationTime(closeMs / 1e3);
        longestMs = std::max(longestMs, closeMs);
        RetiredThreads::waitForAll();
    }
    state.counters["longest_close_ms"] = longestMs;
}
BENCHMARK(BM_ViewerCloseDuringZoomOverScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Every page of the 193-page songbook in turn, at twice the fitted scale in a 1200 x 900 view, each
// waited for until drawn. The paging runs in a fresh process of this program (BenchChild);
// peak_growth_MB is how far its resident memory rose above what it was when the paging began.
void pageThroughTheSongbook(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<PdfPageView> view = openView(songbook, QSize(1200, 900), 2.0);
        if (!view) {
            state.SkipWithError("cannot open the songbook");
            return;
        }
        const PeakMemory::Scope peak;
        QElapsedTimer timer;
        timer.start();
        for (int page = 0; page < view->document()->pageCount(); ++page) {
            view->goToPage(page);
            view->viewport()->repaint();
            if (!waitForImages(*view)) {
                state.SkipWithError("a page was not rendered");
                return;
            }
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["pages"] = view->document()->pageCount();
        state.counters["ms_per_page"] = double(timer.elapsed()) / view->document()->pageCount();
        state.counters["peak_growth_MB"] = peak.megabytes();
        state.counters["cache_MB"] = double(view->shownForTesting().imageCache->bytes()) / (1024 * 1024);
    }
}

void BM_ViewerPagingMemory(benchmark::State &state)
{
    if (BenchChild::inChild()) {
        pageThroughTheSongbook(state);
        return;
    }
    for (auto _ : state) {
        if (!BenchChild::run(state, QStringLiteral("BM_ViewerPagingMemory")))
            return;
    }
}
BENCHMARK(BM_ViewerPagingMemory)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
