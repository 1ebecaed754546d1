#include "OpenWindows.h"
#include "TestHarness.h"
#include "core/common/LaunchLog.h"
#include "core/common/NotificationBus.h"
#include "ui/app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>

// Playlist files handed over by the desktop reach the main window once it exists, each exactly once.
class AppDelegateTest : public QObject {
    Q_OBJECT

    QList<QUrl> m_delivered;
    // Whether the main window existed when each file was delivered.
    QList<bool> m_windowAtDelivery;

    static QString musicPath(const QString &name)
    {
        return TestHarness::home() + QStringLiteral("/Music/") + name;
    }

    static QList<QUrl> urlsOf(const QStringList &names)
    {
        QList<QUrl> urls;
        for (const QString &name : names)
            urls.append(QUrl::fromLocalFile(musicPath(name)));
        return urls;
    }

    // The messages of the launch log, without their timestamps.
    static QStringList launchMessages()
    {
        QStringList messages;
        const QString text = QString::fromUtf8(TestHarness::readFile(LaunchLog::path()));
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            messages.append(line.section(QStringLiteral(": "), 1));
        return messages;
    }

    // The main window as the desktop has it: the one top-level main window.
    static QMainWindow *mainWindow()
    {
        const QList<QMainWindow *> windows = topLevelWindows<QMainWindow>();
        return windows.size() == 1 ? windows.first() : nullptr;
    }

    static QPointF screenMiddle()
    {
        return QRectF(QGuiApplication::primaryScreen()->availableGeometry()).center();
    }

private Q_SLOTS:
    void initTestCase()
    {
        connect(&NotificationBus::instance(), &NotificationBus::openLyfFile, this,
                [this](const QVariantMap &userInfo) {
                    m_delivered.append(userInfo.value(NotificationBus::urlKey).toUrl());
                    m_windowAtDelivery.append(mainWindow() != nullptr);
                });
    }

    void init()
    {
        m_delivered.clear();
        m_windowAtDelivery.clear();
        QFile::remove(LaunchLog::path());
    }

    void playlistFilesByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lower case") << QStringLiteral("set.lyf") << true;
        QTest::newRow("upper case") << QStringLiteral("SET.LYF") << true;
        QTest::newRow("mixed case") << QStringLiteral("Sunday Set.LyF") << true;
        QTest::newRow("more dots") << QStringLiteral("gig.2024.03.lyf") << true;
        QTest::newRow("PDF") << QStringLiteral("book.pdf") << false;
        QTest::newRow("playlist extension inside") << QStringLiteral("set.lyf.json") << false;
        QTest::newRow("longer extension") << QStringLiteral("set.lyff") << false;
        QTest::newRow("no extension") << QStringLiteral("lyf") << false;
        QTest::newRow("file in a folder named like one") << QStringLiteral("sets.lyf/readme") << false;
    }

    // Bare names at the launch are taken from the working folder, as a file manager or shell hands
    // them over; a later launch hands over absolute paths.
    void playlistFilesByExtension()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        AppDelegate delegate;
        delegate.launch({name});
        const QUrl url = QUrl::fromLocalFile(QDir::current().absoluteFilePath(name));
        delegate.handleLaunchedAgain({url.toLocalFile()});
        const QList<QUrl> expected = accepted ? QList<QUrl>{url, url} : QList<QUrl>();
        QCOMPARE(m_delivered, expected);
    }

    void queueWaitsForTheMainWindow_data()
    {
        QTest::addColumn<QStringList>("atLaunch");
        QTest::addColumn<QStringList>("later");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("one file at launch")
            << QStringList{"set.lyf"} << QStringList{} << QStringList{"set.lyf"};
        QTest::newRow("two together, in order")
            << QStringList{"b.LYF", "a.lyf"} << QStringList{} << QStringList{"b.LYF", "a.lyf"};
        QTest::newRow("other files skipped")
            << QStringList{"book.pdf", "a.lyf", "notes"} << QStringList{} << QStringList{"a.lyf"};
        QTest::newRow("only after the window")
            << QStringList{} << QStringList{"a.lyf"} << QStringList{"a.lyf"};
        QTest::newRow("before and after, each once") << QStringList{"a.lyf"} << QStringList{"b.lyf", "a.lyf"}
                                                     << QStringList{"a.lyf", "b.lyf", "a.lyf"};
    }

    void queueWaitsForTheMainWindow()
    {
        QFETCH(QStringList, atLaunch);
        QFETCH(QStringList, later);
        QFETCH(QStringList, delivered);
        AppDelegate delegate;
        QStringList paths;
        for (const QString &name : atLaunch)
            paths.append(musicPath(name));
        delegate.launch(paths);
        QVERIFY(mainWindow()->isVisible());
        QCOMPARE(m_delivered.size(), delivered.size() - later.size());
        for (const QString &name : later)
            delegate.handleLaunchedAgain({musicPath(name)});
        QCOMPARE(m_delivered, urlsOf(delivered));
        QVERIFY(!m_windowAtDelivery.contains(false));
        QVERIFY(m_delivered.isEmpty() || m_delivered.first().isLocalFile());
    }

    void noWindowKeepsTheQueue()
    {
        AppDelegate delegate([] { return std::unique_ptr<QMainWindow>(); });
        delegate.launch({musicPath(QStringLiteral("set.lyf"))});
        delegate.handleLaunchedAgain({musicPath(QStringLiteral("other.lyf"))});
        QVERIFY(m_delivered.isEmpty());
        const QStringList messages = launchMessages();
        QCOMPARE(messages.mid(messages.size() - 2),
                 (QStringList{"5 MainWindowController created", "5b guard failed - no window"}));
    }

    void showsCentredAndSettles()
    {
        AppDelegate delegate;
        QList<QWidget *> equipped;
        delegate.setButtonEffectsInstaller([&equipped](QWidget *window) { equipped.append(window); });
        QSignalSpy settled(&delegate, &AppDelegate::mainWindowSettled);
        delegate.launch({});
        QMainWindow *window = mainWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("LYRAFOLD (beta)"));
        QCOMPARE(window->size(), QSize(1380, 640));
        QCOMPARE(QRectF(window->geometry()).center(), screenMiddle());
        QVERIFY(equipped.isEmpty());
        QCoreApplication::processEvents(); // becoming active equips it already
        equipped.clear();

        // Moved before the delay is over: the window is centred again and equipped once.
        window->move(10, 10);
        QVERIFY(settled.wait(TestHarness::hangGuardMs));
        // The platform answers the moves later: the window stands centred once it has.
        WAIT_COMPARE(QRectF(window->frameGeometry()).center(), screenMiddle());
        QCOMPARE(equipped, QList<QWidget *>{window});
        QCOMPARE(launchMessages().last(), QStringLiteral("9 delayed orderFront done, isVisible: true"));

        // Becoming active, as the platform tells the application, equips every window, but no menu.
        QDialog dialog;
        QMenu menu;
        equipped.clear();
        Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(equipped.size(), 2);
        QVERIFY(equipped.contains(window) && equipped.contains(&dialog));

        QSignalSpy quit(delegate.quitAction(), &QAction::triggered);
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.size(), 1);
        QCOMPARE(delegate.quitAction()->text(), QStringLiteral("Quit Lyrafold"));
    }

    void laterLaunchBringsBackTheWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("launched again plainly") << QStringLiteral("again") << QStringList{};
        QTest::newRow("launched again with files")
            << QStringLiteral("again with files") << QStringList{"set.LYF"};
    }

    void laterLaunchBringsBackTheWindow()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, delivered);
        AppDelegate delegate;
        delegate.launch({});
        QMainWindow *window = mainWindow();
        window->close();
        QVERIFY(!window->isVisible());

        if (how == QLatin1String("again"))
            delegate.handleLaunchedAgain({});
        else
            delegate.handleLaunchedAgain(
                {musicPath(QStringLiteral("set.LYF")), musicPath(QStringLiteral("book.pdf"))});
        QCOMPARE(mainWindow(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(m_delivered, urlsOf(delivered));
    }
};

LYRAFOLD_TEST_MAIN_WITH(QApplication, AppDelegateTest)
#include "tst_appdelegate.moc"
