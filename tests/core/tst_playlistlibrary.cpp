#include "Fixtures.h"
#include "TestHarness.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalSpy>

#include <unistd.h>

using namespace std::chrono_literals;

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
    StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
    return !TestHarness::readFile(PlaylistStore::playlistsPath()).contains('\n');
}

QList<Playlist> stored()
{
    return PlaylistStore::loadPlaylists();
}

const BookmarkEntry songA =
    Fixtures::bookmark(QStringLiteral("/songs/book.pdf"), 7, QStringLiteral("Blue Moon"));
const BookmarkEntry songB =
    Fixtures::bookmark(QStringLiteral("/songs/book.pdf"), 9, QStringLiteral("Red Sun"));

// The first bookmark of library with the key, as the library answers the playlists' sync.
PlaylistLibrary::BookmarkLookup lookupIn(const BookmarkList &library)
{
    return [library](const PlaylistItem &, const QString &key) -> const BookmarkEntry * {
        for (const BookmarkEntry &row : library) {
            if (row.id() == key)
                return &row;
        }
        return nullptr;
    };
}

} // namespace

class PlaylistLibraryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        StateFile::waitForAllPendingWrites();
        TestHarness::clearUserFiles();
    }

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
        PlaylistLibrary library;
        QCOMPARE(spy.count(), 1);
        QCOMPARE(TestHarness::readFile(spy.at(0).at(1).toString()), QByteArray("[{\"name\":1}]"));
        QVERIFY(library.playlists().isEmpty());
        QCOMPARE(library.addToPlaylist(QStringLiteral("Gig"), songA), PlaylistLibrary::Outcome::added);
        QVERIFY(wasRewritten());
        QCOMPARE(names(stored()), QStringList{"Gig"});
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
        // The next free counter goes on where the last one of the same name ended, past taken ones.
        QTest::newRow("many of one name")
            << QStringList{"a", "A (imported 2)"} << QStringList{"a", "A", "a", "a (imported)"}
            << QStringList{"a",
                           "A (imported 2)",
                           "a (imported)",
                           "A (imported 3)",
                           "a (imported 4)",
                           "a (imported) (imported)"};
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
        PlaylistLibrary library;
        QList<Playlist> incoming;
        for (const QString &n : imported)
            incoming << playlist(n, {songA});
        QCOMPARE(library.adoptMerge(
                     PlaylistLibrary::merged(library.playlists(), library.revision(), incoming, false)),
                 expected.mid(stored.size()));
        QVERIFY(wasRewritten());
        const QList<Playlist> result = ::stored();
        QCOMPARE(result, library.playlists());
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
        PlaylistLibrary library;
        QCOMPARE(
            library.adoptMerge(PlaylistLibrary::merged(library.playlists(), library.revision(),
                                                       {playlist(QStringLiteral("Gig"), {songA})}, true)),
            QStringList{"Gig"});
        const QList<Playlist> result = library.playlists();
        QCOMPARE(names(result), QStringList({"first", "Gig", "last"}));
        QCOMPARE(result[1].items.size(), 1);
        QCOMPARE(result[1].items[0].id(), songA.id());
    }

    // A merge prepared on a worker loses no change made to the list meanwhile.
    void mergeMadeOnAnOlderList()
    {
        storePretty({playlist(QStringLiteral("Gig"))});
        PlaylistLibrary library;
        PlaylistMerge merge = PlaylistLibrary::merged(library.playlists(), library.revision(),
                                                      {playlist(QStringLiteral("Gig"), {songA})}, false);
        QCOMPARE(library.createPlaylist(QStringLiteral("Gig (imported)")), PlaylistLibrary::Outcome::created);
        QCOMPARE(library.adoptMerge(std::move(merge)), QStringList{"Gig (imported 2)"});
        QCOMPARE(names(library.playlists()), QStringList({"Gig", "Gig (imported)", "Gig (imported 2)"}));
    }

    void addToPlaylist()
    {
        storePretty({playlist(QStringLiteral("Gig"))});
        PlaylistLibrary library;
        QCOMPARE(library.addToPlaylist(QStringLiteral("GIG"), songA), PlaylistLibrary::Outcome::added);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        storePretty(stored());
        BookmarkEntry again = songA;
        again.genre = QStringLiteral("changed metadata, same song");
        QCOMPARE(library.addToPlaylist(QStringLiteral("gig"), again), PlaylistLibrary::Outcome::alreadyThere);
        // The file was rewritten meanwhile: read again first, then written.
        WAIT_VERIFY(wasRewritten());
        QCOMPARE(library.playlists().value(0).items.size(), 1);
        QCOMPARE(library.playlists().value(0).items[0].genre, QString());

        QCOMPARE(library.addToPlaylist(QStringLiteral("  New one "), songB), PlaylistLibrary::Outcome::added);
        QVERIFY(wasRewritten());
        const QList<Playlist> result = stored();
        QCOMPARE(names(result), QStringList({"Gig", "  New one "}));
        QCOMPARE(result[1].items.value(0), PlaylistItem::fromBookmark(songB));
    }

    void removeItems()
    {
        storePretty(
            {playlist(QStringLiteral("A"), {songA, songB, songA}), playlist(QStringLiteral("B"), {songB})});
        PlaylistLibrary library;
        QCOMPARE(library.removeItems({}), 0);
        QCOMPARE(library.removeItems({QStringLiteral("nothing")}), 0);
        QVERIFY(!wasRewritten());
        QCOMPARE(library.removeItems({songA.id()}), 2);
        QVERIFY(wasRewritten());
        const QList<Playlist> result = stored();
        QCOMPARE(result[0].items.size(), 1);
        QCOMPARE(result[0].items[0].id(), songB.id());
        QCOMPARE(result[1].items.size(), 1);
    }

    void replaceItems()
    {
        storePretty({playlist(QStringLiteral("A"), {songA, songB}), playlist(QStringLiteral("B"), {songA})});
        PlaylistLibrary library;
        BookmarkEntry renamed = songA;
        renamed.title = QStringLiteral("Blue Moon (Ballad)");
        QCOMPARE(library.replaceItems(QStringLiteral("/nope|1|x"), renamed), 0);
        QVERIFY(!wasRewritten());
        QCOMPARE(library.replaceItems(songA.id(), renamed), 2);
        QVERIFY(wasRewritten());
        const QList<Playlist> result = stored();
        QCOMPARE(result[0].items[0].title, renamed.title);
        QCOMPARE(result[0].items[1].title, songB.title);
        QCOMPARE(result[1].items[0].title, renamed.title);
    }

    // Items take the fields of the first bookmark with their key; only the keys asked for are looked
    // at, and an item without a bookmark stays.
    void syncItems()
    {
        storePretty({playlist(QStringLiteral("A"), {songA, songB}), playlist(QStringLiteral("B"), {songA})});
        PlaylistLibrary library;
        BookmarkEntry edited = songA;
        edited.genre = QStringLiteral("Jazz");
        edited.rating = 4.5;
        BookmarkEntry shadow = songA; // a later bookmark with the same key does not win
        shadow.genre = QStringLiteral("Pop");
        BookmarkEntry otherEdit = songB;
        otherEdit.genre = QStringLiteral("Folk");
        const BookmarkList rows{edited, shadow, otherEdit};
        QCOMPARE(library.syncItems({songA.id()}, lookupIn(rows)), 2);
        QVERIFY(wasRewritten());
        const QList<Playlist> result = stored();
        QCOMPARE(result[0].items[0], PlaylistItem::fromBookmark(edited));
        QCOMPARE(result[1].items[0], PlaylistItem::fromBookmark(edited));
        QCOMPARE(result[0].items[1], PlaylistItem::fromBookmark(songB)); // not asked for

        storePretty(result);
        QCOMPARE(library.syncItems({songA.id()}, lookupIn(rows)), 0);
        QCOMPARE(library.syncItems({songA.id()}, lookupIn({})), 0);
        // As many keys as items: the items are gone through, still only those asked for.
        QCOMPARE(library.syncItems({songA.id(), QStringLiteral("/a|1|x"), QStringLiteral("/b|2|y")},
                                   lookupIn(rows)),
                 0);
        QVERIFY(!wasRewritten());
        QCOMPARE(library.syncAllItems(lookupIn(rows)), 1);
        QCOMPARE(library.playlists()[0].items[1].genre, "Folk");
    }

    // A sync made on a worker loses no change made to the list meanwhile, and every item of the keys
    // it was asked for, one added meanwhile too, takes its bookmark's fields.
    void syncMadeOnAnOlderList_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("titles"); // of each playlist, "|" before each one
        QTest::newRow("nothing") << QString() << QStringList{"|", "Blue Moon", "Red Sun", "|", "Blue Moon"};
        QTest::newRow("title added") << "add" << QStringList{"|",         "Blue Moon", "Red Sun",  "|",
                                                             "Blue Moon", "|",         "Blue Moon"};
        QTest::newRow("title removed") << "remove" << QStringList{"|", "Blue Moon", "|", "Blue Moon"};
        QTest::newRow("playlist deleted") << "delete" << QStringList{"|", "Blue Moon", "Red Sun"};
    }

    void syncMadeOnAnOlderList()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, titles);
        storePretty({playlist(QStringLiteral("A"), {songA, songB}), playlist(QStringLiteral("B"), {songA})});
        PlaylistLibrary library;
        BookmarkEntry edited = songA;
        edited.genre = QStringLiteral("Jazz");
        const BookmarkList rows{edited, songB};
        PlaylistItemSync sync =
            PlaylistLibrary::synced(library.playlists(), library.revision(), {songA.id()}, lookupIn(rows));
        QCOMPARE(sync.changedItems, 2);
        if (meanwhile == "add")
            QCOMPARE(library.addToPlaylist(QStringLiteral("New"), songA), PlaylistLibrary::Outcome::added);
        else if (meanwhile == "remove")
            QCOMPARE(library.removeItemAt(0, QStringLiteral("A"), {songB.id(), 0}),
                     PlaylistLibrary::Outcome::done);
        else if (meanwhile == "delete")
            QCOMPARE(library.deletePlaylist(1, QStringLiteral("B")), PlaylistLibrary::Outcome::done);
        library.adoptSync(std::move(sync), lookupIn(rows));
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        QCOMPARE(stored(), library.playlists());
        QStringList after;
        for (const Playlist &p : library.playlists()) {
            after << "|";
            for (const PlaylistItem &item : p.items) {
                after << item.title;
                QCOMPARE(item, PlaylistItem::fromBookmark(item.id() == songA.id() ? edited : songB));
            }
        }
        QCOMPARE(after, titles);
    }

    void createPlaylist_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<PlaylistLibrary::Outcome>("outcome");
        QTest::addColumn<QStringList>("after");
        using O = PlaylistLibrary::Outcome;
        QTest::newRow("blank") << "  \n " << O::blankName << QStringList{"set"};
        QTest::newRow("clash after trimming") << "  Set " << O::nameTaken << QStringList{"set"};
        QTest::newRow("created trimmed") << "  Encore\t" << O::created << QStringList{"set", "Encore"};
    }

    void createPlaylist()
    {
        QFETCH(QString, name);
        QFETCH(PlaylistLibrary::Outcome, outcome);
        QFETCH(QStringList, after);
        QVERIFY(PlaylistStore::savePlaylists({playlist(QStringLiteral("set"))}));
        PlaylistLibrary library;
        QCOMPARE(library.createPlaylist(name), outcome);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        QCOMPARE(names(stored()), after);
    }

    // Every change is told once, with the kind and the playlists it concerns; an operation that
    // changed nothing tells nothing.
    void changeSignals_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<PlaylistLibrary::Outcome>("outcome");
        QTest::addColumn<int>("kind"); // -1: no signal
        QTest::addColumn<QList<qsizetype>>("playlists");
        using O = PlaylistLibrary::Outcome;
        using K = PlaylistChange::Kind;
        const auto row = [](const char *name, O outcome, int kind, QList<qsizetype> playlists) {
            QTest::newRow(name) << QString::fromLatin1(name) << outcome << kind << playlists;
        };
        row("create", O::created, int(K::added), {2});
        row("add to second", O::added, int(K::itemsChanged), {1});
        row("add creating", O::added, int(K::added), {2});
        row("add already there", O::alreadyThere, -1, {});
        row("delete first", O::done, int(K::removed), {0});
        row("delete out of range", O::notFound, -1, {});
        row("delete under another name", O::notFound, -1, {});
        row("remove item at", O::done, int(K::itemsChanged), {0});
        row("remove item gone", O::notFound, -1, {});
        row("move item", O::done, int(K::itemsChanged), {0});
        row("move item of another playlist", O::notFound, -1, {});
    }

    void changeSignals()
    {
        QFETCH(QString, operation);
        QFETCH(PlaylistLibrary::Outcome, outcome);
        QFETCH(int, kind);
        QFETCH(QList<qsizetype>, playlists);
        QVERIFY(PlaylistStore::savePlaylists(
            {playlist(QStringLiteral("Gig"), {songA, songB}), playlist(QStringLiteral("Set"))}));
        PlaylistLibrary library;
        QSignalSpy changes(&library, &PlaylistLibrary::playlistsChanged);
        const QHash<QString, std::function<PlaylistLibrary::Outcome()>> operations{
            {"create", [&] { return library.createPlaylist(QStringLiteral("Encore")); }},
            {"add to second", [&] { return library.addToPlaylist(QStringLiteral("set"), songA); }},
            {"add creating", [&] { return library.addToPlaylist(QStringLiteral("New"), songA); }},
            {"add already there", [&] { return library.addToPlaylist(QStringLiteral("Gig"), songB); }},
            {"delete first", [&] { return library.deletePlaylist(0, QStringLiteral("Gig")); }},
            {"delete out of range", [&] { return library.deletePlaylist(2, QStringLiteral("Set")); }},
            {"delete under another name", [&] { return library.deletePlaylist(0, QStringLiteral("gig")); }},
            {"remove item at",
             [&] {
                 return library.removeItemAt(0, QStringLiteral("Gig"), {songB.id(), 0});
             }},
            {"remove item gone",
             [&] {
                 return library.removeItemAt(0, QStringLiteral("Gig"), {songB.id(), 1});
             }},
            {"move item",
             [&] {
                 return library.moveItem(0, QStringLiteral("Gig"), {songB.id(), 0}, 0);
             }},
            {"move item of another playlist",
             [&] {
                 return library.moveItem(1, QStringLiteral("Gig"), {songB.id(), 0}, 0);
             }},
        };
        const QList<Playlist> before = library.playlists();
        QCOMPARE(operations.value(operation)(), outcome);
        QCOMPARE(changes.count(), kind < 0 ? 0 : 1);
        if (kind < 0) {
            QCOMPARE(library.playlists(), before);
            return;
        }
        const auto change = changes.at(0).at(0).value<PlaylistChange>();
        QCOMPARE(int(change.kind), kind);
        QCOMPARE(change.playlists, playlists);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        QCOMPARE(stored(), library.playlists());
        if (operation == "move item")
            QCOMPARE(library.playlists()[0].items[0].id(), songB.id());
    }

    // A window's remove or move reaches the item it showed even after another program changed the
    // file, and never drops a title added meanwhile; a playlist is changed only under its exact name,
    // so of two names that differ only in case (older files) the other one is never touched.
    void editsFollowTheListAsItIsNow_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("name");
        QTest::addColumn<PlaylistLibrary::Outcome>("outcome");
        QTest::addColumn<QStringList>("titles"); // of "Set" afterwards, then "set" after a "|"
        using O = PlaylistLibrary::Outcome;
        QTest::newRow("remove the second Blue Moon")
            << "remove"
            << "Set" << O::done << QStringList{"New", "Blue Moon", "Red Sun", "|", "Red Sun"};
        QTest::newRow("move the second Blue Moon first")
            << "move"
            << "Set" << O::done << QStringList{"Blue Moon", "New", "Blue Moon", "Red Sun", "|", "Red Sun"};
        QTest::newRow("delete the exact name") << "delete"
                                               << "Set" << O::done << QStringList{"|", "Red Sun"};
        QTest::newRow("remove under the other case")
            << "remove"
            << "set" << O::notFound
            << QStringList{"New", "Blue Moon", "Red Sun", "Blue Moon", "|", "Red Sun"};
        QTest::newRow("delete under the other case")
            << "delete"
            << "SET" << O::notFound
            << QStringList{"New", "Blue Moon", "Red Sun", "Blue Moon", "|", "Red Sun"};
    }

    void editsFollowTheListAsItIsNow()
    {
        QFETCH(QString, operation);
        QFETCH(QString, name);
        QFETCH(PlaylistLibrary::Outcome, outcome);
        QFETCH(QStringList, titles);
        QVERIFY(PlaylistStore::savePlaylists({playlist(QStringLiteral("Set"), {songA, songB, songA}),
                                              playlist(QStringLiteral("set"), {songB})}));
        PlaylistLibrary library;
        library.setOutsideChangeDelaysForTesting(20ms, 1s);
        // The window shows the third title: the second item with songA's key.
        const PlaylistItemRef shown = PlaylistItemRef::at(library.playlists().at(0).items, 2);
        QCOMPARE(shown, (PlaylistItemRef{songA.id(), 1}));

        QSignalSpy changes(&library, &PlaylistLibrary::playlistsChanged);
        QSaveFile other(PlaylistStore::playlistsPath());
        QVERIFY(other.open(QIODevice::WriteOnly));
        const BookmarkEntry added =
            Fixtures::bookmark(QStringLiteral("/songs/new.pdf"), 1, QStringLiteral("New"));
        other.write(
            *PlaylistCodec::encodePlaylists({playlist(QStringLiteral("Set"), {added, songA, songB, songA}),
                                             playlist(QStringLiteral("set"), {songB})}));
        QVERIFY(other.commit());
        WAIT_COMPARE(changes.count(), 1);

        PlaylistLibrary::Outcome result = PlaylistLibrary::Outcome::notFound;
        if (operation == "remove")
            result = library.removeItemAt(0, name, shown);
        else if (operation == "move")
            result = library.moveItem(0, name, shown, 0);
        else
            result = library.deletePlaylist(0, name);
        QCOMPARE(result, outcome);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        QStringList after;
        for (const Playlist &p : stored()) {
            if (!after.isEmpty() || p.name == "set")
                after << "|";
            for (const PlaylistItem &i : p.items)
                after << i.title;
        }
        QCOMPARE(after, titles);
    }

    // Of names that differ only in case, the one spelled exactly so is found first.
    void exactNameFirst()
    {
        QVERIFY(PlaylistStore::savePlaylists(
            {playlist(QStringLiteral("rock")), playlist(QStringLiteral("Rock"))}));
        PlaylistLibrary library;
        QCOMPARE(library.indexOf(QStringLiteral("Rock")), 1);
        QCOMPARE(library.indexOf(QStringLiteral("ROCK")), 0);
        QCOMPARE(library.addToPlaylist(QStringLiteral("Rock"), songA), PlaylistLibrary::Outcome::added);
        QCOMPARE(library.playlists().at(1).items.size(), 1);
        QVERIFY(library.playlists().at(0).items.isEmpty());
    }

    // A run of quick changes returns at once each time and leaves the last state in the file.
    void quickChangesEndInTheFile()
    {
        QList<Playlist> many;
        for (int i = 0; i < 200; ++i)
            many.append(
                playlist(QStringLiteral("P%1").arg(i), Fixtures::realisticLibrary(40, quint32(i + 1))));
        QVERIFY(PlaylistStore::savePlaylists(many));
        PlaylistLibrary library;
        const BookmarkList titles = Fixtures::realisticLibrary(50, 99);
        for (const BookmarkEntry &title : titles)
            QCOMPARE(library.addToPlaylist(QStringLiteral("p100"), title), PlaylistLibrary::Outcome::added);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        QCOMPARE(stored(), library.playlists());
        QCOMPARE(stored().at(100).items.size(), 90);
    }

    // A write that fails later leaves the change in memory and the old file in place, and says so.
    void failedWriteIsReported()
    {
        QVERIFY(
            PlaylistStore::savePlaylists({playlist(QStringLiteral("big"), Fixtures::realisticLibrary(100))}));
        PlaylistLibrary library;
        QSignalSpy failed(&library, &PlaylistLibrary::saveFailed);
        {
            TestHarness::FileSizeLimit limit(4096);
            QCOMPARE(library.createPlaylist(QStringLiteral("New")), PlaylistLibrary::Outcome::created);
            StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        }
        WAIT_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), PlaylistStore::playlistsPath());
        QVERIFY(!failed.at(0).at(1).toString().isEmpty());
        QCOMPARE(names(library.playlists()), (QStringList{"big", "New"}));
        QCOMPARE(names(stored()), QStringList{"big"});
    }

    // A save that cannot be written says why in words the user can act on, is told on the bus once
    // until a save of the file succeeds again, and is not tried again at once because its own
    // temporary file changed the folder: the next change tries at once, a retry only after a while.
    void failedSaveIsToldOnce_data()
    {
        QTest::addColumn<bool>("fullDisk"); // a small file system filled up; else a file size limit
        QTest::newRow("a file size limit") << false;
        QTest::newRow("a full disk") << true;
    }

    void failedSaveIsToldOnce()
    {
        QFETCH(bool, fullDisk);
        const QString folder = TestHarness::home() + QStringLiteral("/small");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/playlists.json");
        QVERIFY(PlaylistStore::savePlaylists(
            {playlist(QStringLiteral("big"), Fixtures::realisticLibrary(100))}, path));
        std::optional<TestHarness::FileSizeLimit> limit;
        QString filler;
        const auto unmount = qScopeGuard([&] {
            if (!filler.isEmpty())
                QProcess::execute(QStringLiteral("umount"), {folder});
        });
        if (fullDisk) {
            const QStringList mount{QStringLiteral("-t"),    QStringLiteral("tmpfs"),
                                    QStringLiteral("-o"),    QStringLiteral("size=256k"),
                                    QStringLiteral("tmpfs"), folder};
            if (::getuid() != 0 || QProcess::execute(QStringLiteral("mount"), mount) != 0)
                QSKIP("no small file system can be mounted here");
            filler = folder + QStringLiteral("/filler");
            QVERIFY(PlaylistStore::savePlaylists(
                {playlist(QStringLiteral("big"), Fixtures::realisticLibrary(100))}, path));
            QFile fill(filler);
            QVERIFY(fill.open(QIODevice::WriteOnly));
            while (fill.write(QByteArray(4096, 'x')) == 4096 && fill.flush()) {
            }
        }
        {
            PlaylistLibrary library(path);
            library.setOutsideChangeDelaysForTesting(20ms, 200ms);
            QSignalSpy failed(&library, &PlaylistLibrary::saveFailed);
            QSignalSpy told(&NotificationBus::instance(), &NotificationBus::stateFileSaveFailed);
            QSignalSpy lookedAt(&library, &PlaylistLibrary::fileLookedAtForTesting);
            if (!fullDisk)
                limit.emplace(4096);
            QCOMPARE(library.createPlaylist(QStringLiteral("One")), PlaylistLibrary::Outcome::created);
            WAIT_COMPARE(failed.count(), 1);
            // The temporary file of the failed save changed the folder: the guard looks at the file
            // again, and that look starts no save.
            WAIT_VERIFY(!lookedAt.isEmpty());
            StateFile::waitForPendingWrites(path);
            TestHarness::settleWorkers();
            QCOMPARE(failed.count(), 1);
            QCOMPARE(failed.at(0).at(1).toString(),
                     fullDisk ? QStringLiteral("the disk is full")
                              : QStringLiteral("the file is larger than the system allows"));
            QCOMPARE(library.createPlaylist(QStringLiteral("Two")), PlaylistLibrary::Outcome::created);
            WAIT_COMPARE(failed.count(), 2);
            WAIT_COMPARE(told.count(), 1);
            QCOMPARE(told.at(0).at(0).toString(), path);

            limit.reset();
            if (fullDisk)
                QVERIFY(QFile::remove(filler));
            QCOMPARE(library.createPlaylist(QStringLiteral("Three")), PlaylistLibrary::Outcome::created);
            WAIT_COMPARE(names(PlaylistStore::loadPlaylists(path)),
                         (QStringList{"big", "One", "Two", "Three"}));
            limit.emplace(4096);
            QCOMPARE(library.createPlaylist(QStringLiteral("Four")), PlaylistLibrary::Outcome::created);
            WAIT_COMPARE(told.count(), 2);
            limit.reset();
            StateFile::waitForPendingWrites(path);
        }
    }

    // Another program's change of the file is read in; this object's own writes are not.
    void outsideChangesAreReadIn()
    {
        QVERIFY(PlaylistStore::savePlaylists({playlist(QStringLiteral("Gig"))}));
        PlaylistLibrary library;
        library.setOutsideChangeDelaysForTesting(20ms, 1s);
        QSignalSpy changes(&library, &PlaylistLibrary::playlistsChanged);
        QSignalSpy lookedAt(&library, &PlaylistLibrary::fileLookedAtForTesting);
        library.addToPlaylist(QStringLiteral("Gig"), songA);
        QVERIFY(lookedAt.wait(TestHarness::hangGuardMs));
        QCOMPARE(changes.count(), 1);

        QSaveFile other(PlaylistStore::playlistsPath());
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(*PlaylistCodec::encodePlaylists({playlist(QStringLiteral("From elsewhere"), {songB})}));
        QVERIFY(other.commit());
        WAIT_COMPARE(changes.count(), 2);
        QCOMPARE(changes.at(1).at(0).value<PlaylistChange>().kind, PlaylistChange::Kind::reloaded);
        QCOMPARE(names(library.playlists()), QStringList{"From elsewhere"});
    }

    // A program that compares and renames without Lyrafold's lock puts its version, made from the one
    // before ours, in place just as ours lands, and later builds on the file again: the playlist ours
    // added comes back, reaches the file, and is in neither side's next version lost.
    void ownWriteOverwrittenByAnOlderVersion()
    {
        QVERIFY(PlaylistStore::savePlaylists({playlist(QStringLiteral("Gig"))}));
        PlaylistLibrary library;
        library.setOutsideChangeDelaysForTesting(20ms, 1s);
        QSignalSpy lookedAt(&library, &PlaylistLibrary::fileLookedAtForTesting);
        const auto otherWrites = [&](QList<Playlist> list, const QString &name) {
            list.append(playlist(name));
            const qsizetype looks = lookedAt.count();
            QSaveFile other(PlaylistStore::playlistsPath());
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write(*PlaylistCodec::encodePlaylists(list));
            QVERIFY(other.commit());
            WAIT_VERIFY(names(library.playlists()).contains(name) && lookedAt.count() > looks);
            StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        };
        const auto sorted = [](QStringList list) {
            list.sort();
            return list;
        };
        QCOMPARE(library.createPlaylist(QStringLiteral("Ours")), PlaylistLibrary::Outcome::created);
        QVERIFY(lookedAt.wait(TestHarness::hangGuardMs));
        otherWrites({playlist(QStringLiteral("Gig"))}, QStringLiteral("Other 1"));
        QCOMPARE(sorted(names(library.playlists())), (QStringList{"Gig", "Other 1", "Ours"}));
        otherWrites(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath()), QStringLiteral("Other 2"));
        const QStringList all{"Gig", "Other 1", "Other 2", "Ours"};
        QCOMPARE(sorted(names(library.playlists())), all);
        QCOMPARE(sorted(names(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath()))), all);
    }
};

LYRAFOLD_TEST_MAIN(PlaylistLibraryTest)
#include "tst_playlistlibrary.moc"
