// Importing a metadata CSV into a large library: reading the file, parsing it and finding each row's
// bookmark.

#include "Fixtures.h"
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

} // namespace
