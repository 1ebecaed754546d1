#include "Fixtures.h"
#include "TestHarness.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

Playlist playlist(const QString &name, const BookmarkList &entries = {})
{
    Playlist p{name, {}};
    for (const BookmarkEntry &e : entries)
        p.items.append(PlaylistItem::fromBookmark(e));
    return p;
}

QStringList names(const QList<Playlist> &playlists)
{
    QStringList list;
    for (const Playlist &p : playlists)
        list << p.name;
    return list;
}

// Stores the playlists pretty-printed: after an operation the file is compact exactly when the
// operation wrote it.
void storePretty(const QList<Playlist> &playlists)
{
    QVERIFY(PlaylistStore::savePlaylists(playlists));
    const QJsonDocument doc = QJsonDocument::fromJson(TestHarness::readFile(PlaylistStore::playlistsPath()));
    TestHarness::writeFile(PlaylistStore::playlistsPath(), doc.toJson(QJsonDocument::Indented));
}

bool wasRewritten()
{
    return !TestHarness::readFile(PlaylistStore::playlistsPath()).contains('\n');
}

const BookmarkEntry songA =
    Fixtures::bookmark(QStringLiteral("/songs/book.pdf"), 7, QStringLiteral("Blue Moon"));
const BookmarkEntry songB =
    Fixtures::bookmark(QStringLiteral("/songs/book.pdf"), 9, QStringLiteral("Red Sun"));

} // namespace

class PlaylistStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("items"); // -1: the file reads as empty

        const QByteArray minimal =
            R"({"pdfFileName":"b.pdf","pdfFilePath":"/b.pdf","pageNumber":7,"title":"T"})";
        const auto file = [](const QByteArray &items) {
            return "[{\"name\":\"Gig\",\"items\":[" + items + "]}]";
        };
        QTest::newRow("four required keys") << file(minimal) << 1;
        QTest::newRow("null optionals")
            << file(QByteArray(minimal).chopped(1) + R"(,"pageSpan":null,"genre":null,"rating":null})") << 1;
        QTest::newRow("empty array") << QByteArray("[]") << 0;
        QTest::newRow("one item lacks pageNumber")
            << file(minimal + "," + QByteArray(minimal).replace(R"("pageNumber":7,)", "")) << -1;
        QTest::newRow("rating as text") << file(QByteArray(minimal).chopped(1) + R"(,"rating":"4"})") << -1;
        QTest::newRow("level as text") << file(QByteArray(minimal).chopped(1) + R"(,"level":"1"})") << -1;
        QTest::newRow("playlist without items") << QByteArray(R"([{"name":"Gig"}])") << -1;
        QTest::newRow("object at top") << QByteArray(R"({"name":"Gig","items":[]})") << -1;
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, items);
        TestHarness::writeFile(PlaylistStore::playlistsPath(), json);
        const QList<Playlist> loaded = PlaylistStore::loadPlaylists();
        if (items < 0) {
            QVERIFY(loaded.isEmpty());
            return;
        }
        QCOMPARE(loaded.value(0).items.size(), items);
        for (const PlaylistItem &item : loaded.value(0).items) {
            QCOMPARE(item.level, qint64(0));
            QCOMPARE(item.pageSpan, qint64(1));
            QCOMPARE(item.totalPages, qint64(0));
            QVERIFY(item.genre.isEmpty() && item.youtubeURL.isEmpty());
            QVERIFY(!item.firstReleaseYear && !item.rating);
        }
    }

    void missingFileReadsEmpty() { QVERIFY(PlaylistStore::loadPlaylists().isEmpty()); }

    void roundTripAndWrittenForm()
    {
        BookmarkList entries = Fixtures::realisticLibrary(50, 11);
        entries.append(songA);
        const QList<Playlist> stored{playlist(QStringLiteral("Gig"), entries),
                                     playlist(QStringLiteral("Empty"))};
        QVERIFY(PlaylistStore::savePlaylists(stored));
        QCOMPARE(PlaylistStore::loadPlaylists(), stored);
        const QJsonObject last =
            QJsonDocument::fromJson(TestHarness::readFile(PlaylistStore::playlistsPath()))
                .array()
                .at(0)
                .toObject()
                .value(QStringLiteral("items"))
                .toArray()
                .last()
                .toObject();
        QVERIFY(!last.contains(QStringLiteral("rating")));
        QVERIFY(!last.contains(QStringLiteral("firstReleaseYear")));
        QCOMPARE(last.keys().size(), 13);
    }

    void undecodableFileIsSetAside()
    {
        TestHarness::writeFile(PlaylistStore::playlistsPath(), "[{\"name\":1}]");
        QSignalSpy spy(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QVERIFY(PlaylistStore::addToPlaylist(QStringLiteral("Gig"), songA));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(TestHarness::readFile(spy.at(0).at(1).toString()), QByteArray("[{\"name\":1}]"));
        QCOMPARE(names(PlaylistStore::loadPlaylists()), QStringList{"Gig"});
    }

    void merge_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("imported");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("new name appended") << QStringList{"A"} << QStringList{"B"} << QStringList{"A", "B"};
        QTest::newRow("case clash") << QStringList{"gig"} << QStringList{"Gig"}
                                    << QStringList{"gig", "Gig (imported)"};
        QTest::newRow("second clash") << QStringList{"gig", "Gig (imported)"} << QStringList{"Gig"}
                                      << QStringList{"gig", "Gig (imported)", "Gig (imported 2)"};
        QTest::newRow("third clash") << QStringList{"gig", "Gig (imported)", "Gig (imported 2)"}
                                     << QStringList{"Gig"}
                                     << QStringList{"gig", "Gig (imported)", "Gig (imported 2)",
                                                    "Gig (imported 3)"};
        // Free names are tested without regard to case too, so no two names differ only in case.
        QTest::newRow("free name ignores case") << QStringList{"Gig", "gig (imported)"} << QStringList{"GIG"}
                                                << QStringList{"Gig", "gig (imported)", "GIG (imported 2)"};
        QTest::newRow("two of one name in one call")
            << QStringList{} << QStringList{"Set", "Set"} << QStringList{"Set", "Set (imported)"};
        QTest::newRow("composed and decomposed match")
            << QStringList{QString::fromUtf8("Caf\xC3\xA9")} << QStringList{QString::fromUtf8("CAFE\xCC\x81")}
            << QStringList{QString::fromUtf8("Caf\xC3\xA9"), QString::fromUtf8("CAFE\xCC\x81 (imported)")};
        QTest::newRow("nothing imported") << QStringList{"A"} << QStringList{} << QStringList{"A"};
    }

    void merge()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, imported);
        QFETCH(QStringList, expected);
        QList<Playlist> initial;
        for (const QString &n : stored)
            initial << playlist(n);
        storePretty(initial);
        QList<Playlist> incoming;
        for (const QString &n : imported)
            incoming << playlist(n, {songA});
        QVERIFY(PlaylistStore::mergeImportedPlaylists(incoming, false));
        QVERIFY(wasRewritten());
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(names(result), expected);
        for (qsizetype i = stored.size(); i < result.size(); ++i)
            QCOMPARE(result[i].items.size(), 1);
        // No two stored names may differ only in case.
        QSet<QString> keys;
        for (const QString &n : names(result))
            keys.insert(playlistNameKey(n));
        QCOMPARE(keys.size(), result.size());
    }

    void mergeReplacesInPlace()
    {
        storePretty({playlist(QStringLiteral("first")), playlist(QStringLiteral("gig"), {songB}),
                     playlist(QStringLiteral("last"))});
        QVERIFY(PlaylistStore::mergeImportedPlaylists({playlist(QStringLiteral("Gig"), {songA})}, true));
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(names(result), QStringList({"first", "Gig", "last"}));
        QCOMPARE(result[1].items.size(), 1);
        QCOMPARE(result[1].items[0].id(), songA.id());
    }

    void addToPlaylist()
    {
        storePretty({playlist(QStringLiteral("Gig"))});
        QVERIFY(PlaylistStore::addToPlaylist(QStringLiteral("GIG"), songA));
        storePretty(PlaylistStore::loadPlaylists());
        BookmarkEntry again = songA;
        again.genre = QStringLiteral("changed metadata, same song");
        QVERIFY(PlaylistStore::addToPlaylist(QStringLiteral("gig"), again));
        QVERIFY(wasRewritten());
        QCOMPARE(PlaylistStore::loadPlaylists().value(0).items.size(), 1);
        QCOMPARE(PlaylistStore::loadPlaylists().value(0).items[0].genre, QString());

        QVERIFY(PlaylistStore::addToPlaylist(QStringLiteral("  New one "), songB));
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(names(result), QStringList({"Gig", "  New one "}));
        QCOMPARE(result[1].items.value(0), PlaylistItem::fromBookmark(songB));
    }

    void removeItems()
    {
        TestHarness::writeFile(PlaylistStore::playlistsPath(), "not json");
        QVERIFY(PlaylistStore::removeItems({}));
        QCOMPARE(TestHarness::readFile(PlaylistStore::playlistsPath()),
                 QByteArray("not json")); // untouched, not even set aside

        storePretty(
            {playlist(QStringLiteral("A"), {songA, songB, songA}), playlist(QStringLiteral("B"), {songB})});
        QVERIFY(PlaylistStore::removeItems({QStringLiteral("nothing")}));
        QVERIFY(!wasRewritten());
        QVERIFY(PlaylistStore::removeItems({songA.id()}));
        QVERIFY(wasRewritten());
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(result[0].items.size(), 1);
        QCOMPARE(result[0].items[0].id(), songB.id());
        QCOMPARE(result[1].items.size(), 1);
    }

    void replaceItems()
    {
        storePretty({playlist(QStringLiteral("A"), {songA, songB}), playlist(QStringLiteral("B"), {songA})});
        BookmarkEntry renamed = songA;
        renamed.title = QStringLiteral("Blue Moon (Ballad)");
        QVERIFY(PlaylistStore::replaceItems(QStringLiteral("/nope|1|x"), renamed));
        QVERIFY(!wasRewritten());
        QVERIFY(PlaylistStore::replaceItems(songA.id(), renamed));
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(result[0].items[0].title, renamed.title);
        QCOMPARE(result[0].items[1].title, songB.title);
        QCOMPARE(result[1].items[0].title, renamed.title);
    }

    void syncMetadata()
    {
        storePretty({playlist(QStringLiteral("A"), {songA, songB}), playlist(QStringLiteral("B"), {songA})});
        BookmarkEntry edited = songA;
        edited.genre = QStringLiteral("Jazz");
        edited.rating = 4.5;
        BookmarkEntry shadow = songA; // a later bookmark with the same key does not win
        shadow.genre = QStringLiteral("Pop");
        const BookmarkList library{edited, shadow};
        QVERIFY(PlaylistStore::syncMetadataFromBookmarks(library));
        QVERIFY(wasRewritten());
        const QList<Playlist> result = PlaylistStore::loadPlaylists();
        QCOMPARE(result[0].items[0], PlaylistItem::fromBookmark(edited));
        QCOMPARE(result[1].items[0], PlaylistItem::fromBookmark(edited));
        QCOMPARE(result[0].items[1], PlaylistItem::fromBookmark(songB)); // no bookmark: unchanged

        storePretty(result);
        QVERIFY(PlaylistStore::syncMetadataFromBookmarks(library));
        QVERIFY(!wasRewritten());
    }

    void removeItemAndReorder()
    {
        storePretty({playlist(QStringLiteral("Set"), {songA, songB})});
        QVERIFY(PlaylistStore::removeItem(QStringLiteral("other"), songA.id()));
        QVERIFY(!wasRewritten());
        QVERIFY(PlaylistStore::removeItem(QStringLiteral("SET"), QStringLiteral("no such key")));
        QVERIFY(wasRewritten());
        QVERIFY(PlaylistStore::removeItem(QStringLiteral("set"), songA.id()));
        QCOMPARE(PlaylistStore::loadPlaylists()[0].items.size(), 1);

        const QList<PlaylistItem> order{PlaylistItem::fromBookmark(songB), PlaylistItem::fromBookmark(songA)};
        QVERIFY(PlaylistStore::reorderItems(QStringLiteral("Set"), order));
        QCOMPARE(PlaylistStore::loadPlaylists()[0].items, order);
        QVERIFY(PlaylistStore::reorderItems(QStringLiteral("Set"), {}));
        QVERIFY(PlaylistStore::loadPlaylists()[0].items.isEmpty());
    }

    void createPlaylist_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("after");
        using R = PlaylistStore::CreateResult;
        QTest::newRow("blank") << "  \n " << int(R::BlankName) << QStringList{"set"};
        QTest::newRow("clash after trimming") << "  Set " << int(R::NameTaken) << QStringList{"set"};
        QTest::newRow("created trimmed") << "  Encore\t" << int(R::Created) << QStringList{"set", "Encore"};
    }

    void createPlaylist()
    {
        QFETCH(QString, name);
        QFETCH(int, result);
        QFETCH(QStringList, after);
        QVERIFY(PlaylistStore::savePlaylists({playlist(QStringLiteral("set"))}));
        QCOMPARE(int(PlaylistStore::createPlaylist(name)), result);
        QCOMPARE(names(PlaylistStore::loadPlaylists()), after);
    }

    void createPlaylistReportsFailedWrite()
    {
        QVERIFY(
            PlaylistStore::savePlaylists({playlist(QStringLiteral("big"), Fixtures::realisticLibrary(100))}));
        TestHarness::FileSizeLimit limit(4096);
        QCOMPARE(PlaylistStore::createPlaylist(QStringLiteral("New")),
                 PlaylistStore::CreateResult::WriteFailed);
    }
};

LYRAFOLD_TEST_MAIN(PlaylistStoreTest)
#include "tst_playliststore.moc"
