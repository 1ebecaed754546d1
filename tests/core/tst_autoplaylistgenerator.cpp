#include "TestHarness.h"
#include "core/autoplaylist/AutoPlaylistGenerator.h"
#include "core/resources/BundledResources.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSet>

#include <limits>

using AutoPlaylistGenerator::Params;
using Bounds = std::pair<std::optional<qint64>, std::optional<qint64>>;

Q_DECLARE_METATYPE(Params)
Q_DECLARE_METATYPE(Bounds)

namespace {

// title, genres, styles, year (0: none), composer, tempo, popularity (0: none)
struct Song {
    const char *title;
    QStringList genres;
    QStringList styles;
    int year;
    const char *composer;
    const char *tempo;
    int popularity;
};

const Song songs[] = {
    {"Fast One", {"Jazz"}, {"Bebop"}, 1950, "Charlie Parker", "Fast", 5},
    {"Fast Two", {"Jazz"}, {"Bebop"}, 1955, "Bud Powell", "Up-tempo fast", 4},
    {"Upper", {"Jazz"}, {"Swing"}, 1940, "Duke Ellington", "Medium-Up", 3},
    {"Upper Two", {"Jazz"}, {"Swing"}, 1941, "Duke Ellington", "Medium-Up", 2},
    {"Middle A", {"Latin"}, {"Bossa Nova"}, 1962, "A. C. Jobim", "Medium", 2},
    {"Middle B", {"Latin"}, {"Bossa Nova"}, 1964, "A. C. Jobim", "Medium", 3},
    {"Middle C", {"Latin"}, {"Samba"}, 1966, "Baden Powell", "medium", 1},
    {"Slowish", {"Jazz"}, {"Ballad"}, 1945, "Billy Strayhorn", "Medium-Ballad", 4},
    {"Slow A", {"Jazz"}, {"Ballad"}, 1939, "Johnny Green", "Ballad", 5},
    {"Slow B", {"Latin"}, {"Bolero"}, 1960, "Consuelo Velázquez", "Ballad", 1},
    {"Both Ways", {"Latin", "Jazz"}, {"Bossa Nova"}, 1963, "Stan Getz", "Medium", 3},
    {"No Tempo", {"Pop"}, {}, 0, "", "", 0},
};

QStringList allTitles()
{
    QStringList titles;
    for (const Song &song : songs)
        titles.append(QString::fromUtf8(song.title));
    return titles;
}

BookmarkEntry entry(const QString &book, const QString &title, int page)
{
    BookmarkEntry e;
    e.pdfFileName = book;
    e.pdfFilePath = QStringLiteral("/music/") + book;
    e.title = title;
    e.pageNumber = page;
    return e;
}

BookmarkList library(const QStringList &titles, const QString &book = QStringLiteral("Book A.pdf"))
{
    BookmarkList list;
    for (const QString &title : titles)
        list.append(entry(book, title, int(list.size()) + 1));
    return list;
}

Result<BookmarkList> generate(const BookmarkList &bookmarks, const Params &params, quint32 seed)
{
    QRandomGenerator random(seed);
    return AutoPlaylistGenerator::generate(AutoPlaylistGenerator::TitleIndex(bookmarks), params, random);
}

QStringList titlesOf(const BookmarkList &list)
{
    QStringList titles;
    for (const BookmarkEntry &e : list)
        titles.append(e.title);
    return titles;
}

QStringList tempoSymbolsOf(const BookmarkList &list)
{
    QStringList symbols;
    for (const BookmarkEntry &e : list) {
        const auto record = TitleMetadataIndex::metadataForDisplayTitle(e.title);
        symbols.append(AutoPlaylistGenerator::tempoToSymbol(record ? record->tempo : std::nullopt));
    }
    return symbols;
}

Params withTotal(qint64 total)
{
    Params p;
    p.titlesPerSet = total;
    return p;
}

} // namespace

class AutoPlaylistGeneratorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    static void initTestCase()
    {
        QJsonArray records;
        for (const Song &song : songs) {
            QJsonObject r{{"Title", song.title},
                          {"Genres", QJsonArray::fromStringList(song.genres)},
                          {"Styles", QJsonArray::fromStringList(song.styles)},
                          {"Composer", song.composer}};
            if (song.year)
                r.insert("FirstReleaseYear", song.year);
            if (*song.tempo)
                r.insert("Tempo", song.tempo);
            if (song.popularity)
                r.insert("Popularity", song.popularity);
            records.append(r);
        }
        const QString root = TestHarness::home() + QStringLiteral("/resources");
        TestHarness::writeFile(root + QStringLiteral("/Bundled/default_metadata.json"),
                               QJsonDocument(records).toJson());
        BundledResources::setRootForTesting(root);
        TitleMetadataIndex::resetForTesting();
    }

    void sizeAndUniqueness_data()
    {
        QTest::addColumn<qint64>("titlesPerSet");
        QTest::addColumn<qint64>("setCount");
        QTest::addColumn<int>("expected");

        QTest::newRow("zero counts as one") << qint64(0) << qint64(0) << 1;
        QTest::newRow("sets multiply") << qint64(2) << qint64(3) << 6;
        QTest::newRow("more than the library") << qint64(40) << qint64(1) << 14;
        QTest::newRow("product beyond 64 bits") << std::numeric_limits<qint64>::max() << qint64(3) << 14;
    }

    void sizeAndUniqueness()
    {
        QFETCH(qint64, titlesPerSet);
        QFETCH(qint64, setCount);
        QFETCH(int, expected);
        // Titles without metadata take part when nothing filters; blank titles and repeats of a
        // title under another spelling do not count twice.
        BookmarkList bookmarks = library(allTitles() + QStringList{"Unlisted", "Also Unlisted", "   "});
        bookmarks += library({"The Fast One", "fast   one", "(The)"}, QStringLiteral("Book B.pdf"));
        Params params;
        params.titlesPerSet = titlesPerSet;
        params.setCount = setCount;

        QSet<QString> seen;
        for (quint32 seed = 1; seed <= 30; ++seed) {
            const auto result = generate(bookmarks, params, seed);
            QVERIFY(result);
            QCOMPARE(result->size(), expected);
            QSet<QString> keys;
            for (const BookmarkEntry &e : result.value())
                keys.insert(TitleMetadataIndex::normalizedTitleKey(e.title));
            QCOMPARE(keys.size(), expected);
            seen.unite(keys);
        }
        if (expected == 14)
            QVERIFY(seen.contains("unlisted"));
    }

    void seedRepeatsTheResult()
    {
        const BookmarkList bookmarks = library(allTitles());
        Params params = withTotal(6);
        params.genres = QStringList{"jazz", "latin"};
        params.tempoFormula = QStringLiteral("M-MU-F-B");
        const auto first = generate(bookmarks, params, 7);
        QVERIFY(first);
        QCOMPARE(titlesOf(generate(bookmarks, params, 7).value()), titlesOf(first.value()));
        bool differs = false;
        for (quint32 seed = 8; seed < 20 && !differs; ++seed)
            differs = titlesOf(generate(bookmarks, params, seed).value()) != titlesOf(first.value());
        QVERIFY(differs);
    }

    void filters_data()
    {
        QTest::addColumn<Params>("params");
        QTest::addColumn<QStringList>("expected"); // empty: no title matches

        const auto with = [](auto change) {
            Params p = withTotal(100);
            change(p);
            return p;
        };
        QTest::newRow("genre term, any case")
            << with([](Params &p) { p.genres = QStringList{"LAT"}; })
            << QStringList{"Middle A", "Middle B", "Middle C", "Slow B", "Both Ways"};
        QTest::newRow("style term") << with([](Params &p) { p.styles = QStringList{"bossa"}; })
                                    << QStringList{"Middle A", "Middle B", "Both Ways"};
        QTest::newRow("tempo contains the term")
            << with([](Params &p) { p.tempo = QStringLiteral("Medium-"); })
            << QStringList{"Upper", "Upper Two", "Slowish"};
        QTest::newRow("composer terms") << with([](Params &p) {
            p.composers = QStringList{"jobim", "ELLINGTON"};
        }) << QStringList{"Upper", "Upper Two", "Middle A", "Middle B"};
        QTest::newRow("popularity bounds reversed")
            << with([](Params &p) { p.popularity = QStringLiteral("5-4"); })
            << QStringList{"Fast One", "Fast Two", "Slowish", "Slow A"};
        QTest::newRow("popularity without a number: no filter")
            << with([](Params &p) { p.popularity = QStringLiteral("lots"); }) << allTitles();
        QTest::newRow("years, a record without one passes") << with([](Params &p) {
            p.yearMin = 1955;
            p.yearMax = 1962;
        }) << QStringList{"Fast Two", "Middle A", "Slow B", "No Tempo"};
        QTest::newRow("allowed book by a part of its name, any case")
            << with([](Params &p) { p.allowedBooks = QStringList{" FAKE book "}; })
            << QStringList{"Fast One", "Slow A"};
        QTest::newRow("allowed book matching nothing")
            << with([](Params &p) { p.allowedBooks = QStringList{"Nope"}; }) << QStringList();
        QTest::newRow("filters that leave nothing") << with([](Params &p) {
            p.genres = QStringList{"latin"};
            p.tempo = QStringLiteral("fast");
        }) << QStringList();
    }

    void filters()
    {
        QFETCH(Params, params);
        QFETCH(QStringList, expected);
        // Titles without metadata never pass a filter.
        BookmarkList bookmarks = library(allTitles() + QStringList{"Unlisted"});
        bookmarks += library({"Fast One", "Slow A"}, QStringLiteral("The Fake Book C.pdf"));
        const bool unfiltered = params.popularity == QStringLiteral("lots");
        if (unfiltered)
            expected.append("Unlisted");

        const auto result = generate(bookmarks, params, 3);
        if (expected.isEmpty()) {
            QVERIFY(!result);
            QCOMPARE(result.error().code, AutoPlaylistGenerator::noMatchingTitlesError);
            QCOMPARE(result.error().domain, QStringLiteral("Lyrafold"));
            QCOMPARE(result.error().message,
                     QStringLiteral("No titles match the given filters or selected books."));
            return;
        }
        QVERIFY(result);
        QStringList titles = titlesOf(result.value());
        titles.sort();
        expected.sort();
        QCOMPARE(titles, expected);
    }

    void nothingToChooseFrom()
    {
        for (const BookmarkList &bookmarks : {BookmarkList(), library({"", "  ", "(The)"})}) {
            const auto result = generate(bookmarks, Params(), 1);
            QVERIFY(!result);
            QCOMPARE(result.error().code, AutoPlaylistGenerator::noMatchingTitlesError);
        }
    }

    void bookChoice_data()
    {
        QTest::addColumn<QStringList>("priority");
        QTest::addColumn<QStringList>("allowed");
        QTest::addColumn<QString>("book");

        QTest::newRow("no priority: first in the library") << QStringList() << QStringList() << "Book A.pdf";
        QTest::newRow("priority names the second")
            << QStringList{" book b.PDF "} << QStringList() << "Book B.pdf";
        QTest::newRow("earlier priority name wins")
            << QStringList{"book c.pdf", "book b.pdf"} << QStringList() << "Book C.pdf";
        QTest::newRow("priority by a part of the name does not count")
            << QStringList{"book b"} << QStringList() << "Book A.pdf";
        QTest::newRow("allowed books come first")
            << QStringList{"book a.pdf"} << QStringList{"book b", "book c"} << "Book B.pdf";
    }

    void bookChoice()
    {
        QFETCH(QStringList, priority);
        QFETCH(QStringList, allowed);
        QFETCH(QString, book);
        BookmarkList bookmarks;
        for (const char *name : {"Book A.pdf", "Book B.pdf", "Book C.pdf"})
            bookmarks += library({"Fast One"}, QString::fromLatin1(name));
        Params params;
        params.bookPriority = priority;
        params.allowedBooks = allowed;

        const auto result = generate(bookmarks, params, 1);
        QVERIFY(result);
        QCOMPARE(result->size(), 1);
        QCOMPARE(result->first().pdfFileName, book);
    }

    void genreGroupsShareThePlaces()
    {
        // The jazz group is met first, so it takes the odd place: 3 jazz titles and 2 Latin ones. A
        // title of both genres belongs to the term listed first.
        const QStringList latin{"Middle A", "Middle B", "Middle C", "Slow B"};
        Params params = withTotal(5);
        params.genres = QStringList{"jazz", "latin"};
        for (quint32 seed = 1; seed <= 40; ++seed) {
            const auto result = generate(library(allTitles()), params, seed);
            QVERIFY(result);
            QCOMPARE(result->size(), 5);
            const QStringList titles = titlesOf(result.value());
            QCOMPARE(std::count_if(titles.begin(), titles.end(),
                                   [&](const QString &t) { return latin.contains(t); }),
                     2);
        }

        // A group short of its quota leaves places to the candidates not yet chosen.
        params.genres = QStringList{"pop", "jazz"};
        for (quint32 seed = 1; seed <= 10; ++seed) {
            const auto result = generate(library(QStringList{"No Tempo"} + allTitles()), params, seed);
            QVERIFY(result);
            QCOMPARE(result->size(), 5);
            QVERIFY(titlesOf(result.value()).contains("No Tempo"));
        }
    }

    void tempoFormula_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QStringList>("symbols");

        const QStringList sevenWithThreeMedium{"Middle A",  "Middle B", "Middle C", "Upper",
                                               "Upper Two", "Fast One", "Slow A"};
        QTest::newRow("last ballad becomes medium")
            << sevenWithThreeMedium << "M-MU-F-B-M-MU-MB" << QStringList{"M", "MU", "F", "B", "M", "MU", "M"};
        QTest::newRow("else fast") << QStringList{"Middle A", "Middle B", "Upper", "Upper Two",
                                                  "Fast One", "Fast Two", "Slow A"}
                                   << "M-MU-F-B-M-MU-MB" << QStringList{"M", "MU", "F", "B", "M", "MU", "F"};
        QTest::newRow("else the ballad stays")
            << QStringList{"Middle A", "Middle B", "Upper", "Upper Two", "Fast One", "Slow A", "Slowish"}
            << "M-MU-F-B-M-MU-MB" << QStringList{"M", "MU", "F", "B", "M", "MU", "MB"};
        QTest::newRow("formula repeats") << QStringList{"Fast One", "Fast Two", "Middle A", "Middle B"}
                                         << "F-M" << QStringList{"F", "M", "F", "M"};
        QTest::newRow("lower case names no bucket: fastest first")
            << QStringList{"Middle A", "Slow A", "Fast One", "Fast Two"} << "m-b"
            << QStringList{"F", "F", "M", "B"};
        QTest::newRow("unknown and empty steps")
            << QStringList{"Fast One", "Middle A", "No Tempo"} << "-X--B-" << QStringList{"F", "M", ""};
    }

    void tempoFormula()
    {
        QFETCH(QStringList, titles);
        QFETCH(QString, formula);
        QFETCH(QStringList, symbols);
        Params params = withTotal(titles.size());
        params.tempoFormula = formula;

        QSet<QString> firstTitles;
        for (quint32 seed = 1; seed <= 30; ++seed) {
            const auto result = generate(library(titles), params, seed);
            QVERIFY(result);
            QCOMPARE(tempoSymbolsOf(result.value()), symbols);
            firstTitles.insert(result->first().title);
        }
        // The first place draws from its whole bucket, not always the same title.
        const auto first = symbols.first();
        QCOMPARE(firstTitles.size(), std::count(symbols.begin(), symbols.end(), first));
    }

    // The tempo picker writes symbols; against the built-in metadata's own tempo words each symbol finds
    // the titles of its tempo and no other ("M" none of the "Medium-Up" ones).
    void tempoSymbolsAgainstBuiltInWords_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("symbol");
        for (const char *symbol : {"F", "MU", "M", "MB", "B"})
            QTest::newRow(symbol) << QString::fromLatin1(symbol) << QString::fromLatin1(symbol);
        QTest::newRow("a symbol in lower case") << "mb"
                                                << "MB";
        QTest::newRow("a tempo word is looked for") << "medium-"
                                                    << "";
    }

    void tempoSymbolsAgainstBuiltInWords()
    {
        QFETCH(QString, term);
        QFETCH(QString, symbol);
        BundledResources::setRootForTesting(QString());
        TitleMetadataIndex::resetForTesting();
        const auto restore = qScopeGuard([] { initTestCase(); });
        const auto file = BundledResources::find(QStringLiteral("Bundled"),
                                                 QStringLiteral("default_metadata"), QStringLiteral("json"));
        QVERIFY(file);
        QStringList titles;
        QStringList expected;
        for (const QJsonValue &record : QJsonDocument::fromJson(TestHarness::readFile(*file)).array()) {
            const QString title = record[QLatin1String("Title")].toString();
            const QString tempo = record[QLatin1String("Tempo")].toString();
            titles.append(title);
            const bool wanted = symbol.isEmpty() ? tempo.toLower().contains(term)
                                                 : AutoPlaylistGenerator::tempoToSymbol(tempo) == symbol;
            if (wanted && !record[QLatin1String("Tempo")].isUndefined())
                expected.append(title);
        }
        QVERIFY(!expected.isEmpty());

        Params params = withTotal(titles.size());
        params.tempo = term;
        const auto result = generate(library(titles), params, 1);
        QVERIFY(result);
        QStringList found = titlesOf(result.value());
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
    }

    void popularity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Bounds>("bounds");
        QTest::newRow("range") << "3-5" << Bounds{3, 5};
        QTest::newRow("reversed, en dash and blanks") << " 5 – 3 " << Bounds{3, 5};
        QTest::newRow("or more") << "4+" << Bounds{4, 5};
        QTest::newRow("one number") << "4" << Bounds{4, 4};
        QTest::newRow("first two of three") << "1 4 2" << Bounds{1, 4};
        QTest::newRow("word") << "lots" << Bounds{};
        QTest::newRow("number and word") << "3-x" << Bounds{};
        QTest::newRow("blank") << " \n" << Bounds{};
    }

    void popularity()
    {
        QFETCH(QString, text);
        QFETCH(Bounds, bounds);
        QCOMPARE(AutoPlaylistGenerator::parsePopularity(text), bounds);
    }
};

LYRAFOLD_TEST_MAIN(AutoPlaylistGeneratorTest)
#include "tst_autoplaylistgenerator.moc"
