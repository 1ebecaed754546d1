#include "TestHarness.h"
#include "core/common/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimeZone>

#include <sys/stat.h>
#include <unistd.h>

// Starts the real program the way the desktop does and reads what it leaves in the launch log.
class AppStartTest : public QObject {
    Q_OBJECT

    struct Line {
        QDateTime time;
        bool utc = false;
        QString message;
    };

    // Timestamped lines of the launch log, in the form either writer gives them.
    static QList<Line> parse(const QByteArray &text)
    {
        static const QRegularExpression pattern(
            QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)( \\+0000)?: (.*)$"));
        QList<Line> lines;
        for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = pattern.match(line);
            if (!match.hasMatch())
                continue;
            const bool utc = match.capturedLength(2) > 0;
            QDateTime time = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            time.setTimeZone(QTimeZone::utc()); // compared as wall-clock readings
            lines.append({time, utc, match.captured(3)});
        }
        return lines;
    }

    static QStringList messages(const QList<Line> &lines)
    {
        QStringList result;
        for (const Line &line : lines)
            result.append(line.message);
        return result;
    }

private Q_SLOTS:
    void launchLogInOrder_data()
    {
        QTest::addColumn<QByteArray>("earlier");
        QTest::addColumn<bool>("tempWritable");
        QTest::newRow("first launch") << QByteArray() << true;
        QTest::newRow("later launch keeps the earlier lines")
            << QByteArray("2020-01-01 00:00:00: 9 delayed orderFront done, isVisible: true\n\xff\xfe\n")
            << true;
        QTest::newRow("temporary folder missing") << QByteArray() << false;
    }

    void launchLogInOrder()
    {
        QFETCH(QByteArray, earlier);
        QFETCH(bool, tempWritable);
        const QString tmp = TestHarness::home() + QStringLiteral("/launch-tmp");
        QDir(tmp).removeRecursively();
        if (tempWritable)
            QVERIFY(QDir().mkpath(tmp));
        const QString logPath = tmp + QStringLiteral("/Lyrafold_launch.log");
        if (!earlier.isNull())
            TestHarness::writeFile(logPath, earlier);

        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        // Local time 5:45 ahead of UTC, so the two kinds of timestamps cannot be mistaken for each other.
        env.insert(QStringLiteral("TZ"), QStringLiteral("LYR-05:45"));
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(LYRAFOLD_EXECUTABLE), {});
        QVERIFY(app.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);

        const QByteArray standardError = app.readAllStandardError();
        QVERIFY2(standardError.startsWith("LyrafoldMac process started (static init)\n"), standardError);
        const QStringList startLines{"0 main entered", "1 NSApplication.shared done", "2 about to run"};
        QCOMPARE(messages(parse(standardError)), startLines);

        if (!tempWritable) {
            QVERIFY(!QFileInfo::exists(tmp));
            return;
        }
        const QByteArray log = TestHarness::readFile(logPath);
        QVERIFY(log.startsWith(earlier));
        const QList<Line> lines = parse(log.mid(earlier.size()));
        const QStringList launchLines{
            "2 applicationWillFinishLaunching",
            "3 after buildMainMenu",
            "4 applicationDidFinishLaunching",
            "setupUI start",
            "setupUI done stack.subviews=6",
            "5 MainWindowController created",
            "6 got mainWin",
            "7 about to show window",
            "8 window shown, subviews: 7, isVisible: true",
            "9 delayed orderFront done, isVisible: true",
        };
        // When the library's rows show depends on how long the slot takes to read: once, in any case.
        QStringList shown = messages(lines);
        QCOMPARE(shown.removeAll(QStringLiteral("library rows shown: 0")), 1);
        QCOMPARE(shown, startLines + launchLines);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i].utc, i < 2);
        const qint64 offset = lines[1].time.secsTo(lines[2].time);
        QVERIFY2(qAbs(offset - (5 * 3600 + 45 * 60)) < 60, qPrintable(QString::number(offset)));
    }

    // A data folder whose path is not UTF-8 is refused at start, named as the environment names it, and
    // no other folder takes its place; a sound data folder under such a home starts.
    void refusesADataFolderItCannotName_data()
    {
        QTest::addColumn<QByteArray>("xdgDataHome"); // below the test's home; null: unset
        QTest::addColumn<QByteArray>("home");        // the same
        QTest::addColumn<QString>("named");          // in the refusal; empty: the program starts
        QTest::newRow("XDG_DATA_HOME not UTF-8") << QByteArray("/D\xe9ta") << QByteArray("") << "/D\\xE9ta";
        QTest::newRow("home not UTF-8") << QByteArray() << QByteArray("/H\xe9me") << "/H\\xE9me/.local/share";
        QTest::newRow("home not UTF-8, XDG_DATA_HOME sound")
            << QByteArray("/Data") << QByteArray("/H\xe9me") << QString();
    }

    void refusesADataFolderItCannotName()
    {
        QFETCH(QByteArray, xdgDataHome);
        QFETCH(QByteArray, home);
        QFETCH(QString, named);
        const QByteArray root = QFile::encodeName(TestHarness::home());
        // The variables go through the shell's printf: QProcessEnvironment and the arguments of a
        // QProcess hold only texts, which reach the program as UTF-8.
        const auto assignment = [&](const char *name, const QByteArray &below) {
            QByteArray format;
            for (const char c : root + below)
                format += uchar(c) < 0x80 ? QByteArray(1, c) : "\\" + QByteArray::number(uchar(c), 8);
            return QByteArray(name) + "=\"$(printf '" + format + "')\" ";
        };
        QByteArray command = assignment("HOME", home);
        command +=
            xdgDataHome.isNull() ? QByteArray("XDG_DATA_HOME= ") : assignment("XDG_DATA_HOME", xdgDataHome);
        command += "exec \"$0\"";
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        app.setProcessEnvironment(env);
        app.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QString::fromLatin1(command), QStringLiteral(LYRAFOLD_EXECUTABLE)});
        QByteArray standardError;
        const auto refused = [&] {
            standardError += app.readAllStandardError();
            return standardError.contains("Lyrafold cannot use its data folder.");
        };
        // A refused start waits in its alert, which the test closes by ending the process.
        QVERIFY(TestHarness::waitFor([&] { return refused() || app.state() == QProcess::NotRunning; },
                                     TestHarness::hangGuard));
        if (named.isEmpty()) {
            QVERIFY(app.state() == QProcess::NotRunning || app.waitForFinished(TestHarness::hangGuardMs));
            QCOMPARE(app.exitCode(), 0);
            QVERIFY(QFileInfo::exists(TestHarness::home() + QStringLiteral("/Data/Lyrafold")));
            return;
        }
        QVERIFY2(refused(), standardError.constData());
        QVERIFY(QString::fromUtf8(standardError)
                    .contains(TestHarness::home() + named + QStringLiteral("/Lyrafold,")));
        app.kill();
        QVERIFY(app.state() == QProcess::NotRunning || app.waitForFinished(TestHarness::hangGuardMs));
        // Nothing was made in the folder that decoding the path names instead.
        const QByteArray standIn = xdgDataHome.isEmpty() ? home + "/.local/share" : xdgDataHome;
        QVERIFY(!QFileInfo::exists(TestHarness::home() + QFile::decodeName(standIn) +
                                   QStringLiteral("/Lyrafold")));
    }

    // A state folder the user may not read or enter, or a state file in it the user may not read, is
    // refused at start, named with the system's reason, and nothing is written: the library does not
    // open empty in its stead.
    void refusesADataFolderItMayNotOpen_data()
    {
        QTest::addColumn<QString>("denied"); // below the data home
        QTest::addColumn<int>("mode");
        QTest::newRow("data folder, no permission") << "Lyrafold" << 0;
        QTest::newRow("slots folder, no permission") << "Lyrafold/slots" << 0;
        QTest::newRow("slots folder, read but not entered") << "Lyrafold/slots" << 0400;
        QTest::newRow("playlists file, no permission") << "Lyrafold/playlists.json" << 0;
        QTest::newRow("slot file, no permission") << "Lyrafold/slots/slot_1.json" << 0200;
        QTest::newRow("annotations folder, no permission") << "LyrafoldMac/PDFEditCache" << 0;
    }

    void refusesADataFolderItMayNotOpen()
    {
        QFETCH(QString, denied);
        QFETCH(int, mode);
        // Root reads whatever the permissions say: the program runs without that power.
        QStringList command{QStringLiteral(LYRAFOLD_EXECUTABLE)};
        if (::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("needs setpriv to run the program without root's power over permissions");
            command.prepend(QStringLiteral("--bounding-set=-dac_override,-dac_read_search"));
            command.prepend(setpriv);
        }
        TestHarness::writeFile(AppPaths::slotsDir() + QStringLiteral("/slot_1.json"), "{}");
        TestHarness::writeFile(AppPaths::playlistsPath(), "[]");
        QVERIFY(QDir().mkpath(AppPaths::annotationCacheDir()));
        TestHarness::writeFile(AppPaths::annotationCacheDir() + QStringLiteral("/book.json"), "{}");
        const QString path = AppPaths::dataHome() + QLatin1Char('/') + denied;
        const auto listing = [] {
            QStringList entries;
            QDirIterator it(AppPaths::dataHome(),
                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo entry = it.nextFileInfo();
                entries << entry.filePath() + QLatin1Char(' ') + QString::number(entry.size()) +
                               QLatin1Char(' ') + entry.lastModified().toString(Qt::ISODateWithMs);
            }
            entries.sort();
            return entries;
        };
        const QStringList before = listing();
        const QByteArray native = QFile::encodeName(path);
        struct stat kept {};
        QCOMPARE(::stat(native.constData(), &kept), 0);
        QCOMPARE(::chmod(native.constData(), mode_t(mode)), 0);
        const auto restore = qScopeGuard([&] { ::chmod(native.constData(), kept.st_mode & 07777); });

        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        app.setProcessEnvironment(env);
        app.start(command.takeFirst(), command);
        QByteArray standardError;
        const auto refused = [&] {
            standardError += app.readAllStandardError();
            return standardError.contains("Lyrafold cannot use its data folder.");
        };
        // A refused start waits in its alert, which the test closes by ending the process.
        QVERIFY(TestHarness::waitFor([&] { return refused() || app.state() == QProcess::NotRunning; },
                                     TestHarness::hangGuard));
        QVERIFY2(refused(), standardError.constData());
        QVERIFY2(QString::fromUtf8(standardError).contains(path + QStringLiteral(": permission denied.")),
                 standardError.constData());
        app.kill();
        QVERIFY(app.state() == QProcess::NotRunning || app.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(::chmod(native.constData(), kept.st_mode & 07777), 0);
        QCOMPARE(listing(), before);
    }

    // What saves cut short by a kill left beside the state files is gone once the program started.
    void interruptedSavesAreRemoved()
    {
        const QString folder = AppPaths::slotsDir();
        TestHarness::writeFile(folder + QStringLiteral("/slot_1.json"), "{}");
        TestHarness::writeFile(folder + QStringLiteral("/.slot_1.json.lyrafold-Xq3Lmz"), "{\"savedAt\":");
        const QString playlistsLeftover = QFileInfo(AppPaths::playlistsPath()).absolutePath() +
                                          QStringLiteral("/.playlists.json.lyrafold-aB9cD0");
        TestHarness::writeFile(playlistsLeftover, "[");

        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LYRAFOLD_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(LYRAFOLD_EXECUTABLE), {});
        QVERIFY(app.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/slot_1.json")));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/.slot_1.json.lyrafold-Xq3Lmz")));
        QVERIFY(!QFileInfo::exists(playlistsLeftover));
    }
};

LYRAFOLD_TEST_MAIN(AppStartTest)
#include "tst_appstart.moc"
