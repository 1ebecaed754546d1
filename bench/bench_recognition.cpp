// Song recognition from the end of the capture to the result shown in the main window: the 8-second
// clip made into a WAV upload, sent to a loopback server (on a thread of its own) that answers with a
// match at once, the answer read and shown. Also the CPU time the UI thread spends within that span,
// which must stay well under a frame.

#include "LoopbackHttpServer.h"
#include "platform/recognition/AudDClipMatcher.h"
#include "platform/recognition/SongRecognizer.h"
#include "ui/app/AppContext.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/recognition/ListenFlow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QNetworkProxy>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>

namespace {

qint64 threadCpuNanoseconds()
{
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

AudioClip eightSecondTone()
{
    AudioClip clip{44100, {}};
    clip.samples.resize(44100 * 8 * 2);
    auto *samples = reinterpret_cast<qint16 *>(clip.samples.data());
    for (qsizetype i = 0; i < 44100 * 8; ++i)
        samples[i] = qint16(12000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
    return clip;
}

// Starts at once and hands over the prepared clip when stopped, marking the end of the capture.
class InstantCapture : public AudioCapture {
public:
    AudioClip clip = eightSecondTone();
    std::function<void()> stopped;

    void start(const QString &) override
    {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT started(); }, Qt::QueuedConnection);
    }
    void stop() override
    {
        stopped();
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT captured(clip); }, Qt::QueuedConnection);
    }
    void abort() override {}
};

void BM_ListenEndOfCaptureToResultShown(benchmark::State &state)
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QThread serverThread;
    serverThread.start();
    QObject serverSide;
    serverSide.moveToThread(&serverThread);
    LoopbackHttpServer *server = nullptr;
    QMetaObject::invokeMethod(
        &serverSide,
        [&] {
            server = new LoopbackHttpServer;
            server->listen();
            server->setHandler([](const LoopbackHttpServer::Request &) {
                return LoopbackHttpServer::json(
                    R"({"status":"success","result":{"artist":"Kenny Dorham","title":"Blue Bossa"}})");
            });
        },
        Qt::BlockingQueuedConnection);

    AppContext context;
    MainWindowController window(context);
    auto capture = std::make_unique<InstantCapture>();
    InstantCapture *instant = capture.get();
    SongRecognizer recognizer(std::move(capture), std::make_unique<AudDClipMatcher>(server->baseUrl()));

    qint64 uiThreadNanoseconds = 0;
    for (auto _ : state) {
        QElapsedTimer wall;
        qint64 cpuAtEndOfCapture = 0;
        instant->stopped = [&] {
            wall.start();
            cpuAtEndOfCapture = threadCpuNanoseconds();
        };
        bool shown = false;
        recognizer.recognize(std::chrono::milliseconds(1), std::nullopt,
                             [&](const SongRecognitionResult &result) {
                                 window.findChild<ListenFlow *>()->showResult(result);
                                 shown = true;
                             });
        while (!shown)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
        uiThreadNanoseconds += threadCpuNanoseconds() - cpuAtEndOfCapture;
    }
    const auto *status = window.findChild<QLabel *>(QStringLiteral("statusField"));
    if (!status || !status->text().startsWith(QStringLiteral("Identified: ")))
        state.SkipWithError("the result was not shown");
    state.counters["ui_thread_ms"] =
        benchmark::Counter(double(uiThreadNanoseconds) / 1e6 / double(state.iterations()));
    state.counters["upload_KB"] = double(instant->clip.wavFile().size()) / 1024;

    QMetaObject::invokeMethod(
        &serverSide, [&] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
}
BENCHMARK(BM_ListenEndOfCaptureToResultShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
