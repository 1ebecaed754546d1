#include "TestHarness.h"
#include "core/common/AppPaths.h"
#include "platform/desktop/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// A second launch hands its files to the running instance of the same profile, and only to it.
class SingleInstanceTest : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<QProcess>> m_processes;

    QProcess *start(const QString &program, const QStringList &arguments,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(workDir());
        process->start(program, arguments);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    QProcess *startHelper(const QStringList &arguments = {})
    {
        return start(QStringLiteral(HELPER), arguments);
    }

    static QString workDir() { return TestHarness::home() + QStringLiteral("/Music"); }

    // The number of a process that has ended.
    static qint64 goneProcess()
    {
        QProcess ended;
        ended.start(QStringLiteral("true"), {});
        const qint64 pid = ended.waitForStarted() ? ended.processId() : 0;
        ended.waitForFinished();
        return pid;
    }

    // Waits for the process to end. QProcess::waitForFinished() fails for a process already seen to end,
    // as a wait for its output or an event loop may see it.
    static bool ended(QProcess *process)
    {
        return process->state() == QProcess::NotRunning || process->waitForFinished(TestHarness::hangGuardMs);
    }

    // Waits for one whole line of standard output.
    static QByteArray readLine(QProcess *process)
    {
        while (!process->canReadLine()) {
            if (!process->waitForReadyRead(TestHarness::hangGuardMs))
                return {};
        }
        return process->readLine().trimmed();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir().mkpath(workDir())); }

    void cleanup()
    {
        for (auto &process : m_processes) {
            process->kill();
            process->waitForFinished();
        }
        m_processes.clear();
    }

    // The socket lies in the runtime folder whenever its whole path fits a socket's address, and in a
    // private folder of ours under /tmp when it would not, wherever the temporary folder (which holds
    // the runtime folder here) lies.
    void socketStaysInTheRuntimeFolder_data()
    {
        QTest::addColumn<int>("tmpBytes"); // 0: a short one
        QTest::newRow("short TMPDIR") << 0;
        QTest::newRow("TMPDIR of 100 bytes") << 100;
    }

    void socketStaysInTheRuntimeFolder()
    {
        QFETCH(int, tmpBytes);
        const QTemporaryDir shortFolder(QStringLiteral("/tmp/lf-XXXXXX"));
        QVERIFY(shortFolder.isValid());
        QString tmp = shortFolder.path();
        if (tmpBytes > 0) {
            const QString home = TestHarness::home() + QLatin1Char('/');
            tmp = home + QString(std::max<qsizetype>(1, tmpBytes - QFile::encodeName(home).size()), u't');
        }
        const QString runtime = tmp + QStringLiteral("/runtime");
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray oldTmp = qgetenv("TMPDIR");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("TMPDIR", oldTmp);
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
        });
        qputenv("TMPDIR", QFile::encodeName(tmp));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

        const QString name = QFileInfo(SingleInstance::serverPathForTesting()).fileName();
        QVERIFY2(
            QRegularExpression(QStringLiteral("^lyrafold-[0-9a-f]{16}\\.socket$")).match(name).hasMatch(),
            qPrintable(name));
        const QString inRuntime = runtime + QLatin1Char('/') + name;
        const QString expected =
            QFile::encodeName(inRuntime).size() < qsizetype(sizeof(sockaddr_un::sun_path))
                ? inRuntime
                : QStringLiteral("/tmp/Lyrafold-%1/").arg(::getuid()) + name;
        QCOMPARE(SingleInstance::serverPathForTesting(), expected);
        QProcess *instance = startHelper();
        QCOMPARE(readLine(instance), QByteArray("listening"));
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(expected).constData(), &info), 0);
        QVERIFY(S_ISSOCK(info.st_mode));
        instance->kill();
        QVERIFY(ended(instance));
        QFile::remove(expected);
    }

    void secondLaunchForwards_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("sameProfile");
        QTest::newRow("helper, same profile") << QStringLiteral(HELPER) << true;
        QTest::newRow("lyrafold, same profile") << QStringLiteral(LYRAFOLD_EXECUTABLE) << true;
        QTest::newRow("helper, another data folder") << QStringLiteral(HELPER) << false;
    }

    void secondLaunchForwards()
    {
        QFETCH(QString, second);
        QFETCH(bool, sameProfile);
        QProcess *first = startHelper();
        QCOMPARE(readLine(first), QByteArray("listening"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!sameProfile)
            env.insert(QStringLiteral("XDG_DATA_HOME"),
                       TestHarness::home() + QStringLiteral("/other-profile"));
        const QStringList files{"set.lyf", "Sunday Set.LYF", "book.pdf"};
        QProcess *later = start(second, files, env);
        if (!sameProfile) {
            QCOMPARE(readLine(later), QByteArray("listening"));
            QVERIFY(!first->waitForReadyRead(300));
            return;
        }
        QVERIFY(ended(later));
        QCOMPARE(later->exitCode(), 0);
        // It went no further than handing over: no event loop, no window.
        QVERIFY(!later->readAllStandardError().contains("2 about to run"));
        for (const QString &file : files)
            QCOMPARE(readLine(first), "received " + QFile::encodeName(workDir() + QLatin1Char('/') + file));
        QVERIFY(ended(first));
    }

    // A crashed instance leaves its socket behind; the next launch must take over, not hang or forward.
    void crashedInstanceIsReplaced()
    {
        QProcess *crashed = startHelper();
        QCOMPARE(readLine(crashed), QByteArray("listening"));
        ::kill(pid_t(crashed->processId()), SIGKILL);
        QVERIFY(ended(crashed));
        QVERIFY(QFileInfo::exists(SingleInstance::serverPathForTesting()));

        QProcess *next = startHelper();
        QCOMPARE(readLine(next), QByteArray("listening"));
        QProcess *later = startHelper({QStringLiteral("set.lyf")});
        QCOMPARE(readLine(later), QByteArray("forwarded"));
        QCOMPARE(readLine(next), "received " + QFile::encodeName(workDir() + QStringLiteral("/set.lyf")));
    }

    // An instance that hangs, or a launch that holds the start lock, must not make every later launch
    // hang with it, nor let it run as a second instance beside it.
    void unansweringInstanceIsNotWaitedFor_data()
    {
        QTest::addColumn<bool>("holdStartLock");
        QTest::newRow("socket without answer") << false;
        QTest::newRow("start lock held") << true;
    }

    void unansweringInstanceIsNotWaitedFor()
    {
        QFETCH(bool, holdStartLock);
        // A helper killed at the end of the test before may have left its socket file behind.
        QLocalServer::removeServer(SingleInstance::serverPathForTesting());
        QLocalServer frozen;
        QVERIFY(frozen.listen(SingleInstance::serverPathForTesting()));
        QString base = SingleInstance::serverPathForTesting();
        base.chop(int(qstrlen(".socket")));
        QLockFile startLock(base + QStringLiteral(".lock"));
        if (holdStartLock)
            QVERIFY(startLock.tryLock(0));
        SingleInstance instance;
        QCOMPARE(instance.claim({QStringLiteral("/music/set.lyf")}, 100), SingleInstance::Role::NotAnswering);
    }

    // "Wait" after an instance that was stopped: the request the first attempt left behind is dropped
    // when the instance comes back, and the files arrive once, by the attempt that waits for them.
    void stoppedInstanceReceivesOnce()
    {
        QProcess *first = startHelper();
        QCOMPARE(readLine(first), QByteArray("listening"));
        ::kill(pid_t(first->processId()), SIGSTOP);
        SingleInstance later;
        const QStringList files{QStringLiteral("/music/set.lyf")};
        QCOMPARE(later.claim(files, 300), SingleInstance::Role::NotAnswering);
        ::kill(pid_t(first->processId()), SIGCONT);
        QCOMPARE(later.claim(files), SingleInstance::Role::Forwarded);
        QVERIFY(ended(first));
        QCOMPARE(first->readAllStandardOutput(), QByteArray("received /music/set.lyf\n"));
    }

    // A runtime folder too deep for a socket's address still leads a later launch to the running
    // instance; one that cannot reach it (another runtime folder, the same data folder) never runs as
    // a second writer of the same files. A lock left in the data folder by another computer (which a sync
    // tool carried) or by a process gone from this one stops no start, and the start holds the folder.
    void onlyOneWriterOfTheData_data()
    {
        QTest::addColumn<QByteArray>("leftLock"); // in the data folder before the first start
        QTest::addColumn<QString>("firstRuntime");
        QTest::addColumn<QString>("laterRuntime");
        QTest::addColumn<QByteArray>("later");
        const QString run = TestHarness::home() + QStringLiteral("/run/");
        const QString deep = run + QString(std::max<qsizetype>(120 - run.size(), 40), u'r');
        const QString a = TestHarness::home() + QStringLiteral("/run/a");
        const QString b = TestHarness::home() + QStringLiteral("/run/b");
        QTest::newRow("runtime folder of 120 characters")
            << QByteArray() << deep << deep << QByteArray("forwarded");
        QTest::newRow("another runtime folder, the same data")
            << QByteArray() << a << b << QByteArray("data in use");
        QTest::newRow("a lock another computer left")
            << QByteArray("4242\nlyrafold\nother-computer\n0123456789abcdef0123456789abcdef\n"
                          "fedcba9876543210fedcba9876543210\n")
            << a << b << QByteArray("data in use");
        QTest::newRow("a lock of a process gone from this computer")
            << (QByteArray::number(goneProcess()) + "\nsingleinstance_helper\n" +
                QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
                QSysInfo::bootUniqueId() + '\n')
            << a << b << QByteArray("data in use");
    }

    void onlyOneWriterOfTheData()
    {
        QFETCH(QByteArray, leftLock);
        QFETCH(QString, firstRuntime);
        QFETCH(QString, laterRuntime);
        QFETCH(QByteArray, later);
        if (!leftLock.isEmpty()) {
            QVERIFY(QDir().mkpath(AppPaths::applicationSupportDir()));
            TestHarness::writeFile(AppPaths::instanceLockPath(), leftLock);
        }
        const auto environment = [](const QString &runtime) {
            QDir().mkpath(runtime);
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
            return env;
        };
        QProcess *first = start(QStringLiteral(HELPER), {}, environment(firstRuntime));
        QCOMPARE(readLine(first), QByteArray("listening"));
        QProcess *second =
            start(QStringLiteral(HELPER), {QStringLiteral("set.lyf")}, environment(laterRuntime));
        QCOMPARE(readLine(second), later);
        if (later == "forwarded")
            QCOMPARE(readLine(first),
                     "received " + QFile::encodeName(workDir() + QStringLiteral("/set.lyf")));
    }

    // On quit the lock in the data folder is removed only when it still names this process on this
    // computer: one that another computer wrote over it meanwhile (carried by a sync tool, in place or as
    // a new file) stays, so that a further start there is still refused.
    void quitRemovesOnlyItsOwnLock_data()
    {
        QTest::addColumn<QByteArray>("rewritten"); // empty: as this start wrote it
        QTest::addColumn<bool>("inPlace");
        const QByteArray otherComputer("4242\nlyrafold\nother-computer\n0123456789abcdef0123456789abcdef\n"
                                       "fedcba9876543210fedcba9876543210\n");
        QTest::newRow("ours") << QByteArray() << false;
        QTest::newRow("another computer's, written in place") << otherComputer << true;
        QTest::newRow("another computer's, put in its place") << otherComputer << false;
        QTest::newRow("another process of this computer")
            << (QByteArray::number(goneProcess()) + "\nsingleinstance_helper\n" +
                QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
                QSysInfo::bootUniqueId() + '\n')
            << false;
    }

    void quitRemovesOnlyItsOwnLock()
    {
        QFETCH(QByteArray, rewritten);
        QFETCH(bool, inPlace);
        const QString path = AppPaths::instanceLockPath();
        {
            SingleInstance instance;
            QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);
            QVERIFY(QFile::exists(path));
            if (inPlace) {
                QFile lock(path);
                QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
                QCOMPARE(lock.write(rewritten), rewritten.size());
            } else if (!rewritten.isEmpty()) {
                TestHarness::writeFile(path + QStringLiteral(".sync"), rewritten);
                QVERIFY(std::rename(QFile::encodeName(path + QStringLiteral(".sync")).constData(),
                                    QFile::encodeName(path).constData()) == 0);
            }
        }
        QCOMPARE(QFile::exists(path), !rewritten.isEmpty());
        if (!rewritten.isEmpty())
            QCOMPARE(TestHarness::readFile(path), rewritten);
        QFile::remove(path);
    }

    void runningInstanceReceivesInProcess()
    {
        SingleInstance instance;
        QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);
        QSignalSpy launched(&instance, &SingleInstance::launchedAgain);
        QProcess *later = startHelper();
        QVERIFY(launched.wait(TestHarness::hangGuardMs));
        QCOMPARE(launched.first().first().toStringList(), QStringList());
        QVERIFY(ended(later));
        QCOMPARE(later->exitCode(), 0);
    }
};

LYRAFOLD_TEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
