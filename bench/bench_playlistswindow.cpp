// The playlists window as the user meets it: opening it on a large playlists file (the file's first
// read included), dragging a title to another place in a long playlist, and opening a received title
// whose book only a slot of 1,000,000 bookmarks knows; and the save behind such a change, with and
// without the file guard.

#include "BenchMeasure.h"
#include "Fixtures.h"
#include "SettledLibrary.h"
#include "TestHarness.h"
#include "core/playlist/PlaylistBookPaths.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistRows.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"
#include "ui/app/AppContext.h"
#include "ui/playlists/PlaylistCardView.h"
#include "ui/playlists/PlaylistsWindowController.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <benchmark/benchmark.h>

namespace {

// The viewer shown now, if any: opening one closes the one before.
const PdfViewerWindowController *shownViewer()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *viewer = qobject_cast<PdfViewerWindowController *>(window); viewer && viewer->isVisible())
            return viewer;
    }
    return nullptr;
}

QList<Playlist> playlistsOf(int playlists, int titles)
{
    return Fixtures::playlistsOf(Fixtures::realisticLibrary(std::max(titles * 4, 2000)), playlists, titles);
}

// The window is shown once its first paint is done.
void settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents();
}

// 500 playlists of 200 titles: the playlists read (as at start), the window built and shown.
void BM_PlaylistsWindowOpen(benchmark::State &state)
{
    PlaylistStore::savePlaylists(playlistsOf(500, 200));
    qint64 readNs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        AppContext context;
        readNs += timer.nsecsElapsed();
        PlaylistsWindowController window(context);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.showWindow();
        settle();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["ms_reading_the_file"] = double(readNs) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_PlaylistsWindowOpen)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

// A title of a 2,000-title playlist dragged from the end to the top and back, with 100 other playlists
// of 200 titles in the file: the interface thread's part (the move, the lists redrawn), then, apart,
// the time until the file on disk holds it.
void BM_PlaylistReorder2000(benchmark::State &state)
{
    QList<Playlist> stored = playlistsOf(100, 200);
    stored.prepend(playlistsOf(1, 2000).first());
    stored.first().name = QStringLiteral("Long");
    PlaylistStore::savePlaylists(stored);
    AppContext context;
    PlaylistsWindowController window(context);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.showWindow();
    window.findChild<PlaylistCardView *>(QStringLiteral("playlistTable"))->selectRow(0);
    auto *titles = window.findChild<PlaylistCardView *>(QStringLiteral("titlesTable"));
    settle();
    qint64 diskNs = 0;
    qint64 moveNs = 0;
    int n = 0;
    for (auto _ : state) {
        const bool toTop = n++ % 2 == 0;
        const QList<PlaylistItem> &items = context.playlists().playlists().first().items;
        const QString moving = items.at(toTop ? 1999 : 0).title;
        QMimeData data;
        data.setData(PlaylistRows::rowDragType, PlaylistRows::rowPayload(toTop ? 1999 : 0));
        QElapsedTimer timer;
        timer.start();
        Q_EMIT titles->dropped(&data, toTop ? 0 : 2000);
        moveNs += timer.nsecsElapsed();
        if (context.playlists().playlists().first().items.at(toTop ? 0 : 1999).title != moving) {
            state.SkipWithError("the title did not move");
            return;
        }
        settle();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        diskNs += timer.nsecsElapsed();
    }
    state.counters["ms_until_on_disk"] = double(diskNs) / 1e6 / double(state.iterations());
    state.counters["ms_move_before_drawing"] = double(moveNs) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_PlaylistReorder2000)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// A title received from someone who keeps the book elsewhere ("/their/place/..."), found among the
// books of the current slot of 1,000,000 bookmarks in 300 books (links to a real book): from the press
// on its card until the viewer has opened it, in a playlists window just opened on the playlist. Pressed
// at once (0): the slot's books are still being looked up, which showing the playlist began; pressed
// once the window is idle (1): they are. lookup_ms and lookup_cpu_ms are what looking the slot's books
// up takes by itself, on the wall clock and in CPU time (the first is longer on a loaded machine).
void BM_PlaylistOpenTitleFoundInSlot1M(benchmark::State &state)
{
    const bool settled = state.range(0) != 0;
    static QTemporaryDir books;
    BookmarkList rows = Fixtures::realisticLibrary(1000000);
    const QString real = TestHarness::testData(QStringLiteral("books/joplin-pineapple-rag.pdf"));
    for (BookmarkEntry &row : rows) {
        row.pdfFilePath = books.filePath(row.pdfFileName);
        if (!QFileInfo::exists(row.pdfFilePath))
            QFile::link(real, row.pdfFilePath);
    }
    PlaylistItem received = PlaylistItem::fromBookmark(rows.at(7));
    received.pdfFilePath = QStringLiteral("/their/place/") + received.pdfFileName;
    PlaylistStore::savePlaylists({Playlist{QStringLiteral("Received"), {received}}});
    // A Default library of its own size, whatever the benchmarks before left there: it is looked in first.
    SlotStore::saveSlot(0, Fixtures::realisticLibrary(2000, 9), QStringLiteral("/home/musician/Default"));
    AppContext context;
    Fixtures::setRows(context.library(), rows);
    rows.clear();
    settleLibrary(context.library());
    {
        QElapsedTimer wall;
        wall.start();
        const double cpu = BenchMeasure::threadCpuMs();
        benchmark::DoNotOptimize(PlaylistBookPaths::fromRows(context.library().allBookmarks()));
        state.counters["lookup_cpu_ms"] = BenchMeasure::threadCpuMs() - cpu;
        state.counters["lookup_ms"] = double(wall.nsecsElapsed()) / 1e6;
    }
    for (auto _ : state) {
        PlaylistsWindowController window(context);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.showWindow();
        window.findChild<PlaylistCardView *>(QStringLiteral("playlistTable"))->selectRow(0);
        auto *titles = window.findChild<PlaylistCardView *>(QStringLiteral("titlesTable"));
        settle();
        if (settled) {
            QThreadPool::globalInstance()->waitForDone();
            settle();
        }
        const PdfViewerWindowController *before = shownViewer();
        const QPoint card = titles->partRect(0, PlaylistCardView::Part::card).center();
        QElapsedTimer timer;
        timer.start();
        QTest::mousePress(titles->viewport(), Qt::LeftButton, {}, card);
        const PdfViewerWindowController *opened = nullptr;
        while ((opened = shownViewer()) == before && timer.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        QTest::mouseRelease(titles->viewport(), Qt::LeftButton, {}, card);
        if (opened == before || opened->openError()) {
            state.SkipWithError("the title did not open");
            break;
        }
        settle();
        QThreadPool::globalInstance()->waitForDone();
    }
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *viewer = qobject_cast<PdfViewerWindowController *>(widget))
            viewer->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_PlaylistOpenTitleFoundInSlot1M)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// The same file (a playlist of 2,000 titles and 100 of 200, about 10 MB) from a change until it is on
// disk: through the library and its file guard (guarded: 1), and written plainly from the same list
// (0). The difference is what the guard itself costs (the hash, the lock, the comparison, the exchange).
void BM_PlaylistSaveToDisk(benchmark::State &state)
{
    const bool guarded = state.range(0) != 0;
    QList<Playlist> stored = playlistsOf(100, 200);
    stored.prepend(playlistsOf(1, 2000).first());
    stored.first().name = QStringLiteral("Long");
    PlaylistStore::savePlaylists(stored);
    PlaylistLibrary library;
    // Beside it, so that the guard does not read the plain writes as another program's.
    const QString plainPath = PlaylistStore::playlistsPath() + QStringLiteral(".plain");
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (guarded) {
            const PlaylistItemRef last = PlaylistItemRef::at(library.playlists().first().items, 1999);
            library.moveItem(0, QStringLiteral("Long"), last, n++ % 2000);
        } else {
            std::swap(stored.first().items.first(), stored.first().items.last());
            StateFile::writeInBackground(PlaylistStore::playlistsPath(), [snapshot = stored] {
                return PlaylistCodec::encodePlaylists(snapshot);
            });
        }
        StateFile::waitForAllPendingWrites();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PlaylistSaveToDisk)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);

} // namespace
