// Loading the built-in bookmark list against the user's PDF folder: the background stage that the
// "Loading default bookmarks..." status line waits for.

#include "Fixtures.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/books/DefaultBookmarks.h"
#include "core/books/FolderFileIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cctype>

namespace {

constexpr int recordCount = 100000;

// 300 books in random order, as realisticLibrary() names them.
const BookmarkList &library()
{
    static const BookmarkList list = Fixtures::realisticLibrary(recordCount, 3);
    return list;
}

// The stored form of the list, with the keys spelt as the resource spells them.
QByteArray resourceJson(const BookmarkList &list)
{
    QByteArray json = BookmarkCacheCodec::encode({std::nullopt, QDateTime(), list}).value_or(QByteArray());
    const qsizetype start = json.indexOf('[');
    json = json.mid(start, json.lastIndexOf(']') + 1 - start);
    for (const char *key :
         {"pdfFileName", "pdfFilePath", "pageNumber", "title", "level", "pageSpan", "totalPages", "genre",
          "style", "firstReleaseYear", "composer", "tempo", "rating", "spotifyURL", "youtubeURL"}) {
        QByteArray spelt(key);
        spelt[0] = char(std::toupper(spelt[0]));
        spelt.replace("URL", "Url");
        json.replace('"' + QByteArray(key) + "\":", '"' + spelt + "\":");
    }
    return json;
}

void touch(const QString &path)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("%PDF-1.4\n");
}

// A library folder of 300 PDFs three levels deep: 280 of the list's 300 books (every seventh with
// its extension in capitals), 20 other books, and a text file beside each folder's books.
struct Fixture {
    QTemporaryDir dir;
    QString folder;
    QString resource;

    Fixture()
        : folder(dir.path() + QStringLiteral("/Sheet Music")), resource(dir.path() + "/DefaultBookmarks.json")
    {
        for (int book = 0; book < 300; ++book) {
            const QString sub = QStringLiteral("/Publisher %1/Series %2").arg(book % 6).arg(book % 5);
            QString name =
                QStringLiteral("The Real Songbook Collection Volume %1 (Sixth Edition).pdf").arg(book);
            if (book >= 280)
                name = QStringLiteral("Other Book %1.pdf").arg(book);
            else if (book % 7 == 0)
                name.replace(QLatin1String(".pdf"), QLatin1String(".PDF"));
            touch(folder + sub + QLatin1Char('/') + name);
            touch(folder + sub + QStringLiteral("/notes.txt"));
        }
        QFile file(resource);
        if (file.open(QIODevice::WriteOnly))
            file.write(resourceJson(library()));
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void countMatches(benchmark::State &state, const BookmarkList &entries)
{
    const Fixture &f = fixture();
    int matched = 0;
    for (const BookmarkEntry &e : entries)
        matched += e.pdfFilePath.startsWith(f.folder) ? 1 : 0;
    state.counters["records"] = double(entries.size());
    state.counters["matched"] = matched;
}

// Read, decode, one walk of the folder, map every record.
void BM_DefaultBookmarksLoad(benchmark::State &state)
{
    const Fixture &f = fixture();
    BookmarkList entries;
    for (auto _ : state) {
        auto loaded = DefaultBookmarks::load(f.resource, f.folder);
        if (!loaded) {
            state.SkipWithError("load failed");
            return;
        }
        state.PauseTiming();
        entries = std::move(loaded).value();
        state.ResumeTiming();
    }
    countMatches(state, entries);
}
BENCHMARK(BM_DefaultBookmarksLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DefaultBookmarksDecodeOnly(benchmark::State &state)
{
    QFile file(fixture().resource);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        auto records = DefaultBookmarks::decode(bytes);
        if (!records) {
            state.SkipWithError("decode failed");
            return;
        }
        state.PauseTiming();
        records = QList<DefaultBookmarkRecord>();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_DefaultBookmarksDecodeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The walk and the mapping alone, from decoded records.
void BM_DefaultRecordsMapWithOneWalk(benchmark::State &state)
{
    const Fixture &f = fixture();
    QFile file(f.resource);
    file.open(QIODevice::ReadOnly);
    const auto records = DefaultBookmarks::decode(file.readAll());
    if (!records) {
        state.SkipWithError("decode failed");
        return;
    }
    BookmarkList entries;
    for (auto _ : state) {
        BookmarkList mapped = DefaultBookmarks::toBookmarkEntries(records.value(), f.folder);
        state.PauseTiming();
        entries = std::move(mapped);
        state.ResumeTiming();
    }
    countMatches(state, entries);
}
BENCHMARK(BM_DefaultRecordsMapWithOneWalk)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The tile's load at the size the window sees: 10,000 records against a library folder of 2,000
// PDFs in 40 subfolders (1,900 of the records' 2,000 books there, 100 others).
struct LargeFolderFixture {
    QTemporaryDir dir;
    QString folder;
    QString resource;

    LargeFolderFixture()
        : folder(dir.path() + QStringLiteral("/Library")), resource(dir.path() + "/DefaultBookmarks.json")
    {
        BookmarkList records = Fixtures::realisticLibrary(10000, 7);
        for (qsizetype i = 0; i < records.size(); ++i) {
            records[i].pdfFileName = QStringLiteral("Songbook %1.pdf").arg(i % 2000);
            records[i].pdfFilePath = QStringLiteral("/recorded/") + records[i].pdfFileName;
        }
        for (int book = 0; book < 2000; ++book) {
            const QString name = book < 1900 ? QStringLiteral("Songbook %1.pdf").arg(book)
                                             : QStringLiteral("Other %1.pdf").arg(book);
            touch(folder + QStringLiteral("/Shelf %1/").arg(book % 40) + name);
        }
        QFile file(resource);
        if (file.open(QIODevice::WriteOnly))
            file.write(resourceJson(records));
    }
};

void BM_DefaultBookmarksLoad10kRecords2kPdfs(benchmark::State &state)
{
    static LargeFolderFixture f;
    qsizetype matched = 0;
    for (auto _ : state) {
        auto loaded = DefaultBookmarks::load(f.resource, f.folder);
        if (!loaded) {
            state.SkipWithError("load failed");
            return;
        }
        matched = std::count_if(loaded->cbegin(), loaded->cend(),
                                [&](const BookmarkEntry &e) { return e.pdfFilePath.startsWith(f.folder); });
    }
    state.counters["matched"] = double(matched);
}
BENCHMARK(BM_DefaultBookmarksLoad10kRecords2kPdfs)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FolderIndexWalk(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        const FolderFileIndex books(f.folder);
        benchmark::DoNotOptimize(books.pdfCountForTesting());
    }
}
BENCHMARK(BM_FolderIndexWalk)->Unit(benchmark::kMicrosecond);

// The yardstick: one lookup per record, each walking the folder until it finds the book.
void BM_ResolvePathPerRecord(benchmark::State &state)
{
    const Fixture &f = fixture();
    const BookmarkList &list = library();
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FolderFileIndex::resolvePathInFolder(f.folder, list[i].pdfFileName));
        i = (i + 1) % list.size();
    }
}
BENCHMARK(BM_ResolvePathPerRecord)->Unit(benchmark::kMicrosecond);

} // namespace
