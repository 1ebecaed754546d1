// The built-in metadata applied from the main window to a slot of 100,000 bookmarks and 500 playlists
// (DEFAULT and "Apply Bundled Metadata Only"): the time from the press to the table showing the result,
// the longest stretch the interface thread was busy meanwhile and its whole CPU time (ui_ms). And the
// auto-tag run's own cost per title, with a lookup that answers at once.

#include "BenchMeasure.h"
#include "Fixtures.h"
#include "core/metadata/AutoTagRun.h"
#include "core/metadata/MetadataWebClient.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/resources/BundledResources.h"
#include "core/slotfiles/SlotStore.h"
#include "core/titles/TitleKeyIndex.h"
#include "core/titles/TitleMetadataIndex.h"
#include "ui/app/AppContext.h"
#include "ui/common/StatusLine.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/metadata/MetadataImportFlow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

constexpr int libraryRows = 100000;

const BookmarkList &library()
{
    static const BookmarkList rows = Fixtures::realisticLibrary(libraryRows);
    return rows;
}

// Records for every other title of the library.
QString writeMetadataFile(const QString &path)
{
    const LibraryRows rows(library());
    const TitleKeyIndex titles(rows);
    QJsonArray records;
    for (qsizetype t = 0; t < titles.titleCount(); t += 2) {
        records.append(QJsonObject{{"Title", rows.at(titles.rows(t).front()).title},
                                   {"Genres", QJsonArray{"Jazz", "Latin"}},
                                   {"Styles", QJsonArray{"Bossa Nova"}},
                                   {"FirstReleaseYear", 1960 + int(t % 40)},
                                   {"Composer", "Somebody"},
                                   {"Tempo", "Medium"},
                                   {"Rating", 4}});
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the metadata file");
    file.write(QJsonDocument(records).toJson(QJsonDocument::Compact));
    return path;
}

// Measures the longest time between two turns of the event loop while it runs.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    // The longest stretch before the last tick, and the one after it.
    std::pair<double, double> stop()
    {
        m_timer.stop();
        return {m_longest, double(m_clock.nsecsElapsed()) / 1e6 - m_last};
    }

private:
    void tick()
    {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0;
    double m_last = 0;
};

// 500 playlists of 40 titles of the library, stored before the window reads them.
struct StoredPlaylists {
    StoredPlaylists() { PlaylistStore::savePlaylists(Fixtures::playlistsOf(library(), 500, 40)); }
};

// The window on slot 1 holding the library and 500 playlists, with the indexes a settled library has.
struct Window {
    StoredPlaylists playlists;
    AppContext context;
    std::unique_ptr<MainWindowController> window;

    Window()
    {
        SlotStore::saveSlot(1, library(), QString());
        QFile meta(SlotStore::metaFilePath());
        meta.open(QIODevice::WriteOnly);
        meta.write(R"({"activeSlot":1,"slotNames":{}})");
        meta.close();
        window = std::make_unique<MainWindowController>(context);
    }

    void reset()
    {
        Fixtures::setRows(context.library(), library());
        context.library().titleKeyIndex();
        LibrarySession::waitForPendingSaves();
    }

    // Looked up once: a search of the window's widgets at every turn of the loop would count as the
    // interface thread's time.
    QString status()
    {
        if (!statusField)
            statusField = window->findChild<QLabel *>(QStringLiteral("statusField"));
        return statusField->text();
    }
    QLabel *statusField = nullptr;
};

void measure(benchmark::State &state, Window &w, const std::function<void()> &press, const QString &doneText)
{
    StallMeter meter;
    double before = 0;
    double last = 0;
    double ui = 0;
    BenchMeasure::resetPeakMb();
    for (auto _ : state) {
        w.reset();
        w.window->findChild<StatusLine *>(QStringLiteral("statusField"))->setStatus(QString());
        QElapsedTimer timer;
        timer.start();
        meter.start();
        const double cpu = BenchMeasure::threadCpuMs();
        press();
        // Sleeps until something comes (the meter's ticks at the latest): processEvents() with a time
        // limit would not wait, and the spinning would count as the interface thread's time.
        while (!w.status().startsWith(doneText))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ui += BenchMeasure::threadCpuMs() - cpu;
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        const auto [longest, final] = meter.stop();
        before = std::max(before, longest);
        last = std::max(last, final);
        LibrarySession::waitForPendingSaves();
    }
    state.counters["longest_stall_ms"] = before;
    state.counters["final_step_ms"] = last;
    state.counters["ui_ms"] = benchmark::Counter(ui / double(state.iterations()));
    state.counters["peak_mb"] = BenchMeasure::peakMb();
    state.counters["bookmarks"] = libraryRows;
}

void BM_DefaultMetadata(benchmark::State &state)
{
    Window w;
    const QString file =
        writeMetadataFile(QDir::tempPath() + QStringLiteral("/bench-metadata/metadata.json"));
    measure(
        state, w, [&] { w.window->findChild<MetadataImportFlow *>()->applyMetadataFile(file); },
        QStringLiteral("Applied metadata"));
}
BENCHMARK(BM_DefaultMetadata)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ApplyBundledMetadataOnly(benchmark::State &state)
{
    // The index keeps the file it loaded first: the generated one.
    const QString root = QDir::tempPath() + QStringLiteral("/bench-metadata-root");
    writeMetadataFile(root + QStringLiteral("/Bundled/default_metadata.json"));
    BundledResources::setRootForTesting(root);
    TitleMetadataIndex::resetForTesting();
    TitleMetadataIndex::records();
    BundledResources::setRootForTesting(QString());
    Window w;
    measure(
        state, w, [&] { w.window->findChild<MetadataImportFlow *>()->applyBundledMetadataToAll(); },
        QStringLiteral("Bundled metadata applied"));
    TitleMetadataIndex::resetForTesting();
}
BENCHMARK(BM_ApplyBundledMetadataOnly)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// 10,000 titles of the library tagged by a lookup that answers at once: what the run itself costs
// each title, the session's batch included (one save and one playlist sync at the end).
void BM_AutoTagRunPerTitle(benchmark::State &state)
{
    constexpr qsizetype titles = 10000;
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    const AutoTagRun::Enricher instant = [](const BookmarkEntry &entry,
                                            const std::optional<SongDataImportOptions> &, QObject *context,
                                            AutoTagRun::Done done) {
        BookmarkEntry enriched = entry;
        enriched.youtubeURL = QStringLiteral("https://youtu.be/x");
        MetadataWebClient::deliverLater(context, [done, enriched] {
            done(enriched, LookupOutcome{LookupOutcome::Kind::found, {}});
        });
    };
    for (auto _ : state) {
        state.PauseTiming();
        Fixtures::setRows(session, library());
        const std::shared_ptr<const TitleKeyIndex> index = session.titleKeyIndex();
        QList<qsizetype> candidates;
        for (qsizetype t = 0; t < titles; ++t)
            candidates.append(index->rows(t).front());
        LibrarySession::waitForPendingSaves();
        AutoTagRun run(session, candidates, std::nullopt, instant);
        QSignalSpy finished(&run, &AutoTagRun::finished);
        state.ResumeTiming();
        run.start();
        while (finished.isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.PauseTiming();
        LibrarySession::waitForPendingSaves();
        state.ResumeTiming();
    }
    state.counters["titles"] = double(titles);
    state.counters["per_title_us"] =
        benchmark::Counter(double(titles) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AutoTagRunPerTitle)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
