#include "Fixtures.h"
#include "PdfFixtures.h"
#include "TestHarness.h"
#include "core/books/FolderFileIndex.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "pdf/extract/BookmarkExtractionRun.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

Q_DECLARE_METATYPE(BookmarkExtractionRun::Summary)

using namespace Qt::StringLiterals;

namespace {

QString folder()
{
    return TestHarness::home() + QStringLiteral("/Fakebooks");
}

// Five books in three folders, a link back to the top, a damaged book and one without an outline.
void makeFolder()
{
    QDir(folder()).removeRecursively();
    PdfFixtures::writeSongbook(folder() + QStringLiteral("/A.pdf"),
                               {QStringLiteral("Alpha"), QStringLiteral("Beta")});
    TestHarness::writeFile(folder() + QStringLiteral("/broken.pdf"), "%PDF-1.4\nnot a book");
    PdfFixtures::writeSongbook(folder() + QStringLiteral("/plain.pdf"), {});
    PdfFixtures::writeSongbook(folder() + QStringLiteral("/sub/B.pdf"), {QStringLiteral("Gamma")});
    PdfFixtures::writeSongbook(folder() + QStringLiteral("/sub/deep/C.pdf"), {QStringLiteral("Delta")});
    QVERIFY(QFile::link(folder(), folder() + QStringLiteral("/sub/up")));
}

QStringList titles(const LibraryRows &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.title);
    return list;
}

struct Library {
    PlaylistLibrary playlists;
    LibrarySession session{playlists};
    LibrarySlots librarySlots{session};
};

BookmarkExtractionRun::Request request(qint64 slot)
{
    BookmarkExtractionRun::Request request;
    request.slot = slot;
    request.slotName = QStringLiteral("Books");
    request.folder = folder();
    request.pdfPaths = FolderFileIndex::listPdfs(folder()).paths;
    return request;
}

} // namespace

class BookmarkExtractionRunTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { makeFolder(); }

    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    // However many books are read at once, the songs and the progress lines come in the walk's order,
    // and the outcome counts the books that could not be opened apart from those without bookmarks.
    void readsBooksInListOrder_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::newRow("one at a time") << 1;
        QTest::newRow("several at once") << 8;
    }

    void readsBooksInListOrder()
    {
        QFETCH(int, parallel);
        Library library;
        BookmarkExtractionRun run(library.librarySlots, request(2));
        run.setMaxParallelBooksForTesting(parallel);
        QSignalSpy progressed(&run, &BookmarkExtractionRun::progressed);
        QSignalSpy finished(&run, &BookmarkExtractionRun::finished);
        run.start();
        QVERIFY(finished.wait(TestHarness::hangGuardMs));

        QStringList lines;
        for (const QList<QVariant> &signal : std::as_const(progressed))
            lines.append(signal.at(2).toString());
        QCOMPARE(lines,
                 (QStringList{"Extracting bookmarks... 1/5: A.pdf", "Extracting bookmarks... 2/5: broken.pdf",
                              "Extracting bookmarks... 3/5: plain.pdf", "Extracting bookmarks... 4/5: B.pdf",
                              "Extracting bookmarks... 5/5: C.pdf"}));
        const auto summary = finished.first().first().value<BookmarkExtractionRun::Summary>();
        QCOMPARE(
            summary.statusText(),
            "Extracted 4 bookmarks from 5 PDF(s); 1 could not be opened (broken.pdf), 1 had no bookmarks "
            "(plain.pdf; add it with \"Import Images/PDFs\")");
        QCOMPARE(library.session.currentSlotId(), 2);
        QCOMPARE(titles(library.session.allBookmarks()), (QStringList{"Alpha", "Beta", "Gamma", "Delta"}));
        QCOMPARE(library.session.selectedFolder(), folder());
        QCOMPARE(SlotStore::slotName(2), "Books");
    }

    // The books that could not be opened and those without bookmarks are named, the first three of
    // each, the latter with the way to bring them in; a count of none is left out.
    void summaryNamesTheBooksItMissed_data()
    {
        QTest::addColumn<QStringList>("unopened");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QStringList>("undecodable");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{}
                              << "Extracted 7 bookmarks from 9 PDF(s)";
        QTest::newRow("one unopened") << QStringList{"Friday.pdf"} << QStringList{} << QStringList{}
                                      << "Extracted 7 bookmarks from 9 PDF(s); 1 could not be opened "
                                         "(Friday.pdf)";
        QTest::newRow("three") << QStringList{} << QStringList{"A.pdf", "B.pdf", "C.pdf"} << QStringList{}
                               << "Extracted 7 bookmarks from 9 PDF(s); 3 had no bookmarks (A.pdf, B.pdf, "
                                  "C.pdf; add them with \"Import Images/PDFs\")";
        QTest::newRow("five") << QStringList{} << QStringList{"A.pdf", "B.pdf", "C.pdf", "D.pdf", "E.pdf"}
                              << QStringList{}
                              << "Extracted 7 bookmarks from 9 PDF(s); 5 had no bookmarks (A.pdf, B.pdf, "
                                 "C.pdf and 2 more; add them with \"Import Images/PDFs\")";
        QTest::newRow("four unopened, one without")
            << QStringList{"a.pdf", "b.pdf", "c.pdf", "d.pdf"} << QStringList{"E.pdf"} << QStringList{}
            << "Extracted 7 bookmarks from 9 PDF(s); 4 could not be opened (a.pdf, b.pdf, c.pdf and 1 more), "
               "1 had no bookmarks (E.pdf; add it with \"Import Images/PDFs\")";
        // Names that are not UTF-8 are read by no path: told apart, with what to do.
        QTest::newRow("a name not UTF-8") << QStringList{} << QStringList{} << QStringList{u"Caf\ufffd.pdf"_s}
                                          << u"Extracted 7 bookmarks from 9 PDF(s); 1 not read, its file or "
                                             u"folder name is not valid UTF-8 (Caf\ufffd.pdf; rename it to "
                                             u"extract it)"_s;
        QTest::newRow("a book and one in a folder not UTF-8")
            << QStringList{"broken.pdf"} << QStringList{}
            << QStringList{u"Alt\ufffd/Inside.pdf"_s, u"Caf\ufffd.pdf"_s}
            << u"Extracted 7 bookmarks from 9 PDF(s); 1 could not be opened (broken.pdf); 2 not read, their "
               u"file or folder names are not valid UTF-8 (Alt\ufffd/Inside.pdf, Caf\ufffd.pdf; rename them "
               u"to "
               u"extract them)"_s;
    }

    void summaryNamesTheBooksItMissed()
    {
        QFETCH(QStringList, unopened);
        QFETCH(QStringList, books);
        QFETCH(QStringList, undecodable);
        BookmarkExtractionRun::Summary summary;
        summary.bookmarkCount = 7;
        summary.pdfCount = 9;
        summary.unopened = unopened;
        summary.withoutBookmarks = books;
        summary.undecodableNames = undecodable;
        QTEST(summary.statusText(), "text");
    }

    // A run that asks before it rebuilds the slot waits once its songs are merged, telling the slot's
    // rows and those it does not give back. Should the library change before the answer is taken, the
    // merge is made again and asked about again only when its counts changed; Cancel changes nothing.
    void asksBeforeRebuilding_data()
    {
        QTest::addColumn<QString>("meanwhile"); // what changes the library while the run waits
        QTest::addColumn<bool>("rebuild");
        QTest::addColumn<QList<QList<qsizetype>>>("asked"); // slot rows and lost, each time
        QTest::addColumn<QStringList>("titles");            // after
        QTest::newRow("answered") << "" << true << QList<QList<qsizetype>>{{2, 1}}
                                  << QStringList{"Alpha", "Beta", "Gamma", "Delta"};
        QTest::newRow("a genre edited meanwhile") << "edit" << true << QList<QList<qsizetype>>{{2, 1}}
                                                  << QStringList{"Alpha", "Beta", "Gamma", "Delta"};
        QTest::newRow("a title added meanwhile")
            << "append" << true << QList<QList<qsizetype>>{{2, 1}, {3, 2}}
            << QStringList{"Alpha", "Beta", "Gamma", "Delta"};
        QTest::newRow("cancelled") << "" << false << QList<QList<qsizetype>>{{2, 1}}
                                   << QStringList{"Alpha", "Old"};
    }

    void asksBeforeRebuilding()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, rebuild);
        QFETCH(QList<QList<qsizetype>>, asked);
        QFETCH(QStringList, titles);
        Library library;
        BookmarkEntry alpha =
            Fixtures::bookmark(folder() + QStringLiteral("/A.pdf"), 1, QStringLiteral("Alpha"));
        alpha.composer = QStringLiteral("Trad.");
        Fixtures::setRows(library.session,
                          {alpha, Fixtures::bookmark(QStringLiteral("/x/X.pdf"), 1, QStringLiteral("Old"))});
        BookmarkExtractionRun::Request full = request(library.session.currentSlotId());
        full.asksBeforeRebuilding = true;
        BookmarkExtractionRun run(library.librarySlots, full);
        QSignalSpy planned(&run, &BookmarkExtractionRun::rebuildPlanned);
        QSignalSpy finished(&run, &BookmarkExtractionRun::finished);
        run.start();
        WAIT_COMPARE_WITH_TIMEOUT(planned.size(), 1, 30000);
        if (meanwhile == "edit")
            library.session.editBookmarks({0},
                                          [](BookmarkEntry &row) { row.genre = QStringLiteral("Folk"); });
        if (meanwhile == "append")
            Fixtures::appendRows(library.session,
                                 {Fixtures::bookmark(QStringLiteral("/y/Y.pdf"), 1, QStringLiteral("New"))});
        TestHarness::settleWorkers();
        QCOMPARE(finished.size(), 0);
        if (!rebuild)
            run.cancel();
        for (qsizetype answered = 1; rebuild && finished.isEmpty(); ++answered) {
            run.rebuild();
            WAIT_VERIFY_WITH_TIMEOUT(finished.size() == 1 || planned.size() > answered, 30000);
        }
        QList<QList<qsizetype>> counts;
        for (const QList<QVariant> &signal : std::as_const(planned))
            counts.append({signal.at(0).value<qsizetype>(), signal.at(1).value<qsizetype>()});
        QCOMPARE(counts, asked);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<BookmarkExtractionRun::Summary>().cancelled, !rebuild);
        QCOMPARE(::titles(library.session.allBookmarks()), titles);
        // The title given back keeps what the user added to it, also meanwhile.
        QCOMPARE(library.session.allBookmarks().at(0).composer, "Trad.");
        QCOMPARE(library.session.allBookmarks().at(0).genre, meanwhile == "edit" ? "Folk" : "");
    }

    // A cancelled run changes nothing: not the slot shown, not its rows, not the slot it was meant for.
    void cancelChangesNothing()
    {
        Library library;
        Fixtures::setRows(library.session,
                          {Fixtures::bookmark(QStringLiteral("/x/X.pdf"), 1, QStringLiteral("Old"))});
        QVERIFY(SlotStore::saveSlot(
            2, {Fixtures::bookmark(QStringLiteral("/y/Y.pdf"), 1, QStringLiteral("Kept"))}, QString()));
        QSignalSpy changed(&library.session, &LibrarySession::libraryChanged);
        BookmarkExtractionRun run(library.librarySlots, request(2));
        QSignalSpy finished(&run, &BookmarkExtractionRun::finished);
        run.start();
        run.cancel();
        QCOMPARE(finished.size(), 1);
        QVERIFY(finished.first().first().value<BookmarkExtractionRun::Summary>().cancelled);
        TestHarness::settleWorkers();
        QCOMPARE(finished.size(), 1);
        QVERIFY(changed.isEmpty());
        QCOMPARE(library.session.currentSlotId(), 0);
        QCOMPARE(titles(library.session.allBookmarks()), QStringList{"Old"});
        QCOMPARE(SlotStore::loadSlot(2).first().title, "Kept");
    }
};

LYRAFOLD_TEST_MAIN(BookmarkExtractionRunTest)
#include "tst_bookmarkextractionrun.moc"
