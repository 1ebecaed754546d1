#include "Fixtures.h"
#include "TestHarness.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/AppPaths.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotMetadataJob.h"
#include "core/storage/FileGuard.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace std::chrono_literals;

// Other writers of the state files, in processes of their own, while the library and the playlists
// change: what either side adds must survive, and nothing is set aside that another program was still
// writing. The first child is this program: it adds "outside-<k>" to the playlists on each line
// "<k> atomic" or "<k> inplace" it reads: atomically (holding Lyrafold's lock, as a second instance
// does), or rewriting the file in place with a pause in the middle, as a careless program might; the
// pause lasts until the next line. The others are the kept scripts of tests/data/hostile: a sync tool
// bringing a newer slot file, and a program adding playlists without Lyrafold's lock, atomically, in
// place with a pause, or by removing and creating the file.
//
// LYRAFOLD_WRITERS_ROUNDS sets the rounds (a few by default; `make writerstest` runs 1,000 with this
// program as the other writer, and 500 with each way of the script).

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

int roundsOr(int rounds)
{
    return qEnvironmentVariableIsSet("LYRAFOLD_WRITERS_ROUNDS")
               ? qEnvironmentVariableIntValue("LYRAFOLD_WRITERS_ROUNDS")
               : rounds;
}

QString python()
{
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

QStringList beforeMergeCopies(const QString &path)
{
    return QDir(QFileInfo(path).absolutePath())
        .entryList({QFileInfo(path).fileName() + QStringLiteral(".before-merge-*")}, QDir::Files);
}

// A slot's file written by another program, as it would be: atomically, beside Lyrafold's guard.
void writeSlotElsewhere(qint64 slot, const BookmarkList &rows)
{
    QSaveFile file(SlotStore::slotFilePath(slot));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(*SlotStore::encodeSlot(rows, QStringLiteral("/elsewhere")));
    QVERIFY(file.commit());
}

// Another program that opens a state file for writing and truncates and writes it only later, as
// rsync --inplace does: what it writes goes into the file it opened, wherever that now stands.
class OpenedBeforeTheSwap {
public:
    explicit OpenedBeforeTheSwap(const QString &path)
        : m_path(path), m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC))
    {
    }
    ~OpenedBeforeTheSwap() { close(); }

    // Waits until a save here put another file in the opened one's place, and that save is over: a
    // write into the opened file while the save still looks at it would be seen by the save itself.
    bool waitForTheSwap() const
    {
        struct stat opened {};
        if (m_fd < 0 || ::fstat(m_fd, &opened) != 0)
            return false;
        const bool swapped =
            TestHarness::waitFor([&] { return StateFile::stampOf(m_path).inode != quint64(opened.st_ino); },
                                 TestHarness::hangGuard);
        StateFile::waitForPendingWrites(m_path);
        return swapped;
    }

    bool write(const QByteArray &bytes)
    {
        const bool written = ::ftruncate(m_fd, 0) == 0 &&
                             ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
        close();
        return written;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

private:
    QString m_path;
    int m_fd;
};

// A document of lines kept through a guard as the owners keep theirs: each line added is a change,
// made again on another program's version of the file that lacks it, and forgotten once the guard says
// no version can need it. A file that does not end with a line break does not decode.
class LineFile {
public:
    explicit LineFile(const QString &path)
        : guard(path, FileGuard::Owner{
                          [](const QByteArray &bytes, const StateFile::FileVersion &,
                             quint64 writtenUpTo) -> std::any {
                              if (!bytes.endsWith('\n'))
                                  return {};
                              return std::pair(
                                  QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                                  writtenUpTo);
                          },
                          [this](std::any read, bool) {
                              auto [theirs, writtenUpTo] =
                                  std::any_cast<std::pair<QStringList, quint64>>(std::move(read));
                              for (const auto &[number, line] : std::as_const(added)) {
                                  if (number > writtenUpTo && !theirs.contains(line))
                                      theirs.append(line);
                              }
                              lines = theirs;
                          },
                          [this] { save(); },
                          [this] { save(); },
                          {},
                      })
    {
        lines = QString::fromUtf8(TestHarness::readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        guard.setReadVersion(StateFile::stampOf(path));
        QObject::connect(&guard, &FileGuard::changesDone, &guard, [this](quint64 upTo) {
            added.removeIf([upTo](const auto &change) { return change.first <= upTo; });
        });
    }

    void add(const QString &line)
    {
        lines.append(line);
        added.append({guard.noteChange(), line});
        save();
    }

    void save()
    {
        guard.save([bytes = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()] {
            return std::optional(bytes);
        });
    }

    QStringList lines;
    QList<std::pair<quint64, QString>> added;
    FileGuard guard;
};

QStringList keptVersions(const QString &path)
{
    return QDir(QFileInfo(path).absolutePath())
        .entryList({QStringLiteral(".") + QFileInfo(path).fileName() + QStringLiteral(".replaced-*")},
                   QDir::Files | QDir::Hidden);
}

} // namespace

class PlaylistWritersTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "outsideWriters")

private Q_SLOTS:
    void init()
    {
        StateFile::waitForAllPendingWrites();
        TestHarness::clearUserFiles();
        FileGuard::resetDelaysForTesting();
    }

    void nothingLostToAnotherWriter()
    {
        const int rounds = roundsOr(6);
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("first"), {}}}));
        PlaylistLibrary library;
        // The file stands half-written only while the library writes: a quarter of a second outlasts
        // that, and the round in place waits it out.
        library.setOutsideChangeDelaysForTesting(10ms, 250ms);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(writerArgument), PlaylistStore::playlistsPath()});
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
                QVERIFY(child.waitForReadyRead(TestHarness::hangGuardMs));
                QCOMPARE(child.readLine(), QByteArray("half\n"));
            }
            QCOMPARE(library.createPlaylist(QStringLiteral("inside-%1").arg(k)),
                     PlaylistLibrary::Outcome::created);
            if (!atomic) {
                // Once the library's write met the half-written file, the child finishes it.
                StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
                child.write("finish\n");
            }
            expected << QStringLiteral("inside-%1").arg(k) << QStringLiteral("outside-%1").arg(k);
            while (!child.canReadLine())
                QVERIFY(child.waitForReadyRead(TestHarness::hangGuardMs));
            QCOMPARE(child.readLine(), QByteArray("done\n"));
            // Settled once the file and the library hold the same names, the ones of this round among
            // them (or after a while: whatever is missing then is lost).
            const auto settled = [&] {
                const QStringList onDisk =
                    namesOn(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath()));
                return onDisk == namesOn(library.playlists()) &&
                       onDisk.contains(QStringLiteral("inside-%1").arg(k)) &&
                       onDisk.contains(QStringLiteral("outside-%1").arg(k));
            };
            std::ignore = TestHarness::waitFor(settled, TestHarness::hangGuard);
        }
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(child.exitCode(), 0);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        const QStringList onDisk = namesOn(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath()));
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

    // Another program without Lyrafold's lock adds playlists at its pace while the playlists change
    // here: atomically (temporary file and rename), in place in two halves with a pause between (five
    // times the guard's read delay), or removing the file and creating it again. Nothing of either side
    // is lost, and nothing is set aside that the other program was still writing. The guard reads after
    // a hundredth of a second instead of a quarter, and the paces here follow it; its stable delay,
    // which nothing here waits out, stays far longer than the pause in place. Writing in place, the
    // other program may open the file before a save here swaps it out, and truncate and write only after
    // (rsync --inplace's order): it then writes into the version swapped out, every time in the row that
    // waits for the swap.
    void outsideWriters_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<QString>("interval"); // seconds between the other program's writes
        QTest::addColumn<QString>("pause");    // seconds in the middle of a write in place, or the file gone
        QTest::addColumn<bool>("afterSwap");   // in place: opened, then truncated once swapped out here
        TestHarness::partRow("atomic, every 2 ms") << "atomic" << roundsOr(40) << "0.002"
                                                   << "0" << false;
        TestHarness::partRow("in place, pausing 0.05 s")
            << "inplace" << std::max(1, roundsOr(40) / 20) << "0.008"
            << "0.05" << false;
        TestHarness::partRow("in place, opened before a save swaps it out and written after")
            << "inplace" << std::max(2, roundsOr(40) / 20) << "0.008"
            << "0.05" << true;
        TestHarness::partRow("removed and created") << "unlink" << std::max(1, roundsOr(40) / 4) << "0.004"
                                                    << "0.012" << false;
    }

    void outsideWriters()
    {
        QFETCH(QString, mode);
        QFETCH(int, rounds);
        QFETCH(QString, interval);
        QFETCH(QString, pause);
        QFETCH(bool, afterSwap);
        if (python().isEmpty())
            QSKIP("python3 is not installed");
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("first"), {}}}));
        PlaylistLibrary library;
        library.setOutsideChangeDelaysForTesting(10ms, 1750ms);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QSignalSpy keptBeside(&NotificationBus::instance(), &NotificationBus::stateFileOtherVersionKept);
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PAUSE"), pause);
        environment.insert(QStringLiteral("AFTER_SWAP"),
                           afterSwap ? QStringLiteral("1") : QStringLiteral("0"));
        other.setProcessEnvironment(environment);
        other.start(python(), {TestHarness::testData(QStringLiteral("hostile/syncwriter.py")),
                               PlaylistStore::playlistsPath(), QString::number(rounds), interval, mode});
        QVERIFY(other.waitForStarted());
        // The playlists change here meanwhile, as imports would, at a pace of their own.
        QStringList expected{QStringLiteral("first")};
        QTimer inside;
        QObject::connect(&inside, &QTimer::timeout, &library, [&] {
            const QString name = QStringLiteral("inside-%1").arg(expected.size());
            library.createPlaylist(name);
            expected.append(name);
        });
        inside.start(2);
        QVERIFY(TestHarness::waitFor([&] { return other.state() == QProcess::NotRunning; },
                                     std::chrono::minutes(30)));
        inside.stop();
        QCOMPARE(other.exitCode(), 0);
        for (int k = 0; k < rounds; ++k)
            expected.append(QStringLiteral("EXT-%1").arg(k));
        // Settled once the file holds what the library holds (or after a while: whatever is missing then
        // is lost).
        std::ignore = TestHarness::waitFor(
            [&] {
                return namesOn(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath())) ==
                           namesOn(library.playlists()) &&
                       library.playlists().size() >= expected.size();
            },
            TestHarness::hangGuard);
        QStringList onDisk = namesOn(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath()));
        // A write that came in the moment a save swapped a version back stays beside the file, told: not
        // lost. Every copy kept beside is told.
        const QStringList beside = beforeMergeCopies(PlaylistStore::playlistsPath());
        QCOMPARE(keptBeside.count(), beside.size());
        for (const QString &copy : beside)
            onDisk += namesOn(PlaylistStore::loadPlaylists(
                QFileInfo(PlaylistStore::playlistsPath()).absolutePath() + QLatin1Char('/') + copy));
        int lost = 0;
        for (const QString &name : std::as_const(expected)) {
            lost += !onDisk.contains(name);
            if (!onDisk.contains(name))
                std::printf("lost: %s (%s)\n", qPrintable(name),
                            namesOn(library.playlists()).contains(name) ? "still held here"
                                                                        : "gone here too");
        }
        std::printf("another program (%s): %d rounds, %lld changes here, %d lost, %lld set aside\n",
                    qPrintable(mode), rounds, qlonglong(expected.size() - rounds - 1), lost,
                    qlonglong(setAside.count()));
        QCOMPARE(lost, 0);
        QCOMPARE(setAside.count(), 0);
    }

    // A save swaps the file's version out and keeps it for the guard's stable delay, under a name the
    // start-up sweep leaves, and the guard is not settled meanwhile. Nothing written into it, it goes.
    // Another program that opened it before the swap and writes only after (rsync --inplace) has its
    // version taken, with the changes made here since the version it replaced made again on it; one
    // that never reads whole, or that can no longer be merged (the owner took another version of the
    // file meanwhile, or the guard ends first), is kept beside the file and told, never removed.
    void versionSwappedOutIsKept_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QByteArray>("theirs"); // written into the version swapped out; null: nothing
        QTest::newRow("nothing written into it") << "alone" << QByteArray();
        QTest::newRow("another version written into it") << "merged" << QByteArray("first\ntheirs\n");
        QTest::newRow("written into, never whole") << "unreadable" << QByteArray("first\nthei");
        QTest::newRow("written into, the owner took another version meanwhile")
            << "replaced" << QByteArray("first\ntheirs\n");
        QTest::newRow("written into, the guard ends first") << "ended" << QByteArray("first\ntheirs\n");
        // A quit looks at it at once, not when its delay is out.
        QTest::newRow("nothing written into it, a quit") << "alone at a quit" << QByteArray();
        QTest::newRow("another version written into it, a quit")
            << "merged at a quit" << QByteArray("first\ntheirs\n");
    }

    void versionSwappedOutIsKept()
    {
        QFETCH(QString, outcome);
        QFETCH(QByteArray, theirs);
        const bool atQuit = outcome.endsWith(QLatin1String(" at a quit"));
        outcome = outcome.section(QLatin1Char(' '), 0, 0);
        FileGuard::setDelaysForTesting(std::chrono::minutes(1),
                                       atQuit ? std::chrono::milliseconds(std::chrono::hours(1)) : 100ms);
        const QString path = PlaylistStore::playlistsPath();
        TestHarness::writeFile(path, "first\n");
        auto file = std::make_unique<LineFile>(path);
        QSignalSpy told(&NotificationBus::instance(), &NotificationBus::stateFileOtherVersionKept);
        OpenedBeforeTheSwap other(path);
        file->add(QStringLiteral("ours-1"));
        QVERIFY(other.waitForTheSwap());
        // Renamed from the temporary name just after the swap.
        WAIT_COMPARE(keptVersions(path).size(), 1);
        QCOMPARE(StateFile::removeInterruptedSaves(QFileInfo(path).absolutePath()), 0);
        QCOMPARE(keptVersions(path).size(), 1);
        QVERIFY(!file->guard.isSettled());
        if (theirs.isNull())
            other.close();
        else
            QVERIFY(other.write(theirs));
        // A change made after the one written, before the version kept is looked at.
        file->add(QStringLiteral("ours-2"));
        StateFile::waitForPendingWrites(path);
        if (outcome == QLatin1String("replaced"))
            file->guard.setReadVersion(StateFile::stampOf(path));
        if (outcome == QLatin1String("ended"))
            file.reset();
        else
            QVERIFY(TestHarness::waitFor(
                [&] {
                    // As a quit does each time its writes are done.
                    if (atQuit)
                        FileGuard::lookAtKeptVersionsNow();
                    return file->guard.isSettled();
                },
                TestHarness::hangGuard));

        QCOMPARE(keptVersions(path), QStringList());
        const QStringList beside = beforeMergeCopies(path);
        const QStringList expected = outcome == QLatin1String("merged")
                                         ? QStringList{"first", "theirs", "ours-1", "ours-2"}
                                         : QStringList{"first", "ours-1", "ours-2"};
        QCOMPARE(QString::fromUtf8(TestHarness::readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 expected);
        if (file)
            QCOMPARE(file->lines, expected);
        if (outcome == QLatin1String("alone") || outcome == QLatin1String("merged")) {
            QCOMPARE(beside, QStringList());
            QCOMPARE(told.count(), 0);
            return;
        }
        QCOMPARE(beside.size(), 1);
        const QString kept = QFileInfo(path).absolutePath() + QLatin1Char('/') + beside.first();
        QCOMPARE(TestHarness::readFile(kept), theirs);
        QCOMPARE(told.count(), 1);
        QCOMPARE(told.at(0).at(0).toString(), path);
        QCOMPARE(told.at(0).at(1).toString(), kept);
    }

    // A burst of saves keeps only so many bytes of versions aside at once (each a copy of the file): the
    // oldest are looked at before their delay is out, and one another program wrote into is taken in
    // then.
    void keptVersionsAreBounded()
    {
        FileGuard::setDelaysForTesting(std::chrono::minutes(1), std::chrono::minutes(1));
        FileGuard::setKeptBytesForTesting(100);
        const auto restore = qScopeGuard([] { FileGuard::setKeptBytesForTesting(0); });
        const QString path = PlaylistStore::playlistsPath();
        TestHarness::writeFile(path, "first\n");
        LineFile file(path);
        OpenedBeforeTheSwap other(path);
        file.add(QStringLiteral("ours-0"));
        QVERIFY(other.waitForTheSwap());
        QVERIFY(other.write("first\ntheirs\n"));
        QStringList expected{"first", "theirs", "ours-0"};
        for (int k = 1; k <= 30; ++k) {
            file.add(QStringLiteral("ours-%1").arg(k));
            expected.append(QStringLiteral("ours-%1").arg(k));
            StateFile::waitForPendingWrites(path);
        }
        WAIT_COMPARE(keptVersions(path).size(), 1);
        WAIT_COMPARE(file.lines, expected);
        WAIT_COMPARE(
            QString::fromUtf8(TestHarness::readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            expected);
    }

    // Another program wrote its playlists into the version a save here swapped out (rsync --inplace),
    // made from that version, or from the one before it (read just before the save that made the version
    // swapped out landed, it lacks what that save added): its playlist is taken, and so is every one made
    // here, those of that save included.
    void playlistsWrittenIntoTheVersionSwappedOut_data()
    {
        QTest::addColumn<bool>("fromTheVersionBefore");
        QTest::newRow("made from the version swapped out") << false;
        QTest::newRow("made from the version before it") << true;
    }

    void playlistsWrittenIntoTheVersionSwappedOut()
    {
        QFETCH(bool, fromTheVersionBefore);
        FileGuard::setDelaysForTesting(std::chrono::minutes(1), 100ms);
        const QString path = PlaylistStore::playlistsPath();
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("first"), {}}}));
        PlaylistLibrary library;
        library.createPlaylist(QStringLiteral("mine-1"));
        StateFile::waitForPendingWrites(path);
        OpenedBeforeTheSwap other(path);
        library.createPlaylist(QStringLiteral("mine-2"));
        QVERIFY(other.waitForTheSwap());
        QList<Playlist> theirs{Playlist{QStringLiteral("first"), {}}};
        if (!fromTheVersionBefore)
            theirs.append(Playlist{QStringLiteral("mine-1"), {}});
        theirs.append(Playlist{QStringLiteral("EXT"), {}});
        QVERIFY(other.write(*PlaylistCodec::encodePlaylists(theirs)));
        library.createPlaylist(QStringLiteral("mine-3"));

        const QStringList expected{"EXT", "first", "mine-1", "mine-2", "mine-3"};
        const auto sorted = [](QStringList names) {
            names.sort();
            return names;
        };
        QVERIFY(TestHarness::waitFor(
            [&] { return sorted(namesOn(PlaylistStore::loadPlaylists(path))) == expected; },
            TestHarness::hangGuard));
        QCOMPARE(sorted(namesOn(library.playlists())), expected);
        QCOMPARE(beforeMergeCopies(path), QStringList());
    }

    // A sync tool brings a newer file of the current slot (ten rows re-tagged, five songs added). A
    // press on another slot's tile writes nothing over it; an edit is merged into it, also when the
    // file changed after the worker read it at start and before the library took the rows; an edit of
    // a row the other version no longer has brings the row back, and the other version is kept beside
    // the file first. What the library holds then is what the file holds, and the status says so.
    // Without another program, an edit is simply written.
    void slotChangedElsewhere_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("switch to another slot") << QStringLiteral("switch");
        QTest::newRow("cell edit") << QStringLiteral("edit");
        QTest::newRow("cell edit, the file changed while read at start") << QStringLiteral("edit read");
        QTest::newRow("edit of a row the other version removed") << QStringLiteral("edit removed");
        QTest::newRow("cell edit, no other program") << QStringLiteral("edit alone");
        // As a cell field still open gives its text when the library tells it is about to be replaced.
        QTest::newRow("cell edit made as the other version is read in") << QStringLiteral("edit told");
        // A field holds the other version back; the edit made meanwhile is written on it, once, and
        // only once the field has closed; the file rewritten again meanwhile is read once.
        QTest::newRow("cell edit while a field holds the other version back") << QStringLiteral("edit held");
        // The other program opened the file before the edit's save swapped it out, and writes only then
        // (rsync --inplace): its version, in the file swapped out, gets that edit and a later one.
        QTest::newRow("cell edits, the other version written into the file swapped out")
            << QStringLiteral("swapped out");
        // And found while a field holds text typed for a row: taken in once the field has closed, the
        // field's edit made on it.
        QTest::newRow("cell edits, the file swapped out written into while a field is open")
            << QStringLiteral("swapped out, field open");
    }

    void slotChangedElsewhere()
    {
        QFETCH(QString, action);
        if (python().isEmpty())
            QSKIP("python3 is not installed");
        // The change is found by the save itself, not by the watch; an edit made as the other version
        // is read in waits for the watch.
        const bool atRead = action == QLatin1String("edit told") || action == QLatin1String("edit held");
        FileGuard::setDelaysForTesting(atRead ? 20ms : std::chrono::milliseconds(std::chrono::minutes(1)),
                                       200ms);
        const BookmarkList rows = Fixtures::realisticLibrary(40);
        QVERIFY(SlotStore::saveSlot(1, rows, QStringLiteral("/books")));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}, {}}));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QSignalSpy told(&session, &LibrarySession::changedElsewhere);
        const QString path = SlotStore::slotFilePath(1);
        const auto editElsewhere = [&path] {
            QProcess remote;
            remote.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            remote.start(python(),
                         {TestHarness::testData(QStringLiteral("hostile/remote-slot-edit.py")), path});
            return remote.waitForFinished(30000) && remote.exitCode() == 0;
        };
        if (action.startsWith(QLatin1String("swapped out"))) {
            QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
            OpenedBeforeTheSwap other(path);
            session.editBookmarks({20}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });
            QVERIFY(other.waitForTheSwap());
            BookmarkList theirs = rows;
            theirs.prepend(Fixtures::bookmark(QStringLiteral("/b/X.pdf"), 1, QStringLiteral("Xenia")));
            theirs[10].tempo = QStringLiteral("Fast");
            const bool fieldOpen = action.endsWith(QLatin1String("field open"));
            if (fieldOpen)
                session.landings().fieldOpened();
            QVERIFY(other.write(*SlotStore::encodeSlot(theirs, QStringLiteral("/elsewhere"))));
            if (fieldOpen) {
                WAIT_VERIFY(session.landings().holding());
                QCOMPARE(session.allBookmarks().size(), rows.size());
                QCOMPARE(told.count(), 0);
                session.editBookmarks({29}, [](BookmarkEntry &row) { row.style = QStringLiteral("Bossa"); });
                session.landings().fieldClosed();
            }
            if (!fieldOpen)
                session.editBookmarks({30}, [](BookmarkEntry &row) { row.style = QStringLiteral("Bossa"); });
            BookmarkList expected = theirs;
            expected[21].genre = QStringLiteral("Mine");
            expected[fieldOpen ? 30 : 31].style = QStringLiteral("Bossa");
            QVERIFY(TestHarness::waitFor([&] { return SlotStore::loadSlot(1) == expected; },
                                         TestHarness::hangGuard));
            QCOMPARE(session.allBookmarks().toList(), expected);
            QCOMPARE(told.count(), 1);
            QCOMPARE(told.at(0).at(0).toString(),
                     QStringLiteral("Slot 1 was changed by another program and merged."));
            QCOMPARE(beforeMergeCopies(path), QStringList());
            return;
        }
        if (action == QLatin1String("edit read")) {
            librarySlots.loadCurrentSlot();
            // The worker has read the file; the library takes the rows at the next turn of the events.
            QThreadPool::globalInstance()->waitForDone();
            QVERIFY(editElsewhere());
            QVERIFY(TestHarness::waitForCurrentSlot(librarySlots));
            QCOMPARE(session.allBookmarks().toList(), rows);
        } else if (action == QLatin1String("edit held")) {
            QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
            session.landings().fieldOpened();
            QVERIFY(editElsewhere());
            WAIT_VERIFY(session.landings().holding());
            session.editBookmarks({20}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });
            QVERIFY(editElsewhere());
            BookmarkList expected = SlotStore::loadSlot(1);
            QCOMPARE(expected.size(), 50);
            TestHarness::settleWorkers();
            LibrarySession::waitForPendingSaves();
            QCOMPARE(SlotStore::loadSlot(1), expected);
            QCOMPARE(told.count(), 0);
            session.landings().fieldClosed();
            expected[20].genre = QStringLiteral("Mine");
            QVERIFY(TestHarness::waitFor([&] { return SlotStore::loadSlot(1) == expected; },
                                         TestHarness::hangGuard));
            QCOMPARE(session.allBookmarks().toList(), expected);
            QCOMPARE(told.count(), 1);
            QCOMPARE(beforeMergeCopies(path).size(), 0);
            return;
        } else {
            QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
            if (atRead)
                connect(
                    &session, &LibrarySession::libraryAboutToBeReplaced, &session,
                    [&session] {
                        session.editBookmarks({20},
                                              [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });
                    },
                    Qt::SingleShotConnection);
            if (action != QLatin1String("edit alone"))
                QVERIFY(editElsewhere());
        }
        BookmarkList expected = SlotStore::loadSlot(1);
        QCOMPARE(expected.size(), action == QLatin1String("edit alone") ? 40 : 45);
        BookmarkEntry edited = rows.at(20);
        edited.genre = QStringLiteral("Mine");
        if (action == QLatin1String("edit removed")) {
            expected.removeAt(20);
            writeSlotElsewhere(1, expected);
        }
        const BookmarkList otherVersion = expected;
        if (action == QLatin1String("switch")) {
            QVERIFY(TestHarness::switchSlot(librarySlots, 2));
        } else {
            if (!atRead)
                session.editBookmarks({20}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });
            if (action != QLatin1String("edit removed"))
                expected[20] = edited;
            else
                expected.append(edited);
        }
        QVERIFY(
            TestHarness::waitFor([&] { return SlotStore::loadSlot(1) == expected; }, TestHarness::hangGuard));
        const QStringList copies = beforeMergeCopies(path);
        if (action == QLatin1String("switch")) {
            QCOMPARE(told.count(), 0);
            QCOMPARE(copies.size(), 0);
            return;
        }
        QCOMPARE(session.allBookmarks().toList(), expected);
        if (action == QLatin1String("edit alone")) {
            QCOMPARE(told.count(), 0);
            QCOMPARE(copies.size(), 0);
            return;
        }
        QCOMPARE(told.count(), 1);
        const QString status = told.at(0).at(0).toString();
        if (action != QLatin1String("edit removed")) {
            QCOMPARE(status, QStringLiteral("Slot 1 was changed by another program and merged."));
            QCOMPARE(copies.size(), 0);
        } else {
            QCOMPARE(copies.size(), 1);
            QCOMPARE(status, QStringLiteral("Slot 1 was changed by another program and merged; the other "
                                            "version is kept as %1.")
                                 .arg(copies.first()));
            const auto kept = SlotStore::decodeSlot(
                TestHarness::readFile(QFileInfo(path).absolutePath() + QLatin1Char('/') + copies.first()));
            QCOMPARE(kept.value().bookmarks, otherVersion);
        }
    }

    // Each kind of change of the rows is made again on another program's version of the slot, where the
    // rows stand elsewhere (a song added at the top, the order turned round) and other fields changed:
    // the change finds its rows by identity, among equal rows by their order, and what the other
    // version changed in other fields stays. Several changes before one save (as an auto-tag run
    // makes) find their rows as the earlier ones left them.
    void slotChangesMadeAgainElsewhere_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("edit of the second of two equal rows") << QStringLiteral("second");
        QTest::newRow("retitle, then an edit of the retitled row") << QStringLiteral("retitle");
        QTest::newRow("edit of a row whose title has no key") << QStringLiteral("no key");
        QTest::newRow("removal") << QStringLiteral("remove");
        QTest::newRow("rows appended, one of them there already") << QStringLiteral("append");
        QTest::newRow("metadata of many rows, worked out on a worker") << QStringLiteral("metadata");
    }

    void slotChangesMadeAgainElsewhere()
    {
        QFETCH(QString, action);
        // The other version is found by the save itself, not by the watch.
        FileGuard::setDelaysForTesting(std::chrono::minutes(1), 200ms);
        BookmarkList rows{
            Fixtures::bookmark("/b/A.pdf", 1, "Alpha"),     Fixtures::bookmark("/b/A.pdf", 5, "Blue Moon"),
            Fixtures::bookmark("/b/A.pdf", 5, "Blue Moon"), Fixtures::bookmark("/b/B.pdf", 2, "Cherokee"),
            Fixtures::bookmark("/b/B.pdf", 9, "  "),        Fixtures::bookmark("/b/C.pdf", 3, "Donna Lee")};
        rows[1].genre = QStringLiteral("first");
        rows[2].genre = QStringLiteral("second");
        QVERIFY(SlotStore::saveSlot(1, rows, QStringLiteral("/books")));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}, {}}));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        // There: a song added at the top, the rows in another order (the equal ones in their own), and
        // Cherokee's tempo changed.
        BookmarkList other{Fixtures::bookmark("/b/X.pdf", 1, "Xenia")};
        for (const qsizetype position : {5, 0, 1, 3, 2, 4})
            other.append(rows.at(position));
        other[4].tempo = QStringLiteral("Fast");
        writeSlotElsewhere(1, other);
        BookmarkList expected = other;
        const auto edit = [&session](qsizetype position, const std::function<void(BookmarkEntry &)> &write) {
            session.editBookmarks({position}, write);
        };
        if (action == QLatin1String("second")) {
            edit(2, [](BookmarkEntry &row) { row.genre = QStringLiteral("mine"); });
            expected[5].genre = QStringLiteral("mine");
        } else if (action == QLatin1String("retitle")) {
            LibrarySession::BatchScope batch(session);
            edit(3, [](BookmarkEntry &row) { row.title = QStringLiteral("Cherokee (take 2)"); });
            edit(3, [](BookmarkEntry &row) { row.composer = QStringLiteral("Ray Noble"); });
            expected[4].title = QStringLiteral("Cherokee (take 2)");
            expected[4].composer = QStringLiteral("Ray Noble");
        } else if (action == QLatin1String("no key")) {
            edit(4, [](BookmarkEntry &row) { row.genre = QStringLiteral("mine"); });
            expected[6].genre = QStringLiteral("mine");
        } else if (action == QLatin1String("remove")) {
            QVERIFY(session.deleteBookmarks(RowDeletion::plan(session, {5}, std::nullopt)));
            expected.removeAt(1);
        } else if (action == QLatin1String("append")) {
            const BookmarkList added{Fixtures::bookmark("/b/X.pdf", 1, "Xenia"),
                                     Fixtures::bookmark("/b/A.pdf", 1, "Alpha"),
                                     Fixtures::bookmark("/b/N.pdf", 7, "Nica's Dream")};
            Fixtures::appendRows(session, added);
            // Xenia is there already; a second Alpha is not.
            expected << added.at(1) << added.at(2);
        } else {
            auto *job = new SlotMetadataJob(librarySlots, 1, [](LibraryRows &library, const TitleKeyIndex &) {
                for (const qsizetype position : {0, 2, 3})
                    library.edit(position).style = QStringLiteral("Swing");
                return SlotMetadataJob::Change{3, {0, 2, 3}};
            });
            QSignalSpy finished(job, &SlotMetadataJob::finished);
            job->start();
            QVERIFY(finished.wait(TestHarness::hangGuardMs));
            for (const qsizetype position : {2, 5, 4})
                expected[position].style = QStringLiteral("Swing");
        }
        QVERIFY(
            TestHarness::waitFor([&] { return SlotStore::loadSlot(1) == expected; }, TestHarness::hangGuard));
        QCOMPARE(session.allBookmarks().toList(), expected);
        QCOMPARE(beforeMergeCopies(SlotStore::slotFilePath(1)), QStringList());
    }

    // The file goes missing (moved away, or removed by a program that makes it again) while the
    // playlists or the slot's rows are held: nothing is taken as lost. A change made meanwhile, or the
    // stable delay, writes back all that is held.
    void missingFileKeepsWhatIsHeld_data()
    {
        QTest::addColumn<bool>("slot");
        QTest::addColumn<bool>("change");
        QTest::newRow("playlists, an import") << false << true;
        QTest::newRow("playlists, nothing changed") << false << false;
        QTest::newRow("slot, an edit") << true << true;
        QTest::newRow("slot, nothing changed") << true << false;
    }

    void missingFileKeepsWhatIsHeld()
    {
        QFETCH(bool, slot);
        QFETCH(bool, change);
        FileGuard::setDelaysForTesting(20ms, 100ms);
        const QList<Playlist> stored{Playlist{QStringLiteral("Gig"), {}},
                                     Playlist{QStringLiteral("Rehearsal"), {}}};
        QVERIFY(PlaylistStore::savePlaylists(stored));
        const BookmarkList rows = Fixtures::realisticLibrary(12);
        QVERIFY(SlotStore::saveSlot(1, rows, QStringLiteral("/books")));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}, {}}));
        PlaylistLibrary playlists;
        playlists.setOutsideChangeDelaysForTesting(20ms, 100ms);
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        QSignalSpy playlistsLookedAt(&playlists, &PlaylistLibrary::fileLookedAtForTesting);
        const QString path = slot ? SlotStore::slotFilePath(1) : PlaylistStore::playlistsPath();
        QVERIFY(QFile::remove(path));
        if (!slot)
            QVERIFY(playlistsLookedAt.wait(TestHarness::hangGuardMs));
        QStringList expectedNames = namesOn(stored);
        BookmarkList expectedRows = rows;
        if (change && slot) {
            session.editBookmarks({3}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });
            expectedRows[3].genre = QStringLiteral("Mine");
        } else if (change) {
            playlists.adoptMerge(PlaylistLibrary::merged(playlists.playlists(), playlists.revision(),
                                                         {Playlist{QStringLiteral("Imported"), {}}}, false));
            expectedNames.append(QStringLiteral("Imported"));
        }
        QCOMPARE(namesOn(playlists.playlists()), expectedNames);
        QCOMPARE(session.allBookmarks().toList(), expectedRows);
        if (slot)
            QVERIFY(TestHarness::waitFor([&] { return SlotStore::loadSlot(1) == expectedRows; },
                                         TestHarness::hangGuard));
        else
            QVERIFY(TestHarness::waitFor(
                [&] { return namesOn(PlaylistStore::loadPlaylists(path)) == expectedNames; },
                TestHarness::hangGuard));
    }

    // A state file the user made a link (into a sync folder) stays one: a change reaches the file it leads
    // to, the link being absolute, relative, one of a chain, or leading to a file not there yet; a link
    // into a folder that is gone fails to save, and says so. What is set aside, or kept of another
    // program's version, lies beside the file the link leads to, and the link stays a link to it.
    void linkedFilesStayLinks_data()
    {
        QTest::addColumn<QString>("kind"); // slot, playlists, cache, annotations
        QTest::addColumn<QString>("link");
        QTest::newRow("slot, a relative link") << "slot"
                                               << "relative";
        QTest::newRow("playlists, a chain of two links") << "playlists"
                                                         << "chain";
        QTest::newRow("bookmark cache, an absolute link") << "cache"
                                                          << "absolute";
        QTest::newRow("annotation cache, a link to a file not there yet") << "annotations"
                                                                          << "dangling";
        QTest::newRow("playlists, a link into a folder that is gone") << "playlists"
                                                                      << "gone";
        QTest::newRow("playlists, the linked file undecodable") << "playlists"
                                                                << "undecodable";
        QTest::newRow("slot, another program's version kept") << "slot"
                                                              << "other version";
    }

    void linkedFilesStayLinks()
    {
        QFETCH(QString, kind);
        QFETCH(QString, link);
        // Another program's version is found by the save itself, not by the watch.
        FileGuard::setDelaysForTesting(std::chrono::minutes(1), 200ms);
        const QString sync = TestHarness::home() + QStringLiteral("/Sync");
        QDir(sync).removeRecursively();
        QVERIFY(QDir().mkpath(sync + QStringLiteral("/links")));
        const BookmarkList rows = Fixtures::realisticLibrary(30);
        QVERIFY(SlotStore::saveSlot(1, rows, QStringLiteral("/books")));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}, {}}));
        QVERIFY(CacheService::save(rows, QStringLiteral("/books")));
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("Gig"), {}}}));
        const QString book = QStringLiteral("/books/Standards.pdf");
        const QString path = kind == "slot"        ? SlotStore::slotFilePath(1)
                             : kind == "playlists" ? PlaylistStore::playlistsPath()
                             : kind == "cache"     ? AppPaths::bookmarkCachePath()
                                                   : *PdfEditCacheCodec::filePath(book);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const QString target = (link == "gone" ? TestHarness::home() + QStringLiteral("/Gone") : sync) +
                               QLatin1Char('/') + QFileInfo(path).fileName();
        if (link == "gone" || link == "dangling")
            QFile::remove(path);
        else
            QVERIFY(QFile::rename(path, target));
        if (link == "undecodable")
            TestHarness::writeFile(target, "[{\"name\":\"half");
        // What the state file's link says, and where a chain's first link leads.
        QString first = target;
        if (link == "relative")
            first = QDir(QFileInfo(path).absolutePath()).relativeFilePath(target);
        if (link == "chain") {
            first = sync + QStringLiteral("/links/") + QFileInfo(path).fileName();
            QCOMPARE(::symlink("../playlists.json", QFile::encodeName(first).constData()), 0);
        }
        QCOMPARE(::symlink(QFile::encodeName(first).constData(), QFile::encodeName(path).constData()), 0);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QSignalSpy failed(&NotificationBus::instance(), &NotificationBus::stateFileSaveFailed);

        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        BookmarkList otherVersion = rows;
        if (link == "other version") {
            // Without a row the edit below changes: the merge brings it back and keeps this version.
            otherVersion.removeAt(20);
            QSaveFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(*SlotStore::encodeSlot(otherVersion, QStringLiteral("/elsewhere")));
            QVERIFY(file.commit());
        }
        PdfEditCacheFile annotations;
        annotations.strokesByPage[2] = {StrokeRecord{{{1, 2}, {3, 4}}, {}, 2, 1, false}};
        bool annotationsSaved = false;
        if (kind == "annotations")
            QVERIFY(PdfEditCacheCodec::saveInBackground(
                book, annotations, [&](bool saved, const QString &) { annotationsSaved = saved; }));
        else if (kind == "playlists")
            QCOMPARE(playlists.createPlaylist(QStringLiteral("Linked")), PlaylistLibrary::Outcome::created);
        else
            session.editBookmarks({20}, [](BookmarkEntry &row) { row.genre = QStringLiteral("Mine"); });

        const auto holdsTheChange = [&] {
            const QByteArray bytes = TestHarness::readFile(target);
            if (kind == "annotations") {
                const auto stored = PdfEditCacheCodec::decode(bytes);
                return stored && stored.value() == annotations;
            }
            if (kind == "playlists") {
                const auto stored = PlaylistCodec::decodePlaylists(bytes);
                return stored && namesOn(stored.value()).contains("Linked");
            }
            const auto stored = SlotStore::decodeSlot(bytes);
            return stored && std::any_of(stored.value().bookmarks.cbegin(), stored.value().bookmarks.cend(),
                                         [](const BookmarkEntry &row) { return row.genre == "Mine"; });
        };
        if (link == "gone") {
            WAIT_COMPARE(failed.count(), 1);
            QCOMPARE(failed.at(0).at(0).toString(), path);
            QCOMPARE(failed.at(0).at(1).toString(),
                     QStringLiteral("the folder %1 does not exist").arg(QFileInfo(target).absolutePath()));
        } else {
            QVERIFY(TestHarness::waitFor(holdsTheChange, TestHarness::hangGuard));
            QCOMPARE(failed.count(), 0);
        }
        if (kind == "annotations")
            WAIT_VERIFY(annotationsSaved);
        char written[PATH_MAX] = {};
        QCOMPARE(QByteArray(written,
                            int(::readlink(QFile::encodeName(path).constData(), written, sizeof written))),
                 QFile::encodeName(first));
        QCOMPARE(setAside.count(), link == "undecodable" ? 1 : 0);
        if (link == "undecodable") {
            QCOMPARE(QFileInfo(setAside.at(0).at(1).toString()).canonicalPath(),
                     QFileInfo(sync).canonicalFilePath());
            QCOMPARE(TestHarness::readFile(setAside.at(0).at(1).toString()), QByteArray("[{\"name\":\"half"));
        }
        const QStringList copies = beforeMergeCopies(target);
        QCOMPARE(copies.size(), link == "other version" ? 1 : 0);
        if (link == "other version") {
            const QString kept = sync + QLatin1Char('/') + copies.first();
            QVERIFY(!QFileInfo(kept).isSymLink());
            QCOMPARE(SlotStore::decodeSlot(TestHarness::readFile(kept)).value().bookmarks, otherVersion);
            QVERIFY(beforeMergeCopies(path).isEmpty());
        }
    }

    // A file that stays undecodable is set aside once it has not changed for a while; the playlists in
    // memory stay, and are written back with the next change.
    void undecodableFileSetAsideOnceStable()
    {
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("kept"), {}}}));
        PlaylistLibrary library;
        library.setOutsideChangeDelaysForTesting(20ms, 100ms);
        QSignalSpy setAside(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QSignalSpy changed(&library, &PlaylistLibrary::playlistsChanged);
        TestHarness::writeFile(PlaylistStore::playlistsPath(), "[{\"name\":\"half");
        WAIT_COMPARE(setAside.count(), 1);
        QCOMPARE(TestHarness::readFile(setAside.at(0).at(1).toString()), QByteArray("[{\"name\":\"half"));
        QCOMPARE(namesOn(library.playlists()), QStringList{"kept"});
        QCOMPARE(changed.count(), 0);
        QCOMPARE(library.createPlaylist(QStringLiteral("new")), PlaylistLibrary::Outcome::created);
        StateFile::waitForPendingWrites(PlaylistStore::playlistsPath());
        WAIT_COMPARE(namesOn(PlaylistStore::loadPlaylists(PlaylistStore::playlistsPath())),
                     QStringList({"kept", "new"}));
    }
};

LYRAFOLD_TEST_RUNNER(runTests, QCoreApplication, PlaylistWritersTest)

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], writerArgument) == 0)
        return outsideWriter(argc, argv);
    return runTests(argc, argv);
}

#include "tst_playlistwriters.moc"
