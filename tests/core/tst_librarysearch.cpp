#include "Fixtures.h"
#include "TestHarness.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/search/LibrarySearch.h"
#include "core/search/LibrarySort.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/session/RowDeletion.h"
#include "core/titles/TitleKeyIndex.h"

#include <QSignalSpy>

#include <numeric>

namespace {

// A bookmark in a book whose file name holds none of the test words.
BookmarkEntry song(const QString &title, const QString &genre = {}, const QString &style = {})
{
    BookmarkEntry e = Fixtures::bookmark(QStringLiteral("/b/Volume.pdf"), 1, title);
    e.genre = genre;
    e.style = style;
    return e;
}

QStringList titles(const BookmarkList &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.title);
    return list;
}

// The worked example's library.
BookmarkList nightLibrary()
{
    return {song(QStringLiteral("Night Train Home")), song(QStringLiteral("Home at Night")),
            song(QStringLiteral("Midnight Shower")),
            song(QStringLiteral("Reel No. 2"), QStringLiteral("Nightclub"), QStringLiteral("Shout"))};
}

} // namespace

class LibrarySearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void parsesQueries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("phrases");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("two words") << "Night  HO" << QStringList() << QStringList{"night", "ho"};
        QTest::newRow("phrase then word")
            << "\"Train Home\" night" << QStringList{"train home"} << QStringList{"night"};
        QTest::newRow("phrases keep their order")
            << "\"b c\" x \"a\"" << QStringList{"b c", "a"} << QStringList{"x"};
        QTest::newRow("quotes around blanks") << "\"   \"" << QStringList() << QStringList();
        QTest::newRow("two quotes are a word") << "\"\"" << QStringList() << QStringList{"\"\""};
        QTest::newRow("lone quote sticks to its word") << "\"blue" << QStringList() << QStringList{"\"blue"};
        QTest::newRow("curly apostrophe")
            << "Don\u2019t Stop" << QStringList() << QStringList{"don't", "stop"};
        QTest::newRow("left quote and prime in a phrase")
            << "\"ROCK \u2018N\u2032 roll\" o\u201Bclock" << QStringList{"rock 'n' roll"}
            << QStringList{"o'clock"};
        QTest::newRow("tabs split") << "a\tb" << QStringList() << QStringList{"a", "b"};
        QTest::newRow("decomposed becomes composed")
            << "Cafe\u0301" << QStringList() << QStringList{"caf\u00e9"};
    }

    void parsesQueries()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, phrases);
        QFETCH(QStringList, words);
        const SearchQuery query = LibrarySearch::parseSearchQuery(text);
        QCOMPARE(query.exactTitlePhrases, phrases);
        QCOMPARE(query.words, words);
    }

    void splitsTitleWords_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << "Night Train Home" << QStringList{"night", "train", "home"};
        QTest::newRow("hyphens split") << "Rock-a-Bye Baby" << QStringList{"rock", "a", "bye", "baby"};
        QTest::newRow("apostrophe inside stays, outside goes")
            << "Don't Stop\u2014Believin\u2019" << QStringList{"don't", "stop", "believin"};
        QTest::newRow("punctuation and separators")
            << "(Sittin' On) The Dock; of/the Bay, \u2013 Reel No. 2"
            << QStringList{"sittin", "on", "the", "dock", "of", "the", "bay", "reel", "no", "2"};
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("decomposed accent stays on its word")
            << "Cafe\u0301 Society" << QStringList{"caf\u00e9", "society"};
        QTest::newRow("vowel sign ends a word")
            << "\u0939\u093F\u0902\u0926\u0940" << QStringList{"\u0939\u093F\u0902\u0926\u0940"};
    }

    void splitsTitleWords()
    {
        QFETCH(QString, title);
        QFETCH(QStringList, words);
        QCOMPARE(LibrarySearch::titleWordsForSearch(title), words);
    }

    void ranksMatches_data()
    {
        QTest::addColumn<BookmarkList>("library");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("worked example: tiers A, B, C")
            << nightLibrary() << "night ho"
            << QStringList{"Night Train Home", "Home at Night", "Midnight Shower", "Reel No. 2"};
        QTest::newRow("worked example with a phrase")
            << nightLibrary() << "\"train home\" night" << QStringList{"Night Train Home"};
        QTest::newRow("phrases only: tier B by title")
            << BookmarkList{song("Zebra Night"), song("apple night"), song("Banana Night")} << "\"night\""
            << QStringList{"apple night", "Banana Night", "Zebra Night"};
        QTest::newRow("equal keys keep library order")
            << BookmarkList{song("Blue Nights"), song("Blue Night"), song("Night Blue")} << "blue night"
            << QStringList{"Blue Nights", "Blue Night", "Night Blue"};
        QTest::newRow("a hyphenated word only matches by substring")
            << BookmarkList{song("Rock-a-Bye Baby"), song("Rock Around")} << "rock-a"
            << QStringList{"Rock-a-Bye Baby"};
        QTest::newRow("words split between title and tags match nothing")
            << BookmarkList{song("Blue Moon", "Jazz")} << "blue jazz" << QStringList();
        QTest::newRow("tier C ranks by title, case ignored")
            << BookmarkList{song("b-side", "Latin"), song("A Song", "Latin"), song("Lat", "Latin")} << "latin"
            << QStringList{"A Song", "b-side", "Lat"};
        QTest::newRow("decomposed title meets composed query")
            << BookmarkList{song("Cafe\u0301 Society")} << "caf\u00e9" << QStringList{"Cafe\u0301 Society"};
        QTest::newRow("composed title meets decomposed query")
            << BookmarkList{song("Caf\u00e9 Society")} << "\"cafe\u0301 soc\""
            << QStringList{"Caf\u00e9 Society"};
        QTest::newRow("curly and straight apostrophes meet")
            << BookmarkList{song("Don't Cry"), song("Don\u2019t Stop")} << "don\u2019t"
            << QStringList{"Don't Cry", "Don\u2019t Stop"};
        QTest::newRow("two adjacent quotes need two quotes")
            << BookmarkList{song("Say \"\"Hi\"\""), song("Say Hi")} << "\"\""
            << QStringList{"Say \"\"Hi\"\""};

        BookmarkList byFile{song("Autumn"), song("Winter")};
        byFile[0].pdfFileName = QStringLiteral("Jazz Standards.pdf");
        byFile[1].pdfFileName.clear();
        byFile[1].pdfFilePath = QStringLiteral("/music/jazz.standards/Standards.pdf");
        QTest::newRow("file names, the path without extension when there is none")
            << byFile << "standards jazz" << QStringList{"Autumn", "Winter"};
        QTest::newRow("the extension of a path without file name is not searched")
            << byFile << "standards.pdf" << QStringList{"Autumn"};
    }

    void ranksMatches()
    {
        QFETCH(BookmarkList, library);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        const SearchQuery query = LibrarySearch::parseSearchQuery(text);
        QCOMPARE(titles(LibrarySearchIndex(library).runFilter(query)), expected);
        QCOMPARE(titles(LibrarySearch::runFilter(library, 0, library.size(), query)), expected);
    }

    void sortsByColumn_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("pages compare as numbers")
            << "Page" << true << QStringList{"p1", "p2", "p3", "p10", "p11"};
        QTest::newRow("pages descending") << "Page" << false << QStringList{"p11", "p10", "p3", "p2", "p1"};
        QTest::newRow("no year first ascending")
            << "Year" << true << QStringList{"p1", "p11", "p2", "p3", "p10"};
        QTest::newRow("no year last descending")
            << "Year" << false << QStringList{"p10", "p3", "p2", "p1", "p11"};
        QTest::newRow("rating by stored value, ties by title")
            << "Rating" << true << QStringList{"p11", "p3", "p10", "p2", "p1"};
        QTest::newRow("genre ties by title ascending, descending too")
            << "Genre" << false << QStringList{"p10", "p3", "p1", "p11", "p2"};
        QTest::newRow("text ignores case")
            << "Composer" << true << QStringList{"p10", "p2", "p1", "p3", "p11"};
        QTest::newRow("unknown column: by title")
            << "Add" << true << QStringList{"p1", "p10", "p11", "p2", "p3"};
    }

    void sortsByColumn()
    {
        QFETCH(QString, column);
        QFETCH(bool, ascending);
        QFETCH(QStringList, expected);
        struct Row {
            int page;
            std::optional<qint64> year;
            std::optional<double> rating;
            const char *genre;
            const char *composer;
        };
        const QList<Row> rows{{2, 1990, 4.5, "Jazz", "bach"},
                              {10, 2001, 4.5, "Pop", "Alfven"},
                              {3, 1995, 4.4, "Pop", "Chopin"},
                              {1, std::nullopt, 4.6, "Jazz", "Brahms"},
                              {11, std::nullopt, std::nullopt, "Jazz", "Debussy"}};
        BookmarkList library;
        for (const Row &row : rows) {
            BookmarkEntry e =
                Fixtures::bookmark(QStringLiteral("/b/A.pdf"), row.page, QStringLiteral("p%1").arg(row.page));
            e.firstReleaseYear = row.year;
            e.rating = row.rating;
            e.genre = QString::fromLatin1(row.genre);
            e.composer = QString::fromLatin1(row.composer);
            library.append(e);
        }
        BookmarkList sorted = library;
        LibrarySort::sortBookmarks(sorted, column, ascending);
        QCOMPARE(titles(sorted), expected);
        // The order that a prepared library gives is the same.
        const LibraryRows prepared(library);
        SortRanks ranks = LibrarySort::sortRanksOf(prepared);
        QList<qsizetype> positions{0, 1, 2, 3, 4};
        LibrarySort::sortPositions(positions, prepared, column, ascending, &ranks);
        QStringList byPosition;
        for (const qsizetype position : std::as_const(positions))
            byPosition.append(prepared.at(position).title);
        QCOMPARE(byPosition, expected);
    }

    // Ranks kept with the library take an edit's new texts: they then order every text as a ranking
    // made from scratch would, equal texts (ignoring case) sharing a rank.
    void ranksTakeNewTexts_data()
    {
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("between, before, after and equal")
            << QStringList{"b", "D", "f", "h"} << QStringList{"a", "C", "d", "E", "g", "B", "z", "c"};
        QTest::newRow("known texts only") << QStringList{"a", "b"} << QStringList{"b", "a"};
        QTest::newRow("many at once") << QStringList{"m"} << QStringList{"a", "Z", "n", "M", "b"};
        QTest::newRow("into nothing") << QStringList{} << QStringList{"y", "x", "X"};
    }

    void ranksTakeNewTexts()
    {
        QFETCH(QStringList, start);
        QFETCH(QStringList, added);
        TextRanks ranks(start);
        const TextRanks before = ranks;
        const std::vector<int> moved = ranks.add(added);
        // What was known before is found where add() says it went.
        for (const QString &text : std::as_const(start))
            QCOMPARE(moved.at(size_t(before.rank(text).value())), ranks.rank(text).value());
        const QStringList all = start + added;
        const QList<int> expected = LibrarySort::collationRanks(all);
        for (qsizetype a = 0; a < all.size(); ++a) {
            for (qsizetype b = 0; b < all.size(); ++b) {
                const int got = ranks.rank(all.at(a)).value() - ranks.rank(all.at(b)).value();
                const int want = expected.at(a) - expected.at(b);
                QVERIFY2((got > 0) == (want > 0) && (got < 0) == (want < 0),
                         qPrintable(all.at(a) + QLatin1Char(' ') + all.at(b)));
            }
        }
    }

    // Ranks kept with the library follow its changes: after them a sort gives the order that ranks made
    // from scratch give.
    void keptRanksFollowChanges_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("a title and a genre edited") << 0;
        QTest::newRow("rows appended") << 1;
        QTest::newRow("rows removed, the ranks told") << 2;
        QTest::newRow("many new texts") << 3;
    }

    void keptRanksFollowChanges()
    {
        QFETCH(int, change);
        LibraryRows rows(Fixtures::realisticLibrary(int(LibraryRows::blockSize) * 3));
        SortRanks ranks = LibrarySort::sortRanksOf(rows);
        // A new title and genre, and a page, year and rating the library may not hold yet.
        const auto rename = [&rows](qsizetype position, const QString &text) {
            BookmarkEntry &row = rows.edit(position);
            row.title = text;
            row.genre = text;
            row.pageNumber = int(9000 + position % 7);
            row.firstReleaseYear =
                position % 5 == 0 ? std::nullopt : std::optional<qint64>(3000 + position % 11);
            row.rating = position % 4 == 0 ? std::nullopt : std::optional(0.25 * double(position % 13));
        };
        switch (change) {
        case 0:
            rename(300, QStringLiteral("  a new one"));
            break;
        case 1:
            rows.append(Fixtures::realisticLibrary(40));
            break;
        case 2: {
            const QList<quint64> stamps = rows.blockStamps();
            rows.remove({5, 400, 401});
            LibrarySort::followRemoval(ranks, stamps, {5, 400, 401}, rows);
            break;
        }
        default:
            for (qsizetype position = 0; position < rows.size(); position += 3)
                rename(position, QStringLiteral("t%1").arg(position % 97));
        }
        const QStringList columns{QStringLiteral("Bookmark Title"), QStringLiteral("Genre"),
                                  QStringLiteral("Page"), QStringLiteral("Year"), QStringLiteral("Rating")};
        for (const QString &column : columns) {
            for (const bool ascending : {true, false}) {
                QList<qsizetype> kept(rows.size());
                std::iota(kept.begin(), kept.end(), qsizetype(0));
                QList<qsizetype> fresh = kept;
                LibrarySort::sortPositions(kept, rows, column, ascending, &ranks);
                LibrarySort::sortPositions(fresh, rows, column, ascending);
                QCOMPARE(kept, fresh);
            }
        }
    }

    // A quit cancels the indexes being made for a large library: each builder stops at its next look
    // at the flag instead of finishing the library.
    void cancelledBuildsStop_data()
    {
        QTest::addColumn<int>("builder");
        QTest::newRow("search index") << 0;
        QTest::newRow("title keys") << 1;
        QTest::newRow("identity positions") << 2;
        QTest::newRow("title order") << 3;
    }

    void cancelledBuildsStop()
    {
        QFETCH(int, builder);
        const LibraryRows rows(Fixtures::realisticLibrary(int(cancelCheckRows) * 3));
        BuildProgress progress;
        progress.cancel();
        qsizetype made = 0;
        switch (builder) {
        case 0:
            made = LibrarySearchIndex(rows, 0, -1, &progress).sizeForTesting();
            break;
        case 1:
            made = TitleKeyIndex(rows, &progress).rowCount();
            break;
        case 2:
            made = rows.firstPositionsById(&progress).size();
            break;
        default: {
            QStringList titles;
            for (const BookmarkEntry &row : rows)
                titles.append(row.title);
            made = LibrarySort::collationRanks(titles, &progress).size();
        }
        }
        QVERIFY2(made < rows.size(), qPrintable(QString::number(made)));
    }

    // A second click flips the direction; a click on another column starts ascending; an empty list
    // changes nothing, not even the state.
    void sortStateFollowsClicks()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        shown.sortFilteredByColumn(QStringLiteral("Page"));
        QVERIFY(!shown.sortColumn());
        Fixtures::setRows(session,
                          {Fixtures::bookmark("/b/A.pdf", 2, "b"), Fixtures::bookmark("/b/A.pdf", 1, "a")});
        QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Page")));
        QCOMPARE(titles(Fixtures::shownRows(shown)), (QStringList{"a", "b"}));
        QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Page")));
        QCOMPARE(titles(Fixtures::shownRows(shown)), (QStringList{"b", "a"}));
        QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Bookmark Title")));
        QVERIFY(shown.sortAscending());
        QCOMPARE(titles(Fixtures::shownRows(shown)), (QStringList{"a", "b"}));
    }

    // A long list is sorted on a worker: the state changes at once, the rows when the sort lands; a
    // search before that supersedes it.
    void largeSortLandsLater()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        const qsizetype rows = 5000;
        // From fewer rows than the application's threshold, not to build a library of that many.
        LibraryShownRows shown(session, {.workerSortRows = rows});
        BookmarkList library;
        library.reserve(rows);
        for (qsizetype i = 0; i < rows; ++i)
            library.append(Fixtures::bookmark(QStringLiteral("/b/A.pdf"), (i * 7919) % 5000 + 1,
                                              QStringLiteral("t%1").arg(i % 97)));
        Fixtures::setRows(session, library);
        QSignalSpy applied(&shown, &LibraryShownRows::filteredBookmarksChanged);

        QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Page")));
        QVERIFY(shown.sortPending() && shown.sortShown() && shown.sortAscending());
        WAIT_VERIFY(!shown.sortPending());
        QCOMPARE(applied.size(), 1);
        const QList<qsizetype> &order = shown.filteredPositions();
        QCOMPARE(order.size(), library.size());
        for (qsizetype row = 1; row < order.size(); ++row)
            QVERIFY(library.at(order.at(row - 1)).pageNumber <= library.at(order.at(row)).pageNumber);

        QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Page")));
        shown.updateFilteredList(QString());
        QVERIFY(!shown.sortPending() && !shown.sortShown());
        TestHarness::settleWorkers();
        QCOMPARE(applied.size(), 2);
        QCOMPARE(shown.filteredPositions().first(), qsizetype(0));
    }

    // While the order is held (a cell's field is open on a row), a search pass, a sort or every row shown
    // again waits and the rows stay as they are shown; the release shows the last order that waited.
    // Rows removed or a new library meanwhile are shown at once, and what waited is dropped.
    void aHeldOrderWaitsForItsRelease_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("released"); // the first rows shown after the release; none: all
        QTest::newRow("a search pass") << "search" << QStringList{"Night Train Home", "Night Late"};
        QTest::newRow("two search passes: the last") << "search twice" << QStringList{"Midnight Shower"};
        QTest::newRow("a sort at once") << "sort" << QStringList{"Filler 0", "Filler 1"};
        QTest::newRow("a sort on a worker") << "worker sort" << QStringList{"Filler 0", "Filler 1"};
        QTest::newRow("a search cleared") << "all again" << QStringList();
        QTest::newRow("rows removed") << "removed" << QStringList{"Home at Night", "Midnight Shower"};
        QTest::newRow("a new library") << "replaced" << QStringList{"Other"};
    }

    void aHeldOrderWaitsForItsRelease()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, released);
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session, {.workerSortRows = meanwhile == "worker sort" ? 10 : 200000});
        BookmarkList library = nightLibrary();
        for (int i = 0; i < 150; ++i)
            library.append(song(QStringLiteral("Filler %1").arg(i)));
        library.append(song(QStringLiteral("Night Late")));
        Fixtures::setRows(session, library);
        if (meanwhile == "all again") {
            shown.updateFilteredList(QStringLiteral("night"));
            TestHarness::settleWorkers();
        }
        const BookmarkList before = Fixtures::shownRows(shown);
        QSignalSpy applied(&shown, &LibraryShownRows::filteredBookmarksChanged);

        shown.holdOrder();
        if (meanwhile.startsWith("search")) {
            shown.updateFilteredList(QStringLiteral("night"));
            if (meanwhile == "search twice") {
                TestHarness::settleWorkers();
                shown.updateFilteredList(QStringLiteral("shower"));
            }
        } else if (meanwhile.endsWith("sort")) {
            QVERIFY(shown.sortFilteredByColumn(QStringLiteral("Bookmark Title")));
        } else if (meanwhile == "all again") {
            shown.updateFilteredList(QString());
        } else if (meanwhile == "removed") {
            shown.updateFilteredList(QStringLiteral("night"));
            TestHarness::settleWorkers();
            QVERIFY(session.deleteBookmarks(RowDeletion::plan(session, {0}, std::nullopt)));
        } else {
            shown.updateFilteredList(QStringLiteral("night"));
            TestHarness::settleWorkers();
            Fixtures::setRows(session, {song(QStringLiteral("Other"))});
        }
        TestHarness::settleWorkers();
        QVERIFY(applied.isEmpty());
        if (meanwhile == "removed" || meanwhile == "replaced") {
            QCOMPARE(titles(Fixtures::shownRows(shown)).mid(0, 2), released);
        } else {
            QCOMPARE(Fixtures::shownRows(shown), before);
        }

        shown.releaseOrder();
        QVERIFY(!shown.orderHeld());
        const bool waited = meanwhile != "removed" && meanwhile != "replaced";
        QCOMPARE(applied.size(), waited ? 1 : 0);
        const QStringList shownTitles = titles(Fixtures::shownRows(shown));
        if (released.isEmpty())
            QCOMPARE(shownTitles.size(), library.size());
        else
            QCOMPARE(shownTitles.mid(0, released.size()), released);
        QCOMPARE(shown.sortShown(), meanwhile.endsWith("sort"));
    }

    // Both passes land in order; a blank query shows the library at once; a pass overtaken by a newer
    // update or by a change of the library is dropped.
    void passesLandUnlessOvertaken()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        BookmarkList library = nightLibrary();
        for (int i = 0; i < 150; ++i)
            library.append(song(QStringLiteral("Filler %1").arg(i)));
        library.append(song(QStringLiteral("Night Late")));
        Fixtures::setRows(session, library);
        QSignalSpy applied(&shown, &LibraryShownRows::filteredBookmarksChanged);

        shown.updateFilteredList(QStringLiteral("night"));
        QVERIFY(applied.isEmpty());
        WAIT_COMPARE(applied.size(), 2);
        QCOMPARE(titles(Fixtures::shownRows(shown)),
                 (QStringList{"Night Train Home", "Night Late", "Home at Night", "Midnight Shower",
                              "Reel No. 2"}));

        shown.updateFilteredList(QStringLiteral("  "));
        QCOMPARE(applied.size(), 3);
        QCOMPARE(Fixtures::shownRows(shown).size(), library.size());

        // Cleared before the passes landed: the library stays shown.
        shown.updateFilteredList(QStringLiteral("night"));
        shown.updateFilteredList(QString());
        TestHarness::settleWorkers();
        QCOMPARE(applied.size(), 4);
        QCOMPARE(Fixtures::shownRows(shown).size(), library.size());

        // The library changed under a running search: its passes never show the old rows.
        shown.updateFilteredList(QStringLiteral("night"));
        Fixtures::setRows(session, {song(QStringLiteral("Only Night"))});
        TestHarness::settleWorkers();
        QCOMPARE(applied.size(), 4);
        QCOMPARE(titles(Fixtures::shownRows(shown)), QStringList{"Only Night"});
    }
};

LYRAFOLD_TEST_MAIN(LibrarySearchTest)
#include "tst_librarysearch.moc"
