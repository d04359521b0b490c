// The length workers' deadline: a file that does not answer is given up on,
// its row answered as unknown, its worker replaced, and every other file
// measured meanwhile; past the cap of stuck workers nothing waits for good.
// Idle workers end and come back with the next job.

#include "player/core/length/length_workers.h"
#include "player/core/length/mount_table.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using namespace qpt;
using namespace qpt::length;

namespace {

// A measurement that blocks on the paths marked "hang" until released, as
// a read on a share that stopped answering does; shared with the workers,
// which may outlive the test's scope.
struct Share {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::atomic<int> measured = 0;

    LengthResult measure(const LengthJob& job)
    {
        if (job.path.startsWith("hang")) {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return open; });
        }
        ++measured;
        LengthResult result;
        result.entry = job.entry;
        result.length = *SongLength::fromMilliseconds(1000 * job.path.mid(job.path.indexOf('/') + 1).toInt());
        return result;
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
};

std::vector<LengthJob> jobs(const QList<QByteArray>& paths)
{
    std::vector<LengthJob> list;
    quint64 entry = 0;
    for (const QByteArray& path : paths) {
        LengthJob job;
        job.entry = ++entry;
        job.path = path;
        list.push_back(job);
    }
    return list;
}

// Takes results until `count` have come (or the time is up).
std::map<quint64, QString> collect(LengthWorkers& workers, size_t count, int timeoutMs = 10000)
{
    std::map<quint64, QString> seen;
    [[maybe_unused]] const bool all = QTest::qWaitFor(
        [&] {
            for (const LengthResult& result : workers.takeResults())
                seen[result.entry] = result.length.text();
            return seen.size() >= count;
        },
        timeoutMs);
    return seen;
}

// This process's threads of that name, from /proc: threads that really
// run, not what the workers believe.
int threadsNamed(const QByteArray& name)
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            ++count;
    }
    return count;
}

}  // namespace

class TestLengthWorkers : public QObject {
    Q_OBJECT
private slots:
    void aFileThatDoesNotAnswerIsGivenUp()
    {
        auto share = std::make_shared<Share>();
        {
            LengthWorkers workers(2, [share](const LengthJob& job) { return share->measure(job); }, nullptr, {}, 300);
            // Both workers meet a hung file first; the local ones wait behind.
            workers.submit(jobs({"hang/1", "hang/2", "local/3", "local/4", "local/5"}));
            const auto seen = collect(workers, 5);
            QCOMPARE(seen.size(), size_t(5));
            QCOMPARE(seen.at(1), QStringLiteral("-:--"));
            QCOMPARE(seen.at(2), QStringLiteral("-:--"));
            QCOMPARE(seen.at(3), QStringLiteral("0:03"));
            QCOMPARE(seen.at(5), QStringLiteral("0:05"));
            QCOMPARE(workers.stuckWorkers(), 2);

            // The share answers again: the late answers are dropped, the
            // stuck threads end.
            share->release();
            QVERIFY(QTest::qWaitFor([&] { return workers.stuckWorkers() == 0; }, 5000));
            QTest::qWait(50);
            QVERIFY(workers.takeResults().empty());
        }
        QCOMPARE(share->measured.load(), 5);
    }

    void pastTheCapNothingWaitsForGood()
    {
        auto share = std::make_shared<Share>();
        LengthWorkers workers(2, [share](const LengthJob& job) { return share->measure(job); }, nullptr, {}, 100);
        QList<QByteArray> paths;
        for (int i = 0; i < LengthWorkers::kMaxAbandoned + 6; ++i)
            paths << "hang/" + QByteArray::number(i % 10);
        workers.submit(jobs(paths));
        // Every job is answered, as unknown, although no thread came back.
        const auto seen = collect(workers, size_t(paths.size()), 20000);
        QCOMPARE(seen.size(), size_t(paths.size()));
        for (const auto& [entry, text] : seen)
            QCOMPARE(text, QStringLiteral("-:--"));
        QCOMPARE(workers.stuckWorkers(), LengthWorkers::kMaxAbandoned);
        // And so is a job that comes later.
        workers.submit(jobs({"local/7"}));
        QCOMPARE(collect(workers, 1).size(), size_t(1));
        share->release();
        QVERIFY(QTest::qWaitFor([&] { return workers.stuckWorkers() == 0; }, 5000));
    }

    // A share that stops answering holds many songs: once one of its files
    // is given up on, its others are answered at once without a worker
    // each, local songs go on being measured, and when the share answers
    // again its songs are measured again.
    void aSuspectPlaceCostsOneDeadline()
    {
        auto share = std::make_shared<Share>();
        LengthWorkers workers(2, [share](const LengthJob& job) { return share->measure(job); }, nullptr, {}, 200);
        workers.setPlaceOf([](const LengthJob& job) { return job.path.left(job.path.indexOf('/')); });
        QList<QByteArray> paths;
        for (int i = 1; i <= 3 * LengthWorkers::kMaxAbandoned; ++i)
            paths << (i % 3 ? "hang/" : "local/") + QByteArray::number(i % 10);
        workers.submit(jobs(paths));
        const auto seen = collect(workers, size_t(paths.size()), 20000);
        QCOMPARE(seen.size(), size_t(paths.size()));
        for (const auto& [entry, text] : seen)
            QCOMPARE(text, paths[int(entry) - 1].startsWith("hang") ? QStringLiteral("-:--") : QStringLiteral("0:0%1").arg(QChar(paths[int(entry) - 1].back())));
        QVERIFY(workers.stuckWorkers() <= 2);  // not one per song of the share

        share->release();
        QVERIFY(QTest::qWaitFor([&] { return workers.stuckWorkers() == 0; }, 5000));
        std::vector<LengthJob> later = jobs({"hang/4"});
        later.front().entry = 1000;
        workers.submit(later);
        const auto again = collect(workers, 1);
        QCOMPARE(again.at(1000), QStringLiteral("0:04"));
    }

    void placesAreMountPoints()
    {
        const QByteArray table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                 "40 22 0:40 / /mnt/music rw - fuse x rw\n"
                                 "41 22 0:41 / /mnt/music\\040share rw - cifs //nas/m rw\n";
        const QList<QByteArray> points = mountPointsIn(table);
        QCOMPARE(points, (QList<QByteArray>{"/", "/mnt/music", "/mnt/music share"}));
        QCOMPARE(longestHolding(points, "/mnt/music/a.mp3"), QByteArray("/mnt/music"));
        QCOMPARE(longestHolding(points, "/mnt/music share/a.mp3"), QByteArray("/mnt/music share"));
        QCOMPARE(longestHolding(points, "/mnt/musicx/a.mp3"), QByteArray("/"));
        QCOMPARE(mountPointOf("/proc/self/status"), QByteArray("/proc"));
        QVERIFY(mountPointOf("music/a.mp3").isEmpty());
    }

    // What a person looks at first: the urgent entries in the order given,
    // then the rest in list order; urgent entries already measured or
    // never asked for are passed over.
    void urgentEntriesComeFirst()
    {
        auto share = std::make_shared<Share>();
        std::vector<quint64> order;
        std::mutex orderLock;
        LengthWorkers workers(
            1,
            [share, &order, &orderLock](const LengthJob& job) {
                {
                    const std::lock_guard lock(orderLock);
                    order.push_back(job.entry);
                }
                return share->measure(job);
            },
            nullptr, {});
        // The first job holds the only worker until the list is complete.
        QList<QByteArray> paths{"hang/1"};
        for (int i = 2; i <= 8; ++i)
            paths << "local/" + QByteArray::number(i);
        workers.submit(jobs(paths));
        QVERIFY(QTest::qWaitFor([&] { const std::lock_guard lock(orderLock); return !order.empty(); }, 5000));
        workers.setUrgent({6, 99, 3});
        share->release();
        QCOMPARE(collect(workers, 8).size(), size_t(8));
        const std::lock_guard lock(orderLock);
        QCOMPARE(order, (std::vector<quint64>{1, 6, 3, 2, 4, 5, 7, 8}));
    }

    // A player whose lengths are all known runs no length threads; a new
    // song brings them back, and a hung file still meets its deadline.
    void idleWorkersEndAndComeBack()
    {
        auto share = std::make_shared<Share>();
        LengthWorkers workers(2, [share](const LengthJob& job) { return share->measure(job); }, nullptr, {}, 300);
        workers.setIdleEnd(200);
        workers.submit(jobs({"local/1", "local/2", "local/3"}));
        QCOMPARE(collect(workers, 3).size(), size_t(3));
        QVERIFY(QTest::qWaitFor([&] { return workers.runningThreads() == 0; }, 5000));
        QVERIFY(QTest::qWaitFor([] { return threadsNamed("song lengths") + threadsNamed("length watchdog") == 0; },
                                5000));

        workers.submit(jobs({"hang/1", "local/2"}));
        const auto seen = collect(workers, 2);
        QCOMPARE(seen.at(1), QStringLiteral("-:--"));
        QCOMPARE(seen.at(2), QStringLiteral("0:02"));
        QCOMPARE(workers.stuckWorkers(), 1);
        // The stuck worker is not counted and not waited for; the others end.
        QVERIFY(QTest::qWaitFor([&] { return workers.runningThreads() == 0; }, 5000));
        share->release();
        QVERIFY(QTest::qWaitFor([&] { return workers.stuckWorkers() == 0; }, 5000));
    }

    void cancelledResultsNeverArrive()
    {
        auto share = std::make_shared<Share>();
        LengthWorkers workers(2, [share](const LengthJob& job) { return share->measure(job); }, nullptr, {}, 200);
        workers.submit(jobs({"hang/1", "local/2"}));
        QVERIFY(QTest::qWaitFor([&] { return share->measured >= 1; }, 5000));
        workers.cancelAll();  // the list was cleared while the hung file was read
        QTest::qWait(400);    // past the deadline
        QVERIFY(workers.takeResults().empty());
        share->release();
        QVERIFY(QTest::qWaitFor([&] { return workers.stuckWorkers() == 0; }, 5000));
    }
};

QTEST_GUILESS_MAIN(TestLengthWorkers)
#include "test_length_workers.moc"
