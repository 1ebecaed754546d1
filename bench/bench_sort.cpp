// Header clicks on the library table as the window makes them, through the shown rows: right after an
// edit of the library (100,000 bookmarks), and on a library of 1,000,000 by every column the table
// sorts. `ui_ms` is the longest the interface thread was held: the click itself, and each turn of the
// event loop until the order shows; `shown_ms` the time from the click to the order shown.

#include "Fixtures.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

const char *const columns[] = {"Bookmark Title", "Genre", "Page"};

// Every column the table sorts by (the buttons' columns sort nothing).
const QStringList &sortedColumns()
{
    static const QStringList list = [] {
        QStringList sorted = LibraryColumns::identifiers();
        sorted.removeAll(LibraryColumns::add);
        sorted.removeAll(LibraryColumns::share);
        return sorted;
    }();
    return list;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Turns of the event loop until done() or the time runs out; the longest turn in ms.
template <typename Done> double runEventsUntil(Done done, int timeoutMs)
{
    double longest = 0;
    QElapsedTimer total;
    total.start();
    while (!done() && total.elapsed() < timeoutMs) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, elapsedMs(turn));
    }
    return longest;
}

// A library prepared as it is once the window has been open for a moment: the session's indexes and
// the shown rows' sort ranks, made on workers after the same pause.
void prepare(LibrarySession &session, const BookmarkList &rows)
{
    Fixtures::setRows(session, rows);
    runEventsUntil([&session] { return session.readyTitleKeyIndex() != nullptr; }, 600000);
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
}

void BM_SortAfterChange(benchmark::State &state)
{
    static const BookmarkList rows = Fixtures::realisticLibrary(100000);
    const QString column = QString::fromLatin1(columns[state.range(0)]);
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    LibraryShownRows shown(session);
    prepare(session, rows);
    double longest = 0;
    int edit = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // One cell edited: a title and a genre the library has not seen.
        ++edit;
        session.editBookmarks({qsizetype(edit * 7919 % rows.size())}, [edit](BookmarkEntry &row) {
            row.title = QStringLiteral("Edited %1").arg(edit);
            row.genre = QStringLiteral("Genre %1").arg(edit);
        });
        state.ResumeTiming();
        QElapsedTimer click;
        click.start();
        shown.sortFilteredByColumn(column);
        longest = std::max(longest, elapsedMs(click));
    }
    state.SetLabel(columns[state.range(0)]);
    state.counters["ui_ms"] = longest;
}
BENCHMARK(BM_SortAfterChange)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(10);

// From the click to the sorted rows shown; the click must not hold the window. The columns share one
// library, made for the first and let go of after the last.
void BM_Sort1M(benchmark::State &state)
{
    struct Prepared {
        PlaylistLibrary playlists;
        LibrarySession session{playlists};
        LibraryShownRows shown{session};
    };
    static std::unique_ptr<Prepared> prepared;
    if (!prepared) {
        prepared = std::make_unique<Prepared>();
        prepare(prepared->session, Fixtures::realisticLibrary(1000000));
    }
    LibraryShownRows &shownRows = prepared->shown;
    const QString column = sortedColumns().at(state.range(0));
    double longest = 0;
    double shownMs = 0;
    for (auto _ : state) {
        QElapsedTimer click;
        click.start();
        shownRows.sortFilteredByColumn(column);
        longest = std::max(longest, elapsedMs(click));
        longest =
            std::max(longest, runEventsUntil([&shownRows] { return !shownRows.sortPending(); }, 120000));
        shownMs = std::max(shownMs, elapsedMs(click));
        state.SetIterationTime(elapsedMs(click) / 1e3);
    }
    state.SetLabel(column.toStdString());
    state.counters["ui_ms"] = longest;
    state.counters["shown_ms"] = shownMs;
    if (state.range(0) == sortedColumns().size() - 1)
        prepared.reset();
}
BENCHMARK(BM_Sort1M)->DenseRange(0, 9)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace
