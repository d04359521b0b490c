// Song lengths measured on the worker threads while the playlist changes
// under them: rows removed, the list sorted (emptied and read back), the
// cap, and one file that takes long or fails.

#include "player/playlist/playlist_files.h"
#include "tests/player/core_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QHash>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <chrono>
#include <thread>

#include <sys/stat.h>

using namespace qpt;
using namespace qpt::test;

namespace {

// `seconds` of 8 kHz 8-bit mono silence.
QByteArray wavOfSeconds(int seconds)
{
    return qpt::test::pcmWav(8000, 1, 8, QByteArray(8000 * seconds, '\x80'));
}

QByteArray lines(const QList<QByteArray>& paths)
{
    QByteArray bytes;
    for (const QByteArray& path : paths)
        bytes += path + "\r\n";
    return bytes;
}

// Holds the worker threads' measurements until released; the rest of the
// measurement is the real one.
struct Gate {
    std::atomic<int> allowed{0};
    QByteArray blockedPath;  // when set, only this file waits
    void install(SongLengthService& lengths)
    {
        lengths.setMeasureForTests([this, &lengths](const length::LengthJob& job) {
            const bool waits = blockedPath.isEmpty() || job.path == blockedPath;
            while (waits) {
                int left = allowed.load();
                if (left > 0 && allowed.compare_exchange_weak(left, left - 1))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return lengths.measure(job);
        });
    }
};

}  // namespace

class TestLengthsInBackground : public QObject {
    Q_OBJECT

    // Every row shows the length of the file its own path names.
    static void verifyEveryRowHasItsOwnLength(const PlaylistModel& rows, const QHash<QByteArray, QString>& expected)
    {
        for (int row = 1; row <= rows.count(); ++row)
            QCOMPARE(*rows.length(row), expected.value(*rows.path(row)));
    }

private slots:
    void rowsRemovedAndSortedWhileLengthsArePending()
    {
        TestEnv env;
        CoreFixture p;
        Gate gate;
        gate.install(p.core.lengths);
        QList<QByteArray> songs;
        QHash<QByteArray, QString> expected;
        for (int seconds = 1; seconds <= 6; ++seconds) {
            // Names in the reverse order of the lengths: sorting moves every row.
            const QByteArray path = QFile::encodeName(env.root() + QStringLiteral("/%1.wav").arg(7 - seconds));
            QVERIFY(TestEnv::writeNative(path, wavOfSeconds(seconds)));
            songs << path;
            expected.insert(path, QStringLiteral("0:0%1").arg(seconds));
        }

        // Removed while every length is under way.
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines(songs));
        QVERIFY(p.pickUp());
        QCOMPARE(p.core.lengths.pending(), 6);
        p.playlist.removeRow(2);
        p.playlist.removeRow(3);
        gate.allowed = 1000;
        QVERIFY(QTest::qWaitFor([&] { return p.core.lengths.pending() == 0; }, 10000));
        QCOMPARE(p.playlist.count(), 4);
        verifyEveryRowHasItsOwnLength(p.playlist, expected);

        // Sorted (written out, emptied, read back) while the lengths of new
        // rows are under way: what was measured for the emptied rows lands
        // nowhere, the rows read back get theirs.
        gate.allowed = 0;
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), lines(songs));
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.count(), 10);
        QCOMPARE(p.core.lengths.pending(), 6);  // held at the gate
        QVERIFY(playlistfiles::writeSorted(p.playlist.paths()));
        p.playlist.clear();
        QCOMPARE(p.core.lengths.pending(), 0);
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.count(), 10);
        QCOMPARE(*p.playlist.path(1), songs.last());  // "1.wav" first
        gate.allowed = 1000;
        QVERIFY(QTest::qWaitFor([&] { return p.core.lengths.pending() == 0; }, 10000));
        verifyEveryRowHasItsOwnLength(p.playlist, expected);
    }

    // A batch larger than the cap: the rows come in steps, with the event
    // loop between them, and each of the 30000 rows gets its length.
    void lengthsAtTheCap()
    {
        TestEnv env;
        CoreFixture p;
        const QByteArray song = QFile::encodeName(env.root() + QStringLiteral("/song.wav"));
        QVERIFY(TestEnv::writeNative(song, wavOfSeconds(4)));
        const QByteArray later = QFile::encodeName(env.root() + QStringLiteral("/later.wav"));
        QVERIFY(TestEnv::writeNative(later, wavOfSeconds(9)));
        QList<QByteArray> list(PlaylistModel::kCap, song);
        list << later << later;
        TestEnv::writeFile(env.app(QStringLiteral("big.sng")), lines(list));

        int turns = 0;
        QTimer other;
        connect(&other, &QTimer::timeout, this, [&] { ++turns; });
        other.start(0);
        p.loader.tick();
        QVERIFY(p.playlist.count() <= BatchLoader::kRowsPerStep);
        QVERIFY(QTest::qWaitFor([&] { return !p.loader.isLoading() && p.core.lengths.pending() == 0; }, 30000));
        QVERIFY(turns >= PlaylistModel::kCap / BatchLoader::kRowsPerStep - 1);  // others had their turns
        QCOMPARE(p.playlist.count(), PlaylistModel::kCap);
        for (int row = 1; row <= p.playlist.count(); ++row)
            QCOMPARE(*p.playlist.length(row), QStringLiteral("0:04"));

        // The two behind the cap were not added, and their file is gone.
        QCOMPARE(*p.playlist.path(PlaylistModel::kCap), song);
        QVERIFY(!QFile::exists(env.app(QStringLiteral("big.sng"))));
    }

    // A file that does not answer at all (a share gone to sleep) shows an
    // unknown length once its deadline is past, is not remembered in the
    // cache, and the rows after it are measured meanwhile.
    void aFileThatNeverAnswersShowsUnknown()
    {
        TestEnv env;
        CoreFixture p;
        struct Blocker {
            std::mutex mutex;
            std::condition_variable released;
            bool open = false;
        };
        auto blocker = std::make_shared<Blocker>();
        const QByteArray hung = QFile::encodeName(env.root() + QStringLiteral("/hung.wav"));
        QVERIFY(TestEnv::writeNative(hung, wavOfSeconds(4)));
        QList<QByteArray> list{hung};
        for (int seconds = 1; seconds <= 3; ++seconds) {
            const QByteArray path = QFile::encodeName(env.root() + QStringLiteral("/%1.wav").arg(seconds));
            QVERIFY(TestEnv::writeNative(path, wavOfSeconds(seconds)));
            list << path;
        }
        p.core.lengths.setProbeDeadline(300);
        p.core.lengths.setCacheFile(env.cacheDir() + QStringLiteral("/lengths.cache"));
        SongLengthService& lengths = p.core.lengths;
        lengths.setMeasureForTests([blocker, hung, &lengths](const length::LengthJob& job) {
            if (job.path == hung) {
                std::unique_lock lock(blocker->mutex);
                blocker->released.wait(lock, [&] { return blocker->open; });
            }
            return lengths.measure(job);
        });
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines(list));
        QVERIFY(p.loadBatches());
        QCOMPARE(*p.playlist.length(1), QStringLiteral("-:--"));
        QCOMPARE(*p.playlist.length(2), QStringLiteral("0:01"));
        QCOMPARE(*p.playlist.length(4), QStringLiteral("0:03"));
        QCOMPARE(lengths.stuckWorkers(), 1);
        QVERIFY(lengths.saveCache());
        SongLengthService later;
        later.setCacheFile(env.cacheDir() + QStringLiteral("/lengths.cache"));
        length::LengthJob job;
        job.path = list[1];
        const auto filesBefore = later.filesRead();
        QCOMPARE(later.measure(job).length.text(), QStringLiteral("0:01"));  // from the cache
        QCOMPARE(later.filesRead(), filesBefore);
        job.path = hung;  // never measured, so not in the cache: read now
        QCOMPARE(later.measure(job).length.text(), QStringLiteral("0:04"));
        QCOMPARE(later.filesRead(), filesBefore + 1);
        {
            const std::lock_guard lock(blocker->mutex);
            blocker->open = true;
            blocker->released.notify_all();
        }
        QVERIFY(QTest::qWaitFor([&] { return lengths.stuckWorkers() == 0; }, 5000));
    }

    // One file that takes long to read holds back one worker: every other
    // row gets its length meanwhile, also those that fail.
    void aSlowFileDoesNotHoldBackTheOthers()
    {
        TestEnv env;
        CoreFixture p;
        Gate gate;
        const QByteArray slow = QFile::encodeName(env.root() + QStringLiteral("/slow.wav"));
        QVERIFY(TestEnv::writeNative(slow, wavOfSeconds(5)));
        gate.blockedPath = slow;
        gate.install(p.core.lengths);
        QList<QByteArray> list{slow};
        for (int seconds = 1; seconds <= 3; ++seconds) {
            const QByteArray path = QFile::encodeName(env.root() + QStringLiteral("/%1.wav").arg(seconds));
            QVERIFY(TestEnv::writeNative(path, wavOfSeconds(seconds)));
            list << path;
        }
        const QByteArray folder = QFile::encodeName(env.root() + QStringLiteral("/folder.mp3"));
        QVERIFY(QDir().mkpath(QFile::decodeName(folder)));
        const QByteArray fifo = QFile::encodeName(env.root() + QStringLiteral("/pipe.mp3"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const QByteArray noise = QFile::encodeName(env.root() + QStringLiteral("/noise.mp3"));
        QVERIFY(TestEnv::writeNative(noise, QByteArray(100000, 'n')));
        list << folder << fifo << noise << QByteArray("/nowhere/gone.wav");
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines(list));

        p.loader.tick();
        QVERIFY(QTest::qWaitFor([&] { return p.core.lengths.pending() == 1; }, 10000));
        QCOMPARE(*p.playlist.length(1), QString());  // still being measured
        const QStringList others{QStringLiteral("0:01"), QStringLiteral("0:02"), QStringLiteral("0:03"),
                                 QStringLiteral("0:00"), QStringLiteral("0:00"), QStringLiteral("0:00"),
                                 QStringLiteral("0:00")};
        for (int row = 2; row <= p.playlist.count(); ++row)
            QCOMPARE(*p.playlist.length(row), others[row - 2]);

        gate.allowed = 1;
        QVERIFY(QTest::qWaitFor([&] { return p.core.lengths.pending() == 0; }, 10000));
        QCOMPARE(*p.playlist.length(1), QStringLiteral("0:05"));
    }
};

QTEST_MAIN(TestLengthsInBackground)
#include "test_lengths_in_background.moc"
