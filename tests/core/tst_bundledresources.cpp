#include "TestHarness.h"
#include "core/books/DefaultBookmarks.h"
#include "core/resources/BundledResources.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

// The built-in lists ship inside the program, and the program rejects a whole list over one record of
// the wrong shape: check both against their record formats as they were compiled in.
class BundledResourcesTest : public QObject {
    Q_OBJECT

    // "Key:type" entries; type is string, integer, number or strings (an array of texts).
    static bool hasType(const QJsonValue &value, const QString &type)
    {
        if (type == QLatin1String("string"))
            return value.isString();
        if (type == QLatin1String("number"))
            return value.isDouble();
        if (type == QLatin1String("integer"))
            return value.isDouble() && std::trunc(value.toDouble()) == value.toDouble();
        if (type == QLatin1String("strings")) {
            const QJsonArray items = value.toArray();
            return value.isArray() && std::all_of(items.begin(), items.end(),
                                                  [](const QJsonValue &item) { return item.isString(); });
        }
        return false;
    }

    static QString checkRecord(const QJsonObject &record, const QStringList &required,
                               const QStringList &optional)
    {
        for (const QStringList *keys : {&required, &optional}) {
            for (const QString &entry : *keys) {
                const QString key = entry.section(QLatin1Char(':'), 0, 0);
                const QJsonValue value = record.value(key);
                if (value.isUndefined() || value.isNull()) {
                    if (keys == &required)
                        return QStringLiteral("missing ") + key;
                } else if (!hasType(value, entry.section(QLatin1Char(':'), 1))) {
                    return QStringLiteral("wrong type of ") + key;
                }
            }
        }
        return {};
    }

private Q_SLOTS:
    void cleanup()
    {
        BundledResources::setRootForTesting({});
        qunsetenv("LYRAFOLD_RESOURCE_DIR");
    }

    void builtInListsHaveTheirFormat_data()
    {
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<QStringList>("required");
        QTest::addColumn<QStringList>("optional");
        QTest::newRow("bookmark list")
            << QStringLiteral("DefaultBookmarks")
            << QStringList{"PdfFileName:string", "PdfFilePath:string", "PageNumber:integer", "Title:string",
                           "Level:integer"}
            << QStringList{"PageSpan:integer",         "TotalPages:integer", "Genre:string", "Style:string",
                           "FirstReleaseYear:integer", "Composer:string",    "Tempo:string", "Rating:number",
                           "SpotifyUrl:string",        "YoutubeUrl:string"};
        QTest::newRow("title metadata")
            << QStringLiteral("default_metadata") << QStringList{"Title:string"}
            << QStringList{"Genres:strings",  "Styles:strings", "FirstReleaseYear:integer",
                           "Composer:string", "Tempo:string",   "Popularity:integer",
                           "Rating:number"};
    }

    void builtInListsHaveTheirFormat()
    {
        QFETCH(QString, baseName);
        QFETCH(QStringList, required);
        QFETCH(QStringList, optional);

        const auto path = BundledResources::find(QStringLiteral("Bundled"), baseName, QStringLiteral("json"));
        QVERIFY(path);
        QCOMPARE(*path, QStringLiteral(":/lyrafold/Bundled/") + baseName + QStringLiteral(".json"));
        QFile file(*path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QVERIFY(document.isArray());
        const QJsonArray records = document.array();
        QVERIFY(!records.isEmpty());
        for (qsizetype i = 0; i < records.size(); ++i) {
            QVERIFY2(records[i].isObject(), qPrintable(QString::number(i)));
            const QString problem = checkRecord(records[i].toObject(), required, optional);
            QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("record %1: %2").arg(i).arg(problem)));
        }
    }

    // The songbook's records name it "sftpd.pdf", the name it is published under; a user's copy of that
    // name anywhere in the chosen folder takes the place of the recorded path.
    void builtInListFindsTheSongbook()
    {
        const auto path = BundledResources::find(QStringLiteral("Bundled"),
                                                 QStringLiteral("DefaultBookmarks"), QStringLiteral("json"));
        QVERIFY(path);
        QTemporaryDir folder;
        const QString book = folder.filePath(QStringLiteral("Hymnals/sftpd.pdf"));
        TestHarness::writeFile(book, "%PDF-1.4\n");

        for (const QString &chosen : {folder.path(), QString()}) {
            const auto entries = DefaultBookmarks::load(*path, chosen);
            QVERIFY2(entries, qPrintable(entries.error().message));
            const QString expected =
                chosen.isEmpty() ? QStringLiteral("/home/user/Documents/Fakebooks/sftpd.pdf") : book;
            qsizetype songs = 0;
            for (const BookmarkEntry &entry : entries.value()) {
                if (entry.pdfFileName != QLatin1String("sftpd.pdf"))
                    continue;
                ++songs;
                QCOMPARE(entry.pdfFilePath, expected);
                QCOMPARE(entry.totalPages, 193);
            }
            QCOMPARE(songs, 200);
        }
    }

    // The metadata table names some songs apart from the book's outline; these must still be filled.
    void songbookTitlesCarryTheirMetadata_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("composer");
        QTest::addColumn<QString>("tempo");
        QTest::newRow("round") << "When Jesus Wept (Round)" << 164 << "William Billings"
                               << "Ballad";
        QTest::newRow("round and apostrophe")
            << "Mister Speaker, though 'tis late (Round)" << 161 << "Joseph Baildon"
            << "Medium-Up";
        QTest::newRow("apostrophe") << "Love's Young Dream" << 33 << "Irish Air"
                                    << "Medium";
        QTest::newRow("same title") << "Dixie" << 74 << "Dan Emmett"
                                    << "Medium-Ballad";
        QTest::newRow("second title of a song gets nothing") << "Let Us Sing" << 13 << ""
                                                             << "";
    }

    void songbookTitlesCarryTheirMetadata()
    {
        QFETCH(QString, title);
        QFETCH(int, page);
        QFETCH(QString, composer);
        QFETCH(QString, tempo);
        const auto path = BundledResources::find(QStringLiteral("Bundled"),
                                                 QStringLiteral("DefaultBookmarks"), QStringLiteral("json"));
        QVERIFY(path);
        const auto records = DefaultBookmarks::decode(TestHarness::readFile(*path));
        QVERIFY2(records, qPrintable(records.error().message));
        const auto found = std::find_if(records.value().begin(), records.value().end(), [&](const auto &r) {
            return r.pdfFileName == QLatin1String("sftpd.pdf") && r.title == title;
        });
        QVERIFY(found != records.value().end());
        QCOMPARE(found->pageNumber, page);
        QCOMPARE(found->composer.value_or(QString()), composer);
        QCOMPARE(found->tempo.value_or(QString()), tempo);
    }

    void lookupCanBeRedirected_data()
    {
        QTest::addColumn<bool>("byEnvironment");
        QTest::addColumn<bool>("byTest");
        QTest::newRow("environment") << true << false;
        QTest::newRow("test root") << false << true;
        QTest::newRow("test root before environment") << true << true;
    }

    void lookupCanBeRedirected()
    {
        QFETCH(bool, byEnvironment);
        QFETCH(bool, byTest);
        QTemporaryDir environmentRoot;
        QTemporaryDir testRoot;
        TestHarness::writeFile(environmentRoot.filePath(QStringLiteral("Bundled/DefaultBookmarks.json")),
                               "[]");
        TestHarness::writeFile(testRoot.filePath(QStringLiteral("Bundled/DefaultBookmarks.json")), "[]");
        if (byEnvironment)
            qputenv("LYRAFOLD_RESOURCE_DIR", QFile::encodeName(environmentRoot.path()));
        if (byTest)
            BundledResources::setRootForTesting(testRoot.path());
        const QString root = byTest ? testRoot.path() : environmentRoot.path();

        QCOMPARE(BundledResources::find(QStringLiteral("Bundled"), QStringLiteral("DefaultBookmarks"),
                                        QStringLiteral("json")),
                 std::optional<QString>(root + QStringLiteral("/Bundled/DefaultBookmarks.json")));
        // The redirected folder replaces the compiled-in files; it does not fall back to them.
        QCOMPARE(BundledResources::find(QStringLiteral("Bundled"), QStringLiteral("default_metadata"),
                                        QStringLiteral("json")),
                 std::nullopt);

        BundledResources::setRootForTesting({});
        qunsetenv("LYRAFOLD_RESOURCE_DIR");
        QCOMPARE(BundledResources::rootPath(), QStringLiteral(":/lyrafold"));
    }
};

LYRAFOLD_TEST_MAIN(BundledResourcesTest)
#include "tst_bundledresources.moc"
