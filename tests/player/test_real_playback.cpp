// The loader, the engine and the real GStreamer media component together:
// two short songs load from a batch file, play through into a fake sink and
// the end of the last one starts the first again.

#include "player/core/media/gst_media_component.h"
#include "tests/player/fake_shell.h"
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
        SongLengthService lengths;
        FakeShell shell;
        PlayerCore core(media, lengths, shell);
        PlayerContext& c = core.context;
        QList<QByteArray> started;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == playstate::Playing)
                started << media.url();
        });

        c.timPlaylstUpdate.tick();
        QCOMPARE(c.playlist.lstPlayList.count(), 2);
        QCOMPARE(c.playlist.lstPlayList.length(1), QStringLiteral("0:02"));  // 1.5 s, halves to even

        core.engine.PlaySong();
        QVERIFY(waitUntil([&] { return started.size() >= 1; }, 5000));
        QVERIFY(waitUntil([&] { return started.size() >= 2; }, 8000));
        QCOMPARE(started[1], QFile::encodeName(second));
        QCOMPARE(c.s.CurrentIndex, qint16(2));
        QVERIFY(c.playlist.lstPlayList.isBold(2));
        // The last song ends: the notice of its end starts the first again.
        QVERIFY(waitUntil([&] { return started.size() >= 3; }, 8000));
        QCOMPARE(started[0], QFile::encodeName(first));
        QCOMPARE(started[2], QFile::encodeName(first));
        QVERIFY(c.playlist.lstPlayList.isBold(1));
        QVERIFY(!c.playlist.lstPlayList.isBold(2));
        QCOMPARE(c.s.CurrentIndex, qint16(1));
        // The display tick sees the real position and length.
        c.timProgressBarUpdate.tick();
        QVERIFY(c.display.lblTime.text().endsWith(QStringLiteral(" / 01")));
    }

    // Stop pressed just as a song ends is handled inside the start of the
    // next song (the end notice runs Next, which yields): the Stop wins,
    // nothing plays on under a stopped display.
    void stopAsTheSongEndsWins()
    {
        TestEnv env;
        const QByteArray song = QFile::encodeName(testDataDir() + QStringLiteral("/short.wav"));
        GstMediaComponent media;
        PlayerCore* player = nullptr;
        // Connected before the player's own handler: the Stop is queued when
        // the end arrives, so the next song's start yields right into it.
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == playstate::MediaEnded)
                QMetaObject::invokeMethod(this, [&] { player->engine.StopSong(); }, Qt::QueuedConnection);
        });
        SongLengthService lengths;
        FakeShell shell;
        PlayerCore core(media, lengths, shell);
        player = &core;
        core.context.playlist.lstPlayListSource.AddItem(song);
        core.context.playlist.lstPlayList.addRow(QStringLiteral("one"));
        core.context.playlist.lstPlayListSource.AddItem(song);
        core.context.playlist.lstPlayList.addRow(QStringLiteral("two"));

        core.engine.PlaySong();
        QVERIFY(waitUntil([&] { return core.context.s.PlayerState == QLatin1String("STOPPED"); }, 8000));
        QTest::qWait(300);
        QCOMPARE(core.context.s.PlayerState, QStringLiteral("STOPPED"));
        QVERIFY(media.currentPosition() <= 0);
        QCOMPARE(media.status(), QStringLiteral("Stopped"));
        QVERIFY(core.context.display.imgPlay.enabled() && !core.context.display.imgStop.enabled());
    }
};

QTEST_MAIN(TestRealPlayback)
#include "test_real_playback.moc"
