// The slot operations on slots of 100,000 bookmarks and 500 playlists: how long the interface thread
// works (ui_ms, its CPU time from the request until the operation is over, so time spent waiting for a
// worker does not count), the time until it is over (wall_ms) and the process's peak memory. "Apply
// Bundled Metadata Only" is measured with the window in bench_songdata.cpp.

#include "BenchMeasure.h"
#include "Fixtures.h"
#include "core/common/AppPaths.h"
#include "core/library/LibrarySession.h"
#include "core/library/LibrarySlots.h"
#include "core/library/SlotStore.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

constexpr int slotRows = 100000;

// Slots 1-3 hold 100,000 bookmarks each (different songs), 500 playlists of 40 titles of slot 1.
struct StoredSlots {
    BookmarkList first = Fixtures::realisticLibrary(slotRows, 1);

    StoredSlots()
    {
        SlotStore::saveSlot(1, first, QStringLiteral("/home/musician/Documents/Sheet Music"));
        SlotStore::saveSlot(2, Fixtures::realisticLibrary(slotRows, 2), QStringLiteral("/home/musician/Two"));
        SlotStore::saveSlot(3, Fixtures::realisticLibrary(slotRows, 3),
                            QStringLiteral("/home/musician/Three"));
        PlaylistStore::savePlaylists(Fixtures::playlistsOf(first, 500, 40));
        SlotMeta meta = SlotStore::loadMeta().value_or(SlotMeta{});
        meta.activeSlot = 1;
        SlotStore::saveMeta(meta);
    }
};

StoredSlots &storedSlots()
{
    static StoredSlots made;
    return made;
}

// What a run's iterations added up to: each is one operation, timed by the interface thread's time.
struct Totals {
    double uiMs = 0;
    double wallMs = 0;
};

// One operation: start runs on the interface thread, then the event loop turns (and sleeps while
// nothing is posted) until finished says the operation is over.
void measure(benchmark::State &state, Totals &totals, const std::function<void()> &start,
             const std::function<bool()> &finished)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu = BenchMeasure::threadCpuMs();
    start();
    while (!finished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double uiMs = BenchMeasure::threadCpuMs() - cpu;
    totals.uiMs += uiMs;
    totals.wallMs += double(wall.nsecsElapsed()) / 1e6;
    state.SetIterationTime(uiMs / 1e3);
}

void report(benchmark::State &state, const Totals &totals)
{
    const double n = double(state.iterations());
    state.counters["ui_ms"] = benchmark::Counter(totals.uiMs / n);
    state.counters["wall_ms"] = benchmark::Counter(totals.wallMs / n);
    state.counters["peak_mb"] = benchmark::Counter(BenchMeasure::peakMb());
    state.counters["bookmarks"] = slotRows;
}

// A session on slot 1 of the stored slots, loaded, with the indexes a quiet library has; the peak
// memory is counted from here.
struct OpenSlot1 {
    bool stored = (storedSlots(), true);
    PlaylistLibrary playlists;
    LibrarySession session{playlists};
    LibrarySlots librarySlots{session};

    OpenSlot1()
    {
        session.restoreActiveSlot();
        librarySlots.loadCurrentSlot();
        session.titleKeyIndex();
        session.firstPositionOf(QString());
        LibrarySession::waitForPendingSaves();
        BenchMeasure::resetPeakMb();
    }
};

// A tile click: slot 1 to slot 2 and back, one switch per iteration.
void BM_SlotSwitch(benchmark::State &state)
{
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        const qint64 target = session.currentSlotId() == 1 ? 2 : 1;
        measure(
            state, totals, [&] { librarySlots.switchToSlot(target); },
            [&] { return session.currentSlotId() == target; });
        LibrarySession::waitForPendingSaves();
    }
    report(state, totals);
}
BENCHMARK(BM_SlotSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// Slots ▸ Reload on slot 1.
void BM_SlotReload(benchmark::State &state)
{
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        const quint64 version = session.libraryVersion();
        measure(
            state, totals, [&] { librarySlots.reloadCurrentSlot(); },
            [&] { return session.libraryVersion() != version; });
        LibrarySession::waitForPendingSaves();
    }
    report(state, totals);
}
BENCHMARK(BM_SlotReload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// Slots ▸ Merge of slot 2 into slot 1: 100,000 songs appended. Slot 1 is reset between iterations.
void BM_SlotMerge(benchmark::State &state)
{
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        state.PauseTiming();
        Fixtures::setRows(session, storedSlots().first);
        session.titleKeyIndex();
        session.firstPositionOf(QString());
        LibrarySession::waitForPendingSaves();
        state.ResumeTiming();
        const quint64 version = session.libraryVersion();
        measure(
            state, totals, [&] { librarySlots.mergeSlotsIntoCurrent({2}); },
            [&] { return session.libraryVersion() != version; });
        LibrarySession::waitForPendingSaves();
    }
    report(state, totals);
}
BENCHMARK(BM_SlotMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

// The extraction prompt's text for a slot that is not the current one, as it changes with the choice.
void BM_ExtractionPrompt(benchmark::State &state)
{
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        qsizetype count = -1;
        measure(
            state, totals, [&] { librarySlots.withSlotCount(2, &session, [&](qsizetype n) { count = n; }); },
            [&] { return count >= 0; });
    }
    report(state, totals);
}
BENCHMARK(BM_ExtractionPrompt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// Delete selected on an imported song of slot 1 while slots 2-5 hold 100,000 bookmarks each: until the
// question can be asked, that is until the plan says which files go to the trash.
void BM_DeletionQuestion(benchmark::State &state)
{
    storedSlots();
    static const bool moreSlots = [] {
        SlotStore::saveSlot(4, Fixtures::realisticLibrary(slotRows, 4),
                            QStringLiteral("/home/musician/Four"));
        SlotStore::saveSlot(5, Fixtures::realisticLibrary(slotRows, 5),
                            QStringLiteral("/home/musician/Five"));
        return true;
    }();
    Q_UNUSED(moreSlots);
    OpenSlot1 open;
    LibrarySession &session = open.session;
    const QString scan = AppPaths::importLibraryPath() + QStringLiteral("/scan.pdf");
    QDir().mkpath(AppPaths::importLibraryPath());
    QFile file(scan);
    file.open(QIODevice::WriteOnly);
    file.write("%PDF-1.4");
    file.close();
    // Slot 1 keeps the song once a run appended it.
    if (session.allBookmarks().at(session.allBookmarks().size() - 1).pdfFilePath != scan)
        Fixtures::appendRows(session, {Fixtures::bookmark(scan, 1, QStringLiteral("Scan"))});
    LibrarySession::waitForPendingSaves();
    const QList<qsizetype> positions{session.allBookmarks().size() - 1};
    BenchMeasure::resetPeakMb();
    Totals totals;
    for (auto _ : state) {
        std::optional<DeletionPlan> plan;
        measure(
            state, totals,
            [&] {
                RowDeletion::planInBackground(session, positions, &session,
                                              [&plan](DeletionPlan made) { plan = std::move(made); });
            },
            [&] { return plan.has_value(); });
        if (plan->filesToRemove != QStringList{scan})
            state.SkipWithError("the imported file is not planned to go");
    }
    report(state, totals);
}
BENCHMARK(BM_DeletionQuestion)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace
