// The PDF viewer's page view on the real books: a page turn to a page rendered ahead, a cold render
// (a fresh document, as after opening a book) of an engraved and of a scanned page at 1200 x 1600
// pixels, and the peak memory while paging through the whole songbook zoomed to twice the fit.

#include "core/viewer/ViewerZoom.h"
#include "pdf/view/PageRenderQueue.h"
#include "ui/viewer/PdfPageView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

QString testData(const char *relativePath)
{
    return QStringLiteral(LYRAFOLD_TESTDATA_DIR "/") + QLatin1String(relativePath);
}

const QString songbook = testData("books/songs-from-the-public-domain.pdf");
const QString scan = testData("scans/beethoven-sonata-19-op49-1.pdf");

// Runs the event loop until the view has every image it wants, or the time is up.
bool waitForImages(PdfPageView &view, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!view.imagesComplete() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    return view.imagesComplete();
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

qint64 statusKilobytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
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
        const int next = page + 1 < view->pageCount() ? page + 1 : 0;
        state.PauseTiming();
        const QRect whole = view->pageRect(page).toAlignedRect();
        const bool ahead = view->imageCache().imagesOf(next, scale).size() > 0;
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
    const QRect shown = view->pageRect(page).toAlignedRect();
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

// Every page of the 193-page songbook in turn, at twice the fitted scale in a 1200 x 900 view, each
// waited for until drawn. The peak is the process's resident high-water mark from the start of the
// paging (reset through /proc/self/clear_refs), so run this benchmark on its own for a clean figure.
void BM_ViewerPagingMemory(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<PdfPageView> view = openView(songbook, QSize(1200, 900), 2.0);
        if (!view) {
            state.SkipWithError("cannot open the songbook");
            return;
        }
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        const bool resetPeak = reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
        reset.close();
        const qint64 before = statusKilobytes("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        for (int page = 0; page < view->pageCount(); ++page) {
            view->goToPage(page);
            view->viewport()->repaint();
            if (!waitForImages(*view)) {
                state.SkipWithError("a page was not rendered");
                return;
            }
        }
        state.counters["pages"] = view->pageCount();
        state.counters["ms_per_page"] = double(timer.elapsed()) / view->pageCount();
        state.counters["rss_before_MB"] = double(before) / 1024;
        state.counters["peak_rss_MB"] = resetPeak ? double(statusKilobytes("VmHWM:")) / 1024 : -1;
        state.counters["cache_MB"] = double(view->imageCache().bytes()) / (1024 * 1024);
    }
}
BENCHMARK(BM_ViewerPagingMemory)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
