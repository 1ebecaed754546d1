// Saving the current slot as the window does: the time the interface waits (the snapshot and the
// hand-over to the workers) and, apart, the time until the files are written. An edit right after a
// save is measured with the playlists in bench_libraryowners.cpp.

#include "Fixtures.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_SaveCurrentSlotInterfaceThread(benchmark::State &state)
{
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    Fixtures::setRows(session, Fixtures::realisticLibrary(100000));
    session.setSelectedFolder(QStringLiteral("/home/musician/Documents/Sheet Music"));
    double written = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        session.saveCurrentSlot();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        LibrarySession::waitForPendingSaves();
        written += double(timer.nsecsElapsed()) / 1e6;
    }
    state.counters["written_ms"] = benchmark::Counter(written / double(state.iterations()));
    state.counters["bookmarks"] = 100000;
}
BENCHMARK(BM_SaveCurrentSlotInterfaceThread)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
