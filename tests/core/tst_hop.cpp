#include "TestHarness.h"
#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/session/LandingGate.h"

#include <QSemaphore>
#include <QThread>

#include <memory>

class HopTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The result comes back on the UI thread to a receiver that is still there, and to none that went
    // while the work ran.
    void resultReachesOnlyALivingReceiver_data()
    {
        QTest::addColumn<bool>("receiverLives");
        QTest::newRow("receiver lives") << true;
        QTest::newRow("receiver gone") << false;
    }

    void resultReachesOnlyALivingReceiver()
    {
        QFETCH(bool, receiverLives);
        auto receiver = std::make_unique<QObject>();
        QSemaphore workMayEnd;
        int delivered = 0;
        QThread *deliveredOn = nullptr;
        Hop::run(
            receiver.get(),
            [&] {
                workMayEnd.acquire();
                return 42;
            },
            [&](int result) {
                delivered = result;
                deliveredOn = QThread::currentThread();
            });
        if (!receiverLives)
            receiver.reset();
        workMayEnd.release();
        if (receiverLives) {
            WAIT_COMPARE(delivered, 42);
            QCOMPARE(deliveredOn, QCoreApplication::instance()->thread());
            return;
        }
        TestHarness::settleWorkers();
        QCOMPARE(delivered, 0);
    }

    // Work that lands while a field holds typed text waits for the last field to close, and then lands
    // in the order it came, what it lands in turn after it. While a quit is under way it waits, and is
    // dropped as the program ends, another program's version of a file excepted; a quit taken back
    // lets it land. Steps: open, close, quit, cancel, end, "land X" ("land X at quit": one that lands at
    // a quit too; "land X then Y": X lands Y as it lands), "gone X" (its receiver is deleted).
    void workThatLandsWaitsForTheFieldsAndTheQuit_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("log"); // X landed, -X dropped; "|" where the steps are read
        const auto row = [](const char *name, const char *steps, const char *log) {
            QTest::newRow(name) << QString::fromLatin1(steps).split(QLatin1Char(','))
                                << QString::fromLatin1(log);
        };
        row("no field", "land A,|,land B", "A|B");
        row("a field", "open,land A,land B,|,close", "|AB");
        row("two fields", "open,open,land A,close,|,close", "|A");
        row("in order, with what a landing lands", "open,land A then C,land B,close", "ABC");
        row("a receiver gone meanwhile", "open,land A,land B,gone A,close", "-AB");
        row("a quit: kept, then dropped", "quit,land A,land B at quit,|,end", "B|-A");
        row("a quit with a field open", "open,land A,land B at quit,quit,close,|,end", "B|-A");
        row("a quit taken back", "quit,land A,|,cancel", "|A");
        row("a quit taken back with a field open", "open,quit,land A,cancel,|,close", "|A");
    }

    void workThatLandsWaitsForTheFieldsAndTheQuit()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, log);
        LandingGate gate;
        QString landed;
        QHash<QString, QObject *> receivers;
        const auto receiver = [&](const QString &name) {
            if (!receivers.contains(name))
                receivers.insert(name, new QObject(&gate));
            return receivers.value(name);
        };
        for (const QString &step : std::as_const(steps)) {
            const QStringList words = step.split(QLatin1Char(' '));
            if (step == "open") {
                gate.fieldOpened();
            } else if (step == "close") {
                gate.fieldClosed();
            } else if (step == "quit") {
                Q_EMIT NotificationBus::instance().quitting();
            } else if (step == "cancel") {
                Q_EMIT NotificationBus::instance().quitCancelled();
            } else if (step == "end") {
                QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
            } else if (step == "|") {
                landed += QLatin1Char('|');
            } else if (words.first() == "gone") {
                delete receiver(words.at(1));
            } else {
                const QString name = words.at(1);
                const QString then = words.size() == 4 && words.at(2) == "then" ? words.at(3) : QString();
                gate.land(
                    receiver(name),
                    [&, name, then] {
                        landed += name;
                        if (!then.isEmpty())
                            gate.land(receiver(then), [&landed, then] { landed += then; });
                    },
                    step.endsWith("at quit") ? LandingGate::AtQuit::land : LandingGate::AtQuit::drop,
                    [&landed, name] { landed += QLatin1Char('-') + name; });
            }
        }
        QCOMPARE(landed, log);
        QCOMPARE(gate.holding(), false);
    }
};

LYRAFOLD_TEST_MAIN(HopTest)
#include "tst_hop.moc"
