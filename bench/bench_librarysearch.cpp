// The library search and the column sort in a library of 100,000 bookmarks: what a keystroke costs
// once the library is prepared, what preparing it costs after a change, the first pass the table
// shows at once, a header click, and the selection buttons' count with 2,000 rows selected.

#include "Fixtures.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/search/LibrarySearch.h"
#include "core/search/LibrarySort.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <numeric>

namespace {

constexpr int libraryCount = 100000;

const BookmarkList &library()
{
    static const BookmarkList list = Fixtures::realisticLibrary(libraryCount);
    return list;
}

// The rows as the session holds them.
const LibraryRows &libraryRows()
{
    static const LibraryRows rows(library());
    return rows;
}

const LibrarySearchIndex &preparedLibrary()
{
    static const LibrarySearchIndex index(library());
    return index;
}

// Two words of the titles; two of the composer's name (all tier C); two letters that are found
// nearly everywhere, the most rows a two-word query can rank.
const char *const queries[] = {"blue mo", "cole porter", "e a"};

void BM_SearchFullPass(benchmark::State &state)
{
    const SearchQuery query = LibrarySearch::parseSearchQuery(QString::fromLatin1(queries[state.range(0)]));
    const LibrarySearchIndex &index = preparedLibrary();
    qsizetype matches = 0;
    for (auto _ : state) {
        BookmarkList result = index.runFilter(query);
        matches = result.size();
        // The result goes to the table; freeing the previous one is not part of the pass.
        state.PauseTiming();
        result = BookmarkList();
        state.ResumeTiming();
    }
    state.SetLabel(queries[state.range(0)]);
    state.counters["matches"] = double(matches);
}
BENCHMARK(BM_SearchFullPass)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The preparation that a change of the library costs the next full pass, on the worker.
void BM_SearchPrepareLibrary(benchmark::State &state)
{
    for (auto _ : state) {
        LibrarySearchIndex index(library());
        benchmark::DoNotOptimize(index);
    }
}
BENCHMARK(BM_SearchPrepareLibrary)->Unit(benchmark::kMillisecond);

// On the interface thread, for every search: the positions of the matches among the session's first
// rows, as LibraryShownRows::updateFilteredList() asks for them.
void BM_SearchFirstPass(benchmark::State &state)
{
    const SearchQuery query = LibrarySearch::parseSearchQuery(QStringLiteral("blue mo"));
    const LibraryRows &rows = libraryRows();
    for (auto _ : state) {
        QList<qsizetype> positions =
            LibrarySearch::runFilter(rows, 0, 100, query); // the first pass ranks 100
        benchmark::DoNotOptimize(positions.size());
    }
}
BENCHMARK(BM_SearchFirstPass)->Unit(benchmark::kMicrosecond);

// A header click on all 100,000 shown rows, with the ranks kept with the library (the usual case)
// and, for a library not prepared yet, without them.
const char *const sortColumns[] = {"Bookmark Title", "Genre", "Page", "Rating"};

void sortBenchmark(benchmark::State &state, bool prepared)
{
    const QString column = QString::fromLatin1(sortColumns[state.range(0)]);
    static const LibraryRows rows(library());
    static SortRanks ranks = LibrarySort::sortRanksOf(rows);
    QList<qsizetype> all(rows.size());
    std::iota(all.begin(), all.end(), qsizetype(0));
    for (auto _ : state) {
        QList<qsizetype> positions = all;
        LibrarySort::sortPositions(positions, rows, column, true, prepared ? &ranks : nullptr);
        benchmark::DoNotOptimize(positions.data());
    }
    state.SetLabel(sortColumns[state.range(0)]);
}

void BM_HeaderSort(benchmark::State &state)
{
    sortBenchmark(state, true);
}
BENCHMARK(BM_HeaderSort)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_HeaderSortAfterLibraryChange(benchmark::State &state)
{
    sortBenchmark(state, false);
}
BENCHMARK(BM_HeaderSortAfterLibraryChange)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The count behind "Tag 2000 selected" / "Delete 2000 selected", taken on every selection change:
// 2,000 shown rows mapped to library positions through the identity key hash.
void BM_SelectionButtons2000Rows(benchmark::State &state)
{
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    LibraryShownRows shown(session);
    // The library turned about its middle: the rows shown first are bookmarks from the middle of the
    // list, as a search would show them, mapped through the hash of the whole library.
    Fixtures::setRows(session, library().mid(libraryCount / 2) + library().mid(0, libraryCount / 2));
    QList<int> rows;
    for (int row = 0; row < 2000; ++row) // the most rows the table shows
        rows.append(row);
    session.allBookmarksIndex(library().first()); // the hash is built once per library change
    for (auto _ : state)
        benchmark::DoNotOptimize(shown.uniqueAllBookmarksIndices(rows).size());
}
BENCHMARK(BM_SelectionButtons2000Rows)->Unit(benchmark::kMillisecond);

} // namespace
