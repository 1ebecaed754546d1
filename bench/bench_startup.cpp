// Start-up of the program to its shown main window: from starting the process to the launch log's
// "window shown" line, on the offscreen platform; once with the bench's own (small) library, once with
// a Default slot of 100,000 bookmarks.

#include "Fixtures.h"
#include "core/library/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

namespace {

bool logShowsWindow(const QString &path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(": 8 window shown");
}

void runStartup(benchmark::State &state, const QProcessEnvironment &extra)
{
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/lyrafold-bench-start-XXXXXX"));
    const QString runtime = tmp.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
    env.insert(extra);
    const QString logPath = tmp.path() + QStringLiteral("/Lyrafold_launch.log");

    for (auto _ : state) {
        QFile::remove(logPath);
        QProcess app;
        app.setProcessEnvironment(env);
        app.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        app.start(QStringLiteral(LYRAFOLD_EXECUTABLE), {});
        bool shown = false;
        while (!(shown = logShowsWindow(logPath)) && timer.elapsed() < 10000)
            QThread::usleep(100);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (!shown || !app.waitForFinished(10000) || app.exitCode() != 0) {
            state.SkipWithError("lyrafold did not show its window and quit");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_StartupToWindowShown(benchmark::State &state)
{
    runStartup(state, {});
}
BENCHMARK(BM_StartupToWindowShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A data folder of its own whose Default slot (the active one) holds 100,000 bookmarks.
void BM_StartupToWindowShownLargeSlot(benchmark::State &state)
{
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/lyrafold-bench-data-XXXXXX"));
    const QString slotDir = data.path() + QStringLiteral("/Lyrafold/slots");
    const auto bytes = SlotStore::encodeSlot(Fixtures::realisticLibrary(100000),
                                             QStringLiteral("/home/musician/Documents/Sheet Music"));
    if (!bytes || !StateFile::write(slotDir + QStringLiteral("/slot_0.json"), *bytes) ||
        !StateFile::write(slotDir + QStringLiteral("/slots_meta.json"),
                          R"({"activeSlot":0,"slotNames":{}})")) {
        state.SkipWithError("cannot write the slot");
        return;
    }
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    runStartup(state, extra);
    state.counters["bookmarks"] = 100000;
}
BENCHMARK(BM_StartupToWindowShownLargeSlot)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
