// Saving and loading a large slot: the library's biggest state file.

#include "Fixtures.h"
#include "PeakMemory.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/slotfiles/SlotStore.h"

#include <QFileInfo>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr int librarySize = 100000;
constexpr int benchSlot = 1;

const BookmarkList &library()
{
    static const BookmarkList list = Fixtures::realisticLibrary(librarySize);
    return list;
}

void ensureSlotFile()
{
    if (!QFileInfo::exists(SlotStore::slotFilePath(benchSlot)))
        SlotStore::saveSlot(benchSlot, library(), QStringLiteral("/home/musician/Documents/Sheet Music"));
}

void reportFileSize(benchmark::State &state)
{
    state.counters["MB"] = double(QFileInfo(SlotStore::slotFilePath(benchSlot)).size()) / 1e6;
    state.counters["bookmarks"] = librarySize;
}

void BM_SlotEncodeAndWrite(benchmark::State &state)
{
    const BookmarkList &list = library();
    for (auto _ : state) {
        if (!SlotStore::saveSlot(benchSlot, list, QStringLiteral("/home/musician/Documents/Sheet Music")))
            state.SkipWithError("save failed");
    }
    reportFileSize(state);
}
BENCHMARK(BM_SlotEncodeAndWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SlotEncodeOnly(benchmark::State &state)
{
    const BookmarkCache cache{QString(), QDateTime::currentDateTimeUtc(), library()};
    for (auto _ : state)
        benchmark::DoNotOptimize(BookmarkCacheCodec::encode(cache));
}
BENCHMARK(BM_SlotEncodeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// With the memory the decode takes above what the process held before it (`peak_mb`).
void BM_SlotReadAndDecode(benchmark::State &state)
{
    ensureSlotFile();
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const PeakMemory::Scope memory;
        state.ResumeTiming();
        BookmarkList loaded = SlotStore::loadSlot(benchSlot);
        if (loaded.size() != librarySize)
            state.SkipWithError("load failed");
        // Freeing the list is not part of loading it.
        state.PauseTiming();
        peak = std::max(peak, memory.megabytes());
        loaded = BookmarkList();
        state.ResumeTiming();
    }
    reportFileSize(state);
    state.counters["peak_mb"] = peak;
}
BENCHMARK(BM_SlotReadAndDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The yardstick: Python's json.load of the same file, timed inside the Python process so that its
// start-up does not count.
void BM_PythonJsonLoadSameFile(benchmark::State &state)
{
    ensureSlotFile();
    const QString script = QStringLiteral("import json, sys, time\n"
                                          "t = time.perf_counter()\n"
                                          "with open(sys.argv[1], 'rb') as f: json.load(f)\n"
                                          "print(time.perf_counter() - t)\n");
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"), script, SlotStore::slotFilePath(benchSlot)});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("python3 is not available");
            return;
        }
        bool ok = false;
        const double seconds = python.readAllStandardOutput().trimmed().toDouble(&ok);
        if (!ok) {
            state.SkipWithError("python3 gave no time");
            return;
        }
        state.SetIterationTime(seconds);
    }
    reportFileSize(state);
}
BENCHMARK(BM_PythonJsonLoadSameFile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
