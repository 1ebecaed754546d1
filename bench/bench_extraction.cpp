// Extraction of a folder of 300 books (copies of the real test books under other names): the run that
// reads several books at once, against the sum of reading each book alone, and the longest time the
// interface's thread is kept busy while the run goes on (its songs applied to the library included).

#include "BenchMeasure.h"
#include "TestHarness.h"
#include "core/books/FolderFileIndex.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/slots/LibrarySlots.h"
#include "pdf/extract/BookmarkExtractionRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

constexpr int bookCount = 300;

// The folder, made once: the four test books, then hard links to them (copies when linking fails).
QString bookFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/lyrafold-extract-XXXXXX"));
    static const bool made = [] {
        const QStringList sources = {QStringLiteral("songs-from-the-public-domain.pdf"),
                                     QStringLiteral("dusty-strings-tunebook.pdf"),
                                     QStringLiteral("joplin-pineapple-rag.pdf"),
                                     QStringLiteral("songs-from-the-public-domain-no-outline.pdf")};
        namespace fs = std::filesystem;
        for (int i = 0; i < bookCount; ++i) {
            const QString source =
                TestHarness::testData(QStringLiteral("books/") + sources.at(i % sources.size()));
            const QString shelf = dir.path() + QStringLiteral("/shelf %1").arg(i / 50);
            QDir().mkpath(shelf);
            const fs::path target =
                (shelf + QStringLiteral("/Book %1.pdf").arg(i, 3, 10, QLatin1Char('0'))).toStdString();
            const fs::path first =
                (dir.path() +
                 QStringLiteral("/shelf 0/Book %1.pdf").arg(i % sources.size(), 3, 10, QLatin1Char('0')))
                    .toStdString();
            std::error_code error;
            if (i < sources.size() || (fs::create_hard_link(first, target, error), error))
                fs::copy_file(source.toStdString(), target, fs::copy_options::overwrite_existing);
        }
        return true;
    }();
    Q_UNUSED(made);
    return dir.path();
}

QStringList bookPaths()
{
    return FolderFileIndex::listPdfs(bookFolder()).paths;
}

void BM_ExtractFolderRun(benchmark::State &state)
{
    const QStringList paths = bookPaths();
    if (paths.size() != bookCount) {
        state.SkipWithError("the book folder is incomplete");
        return;
    }
    qint64 longestBusy = 0;
    double longestWork = 0;
    qsizetype songs = 0;
    for (auto _ : state) {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        BookmarkExtractionRun::Request request;
        request.slot = 1;
        request.folder = bookFolder();
        request.pdfPaths = paths;
        BookmarkExtractionRun run(librarySlots, request);
        QEventLoop loop;
        QObject::connect(&run, &BookmarkExtractionRun::finished, &loop, &QEventLoop::quit);
        // A probe that should run every millisecond: a later call means the thread was busy meanwhile,
        // or not given a core by a loaded machine; the thread's own processor time between two calls is
        // what it did in one stretch.
        QElapsedTimer sinceProbe;
        double cpuAtProbe = BenchMeasure::threadCpuMs();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestBusy = std::max(longestBusy, sinceProbe.restart() - 1);
            const double cpu = BenchMeasure::threadCpuMs();
            longestWork = std::max(longestWork, cpu - cpuAtProbe);
            cpuAtProbe = cpu;
        });
        sinceProbe.start();
        probe.start();
        run.start();
        loop.exec();
        probe.stop();
        songs = session.allBookmarks().size();
        LibrarySession::waitForPendingSaves();
    }
    state.counters["books"] = bookCount;
    state.counters["songs"] = double(songs);
    state.counters["threads"] = QThread::idealThreadCount();
    state.counters["ui_longest_busy_ms"] = double(longestBusy);
    state.counters["ui_longest_work_ms"] = longestWork;
}
BENCHMARK(BM_ExtractFolderRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ExtractBooksOneByOne(benchmark::State &state)
{
    const QStringList paths = bookPaths();
    qsizetype songs = 0;
    for (auto _ : state) {
        songs = 0;
        for (const QString &path : paths)
            songs += PdfBookmarkExtractor::extractBook(path).bookmarks.size();
    }
    state.counters["books"] = double(paths.size());
    state.counters["songs"] = double(songs);
}
BENCHMARK(BM_ExtractBooksOneByOne)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
