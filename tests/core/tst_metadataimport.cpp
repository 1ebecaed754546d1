#include "Fixtures.h"
#include "TestHarness.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/imports/BookmarkImport.h"
#include "core/metadata/MetadataImport.h"
#include "core/share/ExportService.h"

#include <QFile>
#include <QSet>

#include <cmath>

namespace {

BookmarkEntry entry(const QString &file, qint64 page, const QString &title)
{
    BookmarkEntry e = Fixtures::bookmark(QStringLiteral("/books/") + file, page, title);
    e.genre = QStringLiteral("old");
    e.firstReleaseYear = 1900;
    e.rating = 1.0;
    return e;
}

// Titles that meet in several books, a title in decomposed form, and one with blanks around it.
BookmarkList library()
{
    return {
        entry("Standards.pdf", 10, "Autumn Leaves"), // 0
        entry("Realbook.pdf", 20, "Autumn Leaves"),  // 1
        entry("Standards.pdf", 12, "Blue Train"),    // 2
        entry("Realbook.pdf", 1, "Intro"),           // 3
        entry("Realbook.pdf", 50, "Intro"),          // 4
        entry("Café.pdf", 3, "Cafe\u0301 Society"),  // 5
        entry("Standards.pdf", 30, " Stella  "),     // 6
    };
}

// Positions of the bookmarks whose genre the import changed.
QList<int> changed(const BookmarkList &bookmarks)
{
    QList<int> positions;
    for (int i = 0; i < bookmarks.size(); ++i) {
        if (bookmarks[i].genre != QLatin1String("old"))
            positions << i;
    }
    return positions;
}

int importCsv(const QByteArray &csv, BookmarkList &bookmarks)
{
    const auto records = MetadataImport::parseCSV(csv);
    if (!records)
        return -1;
    return MetadataImport::applyRecords(records.value(), bookmarks);
}

} // namespace

class MetadataImportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void csvRows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("rows");
        using Rows = QList<QStringList>;
        QTest::newRow("doubled quotes and a comma in quotes")
            << R"("a ""b"", c",x)" << Rows{{R"(a "b", c)", "x"}};
        QTest::newRow("quotes in mid-cell") << R"(a"b"c)" << Rows{{"abc"}};
        QTest::newRow("trailing comma") << "a," << Rows{{"a", ""}};
        QTest::newRow("blanks kept") << " a , b " << Rows{{" a ", " b "}};
        QTest::newRow("empty quotes") << "\"\"" << Rows{{""}};
        QTest::newRow("every kind of line break, empty lines dropped")
            << "a\r\nb\rc\n\nd\ve\ff\u0085g\u2028h\u2029i\n"
            << Rows{{"a"}, {"b"}, {"c"}, {"d"}, {"e"}, {"f"}, {"g"}, {"h"}, {"i"}};
        QTest::newRow("line breaks inside quotes")
            << "\"1\n2\",x\n\"3\r\n4\r\",y" << Rows{{"1\n2", "x"}, {"3\r\n4\r", "y"}};
        QTest::newRow("nothing") << "\n\r\n" << Rows{};
    }

    void csvRows()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, rows);
        QCOMPARE(MetadataImport::csvRows(text), std::optional(rows));
    }

    void csvMatching_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("changed");
        // clang-format off
        QTest::newRow("title in any case, first in library order") << QByteArray("Title,Genre\nAUTUMN LEAVES,Latin") << 1 << QList<int>{0};
        QTest::newRow("header cells trimmed") << QByteArray(" Title ,\tGenre \nautumn leaves,Latin") << 1 << QList<int>{0};
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFTitle,Genre\nBlue Train,Jazz") << 1 << QList<int>{2};
        QTest::newRow("title and book need both") << QByteArray("Bookmark Title,PDF File,Genre\nAutumn Leaves,realbook.pdf,Latin") << 1 << QList<int>{1};
        QTest::newRow("renamed book: the title") << QByteArray("Bookmark Title,PDF File,Genre\nBlue Train,Renamed.pdf,Jazz") << 1 << QList<int>{2};
        QTest::newRow("no row with both: the first with either") << QByteArray("Bookmark Title,PDF File,Genre\nBlue Train,Realbook.pdf,Jazz") << 1 << QList<int>{1};
        QTest::newRow("book alone: its first bookmark") << QByteArray("pdffilename,Genre\nRealbook.pdf,Latin") << 1 << QList<int>{1};
        QTest::newRow("title alone ignores the book column's absence") << QByteArray("PDF File,Title,Genre\n,Intro,Pop") << 1 << QList<int>{3};
        QTest::newRow("page decides") << QByteArray("PDF File,Page Number,Bookmark Title,Genre\nRealbook.pdf,50,Intro,Pop\nRealbook.pdf,1,Intro,Rock") << 2 << QList<int>{3, 4};
        QTest::newRow("page without such a row: title and book") << QByteArray("PDF File,Page Number,Bookmark Title,Genre\nRealbook.pdf,49,Intro,Pop") << 1 << QList<int>{3};
        QTest::newRow("unreadable page: title and book") << QByteArray("PDF File,Page Number,Bookmark Title,Genre\nRealbook.pdf,x,Intro,Pop") << 1 << QList<int>{3};
        QTest::newRow("composed and decomposed meet") << QByteArray("Title,PDF File,Genre\nCAFÉ SOCIETY,cafe\xCC\x81.pdf,Jazz") << 1 << QList<int>{5};
        QTest::newRow("blanks around either side") << QByteArray("Title,Genre\n  stella ,Jazz") << 1 << QList<int>{6};
        QTest::newRow("two records, one bookmark") << QByteArray("Title,Genre\nBlue Train,A\nblue train,B") << 2 << QList<int>{2};
        QTest::newRow("no key column") << QByteArray("Name,Genre\nBlue Train,Jazz") << 0 << QList<int>{};
        QTest::newRow("blank keys skipped") << QByteArray("Title,PDF File,Genre\n , ,Jazz") << 0 << QList<int>{};
        QTest::newRow("short line") << QByteArray("Genre,Title\nJazz") << 0 << QList<int>{};
        QTest::newRow("header only") << QByteArray("Title,Genre\n\n") << 0 << QList<int>{};
        QTest::newRow("empty file") << QByteArray("") << 0 << QList<int>{};
        QTest::newRow("record over the bound") << "Title,Genre\nBlue Train,Jazz\nIntro,\"" + QByteArray(MetadataImport::maxRecordBytes, 'x') + "\"" << -1 << QList<int>{};
        // clang-format on
    }

    void csvMatching()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, count);
        QFETCH(QList<int>, changed);
        BookmarkList bookmarks = library();
        QCOMPARE(importCsv(csv, bookmarks), count);
        QCOMPARE(::changed(bookmarks), changed);
    }

    // Text cells as they stand, numbers only when they read; anything else keeps the old value.
    void csvCells_data()
    {
        QTest::addColumn<QByteArray>("cells"); // genre,year,rating,composer
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QVariant>("year");
        QTest::addColumn<QVariant>("rating");
        QTest::addColumn<QString>("composer");
        const QVariant oldYear = qint64(1900);
        const QVariant oldRating = 1.0;
        // clang-format off
        QTest::newRow("values") << QByteArray("Latin,1959,4.5, Jobim ") << "Latin" << QVariant(qint64(1959)) << QVariant(4.5) << " Jobim ";
        QTest::newRow("empty cells") << QByteArray(",,,") << "" << oldYear << oldRating << "";
        QTest::newRow("signs and exponent") << QByteArray("x,+1959,+2e0,c") << "x" << QVariant(qint64(1959)) << QVariant(2.0) << "c";
        QTest::newRow("negative") << QByteArray("x,-30,-1.5,c") << "x" << QVariant(qint64(-30)) << QVariant(-1.5) << "c";
        QTest::newRow("leading blank") << QByteArray("x, 1959, 4,c") << "x" << oldYear << oldRating << "c";
        QTest::newRow("left over") << QByteArray("x,59a,4.5*,c") << "x" << oldYear << oldRating << "c";
        QTest::newRow("decimal comma") << QByteArray("x,1959,\"4,5\",c") << "x" << QVariant(qint64(1959)) << oldRating << "c";
        QTest::newRow("beyond 64 bits") << QByteArray("x,99999999999999999999,1,c") << "x" << oldYear << QVariant(1.0) << "c";
        QTest::newRow("not finite") << QByteArray("x,1959,inf,c") << "x" << QVariant(qint64(1959)) << oldRating << "c";
        QTest::newRow("not a number") << QByteArray("x,1959,nan,c") << "x" << QVariant(qint64(1959)) << oldRating << "c";
        QTest::newRow("overflows to infinity") << QByteArray("x,1959,1e999,c") << "x" << QVariant(qint64(1959)) << oldRating << "c";
        // clang-format on
    }

    void csvCells()
    {
        QFETCH(QByteArray, cells);
        QFETCH(QString, genre);
        QFETCH(QVariant, year);
        QFETCH(QVariant, rating);
        QFETCH(QString, composer);
        BookmarkList bookmarks{entry("b.pdf", 1, "T")};
        QCOMPARE(importCsv("Genre,Year,Rating,Composer,Title\n" + cells + ",T", bookmarks), 1);
        const BookmarkEntry &e = bookmarks.first();
        QCOMPARE(e.genre, genre);
        QCOMPARE(QVariant(*e.firstReleaseYear), year);
        QCOMPARE(QVariant(*e.rating), rating);
        QCOMPARE(e.composer, composer);
    }

    void csvRefused_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("quote never closed") << QByteArray("Title,Genre\n\"Blue Train,Jazz\nRed,Pop");
        QTest::newRow("not UTF-8") << QByteArray("Title,Genre\nCaf\xE9,Jazz");
    }

    void csvRefused()
    {
        QFETCH(QByteArray, csv);
        const auto records = MetadataImport::parseCSV(csv);
        QVERIFY(!records);
        QVERIFY(!records.error().message.isEmpty());
    }

    void json_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("count"); // -1: refused
        QTest::addColumn<QList<int>>("changed");
        // clang-format off
        QTest::newRow("title") << QByteArray(R"([{"title":"autumn leaves ","genre":"Latin"}])") << 1 << QList<int>{0};
        QTest::newRow("title and book") << QByteArray(R"([{"title":"Autumn Leaves","pdfFileName":"Realbook.pdf","genre":"Latin"}])") << 1 << QList<int>{1};
        QTest::newRow("title and renamed book") << QByteArray(R"([{"title":"Intro","pdfFileName":"Old.pdf","genre":"x"}])") << 1 << QList<int>{3};
        QTest::newRow("book only") << QByteArray(R"([{"pdfFileName":"REALBOOK.PDF","genre":"Latin"}])") << 1 << QList<int>{1};
        QTest::newRow("nulls are absent") << QByteArray(R"([{"title":null,"pdfFileName":"Standards.pdf","genre":null}])") << 1 << QList<int>{};
        QTest::newRow("empty text empties") << QByteArray(R"([{"title":"Blue Train","genre":""}])") << 1 << QList<int>{2};
        QTest::newRow("no keys") << QByteArray(R"([{"genre":"Jazz"},{}])") << 0 << QList<int>{};
        QTest::newRow("empty array") << QByteArray("[]") << 0 << QList<int>{};
        QTest::newRow("year as text") << QByteArray(R"([{"title":"Blue Train","firstReleaseYear":"1957"}])") << -1 << QList<int>{};
        QTest::newRow("second record broken") << QByteArray(R"([{"title":"Blue Train","genre":"Jazz"},{"title":3}])") << -1 << QList<int>{};
        QTest::newRow("rating out of range") << QByteArray(R"([{"title":"Blue Train","rating":1e999}])") << -1 << QList<int>{};
        QTest::newRow("object, not array") << QByteArray(R"({"title":"Blue Train"})") << -1 << QList<int>{};
        QTest::newRow("not JSON") << QByteArray("Title,Genre\nBlue Train,Jazz") << -1 << QList<int>{};
        // (Plain literals: the meta-object compiler loses its way in raw strings with open brackets.)
        QTest::newRow("brackets, commas and quotes in texts") << QByteArray(" [ {\"title\":\"Blue Train\",\"genre\":\"a]},\\\"[{\"} , {\"title\":\"x\"} ] ") << 1 << QList<int>{2};
        QTest::newRow("no comma between records") << QByteArray("[{\"title\":\"Blue Train\",\"genre\":\"Jazz\"} {\"title\":\"Intro\"}]") << -1 << QList<int>{};
        QTest::newRow("comma after the last record") << QByteArray("[{\"title\":\"Blue Train\",\"genre\":\"Jazz\"},]") << -1 << QList<int>{};
        QTest::newRow("array not closed") << QByteArray("[{\"title\":\"Blue Train\",\"genre\":\"Jazz\"}") << -1 << QList<int>{};
        QTest::newRow("text after the array") << QByteArray("[{\"title\":\"Blue Train\",\"genre\":\"Jazz\"}] x") << -1 << QList<int>{};
        QTest::newRow("string not closed") << QByteArray("[{\"title\":\"Blue Train]}]") << -1 << QList<int>{};
        QTest::newRow("record over the bound") << "[{\"title\":\"Blue Train\"},{\"title\":\"" + QByteArray(MetadataImport::maxRecordBytes, 'x') + "\"}]" << -1 << QList<int>{};
        QTest::newRow("nested 20,000 deep") << "[" + QByteArray(20000, '[') + QByteArray(20001, ']') << -1 << QList<int>{};
        // clang-format on
    }

    void json()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, count);
        QFETCH(QList<int>, changed);
        BookmarkList bookmarks = library();
        const auto records = MetadataImport::parseJSON(json);
        if (count < 0) {
            QVERIFY(!records);
            QVERIFY(!records.error().message.isEmpty());
            return;
        }
        QVERIFY2(records, qPrintable(records.error().message));
        QCOMPARE(MetadataImport::applyRecords(records.value(), bookmarks), count);
        QCOMPARE(::changed(bookmarks), changed);
    }

    void jsonFieldsReplaceOnlyWhenPresent()
    {
        BookmarkList bookmarks{entry("b.pdf", 1, "T")};
        bookmarks[0].composer = QStringLiteral("kept");
        const auto records = MetadataImport::parseJSON(
            R"([{"title":"T","firstReleaseYear":1957.0,"rating":4,"style":"","spotifyURL":"spotify:s","youtubeURL":"y"}])");
        QVERIFY(records);
        QCOMPARE(MetadataImport::applyRecords(records.value(), bookmarks), 1);
        const BookmarkEntry &e = bookmarks.first();
        QCOMPARE(e.firstReleaseYear, 1957);
        QCOMPARE(e.rating, 4.0);
        QCOMPARE(e.style, "");
        QCOMPARE(e.composer, "kept");
        QCOMPARE(e.genre, "old");
        QCOMPARE(e.spotifyURL, "spotify:s");
        QCOMPARE(e.youtubeURL, "y");
    }

    // The library's own CSV export, read back into the library it came from, puts every row's
    // metadata on the row it was written from, also where titles repeat across books and pages, and
    // where texts hold commas, quotes and line breaks.
    void reimportOwnExport()
    {
        BookmarkList original = Fixtures::realisticLibrary(2000, 7);
        original.append(entry("Odd.pdf", 1, "Say \"hi\", then\nleave"));
        original.append(entry("Odd.pdf", 2, "Carriage\rreturn"));
        original.append(entry("Odd.pdf", 3, " Blanks "));
        // One bookmark per title, book and page: two equal rows could not be told apart.
        QSet<QString> seen;
        original.removeIf([&](const BookmarkEntry &e) {
            const QString key = e.title + QChar(0) + e.pdfFileName + QChar(0) + QString::number(e.pageNumber);
            if (seen.contains(key))
                return true;
            seen.insert(key);
            return false;
        });

        BookmarkList edited = original;
        for (int i = 0; i < edited.size(); ++i) {
            BookmarkEntry &e = edited[i];
            e.genre = QStringLiteral("Genre %1").arg(i);
            e.style = i % 2 ? QStringLiteral("with, comma") : QString();
            e.firstReleaseYear = 1900 + i % 120;
            e.composer = QStringLiteral("C \"%1\"\u2028line two").arg(i);
            e.tempo = QStringLiteral(" %1 bpm ").arg(60 + i % 100);
            e.rating = (i % 11) / 2.0;
            e.spotifyURL = QStringLiteral("https://open.spotify.com/track/%1").arg(i);
            e.youtubeURL = i % 3 ? QString() : QStringLiteral("https://youtu.be/%1").arg(i);
        }
        const QString path = TestHarness::home() + QStringLiteral("/export.csv");
        QVERIFY(ExportService::writeCSV(path, edited));

        BookmarkList imported = original;
        const auto count = MetadataImport::importFile(path, imported);
        QVERIFY2(count, qPrintable(count.error().message));
        QCOMPARE(count.value(), int(original.size()));
        for (int i = 0; i < imported.size(); ++i)
            QVERIFY2(imported[i] == edited[i], qPrintable(QString::number(i) + imported[i].title));
    }

    void importFileKinds()
    {
        const QString dir = TestHarness::home();
        TestHarness::writeFile(dir + "/m.JSON", R"([{"title":"Blue Train","genre":"Jazz"}])");
        TestHarness::writeFile(dir + "/m.txt", "Title,Genre\nBlue Train,Bop");
        TestHarness::writeFile(dir + "/bad.json", "Title,Genre\nBlue Train,Bop");
        BookmarkList bookmarks = library();
        QCOMPARE(MetadataImport::importFile(dir + "/m.JSON", bookmarks).value(), 1);
        QCOMPARE(bookmarks[2].genre, "Jazz");
        QCOMPARE(MetadataImport::importFile(dir + "/m.txt", bookmarks).value(), 1);
        QCOMPARE(bookmarks[2].genre, "Bop");
        // Failures are errors to show, not "0 updates"; the bookmarks stay as they were.
        const BookmarkList before = bookmarks;
        QVERIFY(!MetadataImport::importFile(dir + "/bad.json", bookmarks));
        QVERIFY(!MetadataImport::importFile(dir + "/missing.csv", bookmarks));
        QCOMPARE(bookmarks, before);
    }

    // A file larger than any library's metadata is refused before it is read (a sparse file: nothing
    // is written to the disk).
    void largerFileIsRefused()
    {
        const QString path = TestHarness::home() + QStringLiteral("/huge.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MetadataImport::maxFileSize + 1));
        file.close();
        const auto read = MetadataImport::readFile(path);
        QVERIFY(!read);
        QCOMPARE(read.error().message, "The file huge.csv is too large to import: 513 MB, at most 512 MB.");
    }

    // A blank folder is not taken; a folder is taken untrimmed. Anything but a bookmark list gives the
    // alert's text.
    void bookmarkFile()
    {
        const QString path = TestHarness::home() + QStringLiteral("/slot.json");
        for (const QString &folder : {QStringLiteral(" /music "), QStringLiteral(" \n\t")}) {
            TestHarness::writeFile(
                path,
                BookmarkCacheCodec::encode({folder, QDateTime::currentDateTimeUtc(), library()}).value());
            const auto imported = BookmarkImport::readFile(path);
            QVERIFY(imported);
            QCOMPARE(imported->bookmarks, library());
            QCOMPARE(imported->selectedFolder,
                     folder.trimmed().isEmpty() ? std::nullopt : std::optional(folder));
        }
        TestHarness::writeFile(path, R"([{"title":"Blue Train"}])");
        for (const QString &file : {path, path + QStringLiteral(".missing")})
            QCOMPARE(BookmarkImport::readFile(file).error().message, BookmarkImport::invalidFileText());
    }
};

LYRAFOLD_TEST_MAIN(MetadataImportTest)
#include "tst_metadataimport.moc"
