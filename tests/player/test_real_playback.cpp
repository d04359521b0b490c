// The loader, the engine and the real GStreamer media component together:
// two short songs load from a batch file, play through into a fake sink and
// the end of the last one starts the first again.

#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "common/serial_worker.h"
#include "player/playlist/batch_loader.h"
#include "player/shell/main_display.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestRealPlayback : public QObject {
    Q_OBJECT
private slots:
    void playsThroughAndWraps()
    {
        TestEnv env;
        const QString first = env.root() + QStringLiteral("/first song.wav");
        const QString second = env.root() + QStringLiteral("/second.wav");
        QVERIFY(QFile::copy(testDataDir() + QStringLiteral("/short.wav"), first));
        QVERIFY(QFile::copy(testDataDir() + QStringLiteral("/short.wav"), second));
        TestEnv::writeFile(env.app(QStringLiteral("two.sng")), (first + QStringLiteral("\r\n") + second + QStringLiteral("\r\n")).toLocal8Bit());

        GstMediaComponent media;
        PlayerCore core(media);
        SerialWorker files("playlist files");
        BatchLoader loader(core.playlist, core.engine, core.lengths, files);
        MainDisplay display(core);
        // A song is heard from its playing notice, or, when it follows the
        // one before without a gap, from the media's advance.
        QList<QByteArray> started;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == playstate::Playing)
                started << media.url();
        });
        connect(&media, &MediaComponent::advanced, this, [&] { started << media.url(); });

        loader.tick();
        QVERIFY(waitUntil([&] { return !loader.isLoading(); }, 5000));
        QCOMPARE(core.playlist.count(), 2);
        QVERIFY(waitUntil([&] { return core.lengths.pending() == 0; }, 5000));
        QCOMPARE(*core.playlist.length(1), QStringLiteral("0:02"));  // 1.5 s, halves to even

        core.engine.play();
        QVERIFY(waitUntil([&] { return started.size() >= 1; }, 5000));
        QVERIFY(waitUntil([&] { return started.size() >= 2; }, 8000));
        QCOMPARE(started[1], QFile::encodeName(second));
        QCOMPARE(core.engine.songNumber(), 2);
        QVERIFY(core.playlist.isNowPlaying(2));
        // The last song ends: the first follows it again.
        QVERIFY(waitUntil([&] { return started.size() >= 3; }, 8000));
        QCOMPARE(started[0], QFile::encodeName(first));
        QCOMPARE(started[2], QFile::encodeName(first));
        QVERIFY(core.playlist.isNowPlaying(1));
        QVERIFY(!core.playlist.isNowPlaying(2));
        QCOMPARE(core.engine.songNumber(), 1);
        // The position tick sees the real position and length.
        QVERIFY(waitUntil([&] {
            core.positionTick();
            return display.timeLabel.text().endsWith(QStringLiteral(" / 01"));
        }, 2000));
    }

    // Stop pressed just as a song ends, when the next has already taken
    // over: the Stop wins, nothing plays on under a stopped display.
    void stopAsTheSongEndsWins()
    {
        TestEnv env;
        const QByteArray song = QFile::encodeName(testDataDir() + QStringLiteral("/short.wav"));
        GstMediaComponent media;
        PlayerCore* player = nullptr;
        // Connected before the player's own handler: the Stop is queued as
        // the next song takes over, and runs right after the player's part.
        connect(&media, &MediaComponent::advanced, this, [&] {
            QMetaObject::invokeMethod(this, [&] { player->engine.stop(); }, Qt::QueuedConnection);
        });
        PlayerCore core(media);
        MainDisplay display(core);
        player = &core;
        core.playlist.append(song, QStringLiteral("one"));
        core.playlist.append(song, QStringLiteral("two"));

        core.engine.play();
        QVERIFY(waitUntil([&] { return core.engine.state() == PlayerState::Stopped; }, 8000));
        QTest::qWait(300);
        QCOMPARE(core.engine.state(), PlayerState::Stopped);
        QVERIFY(media.currentPosition() <= 0);
        QCOMPARE(media.status(), QStringLiteral("Stopped"));
        QVERIFY(display.playButton.enabled() && !display.stopButton.enabled());
    }
};

QTEST_MAIN(TestRealPlayback)
#include "test_real_playback.moc"
