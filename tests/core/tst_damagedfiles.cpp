#include "TestHarness.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/books/DefaultBookmarks.h"
#include "core/common/AppPaths.h"
#include "core/common/NotificationBus.h"
#include "core/imports/BookmarkImport.h"
#include "core/metadata/MetadataImport.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QSignalSpy>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

// Files damaged on disk or made by hand: whatever they hold, reading them ends in the reader's own
// refusal, never in an abort; a state file is then set aside so that the next save cannot overwrite it.
namespace {

enum class File {
    // state files
    slot,
    slotMeta,
    bookmarkCache,
    playlists,
    // read but never set aside
    annotations,
    bookmarkImport,
    metadataImport,
    builtInList,
    playlistFile,
};

std::optional<QString> statePath(File file)
{
    switch (file) {
    case File::slot:
        return SlotStore::slotFilePath(1);
    case File::slotMeta:
        return SlotStore::metaFilePath();
    case File::bookmarkCache:
        return AppPaths::bookmarkCachePath();
    case File::playlists:
        return PlaylistStore::playlistsPath();
    default:
        return std::nullopt;
    }
}

// Whether the store gave nothing back for the file.
bool storeRefuses(File file)
{
    switch (file) {
    case File::slot:
        return !SlotStore::loadSlotFile(1);
    case File::slotMeta:
        return !SlotStore::loadMeta();
    case File::bookmarkCache:
        return !CacheService::load();
    case File::playlists:
        return PlaylistStore::loadPlaylists().isEmpty();
    default:
        return false;
    }
}

// The reader's refusal, or nothing when it took the bytes.
std::optional<QString> readerRefusal(File file, const QByteArray &bytes)
{
    const QString path = TestHarness::home() + QStringLiteral("/import.json");
    TestHarness::writeFile(path, bytes);
    BookmarkList bookmarks;
    const auto refusal = [](const auto &result) -> std::optional<QString> {
        if (result)
            return std::nullopt;
        return result.error().message;
    };
    switch (file) {
    case File::annotations:
        return refusal(PdfEditCacheCodec::decode(bytes));
    case File::bookmarkImport:
        return refusal(BookmarkImport::readFile(path));
    case File::metadataImport:
        return refusal(MetadataImport::importFile(path, bookmarks));
    case File::builtInList:
        return refusal(DefaultBookmarks::decode(bytes));
    case File::playlistFile:
        return refusal(LyfPlaylistCodec::decodeBundle(bytes));
    default:
        return std::nullopt;
    }
}

} // namespace

class DamagedFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<int>("file");
        QTest::addColumn<QByteArray>("bytes");

        const auto row = [](const char *name, File file, const QByteArray &bytes) {
            QTest::newRow(name) << int(file) << bytes;
        };
        // Values that begin like null but are not.
        row("cache: savedAt n", File::bookmarkCache, R"({"savedAt":n})");
        row("slot: pdfFileName nul", File::slot, R"({"savedAt":1,"bookmarks":[{"pdfFileName":nul}]})");
        row("meta: activeSlot nil", File::slotMeta, R"({"activeSlot":nil,"slotNames":{}})");
        row("meta: slot name none", File::slotMeta, R"({"activeSlot":1,"slotNames":{"1":none}})");
        row("playlists: name n", File::playlists, R"([{"name":n}])");
        row("annotations: x nan", File::annotations,
            R"({"strokesByPage":{"0":[{"points":[{"x":nan,"y":1}]}]},"textsByPage":{}})");
        row("bookmark import: pdfFileName nul", File::bookmarkImport,
            R"({"savedAt":1,"bookmarks":[{"pdfFileName":nul}]})");
        row("metadata import: title n", File::metadataImport, R"([{"title":n}])");
        row("built-in list: PdfFileName n", File::builtInList, R"([{"PdfFileName":n}])");
        row("playlist file: marker n", File::playlistFile, R"({"lyrafoldFile":n})");
        // Cut short, and wrong types.
        // (Plain literals: the meta-object compiler loses its way in raw strings with open brackets.)
        row("slot: truncated", File::slot, "{\"savedAt\":1,\"bookmarks\":[{\"pdfFileName\":\"a.pdf\"");
        row("meta: truncated", File::slotMeta, "{\"activeSlot\":1,\"slotNa");
        row("meta: slot names an array", File::slotMeta, R"({"activeSlot":1,"slotNames":["x"]})");
        row("cache: bookmarks an object", File::bookmarkCache, R"({"savedAt":1,"bookmarks":{}})");
        row("playlists: items a string", File::playlists, R"([{"name":"Gig","items":"x"}])");
    }

    void damagedFilesAreRefused()
    {
        QFETCH(int, file);
        QFETCH(QByteArray, bytes);
        const File kind = File(file);
        const std::optional<QString> path = statePath(kind);
        if (!path) {
            const std::optional<QString> refusal = readerRefusal(kind, bytes);
            QVERIFY(refusal);
            if (kind == File::bookmarkImport)
                QCOMPARE(*refusal, BookmarkImport::invalidFileText());
            return;
        }
        TestHarness::writeFile(*path, bytes);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QVERIFY(storeRefuses(kind));
        QCOMPARE(setAside.count(), 1);
        QCOMPARE(setAside.at(0).at(0).toString(), *path);
        QVERIFY(!QFile::exists(*path));
        QCOMPARE(TestHarness::readFile(setAside.at(0).at(1).toString()), bytes);
    }

    // A named pipe where a state file belongs (or a link to one) is refused without waiting for a
    // writer that never comes. The playlists, read as the application starts, set it aside at once
    // (and say so), and are written in its place (through the link, which stays).
    void namedPipesAreNotWaitedFor_data()
    {
        QTest::addColumn<int>("file");
        QTest::addColumn<bool>("link");
        QTest::newRow("slot") << int(File::slot) << false;
        QTest::newRow("slot metadata") << int(File::slotMeta) << false;
        QTest::newRow("bookmark cache") << int(File::bookmarkCache) << false;
        QTest::newRow("playlists") << int(File::playlists) << false;
        QTest::newRow("playlists, a link to a pipe") << int(File::playlists) << true;
    }

    void namedPipesAreNotWaitedFor()
    {
        QFETCH(int, file);
        QFETCH(bool, link);
        const QString path = *statePath(File(file));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const QString pipe = link ? TestHarness::home() + QStringLiteral("/pipe") : path;
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (link)
            QVERIFY(QFile::link(pipe, path));
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        std::future<bool> refused = std::async(std::launch::async, [file] {
            if (File(file) != File::playlists)
                return storeRefuses(File(file));
            // The library reads the file as the application starts.
            return PlaylistLibrary().playlists().isEmpty();
        });
        if (refused.wait_for(TestHarness::hangGuard) != std::future_status::ready) {
            // A reader that waits is let go: a writer opens the pipe and closes it again.
            ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
            QFAIL("the read waited for a writer of the pipe");
        }
        QVERIFY(refused.get());
        QCOMPARE(setAside.count(), File(file) == File::playlists ? 1 : 0);
        if (File(file) != File::playlists)
            return;
        QVERIFY(!QFileInfo(path).exists() && QFileInfo(path).isSymLink() == link);
        QCOMPARE(QFileInfo(setAside.at(0).at(1).toString()).absolutePath(), QFileInfo(pipe).absolutePath());
        PlaylistLibrary library;
        QCOMPARE(library.createPlaylist(QStringLiteral("Gig")), PlaylistLibrary::Outcome::created);
        WAIT_COMPARE(PlaylistStore::loadPlaylists().size(), 1);
        QCOMPARE(QFileInfo(path).isSymLink(), link);
    }

    // Only the temporary files of our interrupted saves go, in each folder of state files, at every start;
    // the user's own files beside them stay. Of a state file that is a link, those of the file it leads to
    // go, beside it, and nothing else there.
    void interruptedSavesAreRemoved()
    {
        const QString sync = TestHarness::home() + QStringLiteral("/Sync");
        QDir(sync).removeRecursively();
        const QStringList syncLeftovers{".playlists.json.lyrafold-Qw12Er"};
        const QStringList syncKept{"playlists.json", ".other.json.lyrafold-Qw12Er",
                                   ".slot_1.json.lyrafold-Ab12Cd"};
        for (const QString &name : syncLeftovers + syncKept)
            TestHarness::writeFile(sync + QLatin1Char('/') + name, "x");
        QVERIFY(QDir().mkpath(AppPaths::applicationSupportDir()));
        QVERIFY(QFile::link(sync + QStringLiteral("/playlists.json"), PlaylistStore::playlistsPath()));
        const QStringList leftovers{".slot_1.json.lyrafold-Ab12Cd", ".slots_meta.json.lyrafold-xYzzy9"};
        const QStringList kept{"slot_1.json",
                               "slot_1.json.unreadable-20240101-120000",
                               "playlists.json.backup",
                               "slot_1.json.before",
                               "notes.json.2024v1",
                               "slot_1.json.Ab12Cd",
                               ".slot_1.json.Ab12Cd",
                               "slot_1.json.lyrafold-Ab12Cd",
                               ".slot_1.json.lyrafold-Ab12C"};
        for (const QString &folder : AppPaths::stateFolders())
            for (const QString &name : leftovers + kept)
                TestHarness::writeFile(folder + QLatin1Char('/') + name, "x");

        for (const QString &folder : AppPaths::stateFolders()) {
            const qsizetype linked = folder == AppPaths::applicationSupportDir() ? syncLeftovers.size() : 0;
            for (int start = 0; start < 2; ++start)
                QCOMPARE(StateFile::removeInterruptedSaves(folder),
                         start == 0 ? leftovers.size() + linked : 0);
            QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            QStringList expected = kept;
            if (linked > 0)
                expected.append(QStringLiteral("playlists.json"));
            left.sort();
            expected.sort();
            QCOMPARE(left, expected);
        }
        QStringList left = QDir(sync).entryList(QDir::Files | QDir::Hidden);
        QStringList expected = syncKept;
        left.sort();
        expected.sort();
        QCOMPARE(left, expected);
    }
};

LYRAFOLD_TEST_MAIN(DamagedFilesTest)
#include "tst_damagedfiles.moc"
