#include "TestHarness.h"
#include "core/common/Hop.h"

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
};

LYRAFOLD_TEST_MAIN(HopTest)
#include "tst_hop.moc"
