#include "Fixtures.h"
#include "TestHarness.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/common/AppPaths.h"
#include "core/common/MemoryTrim.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotMetadataJob.h"
#include "core/storage/StateFile.h"
#include "core/titles/TitleKeyIndex.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cmath>
#include <limits>
#include <tuple>

namespace {

BookmarkList songs(const QString &path, std::initializer_list<int> pages)
{
    BookmarkList list;
    for (int page : pages)
        list.append(Fixtures::bookmark(path, page, QStringLiteral("Song %1").arg(page)));
    return list;
}

QString books()
{
    return TestHarness::home() + QStringLiteral("/Books");
}

void writeMeta(const QByteArray &json)
{
    TestHarness::writeFile(SlotStore::metaFilePath(), json);
}

QList<int> rowsOf(std::initializer_list<int> rows)
{
    return QList<int>(rows);
}

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
// What the process's own pages hold (its heap among them), in MB: no other process moves it.
double anonymousResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// What the allocator has handed out and not had back, in MB: the same on every machine for the same
// allocations, however busy it is.
double inUseMegabytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

// What the allocator holds free that a release would still give back to the system, in MB; given back
// now. After a release that came after the last large free, next to nothing: the end of a thread's
// arena, which no release reaches, stays out of it, as it grows with the threads that ran at once.
double releasableMegabytes()
{
    const double held = anonymousResidentMegabytes();
    malloc_trim(0);
    return held - anonymousResidentMegabytes();
}
#endif

} // namespace

class LibrarySessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::resetLibrary(); }

    void restoresTheActiveSlot_data()
    {
        QTest::addColumn<QByteArray>("meta"); // null: no metadata file
        QTest::addColumn<qint64>("slot");
        QTest::newRow("stored 3") << QByteArray(R"({"activeSlot":3,"slotNames":{}})") << qint64(3);
        QTest::newRow("above the range") << QByteArray(R"({"activeSlot":9,"slotNames":{}})") << qint64(5);
        QTest::newRow("below the range") << QByteArray(R"({"activeSlot":-2,"slotNames":{}})") << qint64(0);
        QTest::newRow("corrupt") << QByteArray("{\"activeSlot\":") << qint64(0);
        QTest::newRow("missing") << QByteArray() << qint64(0);
    }

    void restoresTheActiveSlot()
    {
        QFETCH(QByteArray, meta);
        QFETCH(qint64, slot);
        if (!meta.isNull())
            writeMeta(meta);
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QCOMPARE(session.currentSlotId(), slot);
    }

    // The folder chosen for a slot survives a restart: loading gives it back, so the next save keeps
    // it rather than writing an empty one.
    void loadsTheSlotWithItsFolder()
    {
        QVERIFY(SlotStore::saveSlot(2, songs(books() + "/A.pdf", {1, 2, 3}), books()));
        writeMeta(R"({"activeSlot":2,"slotNames":{"2":" Gig "}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QCOMPARE(TestHarness::loadCurrentSlot(librarySlots),
                 "Loaded 3 bookmarks from Gig • 1 books (0 available, 1 unavailable)");
        QCOMPARE(session.allBookmarks().size(), 3);
        QCOMPARE(Fixtures::shownRows(shown), session.allBookmarks().toList());
        QCOMPARE(session.selectedFolder(), books());

        session.saveCurrentSlot();
        QCOMPARE(SlotStore::selectedFolder(2), books());
    }

    // The slot read at start is read on a worker: until its rows are in, the library holds none of
    // them, and nothing writes the slot's file from the empty library (a save asked for, a switch away,
    // a copy to another slot), so the file keeps them.
    void slotBeingReadIsNeverWrittenEmpty_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("save") << "save";
        QTest::newRow("switch away") << "switch";
        QTest::newRow("copy to another slot") << "copy";
    }

    void slotBeingReadIsNeverWrittenEmpty()
    {
        QFETCH(QString, meanwhile);
        const BookmarkList stored = songs(books() + "/A.pdf", {1, 2, 3});
        QVERIFY(SlotStore::saveSlot(1, stored, books()));
        QVERIFY(SlotStore::saveSlot(2, songs(books() + "/B.pdf", {4}), books()));
        writeMeta(R"({"activeSlot":1,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        std::optional<QString> loaded;
        librarySlots.loadCurrentSlot(
            &librarySlots, [&loaded](const LibrarySlots::LoadResult &result) { loaded = result.statusText; });
        QVERIFY(!librarySlots.currentSlotRead());
        QVERIFY(session.allBookmarks().isEmpty());
        std::optional<QString> switched;
        if (meanwhile == "save")
            librarySlots.saveSlotNow();
        else if (meanwhile == "switch")
            QVERIFY(
                librarySlots.switchToSlot(2, &librarySlots, [&switched](const QString &s) { switched = s; }));
        else
            QVERIFY(!librarySlots.copyCurrentSlotTo(3));
        WAIT_VERIFY(librarySlots.currentSlotRead());
        TestHarness::settleWorkers();
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1), stored);
        QVERIFY(!QFileInfo::exists(SlotStore::slotFilePath(3)));
        if (meanwhile == "switch") {
            // The switch superseded the load.
            QVERIFY(switched);
            QVERIFY(!loaded);
            QCOMPARE(session.currentSlotId(), 2);
        } else {
            QCOMPARE(loaded, "Loaded 3 bookmarks from Slot 1 • 1 books (0 available, 1 unavailable)");
            QCOMPARE(session.allBookmarks().toList(), stored);
        }
    }

    void emptySlotFallsBackToTheCacheOnce_data()
    {
        QTest::addColumn<int>("cachedRows"); // -1: no cache file
        QTest::addColumn<QString>("counts"); // the slot counts the slot metadata holds
        QTest::addColumn<QString>("status");
        QTest::newRow("40 cached rows") << 40 << "{}"
                                        << "Loaded 40 cached bookmarks";
        QTest::newRow("empty cache") << 0 << "{}"
                                     << "";
        QTest::newRow("no cache") << -1 << "{}"
                                  << "";
        // The cache is a copy of the slot last saved: a slot this application left empty (visited, then
        // quit) does not take another slot's songs from it.
        QTest::newRow("40 cached rows, the slot known empty") << 40 << R"({"1":0})"
                                                              << "";
        QTest::newRow("40 cached rows, the slot known filled") << 40 << R"({"1":40})"
                                                               << "Loaded 40 cached bookmarks";
    }

    void emptySlotFallsBackToTheCacheOnce()
    {
        QFETCH(int, cachedRows);
        QFETCH(QString, counts);
        QFETCH(QString, status);
        BookmarkList cached;
        for (int i = 0; i < cachedRows; ++i)
            cached.append(Fixtures::fullBookmark(i));
        if (cachedRows >= 0)
            QVERIFY(CacheService::save(cached, books()));
        QVERIFY(SlotStore::saveSlot(1, {}, QStringLiteral("/elsewhere")));
        writeMeta(QStringLiteral(R"({"activeSlot":1,"slotNames":{},"slotCounts":%1})").arg(counts).toUtf8());
        const BookmarkList expected = status.isEmpty() ? BookmarkList{} : cached;

        PlaylistLibrary playlists;

        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QCOMPARE(TestHarness::loadCurrentSlot(librarySlots), status);
        QCOMPARE(session.allBookmarks().toList(), expected);
        QCOMPARE(session.selectedFolder(), status.isEmpty() ? QStringLiteral("/elsewhere") : books());
        // Read without waiting: the read itself waits for the save.
        QCOMPARE(SlotStore::loadSlot(1), expected);
    }

    // Quick successive saves end with the last state on disk, and a read right after a save sees it.
    void savesCoalesceAndReadsWaitForThem()
    {
        writeMeta(R"({"activeSlot":9,"slotNames":{"3":"Band"}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QCOMPARE(session.currentSlotId(), 5);
        const BookmarkList big = Fixtures::realisticLibrary(20000);
        for (int n = 1; n <= 20; ++n) {
            session.setSelectedFolder(QStringLiteral("/folder/%1").arg(n));
            Fixtures::setSavedRows(session, big.mid(0, 1000 * n));
        }
        const SlotStore::SlotContents stored = SlotStore::loadSlotContents(5);
        QCOMPARE(stored.bookmarks.size(), 20000);
        QCOMPARE(stored.selectedFolder, "/folder/20");
        QCOMPARE(CacheService::load()->bookmarks.size(), 20000);
        const auto meta = SlotStore::loadMeta();
        QCOMPARE(meta->activeSlot, 5);
        QCOMPARE(meta->slotNames.value(3), "Band");
    }

    void saveFailuresAreReported()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QSignalSpy failed(&session, &LibrarySession::saveFailed);
        {
            TestHarness::FileSizeLimit fullDisk(2048);
            Fixtures::setSavedRows(session, Fixtures::realisticLibrary(50));
            LibrarySession::waitForPendingSaves();
        }
        WAIT_COMPARE(failed.count(), 2); // the slot file and the cache; the small metadata file fits
        QStringList files{failed.at(0).at(0).toString(), failed.at(1).at(0).toString()};
        files.sort();
        QCOMPARE(files, (QStringList{AppPaths::bookmarkCachePath(), SlotStore::slotFilePath(0)}));
        QVERIFY(!failed.at(0).at(1).toString().isEmpty());
        QVERIFY(!QFileInfo::exists(SlotStore::slotFilePath(0)));
    }

    void switchesSlots()
    {
        writeMeta(R"({"activeSlot":1,"slotNames":{"4":"Jazz"}})");
        QVERIFY(SlotStore::saveSlot(4, songs(books() + "/B.pdf", {7, 8}), QStringLiteral("/b")));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        session.setSelectedFolder(books());
        Fixtures::setSavedRows(session, songs(books() + "/A.pdf", {1}));
        shown.updateFilteredList(QStringLiteral("nowhere"));
        TestHarness::settleWorkers();
        QCOMPARE(shown.filteredCount(), 0);

        QCOMPARE(TestHarness::switchSlot(librarySlots, 4),
                 "Switched to Jazz (2 bookmarks) • 1 books (0 available, 1 unavailable)");
        QCOMPARE(session.currentSlotId(), 4);
        QCOMPARE(session.allBookmarks().size(), 2);
        QCOMPARE(Fixtures::shownRows(shown), session.allBookmarks().toList());
        // Each slot keeps its own folder: a visit neither takes the window's folder into the slot nor
        // leaves it there.
        QCOMPARE(session.selectedFolder(), "/b");
        QCOMPARE(SlotStore::loadSlot(1), songs(books() + "/A.pdf", {1}));
        QCOMPARE(SlotStore::activeSlot(), 4);
        QCOMPARE(SlotStore::slotName(4), "Jazz");
        QVERIFY(TestHarness::switchSlot(librarySlots, 1));
        QCOMPARE(session.selectedFolder(), books());
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlotContents(4).selectedFolder, "/b");
        QCOMPARE(TestHarness::switchSlot(librarySlots, 5), "Switched to Slot 5 (0 bookmarks) • 0 books");
    }

    // A switch loads on a worker: a later one supersedes it (its rows are never taken), one back to the
    // slot the library still is drops it, and the slot left keeps what was edited while the next one
    // loaded. A stored count that disagrees with the file gives way to the rows.
    void switchesSupersedeEachOther_data()
    {
        QTest::addColumn<QList<qint64>>("requests");
        QTest::addColumn<qint64>("ends");
        QTest::newRow("the second of two") << QList<qint64>{2, 3} << qint64(3);
        QTest::newRow("back to the current slot") << QList<qint64>{2, 1} << qint64(1);
        QTest::newRow("the same slot twice") << QList<qint64>{3, 3} << qint64(3);
    }

    void switchesSupersedeEachOther()
    {
        QFETCH(QList<qint64>, requests);
        QFETCH(qint64, ends);
        const auto slotRows = [](qint64 slot) {
            return songs(books() + QStringLiteral("/%1.pdf").arg(slot), {1});
        };
        for (const qint64 slot : {1, 2, 3})
            QVERIFY(SlotStore::saveSlot(slot, slotRows(slot), QString()));
        writeMeta(R"({"activeSlot":1,"slotNames":{},"slotCounts":{"3":7}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        QSignalSpy replaced(&session, &LibrarySession::libraryAboutToBeReplaced);
        for (const qint64 slot : std::as_const(requests))
            librarySlots.switchToSlot(slot);
        QCOMPARE(librarySlots.requestedSlot(), ends);
        Fixtures::appendRows(session, songs(books() + "/Edit.pdf", {9}));
        TestHarness::settleWorkers();
        const BookmarkList edited = slotRows(1) + songs(books() + "/Edit.pdf", {9});
        QCOMPARE(session.currentSlotId(), ends);
        QCOMPARE(replaced.count(), ends == 1 ? 0 : 1);
        QCOMPARE(session.allBookmarks().toList(), ends == 1 ? edited : slotRows(ends));
        QCOMPARE(librarySlots.loadingSlot(), std::nullopt);
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1), edited);
        QCOMPARE(Fixtures::countKnownAtOnce(librarySlots, 3), ends == 3 ? 1 : 7);
    }

    void switchingToTheSameSlotWritesNothing_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::newRow("current slot") << qint64(2);
        QTest::newRow("below the range") << qint64(-1);
        QTest::newRow("above the range") << qint64(6);
    }

    void switchingToTheSameSlotWritesNothing()
    {
        QFETCH(qint64, target);
        writeMeta(R"({"activeSlot":2,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        Fixtures::setRows(session, songs(books() + "/A.pdf", {1}));
        QCOMPARE(TestHarness::switchSlot(librarySlots, target), std::nullopt);
        LibrarySession::waitForPendingSaves();
        QCOMPARE(session.currentSlotId(), 2);
        QVERIFY(!QFileInfo::exists(SlotStore::slotFilePath(2)));
        QVERIFY(!QFileInfo::exists(AppPaths::bookmarkCachePath()));
    }

    // A large library let go of (replaced, its metadata changed by a job that held a decoded file, or left
    // for another slot) goes back to the system once its saves are written, instead of staying with the
    // allocator or with the slot left. The three follow each other on the same rows, each measured
    // against the quiet library before it.
    void largeFreesGoBackToTheSystem()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator keeps what is freed");
#elif !defined(__GLIBC__)
        QSKIP("what the allocator holds is read from glibc");
#else
        // The releases are waited for, so a quiet second before each would only make the test wait; a
        // short one also asks for a release after the last large free, not up to a second before it.
        MemoryTrim::setQuietTimeForTesting(std::chrono::milliseconds(50));
        constexpr int rows = 100000;
        writeMeta(R"({"activeSlot":1,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        const double empty = inUseMegabytes();
        Fixtures::setRows(session, Fixtures::realisticLibrary(rows));
        QVERIFY(SlotStore::saveSlot(2, Fixtures::realisticLibrary(rows, 4), QString()));
        // With the indexes a quiet library has, before as after; what the saves written let go of is
        // freed, and the releases it asked for are done.
        const auto settled = [&session] {
            const bool ready = TestHarness::waitFor(
                [&] { return session.readyTitleKeyIndex() && session.readyPositionsByKey(); },
                std::chrono::minutes(1));
            LibrarySession::waitForPendingSaves();
            TestHarness::settleWorkers();
            MemoryTrim::waitForPendingReleases();
            return ready;
        };
        QVERIFY(settled());
        // What making the library left free is not the first step's.
        std::ignore = releasableMegabytes();
        double before = inUseMegabytes();
        // A step keeps in use, and leaves free where a release would give it back, less than a tenth of
        // what the library holds: rows let go of and kept, or freed and never given back, are the size of
        // a library.
        const double allowed = (before - empty) / 10;
        // What went wrong after a step, if anything; the quiet library after it is the next one's before.
        const auto grew = [&](const char *step) {
            if (!settled())
                return QStringLiteral("%1: the library's indexes were never made").arg(QLatin1String(step));
            const double after = inUseMegabytes();
            const double releasable = releasableMegabytes();
            const bool kept = after - before < allowed && releasable < allowed;
            const QString told = QStringLiteral("%1: %2 MB in use before, %3 MB after, %4 MB free that a "
                                                "release gives back; %5 MB allowed")
                                     .arg(QLatin1String(step))
                                     .arg(before)
                                     .arg(after)
                                     .arg(releasable)
                                     .arg(allowed);
            before = after;
            return kept ? QString() : told;
        };

        Fixtures::setRows(session, Fixtures::realisticLibrary(rows, 2));
        QString growth = grew("library replaced");
        QVERIFY2(growth.isEmpty(), qPrintable(growth));

        auto *job = new SlotMetadataJob(
            librarySlots, 1,
            [records = Fixtures::realisticLibrary(rows, 3)](LibraryRows &library, const TitleKeyIndex &) {
                SlotMetadataJob::Change change;
                for (qsizetype position = 0; position < library.size(); ++position) {
                    library.edit(position).genre = records.at(position % records.size()).genre + "!";
                    change.positions.append(position);
                }
                change.matched = change.positions.size();
                return change;
            },
            LibrarySession::PlaylistSync::skip);
        QSignalSpy finished(job, &SlotMetadataJob::finished);
        job->start();
        QVERIFY(finished.wait(60000));
        growth = grew("metadata of every row changed");
        QVERIFY2(growth.isEmpty(), qPrintable(growth));

        QVERIFY(TestHarness::switchSlot(librarySlots, 2));
        growth = grew("another slot switched to");
        QVERIFY2(growth.isEmpty(), qPrintable(growth));
#endif
    }

    void slotTileNames()
    {
        writeMeta(R"({"activeSlot":0,"slotNames":{"0":"  ","2":" Rehearsal \n","3":"   "}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        QCOMPARE(librarySlots.slotTileNames(),
                 (QStringList{"Default", "Slot 1", "Rehearsal", "Slot 3", "Slot 4", "Slot 5"}));
    }

    void availabilitySummary_data()
    {
        QTest::addColumn<BookmarkList>("rows");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("summary");
        const auto row = [](const QString &name, const QString &path) {
            BookmarkEntry e = Fixtures::bookmark(path, 1, name);
            e.pdfFileName = name;
            return e;
        };
        const QString present = books() + "/Real Book.pdf";
        QTest::newRow("no rows") << BookmarkList{} << books() << "0 books";
        QTest::newRow("names differing in case are one book")
            << BookmarkList{row("Real Book.pdf", present), row("REAL BOOK.PDF", "/gone/x.pdf")} << QString()
            << "1 books (1 available, 0 unavailable)";
        QTest::newRow("first row's path decides")
            << BookmarkList{row("Real Book.pdf", "/gone/Real Book.pdf"), row("real book.pdf", present)}
            << QString() << "1 books (0 available, 1 unavailable)";
        QTest::newRow("no path: found in the folder at any depth")
            << BookmarkList{row("deep.pdf", ""), row("Real Book.pdf", "")} << books()
            << "2 books (2 available, 0 unavailable)";
        QTest::newRow("no path: not in the folder")
            << BookmarkList{row("Missing.pdf", ""), row("Real Book.pdf", present)} << books()
            << "2 books (1 available, 1 unavailable)";
        QTest::newRow("no path and no folder")
            << BookmarkList{row("Real Book.pdf", "")} << QString() << "1 books (0 available, 1 unavailable)";
    }

    void availabilitySummary()
    {
        QFETCH(BookmarkList, rows);
        QFETCH(QString, folder);
        QFETCH(QString, summary);
        TestHarness::writeFile(books() + "/Real Book.pdf", "%PDF-1.4");
        TestHarness::writeFile(books() + "/more/Deep.PDF", "%PDF-1.4");
        QCOMPARE(LibrarySlots::availabilitySummaryForTesting(LibraryRows(rows), folder), summary);
    }

    // Rows taken over from a list are its rows, in order; a list that another one shares is copied,
    // and the other keeps its rows.
    void rowsTakenOverFromAList_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("its own") << false;
        QTest::newRow("shared") << true;
    }

    void rowsTakenOverFromAList()
    {
        QFETCH(bool, shared);
        const BookmarkList library = Fixtures::realisticLibrary(int(LibraryRows::blockSize) + 3);
        BookmarkList list = library;
        if (!shared)
            list.detach();
        const LibraryRows rows(std::move(list));
        QCOMPARE(rows.toList(), library);
        QCOMPARE(rows.blockStamps().size(), 2);
    }

    void displayedRowsAreCapped()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        BookmarkList rows;
        for (int i = 0; i < 2500; ++i)
            rows.append(Fixtures::bookmark("/a.pdf", i, QStringLiteral("T%1").arg(i)));
        Fixtures::setRows(session, rows);
        QCOMPARE(shown.displayedRowCount(), 2000);
        QVERIFY(shown.displayedBookmark(1999));
        QVERIFY(!shown.displayedBookmark(2000));
        QVERIFY(!shown.displayedBookmark(-1));
        // Rows beyond the cap never reach the library, even when selected.
        QCOMPARE(shown.uniqueAllBookmarksIndices({2100, 5, 1999}), (QList<qsizetype>{5, 1999}));
    }

    // A cell's text is also its sort value, so a rating that is no number shows and sorts as empty.
    void cellTexts_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<std::optional<double>>("rating");
        QTest::addColumn<QString>("text");
        const std::optional<double> none;
        QTest::newRow("half rounds up") << LibraryColumns::rating << std::optional(3.5) << "4";
        QTest::newRow("2.5 gives 3") << LibraryColumns::rating << std::optional(2.5) << "3";
        QTest::newRow("4.49 gives 4") << LibraryColumns::rating << std::optional(4.49) << "4";
        QTest::newRow("zero") << LibraryColumns::rating << std::optional(0.0) << "0";
        QTest::newRow("negative half away from zero")
            << LibraryColumns::rating << std::optional(-2.5) << "-3";
        QTest::newRow("absent") << LibraryColumns::rating << none << "";
        QTest::newRow("not a number") << LibraryColumns::rating << std::optional(std::nan("")) << "";
        QTest::newRow("infinite") << LibraryColumns::rating
                                  << std::optional(std::numeric_limits<double>::infinity()) << "";
        QTest::newRow("beyond 64 bits") << LibraryColumns::rating << std::optional(1e300) << "";
        QTest::newRow("year absent") << LibraryColumns::year << none << "";
        QTest::newRow("page") << LibraryColumns::page << none << "12";
        QTest::newRow("pages") << LibraryColumns::pages << none << "3";
        QTest::newRow("PDF file") << LibraryColumns::pdfFile << none << "Real Book.pdf";
        QTest::newRow("button column") << LibraryColumns::add << none << "";
    }

    void cellTexts()
    {
        QFETCH(QString, column);
        QFETCH(std::optional<double>, rating);
        QFETCH(QString, text);
        BookmarkEntry e = Fixtures::bookmark("/b/Real Book.pdf", 12, "Title");
        e.pageSpan = 3;
        e.rating = rating;
        QCOMPARE(LibraryColumns::text(e, column), text);
    }

    void mapsShownRowsToLibraryPositions_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QList<qsizetype>>("positions");
        QTest::newRow("ascending by row, whatever the order given")
            << rowsOf({2, 0}) << QList<qsizetype>{1, 0};
        QTest::newRow("same key counted once") << rowsOf({1, 2}) << QList<qsizetype>{0};
        QTest::newRow("a row past the shown ones") << rowsOf({4, 0}) << QList<qsizetype>{1};
        QTest::newRow("out of range") << rowsOf({-1, 5, 99}) << QList<qsizetype>{};
    }

    void mapsShownRowsToLibraryPositions()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QList<qsizetype>, positions);
        BookmarkEntry a = Fixtures::bookmark("/a.pdf", 1, "A");
        a.genre = QStringLiteral("Rock");
        BookmarkEntry b = Fixtures::bookmark("/a.pdf", 2, "B");
        b.genre = QStringLiteral("Blues");
        BookmarkEntry c = Fixtures::bookmark("/a.pdf", 3, "C");
        c.genre = QStringLiteral("Soul");
        BookmarkEntry aAgain = a;
        aAgain.genre = QStringLiteral("Jazz"); // same identity, other metadata
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        Fixtures::setRows(session, {a, b, aAgain, c});
        // Shown by genre: B, A (again), A, C.
        QVERIFY(shown.sortFilteredByColumn(LibraryColumns::genre));
        QCOMPARE(shown.filteredPositions(), (QList<qsizetype>{1, 2, 0, 3}));
        QCOMPARE(shown.uniqueAllBookmarksIndices(rows), positions);
    }

    // A deletion takes the shown rows themselves: a bookmark the search hides is never among them, not
    // even one with the identity of a shown one.
    void deletionTakesTheShownRows()
    {
        const BookmarkEntry plain = Fixtures::bookmark("/a.pdf", 1, "A");
        BookmarkEntry tagged = plain;
        tagged.genre = QStringLiteral("Jazz");
        BookmarkEntry other = Fixtures::bookmark("/a.pdf", 2, "B");
        other.genre = QStringLiteral("Jazz");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        Fixtures::setRows(session, {plain, other, tagged});
        shown.updateFilteredList(QStringLiteral("jazz"));
        WAIT_COMPARE(shown.filteredCount(), 2);
        const int taggedRow = int(shown.filteredPositions().indexOf(2));
        QCOMPARE(shown.uniqueAllBookmarksIndices({taggedRow}), QList<qsizetype>{0});
        QCOMPARE(shown.uniqueDisplayedPositions({1, 0, 1}), shown.filteredPositions());

        // A run holds a batch open for minutes: the shown rows follow a deletion at once all the same.
        const BookmarkList before = Fixtures::shownRows(shown);
        LibrarySession::BatchScope batch(session);
        QVERIFY(session.deleteBookmarks(RowDeletion::plan(session, {0}, std::nullopt)));
        QCOMPARE(Fixtures::shownRows(shown), before);
    }
};

LYRAFOLD_TEST_MAIN(LibrarySessionTest)
#include "tst_librarysession.moc"
