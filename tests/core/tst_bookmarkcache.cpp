#include "Fixtures.h"
#include "TestHarness.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/common/AppPaths.h"
#include "core/common/NotificationBus.h"
#include "core/slotfiles/CacheService.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>

namespace {

const QByteArray item =
    R"({"pdfFileName":"a.pdf","pdfFilePath":"/b/a.pdf","pageNumber":3,"title":"T","level":0,"pageSpan":2,"totalPages":9})";

QByteArray document(const QByteArray &items, const QByteArray &extra = {})
{
    return "{" + extra + R"("savedAt":786000000.5,"bookmarks":[)" + items + "]}";
}

QByteArray withoutKey(const QByteArray &object, const QByteArray &key)
{
    QJsonObject o = QJsonDocument::fromJson(object).object();
    o.remove(QString::fromUtf8(key));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject writtenCache()
{
    return QJsonDocument::fromJson(TestHarness::readFile(AppPaths::bookmarkCachePath())).object();
}

} // namespace

class BookmarkCacheTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("count"); // -1: the document is rejected
        QTest::addColumn<QString>("folder");

        QTest::newRow("only savedAt and empty list")
            << QByteArray(R"({"savedAt":0,"bookmarks":[]})") << 0 << "";
        QTest::newRow("folder null") << document(item, R"("selectedFolder":null,)") << 1 << "";
        QTest::newRow("folder given") << document(item, R"("selectedFolder":"/music",)") << 1 << "/music";
        QTest::newRow("optional keys missing") << document(item + "," + item) << 2 << "";
        QTest::newRow("unknown keys ignored") << document(item, R"("future":{"x":1},)") << 1 << "";
        for (const char *key :
             {"pdfFileName", "pdfFilePath", "pageNumber", "title", "level", "pageSpan", "totalPages"})
            QTest::newRow(qPrintable(QStringLiteral("without %1").arg(QLatin1String(key))))
                << document(item + "," + withoutKey(item, key)) << -1 << "";
        QTest::newRow("savedAt as date string")
            << QByteArray(R"({"savedAt":"2024-01-01","bookmarks":[]})") << -1 << "";
        QTest::newRow("savedAt missing") << QByteArray(R"({"bookmarks":[]})") << -1 << "";
        QTest::newRow("bookmarks missing") << QByteArray(R"({"savedAt":1})") << -1 << "";
        QTest::newRow("page as string") << document(QByteArray(item).replace("3,", "\"3\",")) << -1 << "";
        QTest::newRow("genre as number")
            << document(QByteArray(item).chopped(1) + R"(,"genre":5})") << -1 << "";
        QTest::newRow("rating as string")
            << document(QByteArray(item).chopped(1) + R"(,"rating":"4"})") << -1 << "";
        QTest::newRow("folder as number") << document(item, R"("selectedFolder":1,)") << -1 << "";
        QTest::newRow("item not an object") << document("1") << -1 << "";
        QTest::newRow("top level array") << QByteArray("[]") << -1 << "";
        QTest::newRow("truncated") << document(item).chopped(3) << -1 << "";
        QTest::newRow("brackets that do not close")
            << document(item + "," + QByteArray(item).replace(R"("pdfFileName":)", R"("pdfFileName":[)"),
                        R"("selectedFolder":"/music",)")
            << -1 << "";
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, count);
        QFETCH(QString, folder);
        TestHarness::writeFile(AppPaths::bookmarkCachePath(), json);
        const auto loaded = CacheService::load();
        QCOMPARE(loaded.has_value(), count >= 0);
        if (!loaded)
            return;
        QCOMPARE(loaded->bookmarks.size(), count);
        QCOMPARE(loaded->selectedFolder, folder);
        for (const BookmarkEntry &e : loaded->bookmarks) {
            QVERIFY(e.genre.isEmpty() && e.style.isEmpty() && e.composer.isEmpty() && e.tempo.isEmpty());
            QVERIFY(e.spotifyURL.isEmpty() && e.youtubeURL.isEmpty());
            QVERIFY(!e.firstReleaseYear && !e.rating);
            QCOMPARE(e.pageSpan, qint64(2));
        }
    }

    void missingFileIsAbsent()
    {
        QVERIFY(!CacheService::load());
        QVERIFY(!QFile::exists(AppPaths::bookmarkCachePath()));
    }

    // A file that cannot be read is not the same as one that does not decode: it is left in place.
    void unreadableFileIsLeftAlone()
    {
        QVERIFY(QDir().mkpath(AppPaths::bookmarkCachePath()));
        QSignalSpy spy(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QVERIFY(!CacheService::load());
        QCOMPARE(spy.count(), 0);
        QVERIFY(!CacheService::save({Fixtures::fullBookmark(1)}, QString()));
        QVERIFY(QFileInfo(AppPaths::bookmarkCachePath()).isDir());
    }

    void writtenForm()
    {
        BookmarkEntry e = Fixtures::bookmark(QStringLiteral("/b/a.pdf"), 4, QStringLiteral("T"));
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(CacheService::save({e}, QString()));
        const QJsonObject root = writtenCache();
        QVERIFY(root.contains(QStringLiteral("selectedFolder")));
        QCOMPARE(root.value(QStringLiteral("selectedFolder")).toString(QStringLiteral("?")), QString());
        // Seconds since 2001-01-01 UTC, i.e. Unix time less 978307200.
        const double savedAt = root.value(QStringLiteral("savedAt")).toDouble();
        QVERIFY(savedAt >= double(before - 978307200) - 1 && savedAt <= double(before - 978307200) + 5);
        const QJsonObject stored = root.value(QStringLiteral("bookmarks")).toArray().at(0).toObject();
        QCOMPARE(stored.value(QStringLiteral("genre")).toString(QStringLiteral("?")), QString());
        QVERIFY(!stored.contains(QStringLiteral("rating")));
        QVERIFY(!stored.contains(QStringLiteral("firstReleaseYear")));
        QCOMPARE(stored.keys().size(), 13);
        // Compact: no white space between tokens.
        QVERIFY(!TestHarness::readFile(AppPaths::bookmarkCachePath()).contains(": "));
    }

    void roundTrip()
    {
        BookmarkList library = Fixtures::realisticLibrary(2000, 7);
        library.append(Fixtures::bookmark(QString(), 0, QString()));
        library.append(Fixtures::fullBookmark(3));
        QVERIFY(CacheService::save(library, QStringLiteral("/home/me/Fakebooks ")));
        const auto loaded = CacheService::load();
        QVERIFY(loaded);
        QCOMPARE(loaded->selectedFolder, QStringLiteral("/home/me/Fakebooks "));
        QCOMPARE(loaded->bookmarks.size(), library.size());
        QVERIFY(loaded->bookmarks == library);
    }

    // A list large enough to be read on several threads gives the rows as written, in blocks when asked
    // to, and a fault in one of its rows rejects it with the place of the fault, as a small list does.
    void largeList_data()
    {
        QTest::addColumn<QByteArray>("row"); // what the middle row begins with instead
        QTest::addColumn<QString>("error");  // empty: read; "*": rejected, whatever the words
        QTest::newRow("as written") << QByteArray() << QString();
        QTest::newRow("a key missing")
            << QByteArray(R"({"pdfFileNamX":)") << "bookmarks[%1].pdfFileName: missing";
        QTest::newRow("a value of the wrong type")
            << QByteArray(R"({"pdfFileName":1,"x":)") << "bookmarks[%1].pdfFileName: expected a string";
        QTest::newRow("a row that is no object")
            << QByteArray(R"(1,{"pdfFileName":)") << "bookmarks[%1]: expected an object";
        QTest::newRow("brackets that do not close") << QByteArray(R"({"pdfFileName":[)") << "*";
        QTest::newRow("empty rows") << QByteArray("empty") << "bookmarks[0].pdfFileName: missing";
    }

    void largeList()
    {
        QFETCH(QByteArray, row);
        QFETCH(QString, error);
        // Read on several threads from 1 MB on, rather than from a real library's 16 MB: the rows are
        // still three takes for the readers.
        BookmarkCacheCodec::setSeveralThreadsBytesForTesting(1024 * 1024);
        const auto restore = qScopeGuard([] { BookmarkCacheCodec::setSeveralThreadsBytesForTesting(0); });
        static const BookmarkList library = Fixtures::realisticLibrary(10000, 5);
        static const QByteArray written =
            *BookmarkCacheCodec::encode({QStringLiteral("/music"), {}, library});
        QVERIFY(written.size() > 1024 * 1024);
        QByteArray json = written;
        const qsizetype middle = library.size() / 2;
        if (row == "empty") {
            QByteArray rows = "{}";
            for (qsizetype bytes = 2; bytes < written.size(); bytes += 3)
                rows += ",{}";
            json = document(rows);
        } else if (!row.isEmpty()) {
            qsizetype at = -1;
            for (qsizetype index = 0; index <= middle; ++index)
                at = json.indexOf(R"({"pdfFileName":)", at + 1);
            json.replace(at, qsizetype(qstrlen(R"({"pdfFileName":)")), row);
        }
        const Result<BookmarkCache> read = BookmarkCacheCodec::decode(json);
        const Result<BookmarkCacheBlocks> blocks = BookmarkCacheCodec::decodeInBlocks(json, 256);
        if (!error.isEmpty()) {
            QVERIFY(!read && !blocks);
            QCOMPARE(blocks.error().message, read.error().message);
            if (error != QLatin1String("*"))
                QCOMPARE(read.error().message,
                         error.contains(QLatin1String("%1")) ? error.arg(middle) : error);
            return;
        }
        QVERIFY(read && blocks);
        QCOMPARE(read.value().selectedFolder, QStringLiteral("/music"));
        QVERIFY(read.value().bookmarks == library);
        BookmarkList joined;
        for (const BookmarkList &block : blocks.value().blocks) {
            QVERIFY(block.size() == 256 || &block == &blocks.value().blocks.constLast());
            joined.append(block);
        }
        QVERIFY(joined == library);
    }

    // The texts many rows share (a book's name and path, a genre, a style, a composer, a tempo) are
    // decoded once per reader of a large list. Written with escapes, as this program writes quotes and
    // backslashes and as Python's json.dump writes every accent, they read back as written: a text of
    // one row never stands in for another's, and none is read from memory the parser has let go of.
    void escapedSharedTextsReadBackOnSeveralThreads_data()
    {
        QTest::addColumn<QString>("mark"); // in every shared text
        QTest::addColumn<bool>("ascii");   // every character past ASCII written as \uXXXX
        QTest::newRow("quotes") << QStringLiteral("Edward \"Kid\" Ory") << false;
        QTest::newRow("backslashes") << QStringLiteral("AC\\DC \\\\") << false;
        QTest::newRow("accents as escapes") << QStringLiteral("Café Señorita Gözlerin") << true;
        QTest::newRow("a surrogate pair") << QStringLiteral("Notes \U0001F3B5 \U0001D11E") << true;
        QTest::newRow("all at once") << QStringLiteral("\"Çiğdem\" \\ \U0001F3B5") << true;
    }

    void escapedSharedTextsReadBackOnSeveralThreads()
    {
        QFETCH(QString, mark);
        QFETCH(bool, ascii);
        BookmarkCacheCodec::setSeveralThreadsBytesForTesting(1);
        const auto restore = qScopeGuard([] { BookmarkCacheCodec::setSeveralThreadsBytesForTesting(0); });
        // Texts that repeat every few rows and grow longer row after row, so that the parser's buffer
        // of unescaped text is reused and made anew as the readers go.
        BookmarkList library;
        for (int i = 0; i < 9000; ++i) {
            const auto text = [&](const char *field, int every) {
                return QStringLiteral("%1 %2 %3 %4")
                    .arg(QLatin1String(field), mark, QString::number(i % every), QString(i / 40, u'x'));
            };
            BookmarkEntry row = Fixtures::bookmark(text("/books/", 7), i + 1, QStringLiteral("T%1").arg(i));
            row.pdfFileName = text("book", 7);
            row.genre = text("genre", 3);
            row.style = text("style", 11);
            row.composer = text("composer", 5);
            row.tempo = text("tempo", 2);
            library.append(row);
        }
        QByteArray json = *BookmarkCacheCodec::encode({QStringLiteral("/music"), {}, library});
        if (ascii) {
            // Only strings hold characters past ASCII.
            QByteArray escaped;
            for (const QChar c : QString::fromUtf8(json))
                escaped +=
                    c.unicode() < 0x80
                        ? QByteArray(1, char(c.unicode()))
                        : QByteArray("\\u") + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
            json = escaped;
        }
        QVERIFY(json.contains(ascii ? "\\u" : "\\"));
        const Result<BookmarkCache> read = BookmarkCacheCodec::decode(json);
        QVERIFY(read);
        QCOMPARE(read.value().bookmarks.size(), library.size());
        for (qsizetype i = 0; i < library.size(); ++i) {
            const BookmarkEntry &got = read.value().bookmarks.at(i);
            const BookmarkEntry &written = library.at(i);
            QCOMPARE(got.pdfFileName, written.pdfFileName);
            QCOMPARE(got.pdfFilePath, written.pdfFilePath);
            QCOMPARE(got.genre, written.genre);
            QCOMPARE(got.style, written.style);
            QCOMPARE(got.composer, written.composer);
            QCOMPARE(got.tempo, written.tempo);
        }
        const Result<BookmarkCacheBlocks> blocks = BookmarkCacheCodec::decodeInBlocks(json, 256);
        QVERIFY(blocks);
        BookmarkList joined;
        for (const BookmarkList &block : blocks.value().blocks)
            joined.append(block);
        QVERIFY(joined == library);
    }

    void nonFiniteRatingIsNeverStored_data()
    {
        QTest::addColumn<double>("rating");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }

    void nonFiniteRatingIsNeverStored()
    {
        QFETCH(double, rating);
        BookmarkEntry e = Fixtures::fullBookmark(1);
        e.rating = rating;
        QVERIFY(CacheService::save({e, Fixtures::fullBookmark(2)}, QString()));
        const auto loaded = CacheService::load();
        QVERIFY(loaded);
        QCOMPARE(loaded->bookmarks.size(), 2);
        QVERIFY(!loaded->bookmarks[0].rating);
        QCOMPARE(loaded->bookmarks[0].genre, e.genre);
    }

    // A write that fails half-way (here: the file size limit, as on a full disk) leaves the previous
    // file whole and reports the failure.
    void interruptedWriteKeepsPreviousFile()
    {
        const BookmarkList small{Fixtures::fullBookmark(1)};
        QVERIFY(CacheService::save(small, QStringLiteral("/old")));
        const QByteArray before = TestHarness::readFile(AppPaths::bookmarkCachePath());
        {
            TestHarness::FileSizeLimit limit(4096);
            QVERIFY(!CacheService::save(Fixtures::realisticLibrary(500), QStringLiteral("/new")));
        }
        QCOMPARE(TestHarness::readFile(AppPaths::bookmarkCachePath()), before);
        const QStringList left = QDir(AppPaths::applicationSupportDir()).entryList(QDir::Files);
        QCOMPARE(left, QStringList{QStringLiteral("bookmarks_cache.json")});
        QCOMPARE(CacheService::load()->selectedFolder, QStringLiteral("/old"));
    }

    void undecodableFileIsSetAside()
    {
        const QByteArray garbage = R"({"savedAt":"yesterday","bookmarks":[]})";
        TestHarness::writeFile(AppPaths::bookmarkCachePath(), garbage);
        QSignalSpy spy(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);

        QVERIFY(!CacheService::load());
        QCOMPARE(spy.count(), 1);
        const QString aside = spy.at(0).at(1).toString();
        QCOMPARE(spy.at(0).at(0).toString(), AppPaths::bookmarkCachePath());
        QVERIFY2(aside.startsWith(AppPaths::bookmarkCachePath() + QStringLiteral(".unreadable-")),
                 qPrintable(aside));
        QCOMPARE(TestHarness::readFile(aside), garbage);
        QVERIFY(!QFile::exists(AppPaths::bookmarkCachePath()));

        // A second bad file in the same second gets a name of its own.
        TestHarness::writeFile(AppPaths::bookmarkCachePath(), "not json");
        QVERIFY(!CacheService::load());
        QCOMPARE(spy.count(), 2);
        QVERIFY(spy.at(1).at(1).toString() != aside);
        QCOMPARE(TestHarness::readFile(aside), garbage);

        QVERIFY(CacheService::save({Fixtures::fullBookmark(1)}, QString()));
        QCOMPARE(CacheService::load()->bookmarks.size(), 1);
        QCOMPARE(TestHarness::readFile(aside), garbage);
    }
};

LYRAFOLD_TEST_MAIN(BookmarkCacheTest)
#include "tst_bookmarkcache.moc"
