#include "Fixtures.h"
#include "TestHarness.h"
#include "core/imports/ImportTitles.h"
#include "core/imports/ImportableFiles.h"
#include "core/resources/BundledResources.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QDir>
#include <QMimeData>

namespace {

QString home(const QString &name)
{
    return TestHarness::home() + QStringLiteral("/drop/") + name;
}

BookmarkEntry row(const QString &book, const QString &title)
{
    BookmarkEntry entry = Fixtures::bookmark(QStringLiteral("/books/") + book, 1, title);
    return entry;
}

} // namespace

class LibraryImportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("importable");
        QTest::newRow("PNG in capitals") << "Scan.PNG" << true;
        QTest::newRow("PDF in capitals") << "Score.PDF" << true;
        QTest::newRow("HEIC") << "photo.heic" << true;
        QTest::newRow("GIF, an image by its MIME type") << "anim.gif" << true;
        QTest::newRow("text") << "notes.txt" << false;
        QTest::newRow("no extension") << "folder" << false;
        QTest::newRow("unknown") << "data.xyz" << false;
    }

    void importableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, importable);
        QCOMPARE(ImportableFiles::isImportable(QStringLiteral("/some/") + name), importable);
    }

    // What a drag carries: local files only, folders never (whatever their name), importable names in
    // any letter case, in the drag's order.
    void filtersDroppedFiles()
    {
        TestHarness::writeFile(home("notes.txt"), "x");
        TestHarness::writeFile(home("SCAN.JPG"), "x");
        TestHarness::writeFile(home("BOOK.PDF"), "x");
        TestHarness::writeFile(home("pic.webp"), "x");
        QDir().mkpath(home("Scores.pdf"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(home("notes.txt")), QUrl::fromLocalFile(home("SCAN.JPG")),
                      QUrl::fromLocalFile(home("Scores.pdf")),
                      QUrl(QStringLiteral("https://example.org/a.pdf")),
                      QUrl::fromLocalFile(home("BOOK.PDF")), QUrl::fromLocalFile(home("pic.webp"))});
        QCOMPARE(ImportableFiles::importablePaths(&data),
                 (QStringList{home("SCAN.JPG"), home("BOOK.PDF"), home("pic.webp")}));

        QMimeData textOnly;
        textOnly.setUrls({QUrl::fromLocalFile(home("notes.txt"))});
        QVERIFY(ImportableFiles::importablePaths(&textOnly).isEmpty());
        QMimeData plain;
        plain.setText(home("BOOK.PDF"));
        QVERIFY(ImportableFiles::importablePaths(&plain).isEmpty());
    }

    void makesTitlesUnique_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("unique");
        QTest::newRow("twice in the batch") << QStringList{"Coda", " Coda "} << QStringList{"Coda", "Coda 2"};
        QTest::newRow("taken in the book")
            << QStringList{"Waltz", "intro"} << QStringList{"Waltz 2", "intro 3"};
        QTest::newRow("other books do not count") << QStringList{"Reel"} << QStringList{"Reel"};
    }

    void makesTitlesUnique()
    {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, unique);
        const BookmarkList slot = {row("Standards (Custom).pdf", "waltz"), row("Standards (Custom)", "Intro"),
                                   row("Standards (Custom).pdf", "INTRO 2"), row("Other.pdf", "Reel")};
        QCOMPARE(ImportTitles::uniqueTitles(titles, QStringLiteral("Standards (Custom)"), slot), unique);
    }

    // Single files are unique among the slot's imported singles only.
    void makesSingleTitlesUnique()
    {
        const BookmarkList slot = {row("Custom Singles (Custom).pdf", "Scan"), row("Book.pdf", "Page")};
        QCOMPARE(ImportTitles::uniqueSingleImportTitles({"Scan", "Page", "Scan"}, slot),
                 (QStringList{"Scan 2", "Page", "Scan 3"}));
    }

    void namesANewCustomBook_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("name");
        QTest::newRow("none") << QStringList{} << "Custom Book 1";
        QTest::newRow("prefix of a taken name")
            << QStringList{"custom book 12 (Custom).pdf", "Custom Book 2 (Custom).pdf"} << "Custom Book 3";
    }

    void namesANewCustomBook()
    {
        QFETCH(QStringList, books);
        QFETCH(QString, name);
        QCOMPARE(ImportTitles::defaultCustomBookName(books), name);
    }

    // The built-in metadata fills what is empty and never overwrites.
    void autofillsOnlyWhatIsMissing()
    {
        const QString root = TestHarness::home() + QStringLiteral("/resources");
        TestHarness::writeFile(
            root + QStringLiteral("/Bundled/default_metadata.json"),
            R"([{"Title":"Blue","Genres":["Jazz","Pop"],"Styles":["Swing"],"Tempo":"Fast",)"
            R"("Composer":"Ann Lee","FirstReleaseYear":1958,"Rating":4.5}])");
        BundledResources::setRootForTesting(root);
        TitleMetadataIndex::resetForTesting();
        BookmarkList rows = {row("A.pdf", "The Blue"), row("A.pdf", "Blue"), row("A.pdf", "Green")};
        rows[1].genre = QStringLiteral("Folk");
        rows[1].composer = QStringLiteral("Me");
        rows[1].firstReleaseYear = 2001;
        rows[1].rating = 1;
        ImportTitles::autofillMetadata(rows);
        QCOMPARE(rows[0].genre, "Jazz, Pop");
        QCOMPARE(rows[0].style, "Swing");
        QCOMPARE(rows[0].composer, "Ann Lee");
        QCOMPARE(rows[0].tempo, "Fast");
        QCOMPARE(rows[0].firstReleaseYear, 1958);
        QCOMPARE(rows[0].rating, 4.5);
        QCOMPARE(rows[1].genre, "Folk");
        QCOMPARE(rows[1].style, "Swing");
        QCOMPARE(rows[1].composer, "Me");
        QCOMPARE(rows[1].firstReleaseYear, 2001);
        QCOMPARE(rows[1].rating, 1.0);
        QCOMPARE(rows[2], row("A.pdf", "Green"));
    }
};

LYRAFOLD_TEST_MAIN(LibraryImportTest)

#include "tst_libraryimport.moc"
