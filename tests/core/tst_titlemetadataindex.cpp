#include "TestHarness.h"
#include "core/resources/BundledResources.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QThreadPool>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TitleMetadataRecord)

namespace {

const QString notFound = QStringLiteral("default_metadata.json not found in app bundle.");

TitleMetadataRecord record(const QString &title, std::optional<QString> composer = std::nullopt)
{
    TitleMetadataRecord r;
    r.title = title;
    r.composer = std::move(composer);
    return r;
}

QString resourceRoot()
{
    return TestHarness::home() + QStringLiteral("/resources");
}

void writeResource(const QString &relativePath, const QByteArray &bytes)
{
    TestHarness::writeFile(resourceRoot() + QLatin1Char('/') + relativePath, bytes);
}

} // namespace

class TitleMetadataIndexTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(resourceRoot()).removeRecursively();
        QDir().mkpath(resourceRoot());
        BundledResources::setRootForTesting(resourceRoot());
        TitleMetadataIndex::resetForTesting();
    }

    void cleanup() { QThreadPool::globalInstance()->waitForDone(); }

    void normalizedKey_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("key");
        const std::pair<const char *, const char *> rows[] = {
            {"  The   Night   Train  ", "night train"},
            {"Night Train, The", "night train"},
            {"Night Train,The", "night train"},
            {"Night Train (The)", "night train"},
            {"Night Train ( THE )", "night train"},
            {"The Night Train, The", "night train"},
            {"The The Song", "the song"},
            {"Theme From Nowhere", "theme from nowhere"},
            {"The", "the"},
            {"(The)", ""},
            {"Night Train, Then", "night train, then"},
            {"Other Song (The Return)", "other song (the return)"},
            {"Bring The Night", "bring the night"},
            {"Night-Train!", "night-train!"},
            {"CAFÉ AU LAIT", "café au lait"},
            {"Night Train\n(The)", "night train"},
            {"The\u00A0Night\u2003\u2003Train,\u00A0the", "night train"},
            {"   ", ""},
        };
        for (const auto &[title, key] : rows)
            QTest::newRow(title) << QString::fromUtf8(title) << QString::fromUtf8(key);
    }

    void normalizedKey()
    {
        QFETCH(QString, title);
        QTEST(TitleMetadataIndex::normalizedTitleKey(title), "key");
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<bool>("found");
        QTest::addColumn<TitleMetadataRecord>("expected");
        QTest::addColumn<QString>("error"); // part of loadError; empty when the load succeeds

        TitleMetadataRecord full = record(QStringLiteral("Blue"), QStringLiteral("Ann Lee"));
        full.genres = QStringList{QStringLiteral("Jazz"), QStringLiteral("Pop")};
        full.styles = QStringList();
        full.firstReleaseYear = 1958;
        full.tempo = QStringLiteral("Fast");
        full.popularity = -3;
        full.rating = 4.5;
        QTest::newRow("every field, keys in any order")
            << QByteArray(
                   R"([{"Rating":4.5,"Styles":[],"Genres":["Jazz","Pop"],"Extra":{"a":[1]},"Tempo":"Fast",)"
                   R"("Title":"Blue","Popularity":-3,"Composer":"Ann Lee","FirstReleaseYear":1958}])")
            << "blue" << true << full << "";
        QTest::newRow("nulls are absent")
            << QByteArray(
                   R"([{"Title":"A","Genres":null,"FirstReleaseYear":null,"Composer":null,"Rating":null}])")
            << "A" << true << record("A") << "";
        QTest::newRow("first record of a key wins")
            << QByteArray(
                   R"([{"Title":"The Night Train","Composer":"A"},{"Title":"Night Train, The","Composer":"B"}])")
            << "NIGHT TRAIN (the)" << true << record("The Night Train", "A") << "";
        QTest::newRow("blank titles are not indexed")
            << QByteArray(R"([{"Title":"  "},{"Title":""}])") << "" << false << TitleMetadataRecord() << "";
        TitleMetadataRecord rated = record("A");
        rated.rating = 4.0;
        QTest::newRow("integer rating")
            << QByteArray(R"([{"Title":"A","Rating":4}])") << "A" << true << rated << "";
        QTest::newRow("text rating dropped")
            << QByteArray(R"([{"Title":"A","Rating":"4.5"}])") << "A" << true << record("A") << "";
        QTest::newRow("object rating dropped, later keys read")
            << QByteArray(R"([{"Title":"A","Rating":{"x":[1,2]},"Composer":"C"}])") << "A" << true
            << record("A", "C") << "";
        QTest::newRow("rating out of range dropped, later keys read")
            << QByteArray(R"([{"Title":"A","Rating":1e400,"Composer":"C"}])") << "A" << true
            << record("A", "C") << "";
        QTest::newRow("empty list") << QByteArray("[]") << "A" << false << TitleMetadataRecord() << "";

        const QByteArray good = R"({"Title":"A"},)";
        const auto failing = [&](const char *name, const QByteArray &json, const QString &error) {
            QTest::newRow(name) << json << "A" << false << TitleMetadataRecord() << error;
        };
        failing("year as text rejects the file", "[" + good + R"({"Title":"B","FirstReleaseYear":"1958"}])",
                "[1].FirstReleaseYear");
        failing("title missing", "[" + good + R"({"Composer":"X"}])", "[1].Title");
        failing("title a number", "[" + good + R"({"Title":5}])", "[1].Title");
        failing("genres a string", "[" + good + R"({"Title":"B","Genres":"Jazz"}])", "[1].Genres");
        failing("genres holding a number", "[" + good + R"({"Title":"B","Genres":["Jazz",1]}])",
                "[1].Genres");
        failing("popularity a fraction", "[" + good + R"({"Title":"B","Popularity":7.5}])", "[1].Popularity");
        failing("tempo a number", "[" + good + R"({"Title":"B","Tempo":120}])", "[1].Tempo");
        failing("record not an object", "[" + good + "7]", "[1]");
        failing("object at the top", R"({"Title":"A"})", "default_metadata.json: ");
        failing("truncated", "[" + good.chopped(1), "default_metadata.json: ");
        failing("not JSON", "Title: A", "default_metadata.json: ");
        failing("empty file", "", "default_metadata.json: ");
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, lookup);
        QFETCH(bool, found);
        QFETCH(TitleMetadataRecord, expected);
        QFETCH(QString, error);
        writeResource(QStringLiteral("Bundled/default_metadata.json"), json);

        const auto answer = TitleMetadataIndex::metadataForDisplayTitle(lookup);
        QCOMPARE(answer.has_value(), found);
        if (found)
            QCOMPARE(*answer, expected);
        const auto loadError = TitleMetadataIndex::loadError();
        QCOMPARE(loadError.has_value(), !error.isEmpty());
        if (loadError)
            QVERIFY2(loadError->contains(error), qPrintable(*loadError));
    }

    void fileLocation_data()
    {
        QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder of that name
        QTest::addColumn<QString>("used");

        const QStringList all = {
            "Bundled/default_metadata.json", "LegacyAssets/default_metadata.json", "default_metadata.json",
            "Bundled/DefaultMetadata.json",  "LegacyAssets/DefaultMetadata.json",  "DefaultMetadata.json"};
        for (qsizetype i = 0; i < all.size(); ++i)
            QTest::newRow(qPrintable(QStringLiteral("from place %1 on").arg(i + 1)))
                << all.mid(i) << all.at(i);
        QTest::newRow("first name at the top beats second in a folder")
            << QStringList{"LegacyAssets/DefaultMetadata.json", "default_metadata.json"}
            << "default_metadata.json";
        QTest::newRow("folder of that name skipped")
            << QStringList{"Bundled/default_metadata.json/", "DefaultMetadata.json"}
            << "DefaultMetadata.json";
    }

    void fileLocation()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, used);
        for (const QString &file : files) {
            if (file.endsWith(QLatin1Char('/')))
                QVERIFY(QDir().mkpath(resourceRoot() + QLatin1Char('/') + file));
            else
                writeResource(file, R"([{"Title":"Where","Composer":")" + file.toUtf8() + R"("}])");
        }
        const auto answer = TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("where"));
        QCOMPARE(answer ? answer->composer.value_or(QString()) : QString(), used);
        QCOMPARE(TitleMetadataIndex::loadError(), used.isEmpty() ? std::optional(notFound) : std::nullopt);
    }

    void missingFileStillCompletesOnMainThread()
    {
        // Shared with the completion, which may outlive this function when the test fails.
        const auto onMainThread = std::make_shared<std::optional<bool>>();
        TitleMetadataIndex::preload(
            [onMainThread] { *onMainThread = QThread::currentThread() == qApp->thread(); });
        WAIT_VERIFY(onMainThread->has_value());
        QVERIFY(**onMainThread);
        QCOMPARE(TitleMetadataIndex::loadError(), std::optional(notFound));
        QVERIFY(!TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("A")));
    }

    // The file is read once: neither a later file nor a changed one is picked up.
    void loadsOnlyOnce()
    {
        QVERIFY(!TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("A")));
        writeResource(QStringLiteral("default_metadata.json"), R"([{"Title":"A"}])");
        QVERIFY(!TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("A")));
        QCOMPARE(TitleMetadataIndex::loadError(), std::optional(notFound));

        TitleMetadataIndex::resetForTesting();
        QVERIFY(TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("A")));
        writeResource(QStringLiteral("default_metadata.json"), R"([{"Title":"B"}])");
        QVERIFY(TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("A")));
        QVERIFY(!TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("B")));
    }

    void lookupWhileBackgroundLoadRuns()
    {
        // The title looked up is the last record, so a half-built index would miss it; the file is
        // large enough that its load outlasts the step from its opening to the lookup.
        QByteArray json = "[";
        for (int i = 0; i < 50000; ++i)
            json += "{\"Title\":\"Filler Song " + QByteArray::number(i) +
                    "\",\"Genres\":[\"Jazz\"],\"Rating\":3},";
        json += R"({"Title":"The Last Waltz","Composer":"Ann Lee"}])";
        const QString path = resourceRoot() + QStringLiteral("/Bundled/default_metadata.json");
        TestHarness::writeFile(path, json);

        // The loader opens the file while it holds the index's lock: once it has, the lookup below
        // meets a load in progress.
        const int watch = inotify_init1(IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN) >= 0);
        const auto done = std::make_shared<bool>(false);
        TitleMetadataIndex::preload([done] { *done = true; });
        pollfd opened{watch, POLLIN, 0};
        const bool sawOpen = poll(&opened, 1, 10000) == 1;
        close(watch);
        QVERIFY(sawOpen);

        const auto answer = TitleMetadataIndex::metadataForDisplayTitle(QStringLiteral("Last Waltz, The"));
        QVERIFY(answer);
        QCOMPARE(answer->composer, QStringLiteral("Ann Lee"));
        QVERIFY(!*done); // the completion waits for the main thread's event loop
        WAIT_VERIFY(*done);
        QVERIFY(!TitleMetadataIndex::loadError());
    }
};

LYRAFOLD_TEST_MAIN(TitleMetadataIndexTest)
#include "tst_titlemetadataindex.moc"
