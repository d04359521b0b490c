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
        // local song.
        bool prepare(Mode mode, int moreOnShare = 0)
        {
            QDir().mkpath(local);
            QDir().mkpath(source);
            const QString tone = testDataDir() + QStringLiteral("/tone.wav");
            for (int i = 1; i <= 2 + moreOnShare; ++i)
                QFile::copy(tone, source + QStringLiteral("/s%1.wav").arg(i));
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
        void start()
        {
            QProcessEnvironment environment = bus.environment(env.processEnvironment());
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qpt.lengths.info=true"));
            environment.insert(QStringLiteral("QPT_DIALOG_LOG"), env.dialogLog());
            environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QString());
            player.setProcessEnvironment(environment);
            player.setWorkingDirectory(env.appDir());
            player.setStandardErrorFile(log);
            player.start(env.app(kPlayer));
            player.waitForStarted(5000);
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
