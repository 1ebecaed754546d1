// Importing a metadata CSV into a large library: reading the file, parsing it and finding each row's
// bookmark; and what stays resident after a metadata file of 100 MB was applied as the window applies
// one.

#include "BenchChild.h"
#include "Fixtures.h"
#include "PeakMemory.h"
#include "SettledLibrary.h"
#include "core/common/MemoryTrim.h"
#include "core/metadata/MetadataImport.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/share/ExportService.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotMetadataJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThreadPool>

#include <QDir>
#include <QFileInfo>

#include <benchmark/benchmark.h>

namespace {

constexpr int librarySize = 100000;
constexpr int rowCount = 10000;

const BookmarkList &library()
{
    static const BookmarkList list = Fixtures::realisticLibrary(librarySize);
    return list;
}

// Every tenth bookmark of the library with new metadata, as the CSV export writes it: each row carries
// title, book and page, so every row takes the full three-part match.
const QString &csvPath()
{
    static const QString path = [] {
        BookmarkList rows;
        rows.reserve(rowCount);
        for (int i = 0; i < rowCount; ++i) {
            BookmarkEntry e = library()[i * (librarySize / rowCount)];
            e.genre = QStringLiteral("Imported genre %1").arg(i);
            e.composer = QStringLiteral("Composer, \"quoted\" %1").arg(i);
            e.firstReleaseYear = 1950 + i % 70;
            e.rating = (i % 11) / 2.0;
            rows.append(e);
        }
        const QString file = QDir::homePath() + QStringLiteral("/metadata-10000.csv");
        ExportService::writeCSV(file, rows);
        return file;
    }();
    return path;
}

void BM_MetadataCsvImport(benchmark::State &state)
{
    const QString &path = csvPath();
    BookmarkList bookmarks = library();
    bookmarks.detach();
    int found = 0;
    for (auto _ : state) {
        const auto result = MetadataImport::importFile(path, bookmarks);
        if (!result) {
            state.SkipWithError("import failed");
            break;
        }
        found = result.value();
    }
    state.counters["rows"] = rowCount;
    state.counters["found"] = found;
    state.counters["bookmarks"] = librarySize;
    state.counters["KB"] = double(QFileInfo(path).size()) / 1e3;
}
BENCHMARK(BM_MetadataCsvImport)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same rows with a title column only: one table of titles instead of the three-part one.
void BM_MetadataCsvImportTitlesOnly(benchmark::State &state)
{
    QByteArray csv = "Title,Genre\n";
    for (int i = 0; i < rowCount; ++i)
        csv += library()[i * (librarySize / rowCount)].title.toUtf8() + ",Jazz\n";
    BookmarkList bookmarks = library();
    bookmarks.detach();
    for (auto _ : state) {
        const auto records = MetadataImport::parseCSV(csv);
        benchmark::DoNotOptimize(MetadataImport::applyRecords(records.value(), bookmarks));
    }
    state.counters["rows"] = rowCount;
}
BENCHMARK(BM_MetadataCsvImportTitlesOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// About 100 MB of CSV against a library of 100,000 bookmarks, as a spreadsheet of a whole library's
// metadata repeated would be: every row finds its bookmark. Written once; empty when it cannot be.
QString hundredMegabyteCsv()
{
    const QString path = QDir::homePath() + QStringLiteral("/metadata-100mb.csv");
    if (QFileInfo::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(ExportService::csvText({}));
    BookmarkList rows;
    for (qsizetype i = 0; file.size() < 100 * 1000 * 1000; ++i) {
        BookmarkEntry e = library()[i % librarySize];
        e.genre = QStringLiteral("Genre %1").arg(i);
        e.composer = QStringLiteral("Composer %1").arg(i);
        rows.append(e);
        if (rows.size() == 10000) {
            file.write(ExportService::csvText(rows).sliced(ExportService::csvText({}).size()));
            rows.clear();
        }
    }
    return path;
}

// About 100 MB of CSV against a library of 100,000 bookmarks, as a spreadsheet of a whole library's
// metadata repeated would be: every row finds its bookmark. The file is read and checked, then
// applied to the library's rows, as the application does. `peak_mb` is the growth of the process over
// the library, `peak_per_file` that growth over the file's size.
void BM_MetadataCsvImport100MB(benchmark::State &state)
{
    const QString path = hundredMegabyteCsv();
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    LibraryRows rows(library());
    double peak = 0;
    int found = 0;
    for (auto _ : state) {
        const PeakMemory::Scope memory;
        {
            const auto file = MetadataImport::readFile(path);
            if (!file) {
                state.SkipWithError("import failed");
                break;
            }
            LibraryRows edited = rows;
            found = MetadataImport::applyFile(file.value(), edited);
        }
        peak = std::max(peak, memory.megabytes());
    }
    const double fileMb = double(QFileInfo(path).size()) / (1 << 20);
    state.counters["file_mb"] = fileMb;
    state.counters["peak_mb"] = peak;
    state.counters["peak_per_file"] = peak / fileMb;
    state.counters["found"] = found;
}
BENCHMARK(BM_MetadataCsvImport100MB)->Unit(benchmark::kMillisecond)->Iterations(2);

// The same file applied to the library as the main window applies a metadata file: read, then a
// SlotMetadataJob, with the shown rows beside the session. In a process of its own; rss_before_MB and
// rss_after_MB are what is resident with the library settled (its indexes made, its saves written,
// what they freed given back) before the import and after it, peak_growth_MB how far it rose
// meanwhile.
void BM_MetadataImportMemory(benchmark::State &state)
{
    if (!BenchChild::inChild()) {
        for (auto _ : state) {
            if (!BenchChild::run(state, QStringLiteral("BM_MetadataImportMemory")))
                return;
        }
        return;
    }
    const QString path = hundredMegabyteCsv();
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    LibraryShownRows shown(session);
    LibrarySlots librarySlots(session);
    Fixtures::setRows(session, library());
    const auto settle = [&session] {
        settleLibrary(session);
        return PeakMemory::residentMegabytes().value_or(0);
    };
    double before = settle();
    for (auto _ : state) {
        const PeakMemory::Scope memory(PeakMemory::Scope::Trim::no);
        QElapsedTimer timer;
        timer.start();
        Result<MetadataFile> file = MetadataImport::readFile(path);
        if (!file) {
            state.SkipWithError("the file was not read");
            return;
        }
        auto *job =
            new SlotMetadataJob(librarySlots, session.currentSlotId(),
                                [file = std::move(file).value()](LibraryRows &rows, const TitleKeyIndex &) {
                                    SlotMetadataJob::Change change;
                                    change.matched = MetadataImport::applyFile(file, rows, &change.positions);
                                    return change;
                                });
        QSignalSpy finished(job, &SlotMetadataJob::finished);
        job->start();
        if (!finished.wait(600000)) {
            state.SkipWithError("the import did not end");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        const double after = settle();
        state.counters["peak_growth_MB"] = memory.megabytes();
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = after;
        before = after;
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["bookmarks"] = librarySize;
}
BENCHMARK(BM_MetadataImportMemory)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchChild::iterations(2));

// The size of the library's own CSV export of a million bookmarks: what a metadata file must be
// allowed to take.
void BM_MetadataCsvExport1M(benchmark::State &state)
{
    const BookmarkList rows = Fixtures::realisticLibrary(1000000);
    qsizetype size = 0;
    for (auto _ : state)
        size = ExportService::csvText(rows).size();
    state.counters["MB"] = double(size) / (1 << 20);
}
BENCHMARK(BM_MetadataCsvExport1M)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
