// Generating an auto playlist of 25,000 titles from a library of 100,000 bookmarks, with built-in
// metadata for most titles: what the Generate button waits for; and the Auto-Playlist window on such a
// library: opening it, Generate of 500 titles, a drag in its list.

#include "Fixtures.h"
#include "core/autoplaylist/AutoPlaylistGenerator.h"
#include "core/resources/BundledResources.h"
#include "core/titles/TitleMetadataIndex.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistWindowController.h"
#include "ui/autoplaylist/GeneratedTitlesModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

namespace {

constexpr int bookmarkCount = 100000;

const BookmarkList &library()
{
    static const BookmarkList list = Fixtures::realisticLibrary(bookmarkCount, 5);
    return list;
}

// Built-in records for about five in six of the library's titles, with every field the filters read.
QByteArray metadataJson()
{
    static const QStringList genres = {"Jazz", "Latin", "Pop", "Folk", "Blues"};
    static const QStringList styles = {"Swing", "Bossa Nova", "Bebop", "Ballad", "Waltz"};
    static const QStringList tempos = {"Fast", "Medium-Up", "Medium", "Medium-Ballad", "Ballad"};
    QRandomGenerator random(11);
    QJsonArray records;
    QHash<QString, bool> seen;
    for (const BookmarkEntry &entry : library()) {
        const QString key = TitleMetadataIndex::normalizedTitleKey(entry.title);
        if (seen.contains(key))
            continue;
        seen.insert(key, true);
        if (random.bounded(6) == 0)
            continue;
        records.append(
            QJsonObject{{"Title", entry.title},
                        {"Genres", QJsonArray{genres[random.bounded(5)]}},
                        {"Styles", QJsonArray{styles[random.bounded(5)], styles[random.bounded(5)]}},
                        {"FirstReleaseYear", 1920 + random.bounded(100)},
                        {"Composer", QStringLiteral("Composer %1").arg(random.bounded(400))},
                        {"Tempo", tempos[random.bounded(5)]},
                        {"Popularity", 1 + random.bounded(5)}});
    }
    return QJsonDocument(records).toJson(QJsonDocument::Compact);
}

// Points the built-in metadata at the generated file while it lives, loaded before any timing.
class MetadataFixture {
public:
    MetadataFixture()
    {
        QFile file(m_dir.path() + QStringLiteral("/Bundled/default_metadata.json"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/Bundled"));
        if (file.open(QIODevice::WriteOnly))
            file.write(metadataJson());
        file.close();
        BundledResources::setRootForTesting(m_dir.path());
        TitleMetadataIndex::resetForTesting();
        TitleMetadataIndex::metadataForKey(QString());
    }
    ~MetadataFixture()
    {
        BundledResources::setRootForTesting(QString());
        TitleMetadataIndex::resetForTesting();
    }

private:
    QTemporaryDir m_dir;
};

void runGenerator(benchmark::State &state, const AutoPlaylistGenerator::Params &params)
{
    const MetadataFixture metadata;
    const AutoPlaylistGenerator::TitleIndex index(library());
    QRandomGenerator random(1);
    qsizetype size = 0;
    for (auto _ : state) {
        const auto result = AutoPlaylistGenerator::generate(index, params, random);
        size = result ? result->size() : 0;
        benchmark::DoNotOptimize(size);
    }
    state.counters["titles"] = double(size);
    state.counters["library titles"] = double(index.titleCount());
}

AutoPlaylistGenerator::Params twentyFiveThousand()
{
    AutoPlaylistGenerator::Params params;
    params.titlesPerSet = 25;
    params.setCount = 1000;
    params.tempoFormula = QStringLiteral("M-MU-F-B-M-MU-MB");
    return params;
}

void BM_AutoPlaylistTempoOnly(benchmark::State &state)
{
    runGenerator(state, twentyFiveThousand());
}
BENCHMARK(BM_AutoPlaylistTempoOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Genre groups, a year range, popularity bounds and book priorities: every phase at work.
void BM_AutoPlaylistFiltered(benchmark::State &state)
{
    AutoPlaylistGenerator::Params params = twentyFiveThousand();
    params.genres = QStringList{"jazz", "latin", "pop", "blues"};
    params.yearMin = 1925;
    params.yearMax = 2015;
    params.popularity = QStringLiteral("2-5");
    params.bookPriority = {QStringLiteral("The Real Songbook Collection Volume 7 (Sixth Edition).pdf"),
                           QStringLiteral("The Real Songbook Collection Volume 12 (Sixth Edition).pdf")};
    runGenerator(state, params);
}
BENCHMARK(BM_AutoPlaylistFiltered)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The title index, built once per library change rather than per generation.
void BM_AutoPlaylistTitleIndex(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AutoPlaylistGenerator::TitleIndex(library()).titleCount());
}
BENCHMARK(BM_AutoPlaylistTitleIndex)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same from the library's rows and the title keys the library session keeps for them: what a
// window pays, since the keys are made once per library version.
void BM_AutoPlaylistTitleIndexFromSession(benchmark::State &state)
{
    const LibraryRows rows(library());
    const auto keys = std::make_shared<const TitleKeyIndex>(rows);
    for (auto _ : state)
        benchmark::DoNotOptimize(AutoPlaylistGenerator::TitleIndex(rows, keys).titleCount());
}
BENCHMARK(BM_AutoPlaylistTitleIndexFromSession)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- The Auto-Playlist window on a slot of 100,000 bookmarks

// The application's library holding the slot, its title keys made (as they are once the slot has been
// open a moment), and the built-in metadata loaded.
struct WindowFixture {
    MetadataFixture metadata;
    AppContext context;

    WindowFixture()
    {
        Fixtures::setRows(context.library(), library());
        context.library().titleKeyIndex();
    }

    AutoPlaylistWindowController *open()
    {
        auto *window = AutoPlaylistWindowController::open(context, nullptr);
        // Nothing is painted before the window system has put the window on the screen.
        while (!window->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        shown(window);
        return window;
    }

    // Lays out and paints what changed, as the next turn of the event loop would.
    static void shown(QWidget *window)
    {
        QCoreApplication::sendPostedEvents();
        window->repaint();
    }
};

void BM_AutoPlaylistWindowOpen(benchmark::State &state)
{
    WindowFixture fixture;
    for (auto _ : state) {
        AutoPlaylistWindowController *window = fixture.open();
        state.PauseTiming();
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AutoPlaylistWindowOpen)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// From the click on Generate to the first cards of 500 titles painted (the "Club gig" tempo map).
void BM_AutoPlaylistWindowGenerate(benchmark::State &state)
{
    WindowFixture fixture;
    std::unique_ptr<AutoPlaylistWindowController> window(fixture.open());
    window->findChild<QSpinBox *>(QStringLiteral("titlesField"))->setValue(500);
    auto *generate = window->findChild<QPushButton *>(QStringLiteral("generateButton"));
    auto *table = window->findChild<QTableView *>(QStringLiteral("resultsTable"));
    for (auto _ : state) {
        generate->click();
        QCoreApplication::sendPostedEvents();
        table->viewport()->repaint();
    }
    state.counters["titles"] = double(table->model()->rowCount());
}
BENCHMARK(BM_AutoPlaylistWindowGenerate)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One title dragged from the top of the 500 cards to near their end and back, each drop painted.
void BM_AutoPlaylistWindowDragReorder(benchmark::State &state)
{
    WindowFixture fixture;
    std::unique_ptr<AutoPlaylistWindowController> window(fixture.open());
    window->findChild<QSpinBox *>(QStringLiteral("titlesField"))->setValue(500);
    window->findChild<QPushButton *>(QStringLiteral("generateButton"))->click();
    auto *table = window->findChild<QTableView *>(QStringLiteral("resultsTable"));
    auto *titles = static_cast<GeneratedTitlesModel *>(table->model());
    bool down = true;
    for (auto _ : state) {
        std::unique_ptr<QMimeData> payload(GeneratedTitlesModel::rowMimeData(down ? 0 : 449));
        titles->dropMimeData(payload.get(), Qt::MoveAction, down ? 450 : 0, 0, {});
        QCoreApplication::sendPostedEvents();
        table->viewport()->repaint();
        down = !down;
    }
    state.counters["titles"] = double(titles->rowCount());
}
BENCHMARK(BM_AutoPlaylistWindowDragReorder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
