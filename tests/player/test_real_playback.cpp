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
        QStringList started;
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
        QCOMPARE(started[1], second);
        QCOMPARE(c.s.CurrentIndex, qint16(2));
        QVERIFY(c.playlist.lstPlayList.isBold(2));
        // The last song ends: the notice of its end starts the first again.
        QVERIFY(waitUntil([&] { return started.size() >= 3; }, 8000));
        QCOMPARE(started[0], first);
        QCOMPARE(started[2], first);
        QVERIFY(c.playlist.lstPlayList.isBold(1));
        QVERIFY(!c.playlist.lstPlayList.isBold(2));
        QCOMPARE(c.s.CurrentIndex, qint16(1));
        // The display tick sees the real position and length.
        c.timProgressBarUpdate.tick();
        QVERIFY(c.display.lblTime.text().endsWith(QStringLiteral(" / 01")));
    }
};

QTEST_MAIN(TestRealPlayback)
#include "test_real_playback.moc"
