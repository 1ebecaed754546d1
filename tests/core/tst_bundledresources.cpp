#include "TestHarness.h"
#include "resources/BundledResources.h"

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
