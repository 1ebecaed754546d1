// The slot operations on slots of 100,000 bookmarks and 500 playlists, and a switch between two slots of
// 1,000,000: how long the interface thread works (ui_ms, its CPU time from the request until the
// operation is over, so time spent waiting for a worker does not count), the time until it is over
// (wall_ms) and how far the resident memory rose above what it was when the operation began
// (peak_growth_MB, the largest of the iterations). Each runs in a fresh process of this program
// (BenchChild), so that what earlier benchmarks left to the allocator does not count. "Apply Bundled
// Metadata Only" is measured with the window in bench_songdata.cpp.

#include "BenchChild.h"
#include "BenchMeasure.h"
#include "Fixtures.h"
#include "PeakMemory.h"
#include "SettledLibrary.h"
#include "core/common/AppPaths.h"
#include "core/common/MemoryTrim.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <unistd.h>

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
    double peakGrowthMb = 0;
};

// One operation: start runs on the interface thread, then the event loop turns (and sleeps while
// nothing is posted) until finished says the operation is over. The memory the operation took is
// counted from what was resident when it began, with nothing handed back to the system first: what
// earlier operations freed serves it as it would in the application.
void measure(benchmark::State &state, Totals &totals, const std::function<void()> &start,
             const std::function<bool()> &finished)
{
    const PeakMemory::Scope memory(PeakMemory::Scope::Trim::no);
    QElapsedTimer wall;
    wall.start();
    const double cpu = BenchMeasure::threadCpuMs();
    start();
    while (!finished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double uiMs = BenchMeasure::threadCpuMs() - cpu;
    totals.uiMs += uiMs;
    totals.wallMs += double(wall.nsecsElapsed()) / 1e6;
    // The saves and the freeing of what the operation left are part of it.
    LibrarySession::waitForPendingSaves();
    QThreadPool::globalInstance()->waitForDone();
    totals.peakGrowthMb = std::max(totals.peakGrowthMb, memory.megabytes());
    state.SetIterationTime(uiMs / 1e3);
}

void report(benchmark::State &state, const Totals &totals, int bookmarks = slotRows)
{
    const double n = double(state.iterations());
    state.counters["ui_ms"] = benchmark::Counter(totals.uiMs / n);
    state.counters["wall_ms"] = benchmark::Counter(totals.wallMs / n);
    state.counters["peak_growth_MB"] = benchmark::Counter(totals.peakGrowthMb);
    state.counters["bookmarks"] = bookmarks;
}

// The current slot loaded as the window loads it at start: the event loop turns until it is in.
void loadCurrentSlot(LibrarySlots &librarySlots)
{
    bool loaded = false;
    librarySlots.loadCurrentSlot(&librarySlots,
                                 [&loaded](const LibrarySlots::LoadResult &) { loaded = true; });
    while (!loaded)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// The benchmark's own body in its child process; the parent only runs the child.
#define LYRAFOLD_RUN_IN_CHILD(name)                                                                          \
    if (!BenchChild::inChild()) {                                                                            \
        for (auto _ : state) {                                                                               \
            if (!BenchChild::run(state, QStringLiteral(name)))                                               \
                return;                                                                                      \
        }                                                                                                    \
        return;                                                                                              \
    }

// A session on slot 1 of the stored slots, loaded, with the indexes a quiet library has; the peak
// memory is counted from here.
struct OpenSlot1 {
    bool stored = (storedSlots(), true);
    PlaylistLibrary playlists;
    LibrarySession session{playlists};
    LibraryShownRows shown{session};
    LibrarySlots librarySlots{session};

    OpenSlot1()
    {
        session.restoreActiveSlot();
        loadCurrentSlot(librarySlots);
        settleLibrary(session);
    }
};

// Tile clicks between two slots, one switch per iteration, each waited for until the library has
// settled (its indexes made, what it let go of freed). What is resident then, after the first switch,
// after the last and the most after any, tells whether the memory a switch frees goes back.
void switchBackAndForth(benchmark::State &state, LibrarySession &session, LibrarySlots &librarySlots,
                        int bookmarks)
{
    Totals totals;
    double residentBefore = PeakMemory::residentMegabytes().value_or(0);
    double residentFirst = 0;
    double residentLast = 0;
    double residentMost = 0;
    const qint64 from = session.currentSlotId();
    for (auto _ : state) {
        const qint64 target = session.currentSlotId() == from ? from + 1 : from;
        measure(
            state, totals, [&] { librarySlots.switchToSlot(target); },
            [&] { return session.currentSlotId() == target; });
        settleLibrary(session);
        residentLast = PeakMemory::residentMegabytes().value_or(0);
        residentMost = std::max(residentMost, residentLast);
        if (residentFirst == 0)
            residentFirst = residentLast;
    }
    report(state, totals, bookmarks);
    state.counters["rss_before_MB"] = residentBefore;
    state.counters["rss_after_first_MB"] = residentFirst;
    state.counters["rss_after_last_MB"] = residentLast;
    state.counters["rss_after_most_MB"] = residentMost;
}

// Slot 1 to slot 2 and back, 100,000 bookmarks each: twenty switches.
void BM_SlotSwitch(benchmark::State &state)
{
    LYRAFOLD_RUN_IN_CHILD("BM_SlotSwitch")
    OpenSlot1 open;
    switchBackAndForth(state, open.session, open.librarySlots, slotRows);
}
BENCHMARK(BM_SlotSwitch)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(20));

// Slot 1 to slot 2 and back three times, 1,000,000 bookmarks each (about 475 MB of JSON a slot): what
// switches leave behind adds up over several. The parent writes the slots into a folder of their own,
// so that the child begins with nothing of them resident; the child links them into its data folder.
constexpr char largeSlotsVariable[] = "LYRAFOLD_BENCH_LARGE_SLOTS";

void BM_SlotSwitch1M(benchmark::State &state)
{
    constexpr int rows = 1000000;
    const auto slotFile = [](const QString &folder, qint64 slot) {
        return folder + QStringLiteral("/slot_%1.json").arg(slot);
    };
    if (!BenchChild::inChild()) {
        QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lyrafold-bench-slots-XXXXXX"));
        for (const qint64 slot : {1, 2}) {
            const auto bytes = SlotStore::encodeSlot(Fixtures::realisticLibrary(rows, quint32(slot)),
                                                     QStringLiteral("/home/musician/Documents/Sheet Music"));
            QFile file(slotFile(folder.path(), slot));
            if (!bytes || !file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) {
                state.SkipWithError("cannot write the slots");
                return;
            }
        }
        malloc_trim(0);
        QProcessEnvironment extra;
        extra.insert(QString::fromLatin1(largeSlotsVariable), folder.path());
        for (auto _ : state) {
            if (!BenchChild::run(state, QStringLiteral("BM_SlotSwitch1M"), extra))
                return;
        }
        return;
    }
    const QString folder = qEnvironmentVariable(largeSlotsVariable);
    QDir().mkpath(SlotStore::rootPath());
    for (const qint64 slot : {1, 2}) {
        const QByteArray from = QFile::encodeName(slotFile(folder, slot));
        const QByteArray to = QFile::encodeName(SlotStore::slotFilePath(slot));
        if (::link(from.constData(), to.constData()) != 0 && !QFile::copy(slotFile(folder, slot), to)) {
            state.SkipWithError("cannot reach the slots");
            return;
        }
    }
    SlotMeta meta;
    meta.activeSlot = 1;
    SlotStore::saveMeta(meta);
    PlaylistLibrary playlists;
    LibrarySession session{playlists};
    LibraryShownRows shown{session};
    LibrarySlots librarySlots{session};
    session.restoreActiveSlot();
    loadCurrentSlot(librarySlots);
    if (session.allBookmarks().size() != rows) {
        state.SkipWithError("slot 1 did not load");
        return;
    }
    settleLibrary(session);
    switchBackAndForth(state, session, librarySlots, rows);
}
BENCHMARK(BM_SlotSwitch1M)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(6));

// Slots ▸ Reload on slot 1.
void BM_SlotReload(benchmark::State &state)
{
    LYRAFOLD_RUN_IN_CHILD("BM_SlotReload")
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        const quint64 version = session.libraryVersion();
        measure(
            state, totals, [&] { librarySlots.reloadCurrentSlot(); },
            [&] { return session.libraryVersion() != version; });
        settleLibrary(session);
    }
    report(state, totals);
}
BENCHMARK(BM_SlotReload)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(6));

// Slots ▸ Merge of slot 2 into slot 1: 100,000 songs appended. Slot 1 is reset between iterations.
void BM_SlotMerge(benchmark::State &state)
{
    LYRAFOLD_RUN_IN_CHILD("BM_SlotMerge")
    OpenSlot1 open;
    LibrarySession &session = open.session;
    LibrarySlots &librarySlots = open.librarySlots;
    Totals totals;
    for (auto _ : state) {
        state.PauseTiming();
        Fixtures::setRows(session, storedSlots().first);
        settleLibrary(session);
        state.ResumeTiming();
        const quint64 version = session.libraryVersion();
        measure(
            state, totals, [&] { librarySlots.mergeSlotsIntoCurrent({2}); },
            [&] { return session.libraryVersion() != version; });
    }
    report(state, totals);
}
BENCHMARK(BM_SlotMerge)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(4));

// The extraction prompt's text for a slot that is not the current one, as it changes with the choice.
void BM_ExtractionPrompt(benchmark::State &state)
{
    LYRAFOLD_RUN_IN_CHILD("BM_ExtractionPrompt")
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
BENCHMARK(BM_ExtractionPrompt)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(6));

// Delete selected on an imported song of slot 1 while slots 2-5 hold 100,000 bookmarks each: until the
// question can be asked, that is until the plan says which files go to the trash.
void BM_DeletionQuestion(benchmark::State &state)
{
    LYRAFOLD_RUN_IN_CHILD("BM_DeletionQuestion")
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
BENCHMARK(BM_DeletionQuestion)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(4));

#undef LYRAFOLD_RUN_IN_CHILD

} // namespace
