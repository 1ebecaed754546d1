#include "TestHarness.h"
#include "core/common/DiagnosticLog.h"
#include "core/common/HoverLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The diagnostic logs live in the shared temporary folder and collect lines over many launches.
class DiagnosticLogTest : public QObject {
    Q_OBJECT

    QString dir() const { return QDir::tempPath() + QStringLiteral("/logs"); }
    QString logPath() const { return dir() + QStringLiteral("/Lyrafold_test.log"); }

private Q_SLOTS:
    void init() { QVERIFY(QDir().mkpath(dir())); }
    void cleanup() { QDir(dir()).removeRecursively(); }

    void followsTheTemporaryFolder()
    {
        QCOMPARE(DiagnosticLog::tempFilePath(QStringLiteral("Lyrafold_launch.log")),
                 TestHarness::home() + QStringLiteral("/tmp/Lyrafold_launch.log"));
    }

    void appendsToWhatIsThere_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::newRow("no file yet") << QByteArray();
        QTest::newRow("an earlier launch") << QByteArray("2024-01-01 10:00:00: 0 main entered\n");
        QTest::newRow("bytes that are not UTF-8 are kept") << QByteArray("\xff\xfe\x80 broken\n");
        QTest::newRow("no final line feed") << QByteArray("half");
    }

    void appendsToWhatIsThere()
    {
        QFETCH(QByteArray, existing);
        if (!existing.isNull())
            TestHarness::writeFile(logPath(), existing);
        DiagnosticLog log(logPath());
        QVERIFY(log.writeLine(QStringLiteral("first \u00e9")));
        QVERIFY(log.writeLine(QStringLiteral("second")));
        QCOMPARE(TestHarness::readFile(logPath()), existing + "first \xc3\xa9\nsecond\n");
        if (existing.isNull()) {
            struct stat st {};
            QCOMPARE(lstat(QFile::encodeName(logPath()).constData(), &st), 0);
            QCOMPARE(st.st_mode & 077, mode_t(0));
        }
    }

    // The hover trace: UTC time first, rectangles in the shortest exact form.
    void hoverLogLines_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole numbers") << QRectF(0, 0, 1200, 22.5) << "(0.0, 0.0, 1200.0, 22.5)";
        QTest::newRow("shortest exact")
            << QRectF(0.1, -3, 1.0 / 3, 1e-7) << "(0.1, -3.0, 0.3333333333333333, 1e-07)";
    }

    void hoverLogLines()
    {
        QFETCH(QRectF, rect);
        QFETCH(QString, text);
        QFile::remove(HoverLog::path());
        QCOMPARE(HoverLog::path(),
                 DiagnosticLog::tempFilePath(QStringLiteral("Lyrafold_hover_highlight.log")));
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        hoverLog(QStringLiteral("draw rowRect=") + HoverLog::formatRect(rect));
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        hoverLog(QStringLiteral("second"));
        const QStringList lines = QString::fromUtf8(TestHarness::readFile(HoverLog::path())).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(2), QString());
        const QRegularExpression stamp(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ) (.*)$"));
        const QRegularExpressionMatch first = stamp.match(lines.at(0));
        QVERIFY2(first.hasMatch(), qPrintable(lines.at(0)));
        QCOMPARE(first.captured(2), "draw rowRect=" + text);
        const qint64 time = QDateTime::fromString(first.captured(1), Qt::ISODate).toSecsSinceEpoch();
        QVERIFY2(before <= time && time <= after, qPrintable(first.captured(1)));
        QVERIFY(stamp.match(lines.at(1)).captured(2) == "second");
    }

    void refusesPlantedNames_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << QStringLiteral("link");
        QTest::newRow("link to nowhere") << QStringLiteral("dangling");
        QTest::newRow("hard link to a file") << QStringLiteral("hardlink");
        QTest::newRow("pipe") << QStringLiteral("fifo");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("file of another user") << QStringLiteral("foreign");
    }

    void refusesPlantedNames()
    {
        QFETCH(QString, kind);
        const QString victim = dir() + QStringLiteral("/victim");
        const QByteArray native = QFile::encodeName(logPath());
        if (kind == QLatin1String("link") || kind == QLatin1String("hardlink")) {
            TestHarness::writeFile(victim, "precious\n");
            if (kind == QLatin1String("link"))
                QVERIFY(QFile::link(victim, logPath()));
            else
                QCOMPARE(::link(QFile::encodeName(victim).constData(), native.constData()), 0);
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(victim, logPath()));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(native.constData(), 0666), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(logPath()));
        } else {
            if (geteuid() != 0)
                QSKIP("needs root to give a file to another user");
            TestHarness::writeFile(logPath(), "theirs\n");
            QCOMPARE(chown(native.constData(), 65534, 65534), 0);
        }

        // The write runs beside the test: a pipe that held it would otherwise hold the test as well.
        std::future<bool> written = std::async(std::launch::async, [path = logPath()] {
            return DiagnosticLog(path).writeLine(QStringLiteral("secret"));
        });
        if (written.wait_for(TestHarness::hangGuard) != std::future_status::ready) {
            // A reader that comes lets the waiting writer go, so that the test can end.
            const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
            written.wait();
            if (reader >= 0)
                ::close(reader);
            QFAIL("the write waited for a reader of the pipe");
        }
        QVERIFY(!written.get());
        if (kind == QLatin1String("dangling"))
            QVERIFY(!QFile::exists(victim));
        else if (kind == QLatin1String("link") || kind == QLatin1String("hardlink"))
            QCOMPARE(TestHarness::readFile(victim), QByteArray("precious\n"));
        else if (kind == QLatin1String("foreign"))
            QCOMPARE(TestHarness::readFile(logPath()), QByteArray("theirs\n"));
    }

    void rotatesPastTheLimit_data()
    {
        QTest::addColumn<int>("existingSize");
        QTest::addColumn<QString>("previouslyRotated");
        QTest::addColumn<int>("lineSize");
        QTest::addColumn<bool>("rotates");
        // The limit is 100 bytes; a line counts its line feed.
        QTest::newRow("fits") << 50 << QString() << 20 << false;
        QTest::newRow("fills it exactly") << 61 << QString() << 39 << false;
        QTest::newRow("one byte over") << 62 << QString() << 39 << true;
        QTest::newRow("replaces the older rotated log") << 95 << QStringLiteral("file") << 10 << true;
        QTest::newRow("replaces a link planted as the rotated name")
            << 95 << QStringLiteral("link") << 10 << true;
        QTest::newRow("an empty log takes a long line") << 0 << QString() << 300 << false;
    }

    void rotatesPastTheLimit()
    {
        QFETCH(int, existingSize);
        QFETCH(QString, previouslyRotated);
        QFETCH(int, lineSize);
        QFETCH(bool, rotates);
        const QByteArray existing(existingSize, 'o');
        TestHarness::writeFile(logPath(), existing);
        const QString rotatedPath = logPath() + QStringLiteral(".1");
        const QString victim = dir() + QStringLiteral("/victim");
        if (previouslyRotated == QLatin1String("file")) {
            TestHarness::writeFile(rotatedPath, "older\n");
        } else if (previouslyRotated == QLatin1String("link")) {
            TestHarness::writeFile(victim, "precious\n");
            QVERIFY(QFile::link(victim, rotatedPath));
        }

        const QString line(lineSize - 1, QLatin1Char('n'));
        QVERIFY(DiagnosticLog(logPath(), 100).writeLine(line));

        const QByteArray written = line.toLatin1() + '\n';
        if (rotates) {
            QCOMPARE(TestHarness::readFile(rotatedPath), existing);
            QCOMPARE(TestHarness::readFile(logPath()), written);
        } else {
            QCOMPARE(TestHarness::readFile(logPath()), existing + written);
            QVERIFY(!QFile::exists(rotatedPath));
        }
        if (!previouslyRotated.isEmpty())
            QVERIFY(!QFileInfo(rotatedPath).isSymLink());
        if (previouslyRotated == QLatin1String("link"))
            QCOMPARE(TestHarness::readFile(victim), QByteArray("precious\n"));
    }

    // Threads of one process and several processes (here: two logs on one file) append whole lines.
    void concurrentWritersKeepWholeLines()
    {
        DiagnosticLog shared(logPath());
        DiagnosticLog other(logPath());
        constexpr int threads = 6;
        constexpr int lines = 300;
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                DiagnosticLog &log = t % 2 ? other : shared;
                for (int i = 0; i < lines; ++i)
                    log.writeLine(QStringLiteral("writer %1 line %2 ").arg(t).arg(i) +
                                  QString(40, QLatin1Char('x')));
            });
        }
        for (std::thread &worker : workers)
            worker.join();

        const QList<QByteArray> written = TestHarness::readFile(logPath()).split('\n');
        QCOMPARE(written.size(), threads * lines + 1);
        QSet<QByteArray> distinct;
        for (qsizetype i = 0; i + 1 < written.size(); ++i) {
            QVERIFY2(written[i].startsWith("writer ") && written[i].endsWith(QByteArray(40, 'x')),
                     written[i]);
            distinct.insert(written[i]);
        }
        QCOMPARE(distinct.size(), threads * lines);
    }
};

LYRAFOLD_TEST_MAIN(DiagnosticLogTest)
#include "tst_diagnosticlog.moc"
