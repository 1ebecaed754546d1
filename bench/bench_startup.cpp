// Start-up of the program to its shown main window: from starting the process to the launch log's
// "window shown" line, on the offscreen platform; once with the bench's own (small) library, and with
// a Default slot of 100,000 and of 1,000,000 bookmarks (the latter also with the process's peak memory).

#include "Fixtures.h"
#include "core/library/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>

namespace {

bool logShowsWindow(const QString &path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(": 8 window shown");
}

// The process's peak resident memory so far in MB, or nothing once it is gone.
std::optional<double> peakMegabytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return std::nullopt;
}

void runStartup(benchmark::State &state, const QProcessEnvironment &extra, bool measureMemory = false)
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
        while (!(shown = logShowsWindow(logPath)) && timer.elapsed() < 120000)
            QThread::usleep(100);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        // The high-water mark read last before the process ends is its peak.
        double peak = 0;
        QElapsedTimer quitting;
        quitting.start();
        while (shown && app.state() != QProcess::NotRunning && quitting.elapsed() < 120000) {
            if (measureMemory) {
                if (const auto now = peakMegabytes(app.processId()))
                    peak = *now;
            }
            app.waitForFinished(10);
        }
        if (!shown || app.state() != QProcess::NotRunning || app.exitStatus() != QProcess::NormalExit ||
            app.exitCode() != 0) {
            state.SkipWithError("lyrafold did not show its window and quit");
            break;
        }
        state.SetIterationTime(seconds);
        if (measureMemory)
            state.counters["peak_MB"] = std::max(peak, double(state.counters["peak_MB"]));
    }
}

// A data folder of its own whose Default slot (the active one) holds the given number of bookmarks.
std::optional<QProcessEnvironment> largeSlotProfile(const QTemporaryDir &data, int bookmarks)
{
    const QString slotDir = data.path() + QStringLiteral("/Lyrafold/slots");
    const auto bytes = SlotStore::encodeSlot(Fixtures::realisticLibrary(bookmarks),
                                             QStringLiteral("/home/musician/Documents/Sheet Music"));
    if (!bytes || !StateFile::write(slotDir + QStringLiteral("/slot_0.json"), *bytes) ||
        !StateFile::write(slotDir + QStringLiteral("/slots_meta.json"), R"({"activeSlot":0,"slotNames":{}})"))
        return std::nullopt;
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    return extra;
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

void BM_StartupToWindowShownLargeSlot(benchmark::State &state)
{
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/lyrafold-bench-data-XXXXXX"));
    const auto extra = largeSlotProfile(data, 100000);
    if (!extra) {
        state.SkipWithError("cannot write the slot");
        return;
    }
    runStartup(state, *extra);
    state.counters["bookmarks"] = 100000;
}
BENCHMARK(BM_StartupToWindowShownLargeSlot)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// About 450 MB of JSON: it is not damaged, only large, and must load.
void BM_StartupToWindowShownMillionSlot(benchmark::State &state)
{
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/lyrafold-bench-data-XXXXXX"));
    const auto extra = largeSlotProfile(data, 1000000);
    if (!extra) {
        state.SkipWithError("cannot write the slot");
        return;
    }
    state.counters["MB"] =
        double(QFileInfo(data.path() + QStringLiteral("/Lyrafold/slots/slot_0.json")).size()) / 1e6;
    runStartup(state, *extra, true);
    state.counters["bookmarks"] = 1000000;
}
BENCHMARK(BM_StartupToWindowShownMillionSlot)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
