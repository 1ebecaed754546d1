#include "TestHarness.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/storage/StateFile.h"

#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <tuple>

using namespace std::chrono_literals;

// Another writer of the playlists file, in a process of its own, while the library edits: what either
// adds must survive. The child adds "outside-<k>" on each line "<k> atomic" or "<k> inplace" it reads:
// atomically (holding Lyrafold's lock, as a second instance does), or rewriting the file in place with a
// pause in the middle, as a careless program might; the pause lasts until the next line.
//
// LYRAFOLD_WRITERS_ROUNDS sets the rounds (a few by default; `make writerstest` runs 1,000).

namespace {

constexpr const char *writerArgument = "--outside-writer";

QString lockPath(const QString &path)
{
    return QFileInfo(path).absolutePath() + QStringLiteral("/.") + QFileInfo(path).fileName() +
           QStringLiteral(".lock");
}

QByteArray withOutside(const QString &path, const QString &name)
{
    QList<Playlist> list;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        if (auto decoded = PlaylistCodec::decodePlaylists(file.readAll()))
            list = decoded.value();
    }
    list.append(Playlist{name, {}});
    return PlaylistCodec::encodePlaylists(list).value_or(QByteArray());
}

int outsideWriter(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList parts = line.split(QLatin1Char(' '));
        const QString name = QStringLiteral("outside-") + parts.value(0);
        if (parts.value(1) == QLatin1String("atomic")) {
            QLockFile lock(lockPath(path));
            if (!lock.tryLock(30000))
                return 2;
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(withOutside(path, name)) < 0 || !file.commit())
                return 3;
        } else {
            const QByteArray bytes = withOutside(path, name);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return 4;
            file.write(bytes.left(bytes.size() / 2));
            file.flush();
            std::printf("half\n");
            std::fflush(stdout);
            in.readLine();
            file.write(bytes.mid(bytes.size() / 2));
            file.close();
        }
        std::printf("done\n");
        std::fflush(stdout);
    }
    return 0;
}

QStringList namesOn(const QList<Playlist> &list)
{
    QStringList names;
    for (const Playlist &p : list)
        names << p.name;
    return names;
}

} // namespace

class PlaylistWritersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nothingLostToAnotherWriter()
    {
        const int rounds = qEnvironmentVariableIsSet("LYRAFOLD_WRITERS_ROUNDS")
                               ? qEnvironmentVariableIntValue("LYRAFOLD_WRITERS_ROUNDS")
                               : 6;
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("first"), {}}}));
        PlaylistLibrary library;
        // The file stands half-written only while the library writes: half a second outlasts that.
        library.setOutsideChangeDelays(20ms, 500ms);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(writerArgument), library.path()});
        QVERIFY(child.waitForStarted());

        QStringList expected{QStringLiteral("first")};
        int lost = 0;
        int inPlace = 0;
        for (int k = 1; k <= rounds; ++k) {
            const bool atomic = k % 4 != 0;
            inPlace += !atomic;
            child.write(QByteArray::number(k) + (atomic ? " atomic\n" : " inplace\n"));
            if (!atomic) {
                // The library edits while the file stands half-written.
                QVERIFY(child.waitForReadyRead(10000));
                QCOMPARE(child.readLine(), QByteArray("half\n"));
            }
            QCOMPARE(library.createPlaylist(QStringLiteral("inside-%1").arg(k)),
                     PlaylistLibrary::Outcome::created);
            if (!atomic) {
                // Once the library's write met the half-written file, the child finishes it.
                StateFile::waitForPendingWrites(library.path());
                child.write("finish\n");
            }
            expected << QStringLiteral("inside-%1").arg(k) << QStringLiteral("outside-%1").arg(k);
            while (!child.canReadLine())
                QVERIFY(child.waitForReadyRead(10000));
            QCOMPARE(child.readLine(), QByteArray("done\n"));
            // Settled once the file and the library hold the same names, the ones of this round among
            // them (or after a while: whatever is missing then is lost).
            const auto settled = [&] {
                const QStringList onDisk = namesOn(PlaylistStore::loadPlaylists(library.path()));
                return onDisk == namesOn(library.playlists()) &&
                       onDisk.contains(QStringLiteral("inside-%1").arg(k)) &&
                       onDisk.contains(QStringLiteral("outside-%1").arg(k));
            };
            std::ignore = TestHarness::waitFor(settled, 5s);
        }
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitCode(), 0);
        StateFile::waitForPendingWrites(library.path());
        const QStringList onDisk = namesOn(PlaylistStore::loadPlaylists(library.path()));
        for (const QString &name : std::as_const(expected))
            lost += !onDisk.contains(name);
        std::printf("other writers: %d rounds (%d in place), %d playlists lost, %lld files set aside\n",
                    rounds, inPlace, lost, qlonglong(setAside.count()));
        QCOMPARE(lost, 0);
        QCOMPARE(setAside.count(), 0);
        // Which of two concurrent additions comes first is open.
        QStringList sorted = onDisk;
        sorted.sort();
        expected.sort();
        QCOMPARE(sorted, expected);
    }

    // A file that stays undecodable is set aside once it has not changed for a while; the playlists in
    // memory stay, and are written back with the next change.
    void undecodableFileSetAsideOnceStable()
    {
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("kept"), {}}}));
        PlaylistLibrary library;
        library.setOutsideChangeDelays(20ms, 100ms);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QSignalSpy changed(&library, &PlaylistLibrary::playlistsChanged);
        TestHarness::writeFile(library.path(), "[{\"name\":\"half");
        QTRY_COMPARE_WITH_TIMEOUT(setAside.count(), 1, 5000);
        QCOMPARE(TestHarness::readFile(setAside.at(0).at(1).toString()), QByteArray("[{\"name\":\"half"));
        QCOMPARE(namesOn(library.playlists()), QStringList{"kept"});
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFileInfo::exists(library.path()));
        QCOMPARE(library.createPlaylist(QStringLiteral("new")), PlaylistLibrary::Outcome::created);
        StateFile::waitForPendingWrites(library.path());
        QTRY_COMPARE(namesOn(PlaylistStore::loadPlaylists(library.path())), QStringList({"kept", "new"}));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], writerArgument) == 0)
        return outsideWriter(argc, argv);
    TestHarness::isolate();
    QCoreApplication app(argc, argv);
    PlaylistWritersTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playlistwriters.moc"
