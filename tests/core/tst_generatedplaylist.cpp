#include "TestHarness.h"
#include "core/autoplaylist/AutoPlaylistFilters.h"
#include "core/autoplaylist/GeneratedPlaylist.h"
#include "core/books/CustomPdfFiles.h"
#include "core/common/AppPaths.h"
#include "core/resources/BundledResources.h"
#include "core/slotfiles/SlotStore.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

using Change = std::function<void(AutoPlaylistRequest &)>;
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(std::optional<QStringList>)

namespace {

using namespace AutoPlaylistFilters;

BookmarkEntry song(const QString &book, const QString &title, int page = 1)
{
    BookmarkEntry entry;
    entry.pdfFileName = book;
    entry.pdfFilePath = QStringLiteral("/music/") + book;
    entry.title = title;
    entry.pageNumber = page;
    return entry;
}

// An imported single file with its own fields.
BookmarkEntry single(const QString &title, const QString &tempo, std::optional<qint64> year,
                     std::optional<double> rating)
{
    BookmarkEntry entry = song(SlotStore::customSinglesBookName, title);
    entry.pdfFilePath = AppPaths::importLibraryPath() + QLatin1Char('/') + title + QStringLiteral(".pdf");
    entry.tempo = tempo;
    entry.firstReleaseYear = year;
    entry.rating = rating;
    return entry;
}

// Two books sharing "Shared", titles with built-in records of 1950 and 1990 and one without a record,
// and three imported single files.
BookmarkList library()
{
    return {song("Book A.pdf", "Shared"),
            song("Book A.pdf", "Old Song", 2),
            song("Book A.pdf", "Unknown", 3),
            song("Book B.pdf", "Shared"),
            song("Book B.pdf", "New Song", 2),
            single("Single Fast", "Fast", std::nullopt, 4),
            single("Single Slow", "Ballad", 1950, std::nullopt),
            single("Shared", "Medium-Up", 1990, 2)};
}

GeneratedPlaylist playlistOn(const BookmarkList &rows)
{
    GeneratedPlaylist playlist;
    const LibraryRows libraryRows(rows);
    playlist.setLibrary(libraryRows, std::make_shared<const TitleKeyIndex>(libraryRows));
    return playlist;
}

AutoPlaylistRequest fullRange()
{
    AutoPlaylistRequest request;
    request.titlesPerSet = 50;
    request.lowerYear = request.minYear = 1900;
    request.upperYear = request.maxYear = 2026;
    return request;
}

QStringList sortedTitles(const BookmarkList &entries)
{
    QStringList titles;
    for (const BookmarkEntry &entry : entries)
        titles.append(entry.title + QLatin1Char('@') + entry.pdfFileName.left(6));
    titles.sort();
    return titles;
}

} // namespace

class GeneratedPlaylistTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QJsonArray records;
        for (const auto &[title, year] : {std::pair{"Shared", 1970}, {"Old Song", 1950}, {"New Song", 1990}})
            records.append(QJsonObject{{"Title", title}, {"FirstReleaseYear", year}, {"Tempo", "Medium"}});
        const QString root = TestHarness::home() + QStringLiteral("/resources");
        TestHarness::writeFile(root + QStringLiteral("/Bundled/default_metadata.json"),
                               QJsonDocument(records).toJson());
        BundledResources::setRootForTesting(root);
        TitleMetadataIndex::resetForTesting();
    }

    void parseFilter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QStringList>>("terms");
        QTest::newRow("blank: no filter") << " \t" << std::optional<QStringList>();
        QTest::newRow("a lone comma: no terms") << "," << std::optional<QStringList>(QStringList());
        QTest::newRow("commas keep blanks inside a term")
            << " Bossa Nova, ,latin ," << std::optional<QStringList>({"Bossa Nova", "latin"});
        QTest::newRow("without commas: words")
            << "jazz   latin\nfunk" << std::optional<QStringList>({"jazz", "latin", "funk"});
    }

    void parseFilter()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QStringList>, terms);
        QCOMPARE(AutoPlaylistFilters::parseFilter(text), terms);
    }

    void matchesAny_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<bool>("matches");
        QTest::newRow("part of the value, any case") << "Bossa Nova" << QStringList{"x", " NOVA "} << true;
        QTest::newRow("no terms") << "Jazz" << QStringList() << false;
        QTest::newRow("a blank term matches nothing") << "Jazz" << QStringList{"  "} << false;
        QTest::newRow("empty value") << "" << QStringList{"jazz"} << false;
    }

    void matchesAny()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, terms);
        QFETCH(bool, matches);
        QCOMPARE(AutoPlaylistFilters::matchesAny(value, terms), matches);
    }

    // What each picker opens with for a field, and what OK writes back unchanged or as picked.
    void pickerTexts_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("written");
        const auto multi = [](const QString &field) {
            const QList<bool> ticked = tickedChoices(field, genreChoices());
            return tickedText(genreChoices(), ticked);
        };
        QTest::newRow("genres: known terms in choice order, others dropped")
            << multi(QStringLiteral("latin, JAZZ, Salsa")) << "Jazz, Latin";
        QTest::newRow("tempo: mu picks MU")
            << tempoChoices().value(selectedChoice(QStringLiteral(" mu "), tempoChoices())) << "MU";
        QTest::newRow("tempo: unknown picks (Any)")
            << QString::number(selectedChoice(QStringLiteral("slow"), tempoChoices())) << "-1";
        const auto picks = [](const QString &field) {
            const auto [first, second] = popularityPicks(field);
            return QStringLiteral("%1,%2").arg(first).arg(second);
        };
        QTest::newRow("popularity 2-4 opens on 2 and 4") << picks(QStringLiteral("2-4")) << "2,4";
        QTest::newRow("popularity 4+ opens on (Any)") << picks(QStringLiteral("4+")) << "0,0";
        QTest::newRow("popularity 7 opens on (Any)") << picks(QStringLiteral("7")) << "0,0";
        QTest::newRow("picks 5 and no end") << popularityText(5, 0) << "5";
        QTest::newRow("picks 4 and 2") << popularityText(4, 2) << "2-4";
        QTest::newRow("picks 3 and 3") << popularityText(3, 3) << "3";
        QTest::newRow("picks (Any)") << popularityText(0, 4) << "";
        QTest::newRow("a second composer")
            << appendedTerm(QStringLiteral("Ellington"), QStringLiteral(" Jobim ")) << "Ellington, Jobim";
        QTest::newRow("blanks append nothing")
            << appendedTerm(QStringLiteral("Ellington"), QStringLiteral("  ")) << "Ellington";
    }

    void pickerTexts()
    {
        QFETCH(QString, opened);
        QFETCH(QString, written);
        QCOMPARE(opened, written);
    }

    void bookOrder()
    {
        BookmarkList rows = library();
        rows += {song("book c.pdf", "X"), song("Book a.pdf", "Y"), song("Custom Single 7.pdf", "Z")};
        for (const char *name : {"Scan.pdf", "Songs (custom).pdf"}) {
            rows.append(song(QString::fromLatin1(name), "W"));
            rows.last().pdfFilePath =
                AppPaths::importLibraryPath() + QStringLiteral("/x/") + rows.last().pdfFileName;
        }
        GeneratedPlaylist playlist = playlistOn(rows);
        // Imported single files are one book, whatever they were called; an imported book keeps its name,
        // marked or not; names differing in case stand next to each other.
        QCOMPARE(playlist.bookOrder(),
                 QStringList({"Book A.pdf", "Book a.pdf", "Book B.pdf", "book c.pdf",
                              CustomPdfFiles::customSinglesLabel, "Scan.pdf", "Songs (custom).pdf"}));
        QCOMPARE(playlist.moveBook(0, -1), std::nullopt);
        QCOMPARE(playlist.moveBook(6, 1), std::nullopt);
        QCOMPARE(playlist.moveBook(3, 1), std::optional<qsizetype>(4));
        QStringList dragged = playlist.bookOrder();
        dragged.move(6, 0);
        QVERIFY(playlist.setBookOrder(dragged));
        QVERIFY(!playlist.setBookOrder(dragged.mid(1)));
        QCOMPARE(playlist.bookOrder(), dragged);

        // Another library keeps the order of the books still there; new ones follow, sorted.
        const LibraryRows next(BookmarkList{song("Zed.pdf", "Z"), song("book c.pdf", "X"),
                                            song("Alpha.pdf", "A"), song("Book B.pdf", "New Song")});
        playlist.setLibrary(next, std::make_shared<const TitleKeyIndex>(next));
        QCOMPARE(playlist.bookOrder(), QStringList({"Book B.pdf", "book c.pdf", "Alpha.pdf", "Zed.pdf"}));
    }

    void roads_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("titles"); // sorted; a count alone where the draw decides
        QTest::addColumn<QString>("status");

        const QStringList everyTitle{"New Song@Book B",    "Old Song@Book A",    "Shared@Book A",
                                     "Single Fast@Custom", "Single Slow@Custom", "Unknown@Book A"};
        QTest::newRow("nothing selected: every book, titles without a record too")
            << Change([](AutoPlaylistRequest &) {}) << everyTitle << "Generated 6 title(s).";
        QTest::newRow("a narrowed year range keeps to titles with a record")
            << Change([](AutoPlaylistRequest &r) { r.upperYear = 1980; })
            << QStringList{"Old Song@Book A", "Shared@Book A"} << "Generated 2 title(s).";
        QTest::newRow("the lower handle alone")
            << Change([](AutoPlaylistRequest &r) { r.lowerYear = 1960; })
            << QStringList{"New Song@Book B", "Shared@Book A"} << "Generated 2 title(s).";
        QTest::newRow("priority follows the book order")
            << Change([](AutoPlaylistRequest &r) { r.selectedBooks = {"Book B.pdf"}; })
            << QStringList{"New Song@Book B", "Shared@Book B"} << "Generated 2 title(s).";
        QTest::newRow("Custom Singles with another book: the generator, the singles' file allowed")
            << Change([](AutoPlaylistRequest &r) {
                   r.selectedBooks = {"Custom Singles", "Book B.pdf"};
               })
            << QStringList{"New Song@Book B", "Shared@Book B", "Single Fast@Custom", "Single Slow@Custom"}
            << "Generated 4 title(s).";
        QTest::newRow("only Custom Singles: every single file, by its own fields")
            << Change([](AutoPlaylistRequest &r) { r.selectedBooks = {"custom singles"}; })
            << QStringList{"Shared@Custom", "Single Fast@Custom", "Single Slow@Custom"}
            << "Generated 3 Custom Singles title(s).";
        QTest::newRow("Custom Singles: a tempo symbol names its tempos")
            << Change([](AutoPlaylistRequest &r) {
                   r.selectedBooks = {"Custom Singles"};
                   r.tempo = QStringLiteral("MU");
               })
            << QStringList{"Shared@Custom"} << "Generated 1 Custom Singles title(s).";
        QTest::newRow("Custom Singles: no year passes any range, no rating fails popularity")
            << Change([](AutoPlaylistRequest &r) {
                   r.selectedBooks = {"Custom Singles"};
                   r.upperYear = 1960;
                   r.popularity = QStringLiteral("3-5");
               })
            << QStringList{"Single Fast@Custom"} << "Generated 1 Custom Singles title(s).";
        QTest::newRow("Custom Singles: cut to titles times sets") << Change([](AutoPlaylistRequest &r) {
            r.selectedBooks = {"Custom Singles"};
            r.titlesPerSet = 1;
            r.setCount = 2;
        }) << QStringList{"2 of them"} << "Generated 2 Custom Singles title(s).";
        QTest::newRow("Custom Singles: nothing left") << Change([](AutoPlaylistRequest &r) {
            r.selectedBooks = {"Custom Singles"};
            r.genres = QStringLiteral("polka");
        }) << QStringList{} << "No titles found in Custom Singles.";
        QTest::newRow("the generator finds nothing")
            << Change([](AutoPlaylistRequest &r) { r.genres = QStringLiteral("polka"); }) << QStringList{}
            << "No titles match the given filters or selected books.";
    }

    void roads()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, titles);
        QFETCH(QString, status);
        GeneratedPlaylist playlist = playlistOn(library());
        AutoPlaylistRequest request = fullRange();
        change(request);
        QRandomGenerator random(5);
        const GeneratedPlaylist::Outcome outcome = playlist.generate(request, random);
        QCOMPARE(outcome.status, status);
        QVERIFY(outcome.listChanged);
        if (titles.size() == 1 && titles.first().endsWith(QLatin1String(" of them")))
            QCOMPARE(QString::number(playlist.entries().size()) + QLatin1String(" of them"), titles.first());
        else
            QCOMPARE(sortedTitles(playlist.entries()), titles);
    }

    void emptyLibraryKeepsTheList()
    {
        GeneratedPlaylist playlist = playlistOn(library());
        QRandomGenerator random(1);
        playlist.generate(fullRange(), random);
        const BookmarkList before = playlist.entries();
        playlist.setLibrary(LibraryRows(), nullptr);
        const GeneratedPlaylist::Outcome outcome = playlist.generate(fullRange(), random);
        QCOMPARE(outcome.status, QStringLiteral("No bookmarks in the current slot."));
        QVERIFY(!outcome.listChanged);
        QCOMPARE(playlist.entries(), before);
    }

    void swapBook_data()
    {
        QTest::addColumn<QStringList>("generatedFrom"); // the books selected at Generate
        QTest::addColumn<QStringList>("selectedNow");
        QTest::addColumn<QStringList>("books"); // of "Shared" after each swap

        QTest::newRow("every book: cycles and wraps")
            << QStringList() << QStringList() << QStringList{"Book B", "Custom", "Book A", "Book B"};
        QTest::newRow("Custom Singles stands for its file")
            << QStringList{"Custom Singles", "Book A.pdf"} << QStringList{"Book A.pdf", "Custom Singles"}
            << QStringList{"Custom", "Book A", "Custom"};
        QTest::newRow("the books selected now narrow the pool")
            << QStringList{"Book A.pdf", "Book B.pdf", "Custom Singles"}
            << QStringList{"Book A.pdf", "Book B.pdf"} << QStringList{"Book B", "Book A"};
        QTest::newRow("fewer than two books selected now: nothing")
            << QStringList{"Book A.pdf", "Book B.pdf"} << QStringList{"Book A.pdf"} << QStringList{"Book A"};
        QTest::newRow("one allowed book holds the title: nothing")
            << QStringList{"Book A.pdf"} << QStringList{"Book A.pdf", "Book B.pdf"} << QStringList{"Book A"};
    }

    void swapBook()
    {
        QFETCH(QStringList, generatedFrom);
        QFETCH(QStringList, selectedNow);
        QFETCH(QStringList, books);
        GeneratedPlaylist playlist = playlistOn(library());
        AutoPlaylistRequest request = fullRange();
        request.selectedBooks = generatedFrom;
        request.upperYear = 1980; // "Shared" and "Old Song" only
        QRandomGenerator random(2);
        playlist.generate(request, random);
        const qsizetype row =
            playlist.entries().indexOf(*playlist.pickBookForTitleForTesting(QStringLiteral("shared")));
        QVERIFY(row >= 0);
        QStringList seen;
        for (qsizetype swap = 0; swap < books.size(); ++swap) {
            playlist.swapBook(row, selectedNow);
            seen.append(playlist.entries()[row].pdfFileName.left(6));
        }
        QCOMPARE(seen, books);
        QCOMPARE(playlist.entries()[row].title, QStringLiteral("Shared"));
    }

    void swapTitle()
    {
        GeneratedPlaylist playlist = playlistOn(library());
        AutoPlaylistRequest request = fullRange();
        request.selectedBooks = {"Book B.pdf"};
        request.titlesPerSet = 1;
        QRandomGenerator random(4);
        playlist.generate(request, random);
        const QString first = playlist.entries()[0].title;
        // The other title of the books Generate was limited to, not yet in the list, from those books.
        QCOMPARE(playlist.swapTitle(0, random), GeneratedPlaylist::TitleSwap::swapped);
        QVERIFY(playlist.entries()[0].title != first);
        QCOMPARE(playlist.entries()[0].pdfFileName, QStringLiteral("Book B.pdf"));
        request.titlesPerSet = 2;
        playlist.generate(request, random);
        QCOMPARE(playlist.swapTitle(1, random), GeneratedPlaylist::TitleSwap::noOtherTitles);
        QCOMPARE(playlist.swapTitle(2, random), GeneratedPlaylist::TitleSwap::unchanged);
    }

    void pickBookForTitle_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<int>("moveToTop"); // a row of the book order, -1: none
        QTest::addColumn<QString>("book");
        QTest::newRow("book order first") << QStringList() << -1 << "Book A.pdf";
        QTest::newRow("a book moved to the top") << QStringList() << 2 << SlotStore::customSinglesBookName;
        QTest::newRow("only allowed books") << QStringList{"Book B.pdf"} << -1 << "Book B.pdf";
        QTest::newRow("Custom Singles selected")
            << QStringList{"Custom Singles"} << -1 << SlotStore::customSinglesBookName;
    }

    void pickBookForTitle()
    {
        QFETCH(QStringList, selected);
        QFETCH(int, moveToTop);
        QFETCH(QString, book);
        GeneratedPlaylist playlist = playlistOn(library());
        for (int row = moveToTop; row > 0; --row)
            playlist.moveBook(row, -1);
        AutoPlaylistRequest request = fullRange();
        request.selectedBooks = selected;
        QRandomGenerator random(1);
        playlist.generate(request, random);
        const auto picked = playlist.pickBookForTitleForTesting(QStringLiteral("shared"));
        QVERIFY(picked);
        QCOMPARE(picked->pdfFileName, book);
        QCOMPARE(playlist.pickBookForTitleForTesting(QStringLiteral("no such title")), std::nullopt);
    }

    void move_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("dropRow");
        QTest::addColumn<int>("target"); // -1: refused
        // Where a drop lands is the playlists' rule (PlaylistRows::moveDestination), tested there.
        QTest::newRow("down: below row 2") << 0 << 3 << 2;
        QTest::newRow("source outside") << 5 << 0 << -1;
    }

    void move()
    {
        QFETCH(int, source);
        QFETCH(int, dropRow);
        QFETCH(int, target);
        GeneratedPlaylist playlist = playlistOn(library());
        QRandomGenerator random(3);
        AutoPlaylistRequest request = fullRange();
        request.titlesPerSet = 5;
        playlist.generate(request, random);
        BookmarkList expected = playlist.entries();
        const auto moved = playlist.move(source, dropRow);
        QCOMPARE(moved.value_or(-1), target);
        if (target >= 0)
            expected.move(source, target);
        QCOMPARE(playlist.entries(), expected);
    }
};

LYRAFOLD_TEST_MAIN(GeneratedPlaylistTest)
#include "tst_generatedplaylist.moc"
