#include "Fixtures.h"
#include "TestHarness.h"
#include "core/common/AppPaths.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <cstring>

#include <signal.h>

// A process that saves a large slot again and again is killed at random moments. After every kill the
// slot file must read back whole, as the generation saved last or as the one being saved, and what the
// interrupted save left beside it is cleared as a start clears it. LYRAFOLD_CRASHTEST_ITERATIONS and
// LYRAFOLD_CRASHTEST_BOOKMARKS make the run longer (make crashtest).
namespace {

constexpr qint64 slot = 1;
const char *const saveLoopArgument = "--save-loop";

int setting(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// Generation g: the library with one song's genre naming g, in a folder naming g.
BookmarkList generation(const BookmarkList &library, qint64 g)
{
    BookmarkList list = library;
    list[g % list.size()].genre = QStringLiteral("generation %1").arg(g);
    return list;
}

QString folderOf(qint64 g)
{
    return QStringLiteral("/generation/%1").arg(g);
}

std::optional<qint64> generationOf(const QString &folder)
{
    static const QRegularExpression pattern(QStringLiteral("^/generation/(\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(folder);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

// The child: saves generations from first on until it is killed, telling each completed one.
int saveLoop(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int bookmarks = QString::fromLocal8Bit(argv[2]).toInt();
    const qint64 first = QString::fromLocal8Bit(argv[3]).toLongLong();
    const BookmarkList library = Fixtures::realisticLibrary(bookmarks);
    std::puts("ready");
    std::fflush(stdout);
    for (qint64 g = first;; ++g) {
        if (!SlotStore::saveSlot(slot, generation(library, g), folderOf(g)))
            return 1;
        std::printf("saved %lld\n", static_cast<long long>(g));
        std::fflush(stdout);
    }
}

// Where the slot's file is a link: the folder of the file it leads to (a sync folder).
QString linkedFolder()
{
    return TestHarness::home() + QStringLiteral("/Sync");
}

QStringList leftovers(bool linked)
{
    return QDir(linked ? linkedFolder() : AppPaths::slotsDir())
        .entryList({QStringLiteral(".slot_%1.json.lyrafold-*").arg(slot)}, QDir::Files | QDir::Hidden);
}

} // namespace

class SaveCrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Also through a link to the file in another folder, which a save keeps.
    void killedSaveLeavesWholeFile_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::newRow("the slot's file") << false;
        QTest::newRow("a link to the slot's file") << true;
    }

    void killedSaveLeavesWholeFile()
    {
        QFETCH(bool, linked);
        const QString path = SlotStore::slotFilePath(slot);
        QFile::remove(path);
        QDir(linkedFolder()).removeRecursively();
        if (linked) {
            QVERIFY(QDir().mkpath(linkedFolder()) && QDir().mkpath(AppPaths::slotsDir()));
            QVERIFY(QFile::link(linkedFolder() + QStringLiteral("/slot_1.json"), path));
        }
        // CTest runs the program in parts side by side, which share the kills.
        const int iterations = setting("LYRAFOLD_CRASHTEST_ITERATIONS", 8 / TestHarness::partCount());
        const int bookmarks = setting("LYRAFOLD_CRASHTEST_BOOKMARKS", 20000);
        const quint32 seed =
            quint32(setting("LYRAFOLD_CRASHTEST_SEED", int(QRandomGenerator::global()->bounded(1u << 30))));
        QRandomGenerator random(seed);
        const BookmarkList library = Fixtures::realisticLibrary(bookmarks);

        QElapsedTimer saveTime;
        saveTime.start();
        QVERIFY(SlotStore::saveSlot(slot, generation(library, 0), folderOf(0)));
        // Kills fall within the first two saves of each child, and a little after.
        const int window = int(saveTime.elapsed()) * 2 + 5;

        qint64 onDisk = 0;
        int corrupt = 0, lost = 0, leftoverCount = 0, killedInFirstSave = 0;
        for (int i = 0; i < iterations; ++i) {
            if (i > 0 && i % 100 == 0) {
                std::printf("crash test: %d of %d iterations\n", i, iterations);
                std::fflush(stdout);
            }
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(saveLoopArgument), QString::number(bookmarks),
                         QString::number(onDisk + 1)});
            QVERIFY(child.waitForStarted());
            QVERIFY2(child.waitForReadyRead(60000) && child.readLine() == "ready\n",
                     "the child did not start");
            QThread::msleep(random.bounded(window));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            qint64 lastSaved = onDisk;
            for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
                if (line.startsWith("saved "))
                    lastSaved = line.mid(6).toLongLong();
            killedInFirstSave += lastSaved == onDisk;

            leftoverCount += int(leftovers(linked).size());
            StateFile::removeInterruptedSaves(AppPaths::slotsDir());
            QVERIFY(leftovers(linked).isEmpty());
            QCOMPARE(QFileInfo(path).isSymLink(), linked);

            const std::optional<BookmarkCache> stored = SlotStore::loadSlotFile(slot);
            const std::optional<qint64> g =
                stored ? generationOf(stored->selectedFolder.value_or(QString())) : std::nullopt;
            if (!g || (*g != lastSaved && *g != lastSaved + 1) ||
                stored->bookmarks != generation(library, *g)) {
                if (g && *g < lastSaved)
                    ++lost;
                else
                    ++corrupt;
                QVERIFY(SlotStore::saveSlot(slot, generation(library, lastSaved), folderOf(lastSaved)));
                onDisk = lastSaved;
                continue;
            }
            onDisk = *g;
        }
        const QString report =
            QStringLiteral("%1 iterations, %2 corrupt, %3 lost, %4 leftovers (%5 bookmarks, "
                           "%6 kills in a child's first save, %7 generations saved, seed %8)")
                .arg(iterations)
                .arg(corrupt)
                .arg(lost)
                .arg(leftoverCount)
                .arg(bookmarks)
                .arg(killedInFirstSave)
                .arg(onDisk)
                .arg(seed);
        std::printf("crash test: %s\n", qPrintable(report));
        QVERIFY2(corrupt == 0 && lost == 0, qPrintable(report));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], saveLoopArgument) == 0)
        return saveLoop(argc, argv);
    TestHarness::isolate();
    QCoreApplication app(argc, argv);
    SaveCrashTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savecrash.moc"
