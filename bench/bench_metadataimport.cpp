// Importing a metadata CSV into a large library: reading the file, parsing it and finding each row's
// bookmark.

#include "Fixtures.h"
#include "PeakMemory.h"
#include "core/library/ExportService.h"
#include "core/library/MetadataImport.h"

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
// metadata repeated would be: every row finds its bookmark. The file is read and checked, then
// applied to the library's rows, as the application does. `peak_mb` is the growth of the process over
// the library, `peak_per_file` that growth over the file's size.
void BM_MetadataCsvImport100MB(benchmark::State &state)
{
    const QString path = QDir::homePath() + QStringLiteral("/metadata-100mb.csv");
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the file");
            return;
        }
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
