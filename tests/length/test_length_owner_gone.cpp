// Workers that outlive their owner: the length service destroyed while a
// measurement hangs (a share that stopped answering as the player ends)
// must never be reached by that worker when it comes back. Also built with
// AddressSanitizer (tests/fuzz/project), where a late call into the freed
// service is reported as a use after free.

#include "common/reply_channel.h"
#include "player/core/length/length_workers.h"
#include "player/core/length/song_length_service.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace qpt;
using namespace qpt::length;

namespace {

// A measurement that blocks until released, as a read on a hung share
// does; shared with the workers, which outlive the service.
struct Hold {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::atomic<int> entered = 0;
    std::atomic<int> returned = 0;

    LengthResult measure(const LengthJob& job)
    {
        ++entered;
        {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return open; });
        }
        LengthResult result;
        result.entry = job.entry;
        result.length = *SongLength::fromMilliseconds(3000);
        ++returned;
        return result;
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
};

// Once the test holds the last reference, every thread that measured with
// it has ended, and with it whatever it was going to report.
bool workersGone(const std::shared_ptr<Hold>& hold)
{
    return QTest::qWaitFor([&] { return hold.use_count() == 1; }, 10000);
}

}  // namespace

class TestLengthOwnerGone : public QObject {
    Q_OBJECT
private slots:
    void serviceDestroyedWhileAMeasurementHangs()
    {
        auto hold = std::make_shared<Hold>();
        auto* service = new SongLengthService;
        service->setProbeDeadline(60000);  // the watchdog stays out of it
        service->setMeasureForTests([hold](const LengthJob& job) { return hold->measure(job); });
        int measuredBatches = 0;
        connect(service, &SongLengthService::measured, this, [&] { ++measuredBatches; });
        service->request(1, "/hung/share/song.mp3");
        QVERIFY(QTest::qWaitFor([&] { return hold->entered == 1; }, 5000));

        delete service;
        hold->release();
        QVERIFY(workersGone(hold));
        QTest::qWait(50);  // whatever was posted to the service would run now
        QCOMPARE(hold->returned.load(), 1);
        QCOMPARE(measuredBatches, 0);
    }

    // The same through the workers alone, with an owner whose replies are
    // counted: a result is announced while the channel is open, none after
    // the owner closed it, although the worker finishes its job.
    void aClosedChannelDeliversNothing()
    {
        auto hold = std::make_shared<Hold>();
        auto owner = std::make_unique<QObject>();
        auto channel = ReplyChannel::to(owner.get());
        int announced = 0;
        auto workers = std::make_unique<LengthWorkers>(
            1, [hold](const LengthJob& job) { return hold->measure(job); }, channel, [&announced] { ++announced; },
            60000);
        LengthJob job;
        job.entry = 1;
        workers->submit({job});
        QVERIFY(QTest::qWaitFor([&] { return hold->entered == 1; }, 5000));
        QVERIFY(channel->reply([] {}));

        channel->close();
        owner.reset();
        workers.reset();
        hold->release();
        QVERIFY(workersGone(hold));
        QTest::qWait(50);
        QCOMPARE(hold->returned.load(), 1);
        QCOMPARE(announced, 0);
        QVERIFY(!channel->reply([&announced] { ++announced; }));
    }
};

QTEST_GUILESS_MAIN(TestLengthOwnerGone)
#include "test_length_owner_gone.moc"
