// The serial worker's thread comes with the first job and goes when idle,
// without losing the order of jobs; replies reach their owner only while
// its channel is open.

#include "common/serial_worker.h"

#include <QObject>
#include <QTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace qpt;

class TestWorkerThreads : public QObject {
    Q_OBJECT
private slots:
    void threadComesWithWorkAndGoesWhenIdle()
    {
        SerialWorker worker("test worker", 100);
        QVERIFY(!worker.hasThread());
        auto order = std::make_shared<std::vector<int>>();
        auto lock = std::make_shared<std::mutex>();
        const auto record = [order, lock](int n) {
            const std::lock_guard guard(*lock);
            order->push_back(n);
        };
        for (int n = 1; n <= 3; ++n)
            worker.post([record, n] { record(n); });
        QVERIFY(worker.hasThread());
        QVERIFY(QTest::qWaitFor([&] { return !worker.hasThread(); }, 5000));
        QVERIFY(worker.isIdle());
        // Started again; a job posted while the old thread is about to end
        // is not lost nor run out of order.
        for (int n = 4; n <= 40; ++n) {
            worker.post([record, n] { record(n); });
            if (n % 10 == 0)
                QTest::qWait(100);
        }
        QVERIFY(QTest::qWaitFor([&] { return worker.isIdle(); }, 5000));
        const std::lock_guard guard(*lock);
        QCOMPARE(int(order->size()), 40);
        for (int i = 0; i < 40; ++i)
            QCOMPARE((*order)[size_t(i)], i + 1);
    }

    void repliesStopWhenTheOwnerCloses()
    {
        auto owner = std::make_unique<QObject>();
        auto channel = ReplyChannel::to(owner.get());
        SerialWorker worker("test worker", 100);
        int heard = 0;
        std::atomic<bool> go = false;
        worker.post([channel, &heard] { channel->reply([&heard] { ++heard; }); });
        worker.post([channel, &go, &heard] {
            while (!go)
                std::this_thread::yield();
            channel->reply([&heard] { ++heard; });
        });
        QVERIFY(QTest::qWaitFor([&] { return heard == 1; }, 5000));
        channel->close();
        owner.reset();
        go = true;
        QVERIFY(QTest::qWaitFor([&] { return worker.isIdle(); }, 5000));
        QTest::qWait(20);
        QCOMPARE(heard, 1);
        QVERIFY(!channel->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestWorkerThreads)
#include "test_worker_threads.moc"
