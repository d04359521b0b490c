// The real player with a saved playlist of local songs and songs on a share
// that stops answering (tests/support/hung_share.*), watched throughout by
// a call only its window thread answers (a media-controls property read
// over D-Bus, within a second): it starts with the list at once, the local
// songs get their lengths, Play on a hung song ends up playing a local
// song with one message, and SIGTERM saves every entry and ends it.

#include "common/settings_store.h"
#include "tests/support/hung_share.h"
#include "tests/support/mpris_probe.h"
#include "tests/support/private_bus.h"
#include "tests/support/test_env.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>

using namespace qpt;
using namespace qpt::test;

namespace {

const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");
using Mode = HungShare::Mode;

// The leader of a process that has begun to end (a zombie while a thread
// of it still waits in the kernel), or no process at all.
bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z" || line.mid(afterName + 2, 1) == "X";
}

}  // namespace

Q_DECLARE_METATYPE(qpt::test::HungShare::Mode)

class TestPlayerOnHungShare : public QObject {
    Q_OBJECT

    struct World {
        TestEnv env;
        PrivateBus bus{env.root()};
        QString local = env.root() + QStringLiteral("/local");
        QString source = env.root() + QStringLiteral("/source");
        QStringList entries;  // the saved playlist, in order
        std::unique_ptr<HungShare> share;
        QProcess player;
        QString log = env.root() + QStringLiteral("/player.log");

        // `moreOnShare` further songs of the share come before the last
        // local song. The share's songs are `shareSong` where given.
        bool prepare(Mode mode, int moreOnShare = 0, const QByteArray& shareSong = {})
        {
            QDir().mkpath(local);
            QDir().mkpath(source);
            const QString tone = testDataDir() + QStringLiteral("/tone.wav");
            for (int i = 1; i <= 2 + moreOnShare; ++i) {
                const QString song = source + QStringLiteral("/s%1.wav").arg(i);
                if (shareSong.isEmpty())
                    QFile::copy(tone, song);
                else
                    TestEnv::writeFile(song, shareSong);
            }
            for (const QString& name : {QStringLiteral("1.wav"), QStringLiteral("2.wav"), QStringLiteral("3.wav")})
                QFile::copy(tone, local + QLatin1Char('/') + name);
            share = std::make_unique<HungShare>(source, env.root() + QStringLiteral("/share"));
            if (!share->available())
                return true;
            entries = {share->filePath(QStringLiteral("s1.wav")), local + QStringLiteral("/1.wav"),
                       share->filePath(QStringLiteral("s2.wav")), local + QStringLiteral("/2.wav")};
            for (int i = 0; i < moreOnShare; ++i)
                entries << share->filePath(QStringLiteral("s%1.wav").arg(i + 3));
            entries << local + QStringLiteral("/3.wav");
            QByteArray saved;
            for (const QString& entry : entries)
                saved += QFile::encodeName(entry) + "\r\n";
            SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("2"));
            SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
            SettingsStore::write(QStringLiteral("FadeOutCD"), QStringLiteral("2"));
            return env.installProgram(kPlayer) && TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.aut")), saved + "\r\n")
                && share->setMode(mode);
        }
        void start() { start(player); }
        void start(QProcess& process)
        {
            QProcessEnvironment environment = bus.environment(env.processEnvironment());
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qpt.lengths.info=true"));
            environment.insert(QStringLiteral("QPT_DIALOG_LOG"), env.dialogLog());
            environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QString());
            process.setProcessEnvironment(environment);
            process.setWorkingDirectory(env.appDir());
            process.setStandardErrorFile(log, QIODevice::Append);
            process.start(env.app(kPlayer));
            process.waitForStarted(5000);
        }
        ~World()
        {
            if (QTest::currentTestFailed()) {
                qWarning().noquote() << "player's log:\n" << TestEnv::readFile(log).right(4000);
                qWarning().noquote() << "boxes:\n" << TestEnv::readFile(env.dialogLog());
            }
            if (share)
                share->release();  // frees whatever hangs on it, so the player can end
            if (player.state() != QProcess::NotRunning) {
                player.kill();
                player.waitForFinished(5000);
            }
        }
    };

    // Asks the player every 200 ms until `done` holds or the time is up;
    // every question must be answered within a second.
    static bool answersUntil(MprisProbe& probe, const std::function<bool()>& done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const auto status = probe.get(QStringLiteral("PlaybackStatus"));
            if (!status) {
                qWarning() << "the window thread did not answer within 1 s";
                return false;
            }
            if (done())
                return true;
            QTest::qWait(200);
        }
        return done();
    }

private slots:
    void deadShareFreezesNothing_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::newRow("reads block") << Mode::BlockReads;
        QTest::newRow("everything blocks") << Mode::BlockStat;
    }

    void deadShareFreezesNothing()
    {
        QFETCH(Mode, mode);
        World world;
        QVERIFY(world.prepare(mode));
        if (!world.share->available())
            QSKIP(qPrintable(world.share->whyUnavailable()));
        QVERIFY2(!world.bus.address().isEmpty(), "dbus-daemon did not start");
        world.start();
        MprisProbe probe(world.bus.address());
        QVERIFY(waitUntil([&] { return probe.playerPresent(); }, 10000));

        // The window and the saved list at once, although two of its songs
        // do not answer.
        QVERIFY(answersUntil(probe, [&] { return probe.get(QStringLiteral("CanPlay")).value_or(false).toBool(); },
                             3000));
        // The autosave was taken up; whatever the player saves later is new.
        QVERIFY(waitUntil([&] { return !QFile::exists(world.env.app(QStringLiteral("autosavedlist.sng"))); }, 5000));
        QFile::remove(world.env.app(QStringLiteral("autosavedlist.aut")));

        // Every row gets an answer: the local songs their lengths, the
        // share's an unknown one once their deadline is past.
        QVERIFY(answersUntil(
            probe, [&] { return TestEnv::readFile(world.log).contains("all lengths known: 5 rows"); }, 15000));

        // Play starts the hung song; after its 10 s the first local song
        // plays, with one message naming the hung one.
        QVERIFY(probe.call(QStringLiteral("Play")));
        const auto playingLocal = [&] {
            const QVariantMap metadata = probe.metadata();
            return metadata.value(QStringLiteral("xesam:url")).toString().endsWith(QStringLiteral("/local/1.wav"))
                && probe.get(QStringLiteral("PlaybackStatus")).value_or(QString()).toString()
                       == QStringLiteral("Playing");
        };
        QVERIFY(answersUntil(probe, playingLocal, 20000));
        const QVariantMap metadata = probe.metadata();
        QVERIFY2(metadata.contains(QStringLiteral("mpris:length")), "the local song has its length");
        const QStringList titles = world.env.dialogTitles();
        QCOMPARE(titles, QStringList{QStringLiteral("Song Not Answering")});
        QVERIFY(TestEnv::readFile(world.env.dialogLog()).contains("s1.wav"));

        // SIGTERM: every entry saved, and the process ends, within 3 s,
        // although threads of it still wait on the share.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::kill(pid_t(world.player.processId()), SIGTERM), 0);
        QByteArray expected;
        for (const QString& entry : world.entries)
            expected += QFile::encodeName(entry) + "\r\n";
        QVERIFY(waitUntil([&] { return TestEnv::readFile(world.env.app(QStringLiteral("autosavedlist.aut"))) == expected + "\r\n"; },
                          3000));
        const qint64 pid = world.player.processId();
        QVERIFY(waitUntil([&] { return hasEnded(pid); }, 3000));
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("Running.chk"))));
        QVERIFY(world.share->release());
        if (world.player.state() != QProcess::NotRunning && !world.player.waitForFinished(5000)) {
            for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                qWarning() << task << TestEnv::readFile(QStringLiteral("/proc/%1/task/%2/stat").arg(pid).arg(task)).left(60)
                           << TestEnv::readFile(QStringLiteral("/proc/%1/task/%2/wchan").arg(pid).arg(task));
            QFAIL("the player did not end once the share was released");
        }
    }

    // A song whose share stops answering halfway through is passed over
    // like one that never started: 10 s without data, one message, and the
    // next song plays. Closed then, the player lets go of its instance at
    // once, although a thread of it stays stuck on the share: a new start
    // comes up while the old process is still there.
    void songHangingMidwayIsPassedOverAndLocksNothing()
    {
        World world;
        // 12 s of tone; its second half never arrives.
        const QByteArray song = pcmWav(8000, 1, 16, QByteArray(8000 * 2 * 12, char(0x10)));
        QVERIFY(world.prepare(Mode::StallMidFile, 0, song));
        if (!world.share->available())
            QSKIP(qPrintable(world.share->whyUnavailable()));
        QVERIFY2(!world.bus.address().isEmpty(), "dbus-daemon did not start");
        world.start();
        MprisProbe probe(world.bus.address());
        QVERIFY(waitUntil([&] { return probe.playerPresent(); }, 10000));
        QVERIFY(answersUntil(probe, [&] { return probe.get(QStringLiteral("CanPlay")).value_or(false).toBool(); },
                             3000));

        const auto playing = [&](const char* ending) {
            return probe.metadata().value(QStringLiteral("xesam:url")).toString().endsWith(QLatin1String(ending))
                && probe.get(QStringLiteral("PlaybackStatus")).value_or(QString()).toString()
                       == QStringLiteral("Playing");
        };
        QVERIFY(probe.call(QStringLiteral("Play")));
        QVERIFY(answersUntil(probe, [&] { return playing("/share/s1.wav"); }, 5000));
        QElapsedTimer clock;
        clock.start();
        // About 6 s of sound, then 10 s of nothing: the local song follows.
        QVERIFY(answersUntil(probe, [&] { return playing("/local/1.wav"); }, 25000));
        QVERIFY2(clock.elapsed() > 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(world.env.dialogTitles(), QStringList{QStringLiteral("Song Not Answering")});
        QVERIFY(TestEnv::readFile(world.env.dialogLog()).contains("s1.wav"));

        // Closed as the Online System asks, with a media session stuck.
        QVERIFY(TestEnv::writeFile(world.env.app(QStringLiteral("shutdown.os")), QByteArray()));
        const qint64 pid = world.player.processId();
        QVERIFY(waitUntil([&] { return hasEnded(pid); }, 8000));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("Running.chk"))));
        QVERIFY2(world.player.state() != QProcess::NotRunning, "the old player was expected to hang on the share");

        QProcess second;
        clock.restart();
        world.start(second);
        MprisProbe secondProbe(world.bus.address());
        QVERIFY2(waitUntil([&] { return secondProbe.playerPresent(); }, 10000), "a new start ended silently");
        QVERIFY(waitUntil([&] { return QFile::exists(world.env.app(QStringLiteral("Running.chk"))); }, 3000));
        QCOMPARE(second.state(), QProcess::Running);
        second.kill();
        second.waitForFinished(5000);
    }

    // Every row's length settles while the window thread goes on answering:
    // a share that answers slowly (2 s a read) is measured all the same; on
    // a dead share of many songs, once one of them is given up on the rest
    // are answered at once, and a local song after them is still measured
    // (not answered unknown for want of workers).
    void lengthsSettle_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("moreOnShare");
        QTest::addColumn<QByteArray>("settled");
        QTest::newRow("slow share") << Mode::SlowReads << 0 << QByteArray("all lengths known: 5 rows, 0 did not answer");
        QTest::newRow("many songs on a dead share")
            << Mode::BlockStat << 60 << QByteArray("all lengths known: 65 rows, 62 did not answer");
    }

    void lengthsSettle()
    {
        QFETCH(Mode, mode);
        QFETCH(int, moreOnShare);
        QFETCH(QByteArray, settled);
        World world;
        QVERIFY(world.prepare(mode, moreOnShare));
        if (!world.share->available())
            QSKIP(qPrintable(world.share->whyUnavailable()));
        world.start();
        MprisProbe probe(world.bus.address());
        QVERIFY(waitUntil([&] { return probe.playerPresent(); }, 10000));
        QVERIFY(answersUntil(probe, [&] { return TestEnv::readFile(world.log).contains(settled); }, 15000));
    }
};

QTEST_GUILESS_MAIN(TestPlayerOnHungShare)
#include "test_player_on_hung_share.moc"
