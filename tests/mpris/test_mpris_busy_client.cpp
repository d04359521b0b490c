// The real player with a desktop client that reads the media controls'
// Metadata without pause (as panel widgets and phone remotes may), while
// short songs play one after the other: every song end is heard and the
// next song starts, however busy the window thread is with the client.
// And a list of songs that cannot be opened is passed at once, with
// "Stopped" said meanwhile.

#include "common/settings_store.h"
#include "tests/support/mpris_probe.h"
#include "tests/support/private_bus.h"
#include "tests/support/test_env.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");

struct Player {
    TestEnv env;
    PrivateBus bus{env.root()};
    QProcess process;

    bool start(const QByteArray& batch)
    {
        SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("2"));
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("2"));
        SettingsStore::write(QStringLiteral("FadeOutCD"), QStringLiteral("2"));
        if (bus.address().isEmpty() || !env.installProgram(kPlayer)
            || !TestEnv::writeFile(env.app(QStringLiteral("songs.sng")), batch))
            return false;
        QProcessEnvironment environment = bus.environment(env.processEnvironment());
        environment.insert(QStringLiteral("QPT_DIALOG_LOG"), env.dialogLog());
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QString());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(env.appDir());
        process.start(env.app(kPlayer));
        return process.waitForStarted(5000);
    }
    ~Player()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

}  // namespace

class TestMprisBusyClient : public QObject {
    Q_OBJECT

    // Starts the player with the batch, once its list is loaded, and
    // presses Play through the media controls.
    static bool startPlaying(Player& player, MprisProbe& probe, const QByteArray& batch)
    {
        return player.start(batch) && waitUntil([&] { return probe.playerPresent(); }, 10000)
            && waitUntil([&] { return probe.get(QStringLiteral("CanPlay")).value_or(false).toBool(); }, 10000)
            && probe.call(QStringLiteral("Play"));
    }

private slots:
    void songEndsAreNeverLost()
    {
        const QString song = testDataDir() + QStringLiteral("/short.wav");  // 1.5 s
        QByteArray batch;
        for (int i = 0; i < 4; ++i)
            batch += QFile::encodeName(song) + "\r\n";
        Player player;
        MprisProbe probe(player.bus.address());
        QVERIFY(startPlaying(player, probe, batch));

        // Read without pause for 30 s, noting every change of song.
        QElapsedTimer clock;
        clock.start();
        QString lastTrack;
        int changes = 0;
        qint64 lastChangeMs = 0;
        while (clock.elapsed() < 30000) {
            const QVariantMap metadata = probe.metadata(2000);
            const QString track = MprisProbe::trackId(metadata);
            if (!track.isEmpty() && track != lastTrack) {
                lastTrack = track;
                ++changes;
                lastChangeMs = clock.elapsed();
            }
        }
        // Some 20 songs of 1.5 s in 30 s; the last change a moment ago,
        // not a stall many songs back.
        QVERIFY2(changes >= 14, qPrintable(QStringLiteral("%1 song changes").arg(changes)));
        QVERIFY2(clock.elapsed() - lastChangeMs < 4000, qPrintable(QString::number(clock.elapsed() - lastChangeMs)));
    }

    // 2,000 songs on a drive that is not there before one that plays: they
    // are passed at once (not one per status tick), "Stopped" is said while
    // nothing plays, and the song that can play plays within seconds.
    void missingSongsArePassedAtOnce()
    {
        QByteArray batch;
        for (int i = 0; i < 2000; ++i)
            batch += "/media/unplugged/song" + QByteArray::number(i) + ".mp3\r\n";
        batch += QFile::encodeName(testDataDir() + QStringLiteral("/tone.wav")) + "\r\n";
        Player player;
        MprisProbe probe(player.bus.address());
        QVERIFY(startPlaying(player, probe, batch));
        bool saidStopped = false;
        const auto playing = [&] {
            const QString status = probe.get(QStringLiteral("PlaybackStatus")).value_or(QString()).toString();
            saidStopped |= status == QStringLiteral("Stopped");
            return status == QStringLiteral("Playing")
                && probe.metadata().value(QStringLiteral("xesam:url")).toString().endsWith(QStringLiteral("/tone.wav"));
        };
        QVERIFY(waitUntil(playing, 30000));
        QVERIFY(saidStopped);
        QVERIFY(TestEnv::readFile(player.env.dialogLog()).isEmpty());  // a song played: no message
    }
};

QTEST_GUILESS_MAIN(TestMprisBusyClient)
#include "test_mpris_busy_client.moc"
