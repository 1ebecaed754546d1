#include "TestHarness.h"
#include "library/DefaultBookmarks.h"
#include "resources/BundledResources.h"

#include <QDir>
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

// Writes the resource into a fresh folder and loads it against folder.
Result<BookmarkList> loadResource(const QByteArray &json, const QString &folder = {})
{
    const QString path = TestHarness::home() + QStringLiteral("/res/DefaultBookmarks.json");
    TestHarness::writeFile(path, json);
    return DefaultBookmarks::load(path, folder);
}

} // namespace

class DefaultBookmarksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mapping_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("spotify");
        QTest::addColumn<QVariant>("year");   // invalid: absent
        QTest::addColumn<QVariant>("rating"); // invalid: absent

        const QVariant none;
        QTest::newRow("nothing optional") << QByteArray() << 1LL << 0LL << ""
                                          << "" << none << none;
        QTest::newRow("span 0") << q(",'PageSpan':0") << 1LL << 0LL << ""
                                << "" << none << none;
        QTest::newRow("span 1") << q(",'PageSpan':1") << 1LL << 0LL << ""
                                << "" << none << none;
        QTest::newRow("span negative") << q(",'PageSpan':-4") << 1LL << 0LL << ""
                                       << "" << none << none;
        QTest::newRow("span 3") << q(",'PageSpan':3") << 3LL << 0LL << ""
                                << "" << none << none;
        QTest::newRow("total -1") << q(",'TotalPages':-1") << 1LL << 0LL << ""
                                  << "" << none << none;
        QTest::newRow("total 0") << q(",'TotalPages':0") << 1LL << 0LL << ""
                                 << "" << none << none;
        QTest::newRow("total 250") << q(",'TotalPages':250") << 1LL << 250LL << ""
                                   << "" << none << none;
        QTest::newRow("nulls are absent")
            << q(",'PageSpan':null,'Genre':null,'FirstReleaseYear':null,'Rating':null") << 1LL << 0LL << ""
            << "" << none << none;
        QTest::newRow("texts not trimmed") << q(",'Genre':'  Jazz\\n'") << 1LL << 0LL << "  Jazz\n"
                                           << "" << none << none;
        QTest::newRow("year and rating") << q(",'FirstReleaseYear':1959,'Rating':4") << 1LL << 0LL << ""
                                         << "" << QVariant(1959LL) << QVariant(4.0);
        QTest::newRow("rating 0 is a rating") << q(",'Rating':0") << 1LL << 0LL << ""
                                              << "" << none << QVariant(0.0);
        QTest::newRow("link") << q(",'SpotifyUrl':'https://s/1'") << 1LL << 0LL << ""
                              << "https://s/1" << none << none;
        QTest::newRow("misspelt link key ignored") << q(",'SpotifyURL':'https://s/1'") << 1LL << 0LL << ""
                                                   << "" << none << none;
        QTest::newRow("unknown keys ignored") << q(",'Extra':{'a':[1,{'b':2}]},'genre':5") << 1LL << 0LL << ""
                                              << "" << none << none;
    }

    void mapping()
    {
        QFETCH(QByteArray, extra);
        QFETCH(qint64, span);
        QFETCH(qint64, total);
        QFETCH(QString, genre);
        QFETCH(QString, spotify);
        QFETCH(QVariant, year);
        QFETCH(QVariant, rating);

        const auto loaded = loadResource(array({record("Book.pdf", 7, extra)}));
        QVERIFY2(loaded, qPrintable(loaded.error().message));
        QCOMPARE(loaded->size(), 1);
        const BookmarkEntry &e = loaded->first();
        QCOMPARE(e.pdfFileName, QStringLiteral("Book.pdf"));
        QCOMPARE(e.pdfFilePath, QStringLiteral("/old/Book.pdf"));
        QCOMPARE(e.pageNumber, 7);
        QCOMPARE(e.title, QStringLiteral(" Blue Bossa "));
        QCOMPARE(e.level, 1);
        QCOMPARE(e.pageSpan, span);
        QCOMPARE(e.totalPages, total);
        QCOMPARE(e.genre, genre);
        QCOMPARE(e.spotifyURL, spotify);
        QCOMPARE(e.firstReleaseYear.has_value(), year.isValid());
        if (year.isValid())
            QCOMPARE(*e.firstReleaseYear, year.toLongLong());
        QCOMPARE(e.rating.has_value(), rating.isValid());
        if (rating.isValid())
            QCOMPARE(*e.rating, rating.toDouble());
        QVERIFY(e.style.isEmpty() && e.composer.isEmpty() && e.tempo.isEmpty() && e.youtubeURL.isEmpty());
    }

    void oneBadRecordFailsAll_data()
    {
        QTest::addColumn<QByteArray>("json");
        QList<QByteArray> good;
        for (int page = 1; page <= 4; ++page)
            good.append(record("Book.pdf", page));
        const auto withFifth = [&](const QByteArray &fifth) {
            return array(good + QList<QByteArray>{fifth});
        };

        QTest::newRow("fifth lacks Level") << withFifth(record("Book.pdf", 5).replace(q(",'Level':1"), ""));
        QTest::newRow("fifth title null")
            << withFifth(record("Book.pdf", 5).replace(q("' Blue Bossa '"), "null"));
        QTest::newRow("page as text")
            << withFifth(record("Book.pdf", 5).replace(q("'PageNumber':5"), q("'PageNumber':'5'")));
        QTest::newRow("fractional year") << withFifth(record("Book.pdf", 5, q(",'FirstReleaseYear':1959.5")));
        QTest::newRow("rating as text") << withFifth(record("Book.pdf", 5, q(",'Rating':'4'")));
        QTest::newRow("genre as number") << withFifth(record("Book.pdf", 5, q(",'Genre':3")));
        QTest::newRow("element not an object") << withFifth("[]");
        QTest::newRow("root is an object") << q("{'records':[]}");
        QTest::newRow("truncated") << withFifth(record("Book.pdf", 5)).chopped(2);
        QTest::newRow("empty file") << QByteArray();
    }

    void oneBadRecordFailsAll()
    {
        QFETCH(QByteArray, json);
        const auto loaded = loadResource(json);
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

        const auto matched = loadResource(json, library.path());
        QVERIFY(matched);
        QStringList paths;
        for (const BookmarkEntry &e : matched.value())
            paths << e.pdfFilePath + QLatin1Char('@') + QString::number(e.pageNumber);
        const QString root = library.path() + QLatin1Char('/');
        QCOMPARE(paths, QStringList({root + "Real Book.pdf@3", root + "sub/Deep.PDF@9", "/old/Missing.pdf@1",
                                     root + "Real Book.pdf@2"}));

        const auto unmatched = loadResource(json, QString());
        QVERIFY(unmatched);
        QCOMPARE(unmatched->at(1).pdfFilePath, QStringLiteral("/old/deep.pdf"));
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
        for (const QString &folder : present)
            TestHarness::writeFile(
                root.path() + QLatin1Char('/') + folder + QStringLiteral("/DefaultBookmarks.json"), "[]");
        BundledResources::setRootForTesting(root.path());
        const auto found = DefaultBookmarks::resourcePath();
        BundledResources::setRootForTesting(QString());
        QCOMPARE(found.value_or(QString()),
                 expected.isEmpty() ? QString()
                                    : root.path() + QLatin1Char('/') + expected + "/DefaultBookmarks.json");
    }

    void missingResourceFails()
    {
        const auto loaded =
            DefaultBookmarks::load(TestHarness::home() + QStringLiteral("/none/DefaultBookmarks.json"), {});
        QVERIFY(!loaded);
        QVERIFY(!loaded.error().message.isEmpty());
    }
};

LYRAFOLD_TEST_MAIN(DefaultBookmarksTest)
#include "tst_defaultbookmarks.moc"
