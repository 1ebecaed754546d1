#include "Fixtures.h"
#include "OpenWindows.h"
#include "TestHarnessGui.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/common/AppPaths.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppDelegate.h"

#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QSignalSpy>

// The application started on a profile that holds one damaged state file: it starts, sets that file
// aside, tells the user so, and every other file of the profile stays as it was.
namespace {

enum class File { meta, activeSlot, cache, playlists };

QString pathOf(File file)
{
    switch (file) {
    case File::meta:
        return SlotStore::metaFilePath();
    case File::activeSlot:
        return SlotStore::slotFilePath(2);
    case File::cache:
        return AppPaths::bookmarkCachePath();
    case File::playlists:
        return PlaylistStore::playlistsPath();
    }
    return {};
}

QByteArray bookmarkList(const BookmarkList &bookmarks)
{
    return BookmarkCacheCodec::encode({QStringLiteral("/home/musician/Sheet Music"),
                                       QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC), bookmarks})
        .value();
}

// Slot 2 (named "Gigs") is the active one; slot 1 and the cache hold other songs, and one playlist
// holds a song of slot 2. The cache is only read while the active slot is empty, so the profile leaves
// slot 2 out when the cache is the damaged file.
QMap<QString, QByteArray> profile(File damaged)
{
    const BookmarkList library = Fixtures::realisticLibrary(30);
    QList<Playlist> playlists{{QStringLiteral("Friday"), {PlaylistItem::fromBookmark(library[3])}}};
    QMap<QString, QByteArray> files{
        {pathOf(File::meta), R"({"activeSlot":2,"slotNames":{"2":"Gigs"},"slotCounts":{"1":10,"2":10}})"},
        {SlotStore::slotFilePath(1), bookmarkList(library.mid(0, 10))},
        {pathOf(File::activeSlot), bookmarkList(library.mid(10, 10))},
        {pathOf(File::cache), bookmarkList(library.mid(20, 10))},
        {pathOf(File::playlists), PlaylistCodec::encodePlaylists(playlists).value()},
    };
    if (damaged == File::cache)
        files.remove(pathOf(File::activeSlot));
    return files;
}

QStringList labelTexts(const QWidget *window)
{
    QStringList texts;
    for (const QLabel *label : window->findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class DamagedProfileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void startsAndSetsTheDamagedFileAside_data()
    {
        QTest::addColumn<int>("file");
        QTest::addColumn<QByteArray>("bytes");

        const auto row = [](const char *name, File file, const QByteArray &bytes) {
            QTest::newRow(name) << int(file) << bytes;
        };
        row("meta: truncated", File::meta, "{\"activeSlot\":2,\"slotNam");
        row("meta: active slot as text", File::meta, R"({"activeSlot":"2","slotNames":{}})");
        row("meta: active slot nil", File::meta, R"({"activeSlot":nil,"slotNames":{}})");
        row("slot: truncated", File::activeSlot, "{\"savedAt\":1,\"bookmarks\":[{\"pdfFileName\":\"a.pdf\"");
        row("slot: bookmarks an object", File::activeSlot, R"({"savedAt":1,"bookmarks":{}})");
        row("slot: book nul", File::activeSlot, R"({"savedAt":1,"bookmarks":[{"pdfFileName":nul}]})");
        row("cache: truncated", File::cache, "{\"savedAt\":");
        row("cache: saved at as text", File::cache, R"({"savedAt":"today","bookmarks":[]})");
        row("cache: saved at n", File::cache, R"({"savedAt":n})");
        row("playlists: truncated", File::playlists, "[{\"name\":\"Friday\",\"ite");
        row("playlists: name a number", File::playlists, R"([{"name":1,"items":[]}])");
        row("playlists: name n", File::playlists, R"([{"name":n}])");
    }

    void startsAndSetsTheDamagedFileAside()
    {
        QFETCH(int, file);
        QFETCH(QByteArray, bytes);
        const QString damagedPath = pathOf(File(file));
        QMap<QString, QByteArray> files = profile(File(file));
        files.insert(damagedPath, bytes);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            TestHarness::writeFile(it.key(), it.value());

        {
            AppDelegate delegate;
            delegate.setSettleDelayForTesting(std::chrono::milliseconds(0));
            QSignalSpy settled(&delegate, &AppDelegate::mainWindowSettled);
            delegate.launch({});
            QVERIFY(settled.wait(TestHarness::hangGuardMs));
            QMainWindow *window = topLevelWindows<QMainWindow>().value(0);
            QVERIFY(window && window->isVisible());

            const QString name = QFileInfo(damagedPath).fileName();
            const QStringList aside = QDir(QFileInfo(damagedPath).path())
                                          .entryList({name + QStringLiteral(".unreadable-*")}, QDir::Files);
            QCOMPARE(aside.size(), 1);
            QCOMPARE(TestHarness::readFile(QFileInfo(damagedPath).path() + QLatin1Char('/') + aside.first()),
                     bytes);
            const QString told =
                QStringLiteral("%1 could not be read and was set aside as %2.").arg(name, aside.first());
            WAIT_VERIFY2(labelTexts(window).contains(told), qPrintable(labelTexts(window).join(u'\n')));
        }
        LibrarySession::waitForPendingSaves();

        // The cache is a copy of the slot in use, written again with the time of the writing.
        files.remove(damagedPath);
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QByteArray now = TestHarness::readFile(it.key());
            if (it.key() == pathOf(File::cache))
                QCOMPARE(BookmarkCacheCodec::decode(now)->bookmarks,
                         BookmarkCacheCodec::decode(it.value())->bookmarks);
            else
                QVERIFY2(now == it.value(), qPrintable(it.key()));
        }
    }
};

LYRAFOLD_TEST_GUI_MAIN(DamagedProfileTest)
#include "tst_damagedprofile.moc"
