#include "Fixtures.h"
#include "TestHarness.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotInput.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {

BookmarkList songs(const QString &book, std::initializer_list<int> pages)
{
    BookmarkList list;
    for (int page : pages)
        list.append(
            Fixtures::bookmark(QStringLiteral("/books/") + book, page, QStringLiteral("Song %1").arg(page)));
    return list;
}

void writeMeta(qint64 active, const QByteArray &names = "{}")
{
    TestHarness::writeFile(SlotStore::metaFilePath(), QByteArray(R"({"activeSlot":)") +
                                                          QByteArray::number(active) + R"(,"slotNames":)" +
                                                          names + "}");
}

// A session on slot, with the rows stored there.
struct Session {
    PlaylistLibrary playlists;
    LibrarySession library{playlists};
    LibrarySlots librarySlots{library};
    Session(qint64 slot, const BookmarkList &rows, const QString &folder = QStringLiteral("/books"))
    {
        writeMeta(slot, R"({"4":"Gig"})");
        if (!SlotStore::saveSlot(slot, rows, folder))
            qFatal("cannot write the slot");
        library.restoreActiveSlot();
        if (!TestHarness::loadCurrentSlot(librarySlots))
            qFatal("the slot did not load");
    }
};

QStringList titles(const BookmarkList &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.pdfFileName + QLatin1Char(':') + row.title);
    return list;
}

} // namespace

class SlotCommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    void parsesSlotNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint64>>("number");
        QTest::newRow("blanks around") << " 3 \n" << std::optional<qint64>(3);
        QTest::newRow("plus sign") << "+3" << std::optional<qint64>(3);
        QTest::newRow("minus sign") << "-1" << std::optional<qint64>(-1);
        QTest::newRow("fraction") << "3.0" << std::optional<qint64>();
        QTest::newRow("letter") << "a" << std::optional<qint64>();
        QTest::newRow("empty") << "" << std::optional<qint64>();
        QTest::newRow("overflow") << "99999999999999999999" << std::optional<qint64>();
    }

    void parsesSlotNumbers()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint64>, number);
        QCOMPARE(SlotInput::parseSlotNumber(text), number);
    }

    void parsesSlotLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint64>>("numbers");
        QTest::newRow("repeat and empty piece") << "2,,2,4" << QList<qint64>{2, 2, 4};
        QTest::newRow("words skipped") << "1, x ,3" << QList<qint64>{1, 3};
        QTest::newRow("nothing") << " , " << QList<qint64>{};
    }

    void parsesSlotLists()
    {
        QFETCH(QString, text);
        QFETCH(QList<qint64>, numbers);
        QCOMPARE(SlotInput::parseSlotList(text), numbers);
    }

    // The copy takes the rows as shown (edits not yet on disk included) and the folder; the current slot
    // stays. A destination outside 0-5 or the slot itself writes nothing. The copy is told once written;
    // one that could not be written (a folder where the file belongs) is told as a failed save, never
    // as copied.
    void copiesTheCurrentSlot_data()
    {
        QTest::addColumn<qint64>("destination");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("writable");
        QTest::newRow("slot 3") << qint64(3) << true << true;
        QTest::newRow("the Default slot") << qint64(0) << true << true;
        QTest::newRow("itself") << qint64(1) << false << true;
        QTest::newRow("above the range") << qint64(6) << false << true;
        QTest::newRow("a slot that cannot be written") << qint64(3) << true << false;
    }

    void copiesTheCurrentSlot()
    {
        QFETCH(qint64, destination);
        QFETCH(bool, started);
        QFETCH(bool, writable);
        Session session(1, songs("A.pdf", {1, 2}));
        if (destination >= 0 && destination <= 5 && destination != 1)
            QVERIFY(SlotStore::saveSlot(destination, songs("Old.pdf", {9}), QString()));
        if (!writable) {
            QVERIFY(QFile::remove(SlotStore::slotFilePath(destination)));
            QVERIFY(QDir().mkpath(SlotStore::slotFilePath(destination) + QStringLiteral("/inside")));
        }
        Fixtures::appendRows(session.library, songs("B.pdf", {5}));
        QSignalSpy failed(&session.library, &LibrarySession::saveFailed);
        QStringList told;
        const auto tell = [&told](const QString &status) { told.append(status); };
        QCOMPARE(session.librarySlots.copyCurrentSlotTo(destination, &session.librarySlots, tell), started);
        QCOMPARE(session.library.currentSlotId(), 1);
        if (!started)
            return;
        QVERIFY(told.isEmpty());
        if (!writable) {
            WAIT_COMPARE(failed.size(), 1);
            TestHarness::settleWorkers();
            QCoreApplication::processEvents();
            QVERIFY(told.isEmpty());
            return;
        }
        WAIT_COMPARE(told.size(), 1);
        QCOMPARE(told.first(),
                 QStringLiteral("Copied Slot 1 to %1").arg(destination == 0 ? "Default" : "Slot 3"));
        QCOMPARE(failed.size(), 0);
        const SlotStore::SlotContents stored = SlotStore::loadSlotContents(destination);
        QCOMPARE(stored.bookmarks, songs("A.pdf", {1, 2}) + songs("B.pdf", {5}));
        QCOMPARE(stored.selectedFolder, "/books");
        QCOMPARE(Fixtures::countKnownAtOnce(session.librarySlots, destination), 3);
    }

    // Another slot's count is known without reading it once the slot was written; one the metadata
    // lacks (an older file) is counted on a worker and kept.
    void countsOtherSlots_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::newRow("stored with the file") << true;
        QTest::newRow("missing") << false;
    }

    void countsOtherSlots()
    {
        QFETCH(bool, stored);
        Session session(1, songs("A.pdf", {1}));
        QVERIFY(SlotStore::saveSlot(2, songs("B.pdf", {1, 2}), QString()));
        if (!stored)
            writeMeta(1);
        QCOMPARE(Fixtures::countKnownAtOnce(session.librarySlots, 2).has_value(), stored);
        qsizetype count = -1;
        session.librarySlots.withSlotCount(2, &session.library, [&](qsizetype n) { count = n; });
        WAIT_COMPARE(count, 2);
        LibrarySession::waitForPendingSaves();
        QCOMPARE(Fixtures::countKnownAtOnce(session.librarySlots, 2), 2);
    }

    // Sources are taken once each, in ascending order, whatever was typed; a song the slot holds (by
    // path, page and title, whatever its metadata) is not added again, and a song of two sources comes
    // from the lower one.
    void mergesSlots_data()
    {
        QTest::addColumn<QList<qint64>>("sources");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QString>("status");
        QTest::newRow("4 and 2, twice")
            << QList<qint64>{4, 2, 2, 4} << QStringList{"B.pdf:Song 7", "C.pdf:Song 8"}
            << "Merged 2 bookmark(s) into Slot 1";
        QTest::newRow("the Default slot")
            << QList<qint64>{0} << QStringList{"D.pdf:Song 3"} << "Merged 1 bookmark(s) into Slot 1";
        QTest::newRow("only itself") << QList<qint64>{1, 9} << QStringList{}
                                     << "Merged 0 bookmark(s) into Slot 1";
    }

    void mergesSlots()
    {
        QFETCH(QList<qint64>, sources);
        QFETCH(QStringList, added);
        QFETCH(QString, status);
        const BookmarkList present = songs("A.pdf", {1});
        BookmarkList second = songs("A.pdf", {1}) + songs("B.pdf", {7});
        second.last().genre = QStringLiteral("Slot 2");
        QVERIFY(SlotStore::saveSlot(2, second, QString()));
        QVERIFY(SlotStore::saveSlot(4, songs("B.pdf", {7}) + songs("C.pdf", {8}), QString()));
        QVERIFY(SlotStore::saveSlot(0, songs("D.pdf", {3}), QString()));
        Session session(1, present);
        std::optional<QString> merged;
        QVERIFY(session.librarySlots.mergeSlotsIntoCurrent(sources, &session.library,
                                                           [&](const QString &text) { merged = text; }));
        // Edited while the sources are read: the rows to append are worked out again.
        session.library.editBookmarks({0}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Jazz"); });
        WAIT_COMPARE(merged, status);
        const BookmarkList rows = session.library.allBookmarks().toList();
        QCOMPARE(titles(rows), QStringList{"A.pdf:Song 1"} + added);
        QCOMPARE(rows.first().genre, "Jazz");
        if (added.contains("B.pdf:Song 7"))
            QCOMPARE(rows.at(1).genre, "Slot 2");
        QCOMPARE(SlotStore::loadSlotContents(1).selectedFolder, "/books");
    }

    // Clearing names the slot and what it loses; it empties the file, drops the slot's name and leaves
    // the playlists alone. A plan made before the library changed clears nothing.
    void clearsTheCurrentSlot()
    {
        Session session(4, songs("A.pdf", {1, 2, 3}));
        session.playlists.addToPlaylist(QStringLiteral("Set"), session.library.allBookmarks().at(0));
        const SlotClearPlan plan = session.librarySlots.planClearSlot(4);
        QCOMPARE(plan.message(), "Clear Slot 4 (Gig)?");
        // Clear Current Slot… names the slot by its number.
        QCOMPARE(plan.clearCommandMessage(), "Clear Slot 4?");

        SlotClearPlan stale = plan;
        Fixtures::appendRows(session.library, songs("B.pdf", {4}));
        QCOMPARE(session.librarySlots.clearCurrentSlot(stale), std::nullopt);
        QCOMPARE(session.library.allBookmarks().size(), 4);

        QCOMPARE(session.librarySlots.clearCurrentSlot(session.librarySlots.planClearSlot(4)),
                 "Slot 4 cleared");
        QVERIFY(session.library.allBookmarks().isEmpty());
        QVERIFY(SlotStore::loadSlot(4).isEmpty());
        QVERIFY(QFileInfo::exists(SlotStore::slotFilePath(4)));
        QCOMPARE(SlotStore::slotName(4), "Slot 4");
        QCOMPARE(session.playlists.playlists().first().items.size(), 1);
    }

    void clearTexts_data()
    {
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("informative");
        QTest::newRow("Default") << qint64(0) << 2 << "Clear the Default slot?"
                                 << "All 2 bookmarks in this slot will be removed from disk.";
        QTest::newRow("one") << qint64(2) << 1 << "Clear Slot 2?"
                             << "The one bookmark in this slot will be removed from disk.";
        QTest::newRow("none") << qint64(3) << 0 << "Clear Slot 3?"
                              << "The slot holds no bookmarks.";
    }

    void clearTexts()
    {
        QFETCH(qint64, slot);
        QFETCH(int, count);
        QFETCH(QString, message);
        QFETCH(QString, informative);
        BookmarkList rows;
        for (int i = 1; i <= count; ++i)
            rows += songs("A.pdf", {i});
        // Another slot's count is the one stored when its file was written, the current one's the
        // library's.
        Session session(5, {});
        QVERIFY(SlotStore::saveSlot(slot, rows, QString()));
        const SlotClearPlan plan = session.librarySlots.planClearSlot(slot);
        QCOMPARE(plan.message(), message);
        QCOMPARE(plan.informativeText(), informative);
    }

    // The question before a full run from the slot's own folder, once its books are read: what is
    // rebuilt, and the bookmarks not found again, which go with their metadata.
    void rebuildTexts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lost");
        QTest::addColumn<QString>("informative");
        QTest::newRow("one, found again") << 1 << 0
                                          << "Its one bookmark is rebuilt from the books in the folder; the "
                                             "metadata of every title found again is kept.";
        QTest::newRow("all found again") << 40 << 0
                                         << "Its 40 bookmarks are rebuilt from the books in the folder; the "
                                            "metadata of every title found again is kept.";
        QTest::newRow("one lost, one found")
            << 2 << 1
            << "1 bookmark of Slot 4 (Gig) is not in the books as it is stored (renamed, imported, or "
               "outside the folder) and will be removed with its metadata. The other one is rebuilt from the "
               "books in the folder with its metadata.";
        QTest::newRow("three lost")
            << 40 << 3
            << "3 bookmarks of Slot 4 (Gig) are not in the books as they are stored (renamed, imported, or "
               "outside the folder) and will be removed with their metadata. The other 37 are rebuilt from "
               "the books in the folder with their metadata.";
        QTest::newRow("all lost") << 2 << 2
                                  << "2 bookmarks of Slot 4 (Gig) are not in the books as they are stored "
                                     "(renamed, imported, or outside the folder) and will be removed with "
                                     "their metadata.";
    }

    void rebuildTexts()
    {
        QFETCH(int, count);
        QFETCH(int, lost);
        Session session(4, {});
        SlotClearPlan plan = session.librarySlots.planClearSlot(4, count);
        plan.bookmarksLost = lost;
        QCOMPARE(plan.rebuildMessage(), "Rebuild Slot 4 (Gig) from the books?");
        QTEST(plan.rebuildInformativeText(), "informative");
    }

    void startsANewExtraction()
    {
        Session session(0, songs("A.pdf", {1}));
        QVERIFY(session.librarySlots.startNewExtraction(session.librarySlots.planClearSlot(0)));
        QVERIFY(session.library.allBookmarks().isEmpty());
        QVERIFY(session.library.selectedFolder().isEmpty());
        const SlotStore::SlotContents stored = SlotStore::loadSlotContents(0);
        QVERIFY(stored.bookmarks.isEmpty());
        QVERIFY(stored.selectedFolder.isEmpty());
    }

    void reloadsAndSaves()
    {
        Session session(4, songs("A.pdf", {1}));
        session.playlists.addToPlaylist(QStringLiteral("Set"), session.library.allBookmarks().at(0));
        QVERIFY(SlotStore::saveSlot(4, songs("A.pdf", {1, 2}), QStringLiteral("/elsewhere")));
        QCOMPARE(TestHarness::reloadSlot(session.librarySlots), "Gig reloaded (2 bookmarks)");
        QCOMPARE(session.library.allBookmarks().size(), 2);
        QCOMPARE(session.library.selectedFolder(), "/books");
        // What is edited while the rows load is not lost: the file is read again with it.
        session.librarySlots.reloadCurrentSlot();
        Fixtures::appendRows(session.library, songs("B.pdf", {3}));
        TestHarness::settleWorkers();
        QCOMPARE(session.library.allBookmarks().size(), 3);

        // A save now brings the playlists in line with the rows.
        session.library.editBookmarks({0}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Folk"); });
        QCOMPARE(session.librarySlots.saveSlotNow(), "Gig saved");
        QCOMPARE(session.playlists.playlists().first().items.first().genre, "Folk");
    }

    // A full run replaces the slot's songs, a partial one those of its books only: the others stay
    // first, in their order. A new song with an old one's identity keeps what the user added to it,
    // also when the old one was stored with a title that is folded today; a title an outline lists
    // twice at one page comes back twice, each with its own. The plan counts the slot's rows it neither
    // leaves nor gives back by that identity: the ones removed with their metadata.
    void adoptsAnExtraction_data()
    {
        QTest::addColumn<bool>("partial");
        QTest::addColumn<QString>("storedTitle");
        QTest::addColumn<bool>("storedTwice"); // B.pdf's Song 2 at page 2, by the slot
        QTest::addColumn<bool>("readTwice");   // by the book's outline
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<qsizetype>("lost");
        QTest::addColumn<QString>("secondGenre"); // of the second Song 2 after
        QTest::newRow("full") << false << "Song 2" << false << false
                              << QStringList{"B.pdf:Song 2", "B.pdf:Song 3", "C.pdf:Song 1"} << qsizetype(3)
                              << "";
        QTest::newRow("partial") << true << "Song 2" << false << false
                                 << QStringList{"A.pdf:Song 1", "D.pdf:Song 4", "B.pdf:Song 2",
                                                "B.pdf:Song 3", "C.pdf:Song 1"}
                                 << qsizetype(1) << "";
        QTest::newRow("stored with control characters")
            << false << "Song\x07 2\x1b" << false << false
            << QStringList{"B.pdf:Song 2", "B.pdf:Song 3", "C.pdf:Song 1"} << qsizetype(3) << "";
        const QStringList twice{"B.pdf:Song 2", "B.pdf:Song 2", "B.pdf:Song 3", "C.pdf:Song 1"};
        QTest::newRow("a title listed twice at one page")
            << false << "Song 2" << true << true << twice << qsizetype(3) << "Swing";
        QTest::newRow("listed twice in the slot, once in the book")
            << false << "Song 2" << true << false
            << QStringList{"B.pdf:Song 2", "B.pdf:Song 3", "C.pdf:Song 1"} << qsizetype(4) << "";
        QTest::newRow("listed once in the slot, twice in the book")
            << false << "Song 2" << false << true << twice << qsizetype(3) << "Folk";
    }

    void adoptsAnExtraction()
    {
        QFETCH(bool, partial);
        QFETCH(QString, storedTitle);
        QFETCH(bool, storedTwice);
        QFETCH(bool, readTwice);
        QFETCH(QStringList, expected);
        QFETCH(qsizetype, lost);
        QFETCH(QString, secondGenre);
        BookmarkList stored = songs("A.pdf", {1}) + songs("B.pdf", {2, 9}) + songs("D.pdf", {4});
        stored[1].title = storedTitle;
        BookmarkEntry second = stored[1];
        second.genre = QStringLiteral("Swing");
        if (storedTwice)
            stored.insert(2, second);
        Session session(1, stored);
        // Made while the run went on: it must survive.
        session.library.editBookmarks({1}, [](BookmarkEntry &row) {
            row.genre = QStringLiteral("Folk");
            row.rating = 4;
        });
        ExtractionResult result;
        result.slot = 1;
        result.slotName = QStringLiteral("Books");
        result.folder = QStringLiteral("/new");
        result.bookmarks = songs("B.pdf", {2, 3}) + songs("C.pdf", {1});
        if (readTwice)
            result.bookmarks.insert(1, result.bookmarks.at(0));
        result.bookmarks[0].composer = QStringLiteral("Trad.");
        if (partial)
            result.rereadBooks = QSet<QString>{QStringLiteral("b.pdf"), QStringLiteral("c.pdf")};
        ExtractionPlan plan = session.librarySlots.extractionPlanner(result)();
        QCOMPARE(plan.slotRows, stored.size());
        QCOMPARE(plan.bookmarksLost, lost);
        QCOMPARE(session.librarySlots.adoptExtraction(std::move(plan)),
                 std::optional<qsizetype>(expected.size()));
        const BookmarkList rows = session.library.allBookmarks().toList();
        QCOMPARE(titles(rows), expected);
        const BookmarkEntry &kept = rows.at(partial ? 2 : 0);
        QCOMPARE(kept.genre, "Folk");
        QCOMPARE(kept.rating, 4.0);
        QCOMPARE(kept.composer, "Trad."); // the old song had none
        if (!secondGenre.isEmpty())
            QCOMPARE(rows.at(1).genre, secondGenre);
        QCOMPARE(session.library.selectedFolder(), "/new");
        QCOMPARE(SlotStore::slotName(1), "Books");
        QCOMPARE(SlotStore::loadSlot(1), rows);
    }

    // Imported songs go to the end of their slot, which becomes the current one; the slot's own folder
    // stays unless the import chose one.
    void appendsImportedSongs_data()
    {
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<QString>("chosenFolder");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("copiedOver");
        QTest::newRow("current slot") << qint64(1) << ""
                                      << "/books" << false;
        QTest::newRow("another slot") << qint64(2) << ""
                                      << "/two" << false;
        QTest::newRow("chosen folder") << qint64(2) << "/chosen"
                                       << "/chosen" << false;
        // Read on a worker, and read again when the file is written before the songs are in.
        QTest::newRow("another slot, copied over meanwhile") << qint64(2) << ""
                                                             << "/books" << true;
    }
    void appendsImportedSongs()
    {
        QFETCH(qint64, slot);
        QFETCH(QString, chosenFolder);
        QFETCH(QString, folder);
        QFETCH(bool, copiedOver);
        QVERIFY(SlotStore::saveSlot(2, songs("B.pdf", {1}), QStringLiteral("/two")));
        Session session(1, songs("A.pdf", {1}));
        Fixtures::appendRows(session.library, songs("A.pdf", {2}));
        session.librarySlots.appendImportedBookmarks(songs("New.pdf", {1, 2}), slot, chosenFolder);
        if (copiedOver)
            session.librarySlots.copyCurrentSlotTo(slot);
        WAIT_COMPARE(session.library.currentSlotId(), slot);
        const BookmarkList rows = session.library.allBookmarks().toList();
        if (copiedOver)
            QCOMPARE(rows, songs("A.pdf", {1, 2}) + songs("New.pdf", {1, 2}));
        QCOMPARE(rows.mid(rows.size() - 2), songs("New.pdf", {1, 2}));
        QCOMPARE(session.library.selectedFolder(), folder);
        QCOMPARE(SlotStore::loadSlot(1).size(), slot == 1 ? 4 : 2);
        QCOMPARE(SlotStore::loadSlot(slot), rows);
    }
};

LYRAFOLD_TEST_MAIN(SlotCommandsTest)

#include "tst_slotcommands.moc"
