// The bookmark workshop on a slot of 500 books whose paths all resolve (links to the real books of the
// test data, 20 songs each): opening the window until its grid is listed and painted, and until every
// visible cover is drawn, with the longest stretch the UI thread is busy while the covers stream in; a
// refresh after one edit of a cell with the covers cached (from the edit to the grid painted again);
// and scrolling the grid from top to bottom a row at a time, each step painted.

#include "Fixtures.h"
#include "MainWindowParts.h"
#include "SettledLibrary.h"
#include "TestHarness.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/common/CoverThumbnailLoader.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

constexpr int bookCount = 500;
constexpr int songsPerBook = 20;

// 500 books in slot 1, made once: each a link to one of the real books.
QString library()
{
    static QTemporaryDir folder;
    static const bool made = [] {
        const QStringList books{
            TestHarness::testData(QStringLiteral("books/joplin-pineapple-rag.pdf")),
            TestHarness::testData(QStringLiteral("books/dusty-strings-tunebook.pdf")),
            TestHarness::testData(QStringLiteral("books/songs-from-the-public-domain.pdf")),
            TestHarness::testData(QStringLiteral("scans/beethoven-sonata-19-op49-1.pdf"))};
        BookmarkList rows;
        for (int book = 0; book < bookCount; ++book) {
            const QString path =
                folder.path() + QStringLiteral("/Book %1.pdf").arg(book, 3, 10, QLatin1Char('0'));
            QFile::link(books.at(book % books.size()), path);
            for (int song = 0; song < songsPerBook; ++song) {
                BookmarkEntry entry =
                    Fixtures::bookmark(path, song + 1, QStringLiteral("Song %1 of %2").arg(song).arg(book));
                entry.pdfFileName = QFileInfo(path).fileName();
                rows.append(entry);
            }
        }
        SlotStore::saveSlot(1, rows, folder.path());
        SlotStore::saveMeta(SlotMeta{1, {}});
        return true;
    }();
    Q_UNUSED(made);
    return folder.path();
}

struct Owner {
    AppContext context;
    MainWindowController window{context};
};

// The main window with the slot read and the library settled: a tile pressed before its rows are in
// waits for them, which no benchmark here means to measure.
Owner &owner()
{
    library();
    static Owner *const made = [] {
        auto *owner = new Owner;
        settleLibrary(owner->context.library());
        return owner;
    }();
    return *made;
}

WorkshopWindowController *openWorkshop()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *workshop = qobject_cast<WorkshopWindowController *>(window))
            return workshop;
    }
    return nullptr;
}

// The longest stretch between two turns of the event loop while it runs.
class StallMeter {
public:
    StallMeter()
    {
        m_tick.setInterval(0);
        QObject::connect(&m_tick, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_tick.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_tick;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

bool runUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
}

// The workshop the tile opens, once it is open; null if it did not open.
WorkshopWindowController *pressWorkshopTile(Owner &main)
{
    MainWindowParts::pressTile(main.window, "bookmarkWorkshopTile");
    runUntil([] { return openWorkshop() != nullptr; }, 10000);
    return openWorkshop();
}

bool visibleCoversDrawn(WorkshopWindowController &workshop)
{
    auto *grid = workshop.findChild<QListView *>(QStringLiteral("workshopGrid"));
    const auto [first, last] = CoverThumbnailLoader::visibleRowsForTesting(*grid);
    for (int row = first; row <= last; ++row) {
        if (grid->model()->index(row, 0).data(Qt::DecorationRole).value<QPixmap>().isNull())
            return false;
    }
    return first <= last;
}

void BM_WorkshopOpen500Books(benchmark::State &state)
{
    Owner &main = owner();
    double shown = 0;
    double covered = 0;
    qint64 stall = 0;
    for (auto _ : state) {
        delete openWorkshop();
        QElapsedTimer timer;
        timer.start();
        WorkshopWindowController *workshop = pressWorkshopTile(main);
        if (!workshop) {
            state.SkipWithError("the workshop did not open");
            return;
        }
        bool listed = false;
        QObject::connect(workshop, &WorkshopWindowController::slotBooksShownForTesting,
                         [&listed] { listed = true; });
        if (!runUntil([&listed] { return listed; })) {
            state.SkipWithError("the books were not listed");
            delete workshop;
            return;
        }
        workshop->repaint();
        const double shownMs = timer.nsecsElapsed() / 1e6;
        // From here the covers stream in.
        StallMeter meter;
        if (!runUntil([workshop] { return visibleCoversDrawn(*workshop); })) {
            state.SkipWithError("the covers were not drawn");
            delete workshop;
            return;
        }
        const double coveredMs = timer.nsecsElapsed() / 1e6;
        state.SetIterationTime(shownMs / 1000);
        shown += shownMs;
        covered += coveredMs;
        stall = std::max(stall, meter.longestMs());
    }
    state.counters["shown_ms"] = shown / state.iterations();
    state.counters["visible_covers_ms"] = covered / state.iterations();
    state.counters["longest_ui_stall_ms"] = double(stall);
    delete openWorkshop();
}
BENCHMARK(BM_WorkshopOpen500Books)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// An edit of one cell (a genre) refreshes the open workshop: from the edit to the grid listed again.
void BM_WorkshopRefreshAfterCellEdit(benchmark::State &state)
{
    Owner &main = owner();
    WorkshopWindowController *workshop = pressWorkshopTile(main);
    if (!workshop) {
        state.SkipWithError("the workshop did not open");
        return;
    }
    bool listed = false;
    QObject::connect(workshop, &WorkshopWindowController::slotBooksShownForTesting,
                     [&listed] { listed = true; });
    if (!runUntil([workshop] { return visibleCoversDrawn(*workshop); })) {
        state.SkipWithError("the covers were not drawn");
        delete workshop;
        return;
    }
    LibrarySession &session = main.context.library();
    int edit = 0;
    for (auto _ : state) {
        listed = false;
        QElapsedTimer timer;
        timer.start();
        ++edit;
        session.setMetadataField(BookmarkMetadataField::genre, QStringLiteral("Genre %1").arg(edit),
                                 session.allBookmarks().at(edit));
        if (!runUntil([&listed] { return listed; })) {
            state.SkipWithError("the workshop did not refresh");
            delete workshop;
            return;
        }
        workshop->repaint();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
    delete workshop;
}
BENCHMARK(BM_WorkshopRefreshAfterCellEdit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The grid scrolled from top to bottom a row at a time, each step painted; covers stream in behind.
void BM_WorkshopScrollTopToBottom(benchmark::State &state)
{
    Owner &main = owner();
    WorkshopWindowController *workshop = pressWorkshopTile(main);
    if (!workshop) {
        state.SkipWithError("the workshop did not open");
        return;
    }
    auto *grid = workshop->findChild<QListView *>(QStringLiteral("workshopGrid"));
    if (!runUntil([workshop] { return visibleCoversDrawn(*workshop); })) {
        state.SkipWithError("the covers were not drawn");
        delete workshop;
        return;
    }
    QScrollBar *bar = grid->verticalScrollBar();
    qint64 longestStep = 0;
    int steps = 0;
    for (auto _ : state) {
        bar->setValue(0);
        QCoreApplication::processEvents();
        QElapsedTimer total;
        total.start();
        for (int value = 0; value <= bar->maximum(); value += grid->gridSize().height()) {
            QElapsedTimer step;
            step.start();
            bar->setValue(value);
            grid->viewport()->repaint();
            QCoreApplication::processEvents();
            longestStep = std::max(longestStep, step.elapsed());
            ++steps;
        }
        state.SetIterationTime(total.nsecsElapsed() / 1e9);
    }
    state.counters["steps"] = double(steps) / state.iterations();
    state.counters["longest_step_ms"] = double(longestStep);
    // Its renders end before the PDF libraries go at exit.
    delete workshop;
}
BENCHMARK(BM_WorkshopScrollTopToBottom)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
