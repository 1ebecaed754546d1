// The viewer's annotations on a page that carries a great many: 2,000 strokes of 50 points (a quarter
// of them highlighter) and 200 notes on a songbook page shown at 1920 x 1080. The paint after a zoom
// change (the layer of the previous scale standing in while the new one is drawn aside, and how long
// that takes), the repaint after a scroll, and what a finished stroke costs the interface thread: the
// layer drawn on, the repaint and the save handed to its worker.

#include "TestHarness.h"
#include "core/annotations/BookAnnotations.h"
#include "core/storage/StateFile.h"
#include "core/viewer/ViewerZoom.h"
#include "ui/viewer/PdfPageView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

const QString songbook = TestHarness::testData(QStringLiteral("books/songs-from-the-public-domain.pdf"));
constexpr int shownPage = 11;

bool waitFor(const std::function<bool()> &done, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    return done();
}

double between(QRandomGenerator &random, double low, double high)
{
    return low + random.bounded(high - low);
}

StrokeRecord randomStroke(QRandomGenerator &random, bool highlighter)
{
    StrokeRecord stroke;
    double x = between(random, 40.0, 560.0);
    double y = between(random, 40.0, 750.0);
    for (int i = 0; i < 50; ++i) {
        x += between(random, -3.0, 5.0);
        y += between(random, -3.0, 3.0);
        stroke.points.append({x, y});
    }
    stroke.color = highlighter ? ColorRecord{1, 0.8, 0, 1} : ColorRecord{1, 0.23, 0.19, 1};
    stroke.thickness = highlighter ? 10 : 3;
    stroke.opacity = highlighter ? 0.28 : 1;
    stroke.isHighlighter = highlighter;
    return stroke;
}

PdfEditCacheFile heavyPage()
{
    QRandomGenerator random(14);
    PdfEditCacheFile file;
    QList<StrokeRecord> strokes;
    for (int i = 0; i < 2000; ++i)
        strokes.append(randomStroke(random, i % 4 == 0));
    QList<TextRecord> notes;
    for (int i = 0; i < 200; ++i)
        notes.append(TextRecord{{between(random, 40.0, 500.0), between(random, 40.0, 750.0)},
                                QStringLiteral("note %1").arg(i),
                                {0, 0, 1, 1},
                                1,
                                16});
    file.strokesByPage.insert(shownPage, strokes);
    file.textsByPage.insert(shownPage, notes);
    return file;
}

// The annotations of the songbook read from their file, and a page view showing them.
struct Scene {
    BookAnnotations annotations;
    PdfPageView view;

    bool open(double zoom, bool annotated = true)
    {
        if (!PdfEditCacheCodec::save(songbook, annotated ? heavyPage() : PdfEditCacheFile()))
            return false;
        annotations.open(songbook);
        Result<PdfDocumentPtr> document = PdfDocument::open(songbook);
        if (!document || !waitFor([&] { return annotations.isReady(); }))
            return false;
        view.resize(1920, 1080);
        view.show();
        view.setDocument(document.value());
        view.goToPage(shownPage);
        const std::optional<double> fit =
            ViewerZoom::fitScale(view.pageGeometry(shownPage).shownSize(), QSizeF(view.size()), false);
        view.setScaleFactor(*fit * zoom);
        view.setAnnotations(&annotations.document());
        return settled();
    }

    bool settled()
    {
        return waitFor([&] {
            return view.shownForTesting().imagesComplete && view.shownForTesting().annotationLayersComplete;
        });
    }
};

void BM_AnnotationsPaintAfterZoom(benchmark::State &state)
{
    Scene scene;
    if (!scene.open(1.0)) {
        state.SkipWithError("cannot show the annotated page");
        return;
    }
    const double fitted = scene.view.scaleFactor();
    double asideMs = 0;
    int rounds = 0;
    for (auto _ : state) {
        scene.view.setScaleFactor(rounds % 2 ? fitted : fitted * 1.25);
        scene.view.viewport()->repaint();
        state.PauseTiming();
        QElapsedTimer aside;
        aside.start();
        if (!scene.settled())
            state.SkipWithError("the layer did not arrive");
        asideMs += double(aside.nsecsElapsed()) / 1e6;
        ++rounds;
        state.ResumeTiming();
    }
    state.counters["sharp_layer_ms"] = asideMs / rounds;
}
BENCHMARK(BM_AnnotationsPaintAfterZoom)->Unit(benchmark::kMillisecond)->Iterations(20);

// Without annotations, for comparison: what the page alone costs.
void BM_AnnotationsScrollRepaint(benchmark::State &state, bool annotated)
{
    Scene scene;
    if (!scene.open(1.6, annotated)) {
        state.SkipWithError("cannot show the annotated page");
        return;
    }
    QScrollBar *scroll = scene.view.verticalScrollBar();
    int step = 40;
    for (auto _ : state) {
        if (scroll->value() + step > scroll->maximum() || scroll->value() + step < 0)
            step = -step;
        scroll->setValue(scroll->value() + step);
        scene.view.viewport()->repaint();
    }
}
BENCHMARK_CAPTURE(BM_AnnotationsScrollRepaint, annotated, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);
BENCHMARK_CAPTURE(BM_AnnotationsScrollRepaint, plain, false)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_AnnotationsCommitStroke(benchmark::State &state)
{
    Scene scene;
    if (!scene.open(1.0)) {
        state.SkipWithError("cannot show the annotated page");
        return;
    }
    QRandomGenerator random(7);
    for (auto _ : state) {
        state.PauseTiming();
        const StrokeRecord stroke = randomStroke(random, false);
        state.ResumeTiming();
        scene.annotations.document().addStroke(shownPage, stroke);
        scene.annotations.save();
        scene.view.viewport()->repaint();
        state.PauseTiming();
        if (!scene.view.shownForTesting().annotationLayersComplete)
            state.SkipWithError("the stroke was not added in place");
        StateFile::waitForAllPendingWrites();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AnnotationsCommitStroke)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace
