// Start-up of the program to its shown main window: from starting the process to the launch log's
// "window shown" line, on the offscreen platform; once with the bench's own (small) library, and with
// a Default slot of 100,000 and of 1,000,000 bookmarks (the latter also with the time until its rows
// show, the quit that follows, the process's peak memory and Python's json.load of the same file). And
// the quit of a settled library of 1,000,000 bookmarks, its indexes made.

#include "Fixtures.h"
#include "PeakMemory.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <algorithm>
#include <optional>
#include <unistd.h>

namespace {

bool logHas(const QString &path, const QByteArray &line)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(line);
}

struct StartupMeasures {
    bool memory = false;
    // The time from the quit, quitAfterMs after the window settled, to the end of the process.
    bool quit = false;
    int quitAfterMs = 1;
    // The quit must find the process idle: it used next to no CPU time in the second before.
    bool settledQuit = false;
};

// The CPU time the process used so far, in ms; nothing once it is gone.
std::optional<double> cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void runStartup(benchmark::State &state, const QProcessEnvironment &extra, StartupMeasures measures = {})
{
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/lyrafold-bench-start-XXXXXX"));
    const QString runtime = tmp.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QString::number(measures.quitAfterMs));
    env.insert(extra);
    const QString logPath = tmp.path() + QStringLiteral("/Lyrafold_launch.log");

    double peak = 0;
    double longestStart = 0;
    double longestRows = 0;
    // Every start showed its rows before it quit: only then is longestRows the slowest of them.
    bool everyRows = true;
    double longestQuit = 0;
    double busyBeforeQuit = 0;
    for (auto _ : state) {
        QFile::remove(logPath);
        QProcess app;
        app.setProcessEnvironment(env);
        app.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        app.start(QStringLiteral(LYRAFOLD_EXECUTABLE), {});
        bool shown = false;
        while (!(shown = logHas(logPath, ": 8 window shown")) && timer.elapsed() < 120000)
            QThread::usleep(100);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        // The high-water mark read last before the process ends is its peak.
        QElapsedTimer quitting;
        quitting.start();
        bool settled = !measures.quit;
        bool rows = false;
        // The CPU time used by the moment a second before the quit.
        std::optional<double> cpuBeforeQuit;
        const int timeoutMs = 120000 + measures.quitAfterMs;
        while (shown && app.state() != QProcess::NotRunning && quitting.elapsed() < timeoutMs) {
            if (measures.memory) {
                if (const auto now = PeakMemory::peakMegabytes(app.processId()))
                    peak = std::max(peak, *now);
            }
            if (!rows && logHas(logPath, "library rows shown")) {
                rows = true;
                longestRows = std::max(longestRows, double(timer.nsecsElapsed()) / 1e6);
            }
            if (!settled && logHas(logPath, ": 9 delayed orderFront done")) {
                settled = true;
                quitting.start();
            }
            if (settled && measures.settledQuit && !cpuBeforeQuit &&
                quitting.elapsed() >= measures.quitAfterMs - 1000)
                cpuBeforeQuit = cpuMs(app.processId());
            if (cpuBeforeQuit && quitting.elapsed() < measures.quitAfterMs) {
                if (const auto now = cpuMs(app.processId()))
                    busyBeforeQuit = std::max(busyBeforeQuit, *now - *cpuBeforeQuit);
            }
            app.waitForFinished(settled ? 10 : 1);
        }
        if (!shown || app.state() != QProcess::NotRunning || app.exitStatus() != QProcess::NormalExit ||
            app.exitCode() != 0) {
            state.SkipWithError("lyrafold did not show its window and quit");
            break;
        }
        everyRows = everyRows && rows;
        const double quitMs = double(quitting.nsecsElapsed()) / 1e6 - measures.quitAfterMs;
        // A benchmark of the quit is timed by the quit.
        state.SetIterationTime(measures.settledQuit ? quitMs / 1e3 : seconds);
        longestStart = std::max(longestStart, seconds * 1000);
        longestQuit = std::max(longestQuit, quitMs);
    }
    // Until the window shows, the interface waits for the start: the slowest one.
    state.counters["ui_ms"] = longestStart;
    // A start that quit before its rows showed has no time for them: no figure rather than 0.
    if (everyRows)
        state.counters["rows_ms"] = longestRows;
    if (measures.memory)
        state.counters["peak_mb"] = peak;
    if (measures.quit)
        state.counters["quit_ms"] = longestQuit;
    if (measures.settledQuit) {
        state.counters["busy_before_quit_ms"] = busyBeforeQuit;
        if (busyBeforeQuit > 100)
            state.SkipWithError("the library had not settled when the quit came");
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

// About 475 MB of JSON: it is not damaged, only large, and must load. Start to the shown window (the
// time, and `ui_ms`: the interface waits for all of it), to the rows shown (`rows_ms`, read on a worker
// after the window shows), a quit 2.5 s after the window, once the rows are in and while the library's
// indexes are being made (`quit_ms`; no `rows_ms` when a start quit before them), and the process's
// peak memory (`peak_mb`); with Python's json.load of the same file in the same run as the yardstick
// (`python_ms`, `python_peak_mb`: time inside its process, so its start-up does not count), and a
// plain simdjson parse of it in this process (`simdjson_ms`, and `rows_over_simdjson`).
void BM_Start1M(benchmark::State &state)
{
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/lyrafold-bench-data-XXXXXX"));
    const auto extra = largeSlotProfile(data, 1000000);
    if (!extra) {
        state.SkipWithError("cannot write the slot");
        return;
    }
    const QString slotFile = data.path() + QStringLiteral("/Lyrafold/slots/slot_0.json");
    state.counters["MB"] = double(QFileInfo(slotFile).size()) / 1e6;
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, resource, sys, time\n"
                                 "t = time.perf_counter()\n"
                                 "with open(sys.argv[1], 'rb') as f: json.load(f)\n"
                                 "print(time.perf_counter() - t, "
                                 "resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)\n"),
                  slotFile});
    if (python.waitForFinished(120000) && python.exitCode() == 0) {
        const QList<QByteArray> figures = python.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() == 2) {
            state.counters["python_ms"] = figures.at(0).toDouble() * 1000;
            state.counters["python_peak_mb"] = figures.at(1).toDouble() / 1024;
        }
    }
    // A plain simdjson parse of the file into its DOM (read included), the least a start can do with
    // it; the rows should come within twice its time.
    {
        simdjson::dom::parser parser;
        QElapsedTimer parse;
        parse.start();
        if (parser.load(QFile::encodeName(slotFile).toStdString()).error() == simdjson::SUCCESS)
            state.counters["simdjson_ms"] = double(parse.nsecsElapsed()) / 1e6;
    }
    runStartup(state, *extra, {.memory = true, .quit = true, .quitAfterMs = 2500});
    const auto rows = state.counters.find("rows_ms");
    const auto simdjson = state.counters.find("simdjson_ms");
    if (rows != state.counters.end() && simdjson != state.counters.end())
        state.counters["rows_over_simdjson"] = rows->second.value / simdjson->second.value;
    state.counters["bookmarks"] = 1000000;
}
BENCHMARK(BM_Start1M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The quit of a library of 1,000,000 bookmarks that has settled: its indexes made, nothing running
// (`busy_before_quit_ms`, the CPU time used in the second before the quit, shows it). `quit_ms` is the
// time from the quit to the end of the process.
void BM_Quit1MSettled(benchmark::State &state)
{
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/lyrafold-bench-data-XXXXXX"));
    const auto extra = largeSlotProfile(data, 1000000);
    if (!extra) {
        state.SkipWithError("cannot write the slot");
        return;
    }
    runStartup(state, *extra, {.quit = true, .quitAfterMs = 40000, .settledQuit = true});
    state.counters["bookmarks"] = 1000000;
}
BENCHMARK(BM_Quit1MSettled)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
