#include "TestHarness.h"
#include "core/playlist/LyfPlaylistCodec.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

using LyfPlaylistCodec::CodecError;
using LyfPlaylistCodec::ReadError;

namespace {

QByteArray bundle(const QByteArray &playlists, const QByteArray &version = "1")
{
    return R"({"lyrafoldFile":"lyrafold_playlist_bundle","version":)" + version + R"(,"playlists":)" +
           playlists + "}";
}

QByteArray withItem(const QByteArray &item)
{
    return bundle(R"([{"name":"Gig","items":[)" + item + "]}]");
}

PlaylistItem item(const QString &title, const QString &path, qint64 page, qint64 span, qint64 total)
{
    PlaylistItem i;
    i.title = title;
    i.pdfFilePath = path;
    i.pdfFileName = path.section(QLatin1Char('/'), -1);
    i.pageNumber = page;
    i.pageSpan = span;
    i.totalPages = total;
    return i;
}

} // namespace

class LyfPlaylistCodecTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each refusal with its code and the text the user is shown: the file named and said to be damaged
    // or no playlist file, then what is wrong (the parser's reason follows "Not valid JSON").
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const int notJson = int(ReadError::notJson);
        const QString json = QStringLiteral("Not valid JSON: ");
        QTest::newRow("broken JSON, named")
            << QByteArray(R"({"lyrafoldFile":"lyrafold_playlist_bundle","version":1,"playlists":[)")
            << notJson << "\u201CFriday set.lyf\u201D is damaged or is not a playlist file. Not valid JSON: ";
        QTest::newRow("no marker, named")
            << QByteArray(R"({"version":1,"playlists":[]})") << int(CodecError::missingMagic)
            << "\u201CFriday set.lyf\u201D is damaged or is not a playlist file. Not a Lyrafold playlist "
               "bundle.";
        const QString root = QStringLiteral("Not a valid Lyrafold playlist file.");
        const QString magic = QStringLiteral("Not a Lyrafold playlist bundle.");
        const QString version = QStringLiteral("Unsupported Lyrafold playlist version.");
        const QString playlists = QStringLiteral("Missing playlists in file.");
        const QString playlist = QStringLiteral("Invalid playlist data.");
        // clang-format off
        QTest::newRow("array at the top") << QByteArray("[]") << int(CodecError::invalidRoot) << root;
        QTest::newRow("string at the top") << QByteArray(R"("lyrafold")") << notJson << json;
        QTest::newRow("broken JSON") << QByteArray(R"({"lyrafoldFile":)") << notJson << json;
        QTest::newRow("empty file") << QByteArray() << notJson << json;
        QTest::newRow("marker in capitals") << QByteArray(R"({"lyrafoldFile":"LYRAFOLD_PLAYLIST_BUNDLE","version":1,"playlists":[]})") << int(CodecError::missingMagic) << magic;
        QTest::newRow("no marker") << QByteArray(R"({"version":1,"playlists":[]})") << int(CodecError::missingMagic) << magic;
        QTest::newRow("version 2") << bundle("[]", "2") << int(CodecError::badVersion) << version;
        QTest::newRow("version as text") << bundle("[]", R"("1")") << int(CodecError::badVersion) << version;
        QTest::newRow("version huge") << bundle("[]", "1e300") << int(CodecError::badVersion) << version;
        QTest::newRow("playlists an object") << bundle("{}") << int(CodecError::missingPlaylists) << playlists;
        QTest::newRow("playlist not an object") << bundle("[1]") << int(CodecError::missingPlaylists) << playlists;
        QTest::newRow("one bad name spoils the file") << bundle(R"([{"name":"Good","items":[]},{"name":7,"items":[]}])") << int(CodecError::invalidPlaylist) << playlist;
        QTest::newRow("item not an object") << bundle(R"([{"name":"Gig","items":[{},"x"]}])") << int(CodecError::invalidPlaylist) << playlist;
        QTest::newRow("no items") << bundle(R"([{"name":"Gig"}])") << int(CodecError::invalidPlaylist) << playlist;
        // clang-format on
    }

    void refusals()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, code);
        QFETCH(QString, message);
        const bool named = message.startsWith(u'\u201C');
        const auto result = LyfPlaylistCodec::decodeBundle(data, named ? "Friday set.lyf" : "");
        QVERIFY(!result);
        QCOMPARE(result.error().code, code);
        const QString prefix = named ? QString() : "This file is damaged or is not a playlist file. ";
        QVERIFY2(result.error().message.startsWith(prefix + message), qPrintable(result.error().message));
        if (code < int(ReadError::notJson))
            QCOMPARE(result.error().message,
                     prefix + (named ? message : LyfPlaylistCodec::errorDescription(CodecError(code))));
    }

    // Playlists and titles are counted before any item is read; the refusal names the file and the
    // bound.
    void bounds_data()
    {
        QTest::addColumn<int>("playlists");
        QTest::addColumn<int>("itemsEach");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("most playlists") << 1000 << 0 << QString();
        QTest::newRow("one playlist too many")
            << 1001 << 0
            << "\u201Cset.lyf\u201D holds more than 1,000 playlists, the most a playlist file may hold.";
        QTest::newRow("longest playlist") << 1 << 10000 << QString();
        QTest::newRow("one title too many in a playlist")
            << 1 << 10001
            << "\u201Cset.lyf\u201D holds more than 10,000 titles in one playlist, the most a playlist file "
               "may "
               "hold.";
        QTest::newRow("most titles") << 5 << 10000 << QString();
        QTest::newRow("titles of the file too many")
            << 6 << 9000
            << "\u201Cset.lyf\u201D holds more than 50,000 titles, the most a playlist file may hold.";
    }

    void bounds()
    {
        QFETCH(int, playlists);
        QFETCH(int, itemsEach);
        QFETCH(QString, refusal);
        QByteArrayList items(itemsEach, "{}");
        QByteArrayList list(playlists, R"({"name":"a","items":[)" + items.join(',') + "]}");
        const auto result = LyfPlaylistCodec::decodeBundle(bundle("[" + list.join(',') + "]"), "set.lyf");
        if (refusal.isEmpty()) {
            QVERIFY2(result, qPrintable(result.error().message));
            QCOMPARE(result->size(), playlists);
        } else {
            QVERIFY(!result);
            QCOMPARE(result.error().code, int(ReadError::tooMany));
            QCOMPARE(result.error().message, refusal);
        }
    }

    void acceptedShapes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("itemsOfFirst");
        QTest::newRow("version 1.5") << bundle("[]", "1.5") << QStringList() << 0;
        QTest::newRow("version 1.0, other keys ignored")
            << QByteArray(R"({"x":1,"lyrafoldFile":"lyrafold_playlist_bundle","version":1.0,"playlists":[)"
                          R"({"name":" Gig ","items":[],"extra":true}]})")
            << QStringList{" Gig "} << 0;
        QTest::newRow("two playlists in order")
            << bundle(R"([{"name":"B","items":[{}]},{"name":"A","items":[]}])") << QStringList{"B", "A"} << 1;
        QTest::newRow("control characters and length")
            << bundle(R"([{"name":"Gig\n\tNight\u0007","items":[]}])") << QStringList{"Gig Night"} << 0;
        QTest::newRow("line breaks and a right-to-left override")
            << TestHarness::readFile(TestHarness::testData(QStringLiteral("hostile/control-bidi.lyf")))
            << QStringList{"Set ftxt.exe x"} << 1;
        QTest::newRow("name capped") << bundle(R"([{"name":")" + QByteArray(400, 'x') + R"(","items":[]}])")
                                     << QStringList{QString(300, QLatin1Char('x'))} << 0;
    }

    void acceptedShapes()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, names);
        QFETCH(int, itemsOfFirst);
        const auto result = LyfPlaylistCodec::decodeBundle(data);
        QVERIFY2(result, qPrintable(result.error().message));
        QStringList read;
        for (const Playlist &p : result.value())
            read << p.name;
        QCOMPARE(read, names);
        if (!names.isEmpty())
            QCOMPARE(result->first().items.size(), itemsOfFirst);
    }

    void itemReading_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("page");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("total");
        // clang-format off
        QTest::newRow("page text with blanks") << QByteArray(R"({"page":" 12\n"})") << "" << "" << "" << 12LL << 1LL << 0LL;
        QTest::newRow("page 12a beats pageNumber") << QByteArray(R"({"page":"12a","pageNumber":5})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("empty page text") << QByteArray(R"({"page":""})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("page -3") << QByteArray(R"({"page":"-3"})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("page +5") << QByteArray(R"({"page":"+5"})") << "" << "" << "" << 5LL << 1LL << 0LL;
        QTest::newRow("page 7.9") << QByteArray(R"({"page":7.9})") << "" << "" << "" << 7LL << 1LL << 0LL;
        QTest::newRow("page beyond 64 bits") << QByteArray(R"({"page":1e30,"pageNumber":4})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("pageNumber text before page number") << QByteArray(R"({"page":9,"pageNumber":"8"})") << "" << "" << "" << 8LL << 1LL << 0LL;
        QTest::newRow("pageNumber 4.0") << QByteArray(R"({"pageNumber":4.0})") << "" << "" << "" << 4LL << 1LL << 0LL;
        QTest::newRow("no page") << QByteArray(R"({"page":null})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("counts") << QByteArray(R"({"totalPages":12.7,"pageSpan":3})") << "" << "" << "" << 1LL << 3LL << 12LL;
        QTest::newRow("span 0, total as text") << QByteArray(R"({"totalPages":"12","pageSpan":0})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("total negative stays") << QByteArray(R"({"totalPages":-4})") << "" << "" << "" << 1LL << 1LL << -4LL;
        QTest::newRow("writer's keys") << QByteArray(R"({"title":"T","bookOrList":"B.pdf","sourcePath":"/x/B.pdf"})") << "T" << "B.pdf" << "/x/B.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("stored keys") << QByteArray(R"({"pdfFileName":"B.pdf","pdfFilePath":"/x/B.pdf"})") << "" << "B.pdf" << "/x/B.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("mistyped alias skipped") << QByteArray(R"({"bookOrList":5,"bookName":"N","book":"M"})") << "" << "N" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("only a path") << QByteArray(R"({"path":"/books/Real Book.pdf"})") << "" << "Real Book.pdf" << "/books/Real Book.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("only a book: no relative path") << QByteArray(R"({"book":"Fake Book"})") << "" << "Fake Book" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("relative path is missing") << QByteArray(R"({"path":"books/Real Book.pdf"})") << "" << "Real Book.pdf" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("relative path, book as path") << QByteArray(R"({"path":"12","bookOrList":"/x/B.pdf"})") << "" << "/x/B.pdf" << "/x/B.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("book as path once its controls are gone") << QByteArray("{\"bookOrList\":\"\x7f\x7f/x/B.pdf\"}") << "" << "/x/B.pdf" << "/x/B.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("parent path is missing") << QByteArray(R"({"sourcePath":"../b.pdf","bookOrList":"b.pdf"})") << "" << "b.pdf" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("empty bookOrList stops the search") << QByteArray(R"({"bookOrList":"","bookName":"B","sourcePath":"/x/Y.pdf"})") << "" << "Y.pdf" << "/x/Y.pdf" << 1LL << 1LL << 0LL;
        QTest::newRow("title not a string") << QByteArray(R"({"title":5})") << "" << "" << "" << 1LL << 1LL << 0LL;
        QTest::newRow("title control characters") << QByteArray("{\"title\":\"Blue\\r\\nTrain\\u001b[2J\\u0085\"}") << "Blue Train[2J " << "" << "" << 1LL << 1LL << 0LL;
        // clang-format on
    }

    void itemReading()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, title);
        QFETCH(QString, book);
        QFETCH(QString, path);
        QFETCH(qint64, page);
        QFETCH(qint64, span);
        QFETCH(qint64, total);
        const auto result = LyfPlaylistCodec::decodeBundle(withItem(json));
        QVERIFY2(result, qPrintable(result.error().message));
        const PlaylistItem read = result->first().items.first();
        QCOMPARE(read.title, title);
        QCOMPARE(read.pdfFileName, book);
        QCOMPARE(read.pdfFilePath, path);
        QCOMPARE(read.pageNumber, page);
        QCOMPARE(read.pageSpan, span);
        QCOMPARE(read.totalPages, total);
        QCOMPARE(read.level, 0);
    }

    // What the writer writes comes back, with the metadata left behind and a span of at least 1.
    void writtenFileReadsBack()
    {
        PlaylistItem rich =
            item(QStringLiteral("Señorita \"live\""), QStringLiteral("/books/Real Book.pdf"), 12, 0, 0);
        rich.level = 2;
        rich.genre = QStringLiteral("Latin");
        rich.rating = 4.5;
        rich.firstReleaseYear = 1959;
        rich.spotifyURL = QStringLiteral("https://open.spotify.com/track/1");
        const QList<PlaylistItem> items{rich,
                                        item(QStringLiteral("B"), QStringLiteral("/b/B.pdf"), 1, 3, 480)};
        const QDateTime at(QDate(2024, 3, 5), QTime(18, 20, 0, 750), QTimeZone::utc());

        const QByteArray bytes = LyfPlaylistCodec::encodeBundle(QStringLiteral("Rock/Pop: Live"), items, at);
        QVERIFY(bytes.contains("\n  \"version\": 1,\n"));
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(root.keys(), (QStringList{"exportedAt", "lyrafoldFile", "playlists", "version"}));
        QCOMPARE(root.value("exportedAt").toString(), "2024-03-05T18:20:00Z");
        const QJsonObject first =
            root.value("playlists").toArray().at(0).toObject().value("items").toArray().at(0).toObject();
        QCOMPARE(first.keys(),
                 (QStringList{"bookOrList", "page", "pageSpan", "sourcePath", "title", "totalPages"}));
        QCOMPARE(first.value("page"), QJsonValue("12"));
        QCOMPARE(first.value("pageSpan"), QJsonValue(1));

        const auto read = LyfPlaylistCodec::decodeBundle(bytes);
        QVERIFY(read);
        QCOMPARE(read->size(), 1);
        QCOMPARE(read->first().name, "Rock/Pop: Live");
        QList<PlaylistItem> expected = items;
        expected[0] = item(rich.title, rich.pdfFilePath, 12, 1, 0);
        QCOMPARE(read->first().items, expected);
    }

    void readFile()
    {
        const QString path = TestHarness::home() + QStringLiteral("/in.lyf");
        TestHarness::writeFile(path, withItem(R"({"title":"T"})"));
        const auto good = LyfPlaylistCodec::readBundleFile(path);
        QVERIFY(good);
        QCOMPARE(good->first().items.first().title, "T");

        const auto missing = LyfPlaylistCodec::readBundleFile(path + QStringLiteral(".gone"));
        QCOMPARE(missing.error().code, int(ReadError::unreadable));

        // A sparse file: the size alone refuses it, before anything is read.
        QFile big(path);
        QVERIFY(big.resize(LyfPlaylistCodec::maxFileSize + 1));
        const auto tooLarge = LyfPlaylistCodec::readBundleFile(path);
        QCOMPARE(tooLarge.error().code, int(ReadError::tooLarge));
        QCOMPARE(tooLarge.error().message, "This playlist file is too large to open (over 16 MB).");
        const QByteArray padded = withItem("{}") + QByteArray(LyfPlaylistCodec::maxFileSize, ' ');
        QCOMPARE(LyfPlaylistCodec::decodeBundle(padded).error().code, int(ReadError::tooLarge));
    }
};

LYRAFOLD_TEST_MAIN(LyfPlaylistCodecTest)
#include "tst_lyfplaylistcodec.moc"
