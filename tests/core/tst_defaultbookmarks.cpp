#include "TestHarness.h"
#include "core/books/DefaultBookmarks.h"
#include "core/resources/BundledResources.h"

#include <QTemporaryDir>

namespace {

// JSON written with single quotes, which keeps the tables readable (and moc's parser calm).
QByteArray q(const char *json)
{
    return QByteArray(json).replace('\'', '"');
}

QByteArray record(const QByteArray &file, int page, const QByteArray &extra = {})
{
    return q("{'PdfFileName':'") + file + q("','PdfFilePath':'/old/") + file + q("','PageNumber':") +
           QByteArray::number(page) + q(",'Title':' Blue Bossa ','Level':1") + extra + "}";
}

QByteArray array(const QList<QByteArray> &records)
{
    return "[" + records.join(',') + "]";
}

Result<BookmarkList> loadResource(const QByteArray &json, const QString &folder = {})
{
    const QString path = TestHarness::home() + QStringLiteral("/res/DefaultBookmarks.json");
    TestHarness::writeFile(path, json);
    return DefaultBookmarks::load(path, folder);
}

// The fields the optional keys feed: span, total, genre, year, rating, link ("-" when absent).
QString mapped(const BookmarkEntry &e)
{
    const auto text = [](const auto &value) { return value ? QString::number(*value) : QStringLiteral("-"); };
    return QStringLiteral("%1 %2 [%3] %4 %5 [%6]")
        .arg(e.pageSpan)
        .arg(e.totalPages)
        .arg(e.genre, text(e.firstReleaseYear), text(e.rating), e.spotifyURL);
}

} // namespace

class DefaultBookmarksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mapping_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing optional") << QByteArray() << "1 0 [] - - []";
        QTest::newRow("span 0") << q(",'PageSpan':0") << "1 0 [] - - []";
        QTest::newRow("span 1") << q(",'PageSpan':1") << "1 0 [] - - []";
        QTest::newRow("span negative") << q(",'PageSpan':-4") << "1 0 [] - - []";
        QTest::newRow("span 3") << q(",'PageSpan':3") << "3 0 [] - - []";
        QTest::newRow("total -1") << q(",'TotalPages':-1") << "1 0 [] - - []";
        QTest::newRow("total 250") << q(",'TotalPages':250") << "1 250 [] - - []";
        QTest::newRow("nulls") << q(",'PageSpan':null,'Genre':null,'FirstReleaseYear':null,'Rating':null")
                               << "1 0 [] - - []";
        QTest::newRow("not trimmed") << q(",'Genre':'  Jazz\\n'") << "1 0 [  Jazz\n] - - []";
        QTest::newRow("year, rating") << q(",'FirstReleaseYear':1959,'Rating':4.5") << "1 0 [] 1959 4.5 []";
        QTest::newRow("rating 0") << q(",'Rating':0") << "1 0 [] - 0 []";
        QTest::newRow("link") << q(",'SpotifyUrl':'https://s/1'") << "1 0 [] - - [https://s/1]";
        QTest::newRow("link key misspelt") << q(",'SpotifyURL':'https://s/1'") << "1 0 [] - - []";
        QTest::newRow("unknown keys") << q(",'Extra':{'a':[1,{'b':2}]},'genre':5") << "1 0 [] - - []";
    }

    void mapping()
    {
        QFETCH(QByteArray, extra);
        QFETCH(QString, expected);
        const auto loaded = loadResource(array({record("Book.pdf", 7, extra)}));
        QVERIFY2(loaded, qPrintable(loaded.error().message));
        QCOMPARE(loaded->size(), 1);
        const BookmarkEntry &e = loaded->first();
        QCOMPARE(mapped(e), expected);
        QCOMPARE(e.pdfFilePath, QStringLiteral("/old/Book.pdf"));
        QCOMPARE(e.title, QStringLiteral(" Blue Bossa "));
        QVERIFY(e.pageNumber == 7 && e.level == 1 && e.style.isEmpty() && e.youtubeURL.isEmpty());
    }

    void oneBadRecordFailsAll_data()
    {
        QTest::addColumn<QByteArray>("fifth"); // after four good records
        QTest::newRow("lacks Level") << record("B.pdf", 5).replace(q(",'Level':1"), "");
        QTest::newRow("title null") << record("B.pdf", 5).replace(q("' Blue Bossa '"), "null");
        QTest::newRow("page as text")
            << record("B.pdf", 5).replace(q("'PageNumber':5"), q("'PageNumber':'5'"));
        QTest::newRow("fractional year") << record("B.pdf", 5, q(",'FirstReleaseYear':1959.5"));
        QTest::newRow("rating as text") << record("B.pdf", 5, q(",'Rating':'4'"));
        QTest::newRow("genre as number") << record("B.pdf", 5, q(",'Genre':3"));
        QTest::newRow("not an object") << QByteArray("[]");
        QTest::newRow("unterminated") << q("{'PdfFileName':'B.pdf'");
    }

    void oneBadRecordFailsAll()
    {
        QFETCH(QByteArray, fifth);
        QList<QByteArray> records;
        for (int page = 1; page <= 4; ++page)
            records.append(record("B.pdf", page));
        const auto loaded = loadResource(array(records + QList<QByteArray>{fifth}));
        QVERIFY(!loaded);
        QVERIFY2(loaded.error().message.contains(QLatin1String("DefaultBookmarks.json")),
                 qPrintable(loaded.error().message));
    }

    void booksAreMatchedInTheFolder()
    {
        QTemporaryDir library;
        TestHarness::writeFile(library.path() + QStringLiteral("/Real Book.pdf"), "x");
        TestHarness::writeFile(library.path() + QStringLiteral("/sub/Deep.PDF"), "x");
        const QByteArray json = array({record("Real Book.pdf", 3), record("deep.pdf", 9),
                                       record("Missing.pdf", 1), record("Real Book.pdf", 2)});
        const QString root = library.path() + QLatin1Char('/');
        const QStringList matched{root + "Real Book.pdf@3", root + "sub/Deep.PDF@9", "/old/Missing.pdf@1",
                                  root + "Real Book.pdf@2"};
        const QStringList unmatched{"/old/Real Book.pdf@3", "/old/deep.pdf@9", "/old/Missing.pdf@1",
                                    "/old/Real Book.pdf@2"};

        for (const QString &folder : {library.path(), QString()}) {
            const auto loaded = loadResource(json, folder);
            QVERIFY(loaded);
            QStringList paths;
            for (const BookmarkEntry &e : loaded.value())
                paths << e.pdfFilePath + QLatin1Char('@') + QString::number(e.pageNumber);
            QCOMPARE(paths, folder.isEmpty() ? unmatched : matched);
        }
    }

    void resourceLookup_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << QStringList{"Bundled", "LegacyAssets"} << "Bundled";
        QTest::newRow("legacy only") << QStringList{"LegacyAssets"} << "LegacyAssets";
        QTest::newRow("elsewhere only") << QStringList{"UI"} << "";
    }

    void resourceLookup()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const auto pathIn = [&](const QString &folder) {
            return root.path() + '/' + folder + "/DefaultBookmarks.json";
        };
        for (const QString &folder : present)
            TestHarness::writeFile(pathIn(folder), "[]");
        BundledResources::setRootForTesting(root.path());
        const auto found = DefaultBookmarks::resourcePath();
        BundledResources::setRootForTesting(QString());
        QCOMPARE(found.value_or(QString()), expected.isEmpty() ? QString() : pathIn(expected));
        QVERIFY(!DefaultBookmarks::load(pathIn("UI/none"), {}));
    }
};

LYRAFOLD_TEST_MAIN(DefaultBookmarksTest)
#include "tst_defaultbookmarks.moc"
