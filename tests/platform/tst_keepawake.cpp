#include "PrivateBus.h"
#include "TestHarness.h"
#include "platform/power/KeepAwake.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using State = KeepAwake::State;
using Measure = KeepAwakeMeasure;

namespace {

// Answers only when the test says so.
class FakeBackend : public KeepAwakeBackend {
public:
    struct Request {
        Measure measure;
        QString reason;
        Granted done;
    };
    struct Release {
        Measure measure;
        Handle handle;
        Released done;
    };
    QList<Request> requests;
    QList<Release> releases;

    void acquire(Measure measure, const QString &reason, Granted done) override
    {
        requests.append({measure, reason, std::move(done)});
    }
    void release(Measure measure, Handle handle, Released done) override
    {
        releases.append({measure, handle, std::move(done)});
    }

    // Answers the oldest open request for the measure.
    void answer(Measure measure, std::optional<Handle> handle, const QString &error = {})
    {
        for (qsizetype i = 0; i < requests.size(); ++i) {
            if (requests[i].measure == measure) {
                Granted done = requests.takeAt(i).done;
                done(handle, error);
                return;
            }
        }
        QFAIL("no open request");
    }
};

KeepAwake::Reasons reasons()
{
    return {QStringLiteral("system reason"), QStringLiteral("display reason")};
}

} // namespace

// Stand-ins for the desktop's services on buses of the test's own.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList inhibited;
    QList<uint> uninhibited;

public Q_SLOTS:
    uint Inhibit(const QString &application, const QString &reason)
    {
        inhibited << application << reason;
        return 7;
    }
    void UnInhibit(uint cookie) { uninhibited.append(cookie); }
};

class FakeLogin : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    QStringList arguments;
    int readEnd = -1;

    ~FakeLogin() override
    {
        if (readEnd >= 0)
            ::close(readEnd);
    }

    // Whether every copy of the inhibitor's descriptor has been closed.
    bool inhibitorClosed() const
    {
        pollfd fd{readEnd, POLLIN, 0};
        char byte = 0;
        return ::poll(&fd, 1, 0) == 1 && ::read(readEnd, &byte, 1) == 0;
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        arguments = {what, who, why, mode};
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return {};
        readEnd = ends[0];
        QDBusUnixFileDescriptor inhibitor(ends[1]);
        ::close(ends[1]);
        return inhibitor;
    }
};

class KeepAwakeTest : public QObject {
    Q_OBJECT

    QStringList m_log;
    KeepAwake::Log log()
    {
        return [this](const QString &line) { m_log.append(line); };
    }

private Q_SLOTS:
    void init() { m_log.clear(); }

    // Each measure is asked for once, held until released, and given back with its own handle.
    void holdsAndReleasesEachMeasureOnce()
    {
        FakeBackend backend;
        KeepAwake awake(reasons(), log(), &backend);
        awake.hold();
        QCOMPARE(backend.requests.size(), 2);
        QCOMPARE(backend.requests[0].reason, QStringLiteral("system reason"));
        QCOMPARE(backend.requests[1].reason, QStringLiteral("display reason"));
        QCOMPARE(awake.stateForTesting(Measure::systemSleep), State::requested);
        awake.hold();
        QCOMPARE(backend.requests.size(), 2);

        backend.answer(Measure::systemSleep, 11);
        backend.answer(Measure::displaySleep, 22);
        QCOMPARE(awake.stateForTesting(Measure::systemSleep), State::held);
        QCOMPARE(awake.stateForTesting(Measure::displaySleep), State::held);
        awake.hold();
        QVERIFY(backend.requests.isEmpty());

        awake.release();
        QCOMPARE(backend.releases.size(), 2);
        QCOMPARE(backend.releases[0].handle, 11u);
        QCOMPARE(backend.releases[1].handle, 22u);
        QCOMPARE(awake.stateForTesting(Measure::systemSleep), State::released);
        backend.releases[0].done(QString());
        backend.releases[1].done(QStringLiteral("gone"));
        QCOMPARE(m_log, QStringList({"System sleep assertion created", "Display sleep assertion created",
                                     "System sleep assertion released",
                                     "Failed to release display sleep assertion: gone"}));
        awake.release();
        QCOMPARE(backend.releases.size(), 2);
    }

    // A refusal is logged and asked again at the next hold; what is held is not asked twice.
    void refusalsAreRetried()
    {
        FakeBackend backend;
        KeepAwake awake(reasons(), log(), &backend);
        awake.hold();
        backend.answer(Measure::systemSleep, std::nullopt, QStringLiteral("no system bus"));
        backend.answer(Measure::displaySleep, 5);
        QCOMPARE(awake.stateForTesting(Measure::systemSleep), State::released);
        QCOMPARE(m_log.first(), QStringLiteral("Failed to create system sleep assertion: no system bus"));
        awake.hold();
        QCOMPARE(backend.requests.size(), 1);
        QCOMPARE(backend.requests[0].measure, Measure::systemSleep);
    }

    // What is granted after the window let go (released, or gone altogether) is given back at once;
    // a hold before the answer keeps it.
    void lateGrantsAreGivenBack_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("givenBack");
        QTest::newRow("released") << "release" << 2;
        QTest::newRow("released, then held again") << "release hold" << 0;
        QTest::newRow("destroyed") << "destroy" << 2;
    }

    void lateGrantsAreGivenBack()
    {
        QFETCH(QString, meanwhile);
        FakeBackend backend;
        auto awake = std::make_unique<KeepAwake>(reasons(), log(), &backend);
        awake->hold();
        for (const QString &step : meanwhile.split(QLatin1Char(' '))) {
            if (step == QLatin1String("release"))
                awake->release();
            else if (step == QLatin1String("hold"))
                awake->hold();
            else
                awake.reset();
        }
        QCOMPARE(backend.requests.size(), 2);
        backend.answer(Measure::systemSleep, 1);
        backend.answer(Measure::displaySleep, 2);
        QTEST(int(backend.releases.size()), "givenBack");
        if (awake)
            QCOMPARE(awake->stateForTesting(Measure::displaySleep),
                     backend.releases.isEmpty() ? State::held : State::released);
    }

    // Against the services on buses of the test's own: the calls, their arguments and the release.
    void desktopBackendTalksToTheServices()
    {
        PrivateBus session;
        PrivateBus system;
        if (!session.start(TestHarness::sessionBusSocket()) || !system.start(TestHarness::systemBusSocket()))
            QSKIP("dbus-daemon is not installed");
        FakeScreenSaver screenSaver;
        FakeLogin login;
        QDBusConnection sessionSide =
            QDBusConnection::connectToBus(session.address(), QStringLiteral("saver"));
        QDBusConnection systemSide = QDBusConnection::connectToBus(system.address(), QStringLiteral("login"));
        QVERIFY(sessionSide.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                                           QDBusConnection::ExportAllSlots));
        QVERIFY(sessionSide.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QVERIFY(systemSide.registerObject(QStringLiteral("/org/freedesktop/login1"), &login,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(systemSide.registerService(QStringLiteral("org.freedesktop.login1")));

        {
            DBusKeepAwakeBackend backend;
            KeepAwake awake(reasons(), log(), &backend);
            awake.hold();
            WAIT_COMPARE(awake.stateForTesting(Measure::systemSleep), State::held);
            WAIT_COMPARE(awake.stateForTesting(Measure::displaySleep), State::held);
            QCOMPARE(screenSaver.inhibited, QStringList({"tst_keepawake", "display reason"}));
            QCOMPARE(login.arguments, QStringList({"idle", "tst_keepawake", "system reason", "block"}));
            QVERIFY(!login.inhibitorClosed());

            awake.release();
            WAIT_COMPARE(screenSaver.uninhibited, QList<uint>({7}));
            WAIT_VERIFY(login.inhibitorClosed());
            WAIT_COMPARE(m_log.size(), 4);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("saver"));
        QDBusConnection::disconnectFromBus(QStringLiteral("login"));
    }

    // Without any bus (a build machine) both requests fail at once and are logged. Runs after the test
    // above: the process keeps its first connection to each bus, also a failed one.
    void desktopBackendWithoutBuses()
    {
        DBusKeepAwakeBackend backend;
        KeepAwake awake(reasons(), log(), &backend);
        awake.hold();
        // The connections of the buses stopped above may still be noticing it: then the calls fail.
        WAIT_COMPARE(awake.stateForTesting(Measure::systemSleep), State::released);
        WAIT_COMPARE(awake.stateForTesting(Measure::displaySleep), State::released);
        QCOMPARE(m_log.size(), 2);
        m_log.sort();
        QVERIFY2(m_log[0].startsWith(QStringLiteral("Failed to create display sleep assertion: ")),
                 qPrintable(m_log[0]));
        QVERIFY2(m_log[1].startsWith(QStringLiteral("Failed to create system sleep assertion: ")),
                 qPrintable(m_log[1]));
    }
};

LYRAFOLD_TEST_MAIN(KeepAwakeTest)
#include "tst_keepawake.moc"
