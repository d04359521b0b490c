// The time display, the counters, the close request, "Running.chk" and the
// now-playing animation, with ticks driven directly.

#include "common/clock.h"
#include "common/marker_files.h"
#include "player/core/time_format.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestStatusDisplay : public QObject {
    Q_OBJECT
private slots:
    void formatTime()
    {
        QCOMPARE(FormatTime(-1), QStringLiteral("..."));
        QCOMPARE(FormatTime(7), QStringLiteral("07"));
        QCOMPARE(FormatTime(-5), QStringLiteral("-05"));
        QCOMPARE(FormatTime(59), QStringLiteral("59"));
        QCOMPARE(FormatTime(65), QStringLiteral("01:05"));
        QCOMPARE(FormatTime(3599), QStringLiteral("59:59"));
        QCOMPARE(FormatTime(3600), QStringLiteral("1:00:00"));
        QCOMPARE(FormatTime(3725), QStringLiteral("1:02:05"));
        QCOMPARE(timeDateNotice(QDateTime(QDate(2026, 3, 4), QTime(21, 5, 9))),
                 QStringLiteral("Time: 21:05:09 Date: 03-04-2026"));
    }

    void timeDisplayAndKnob_data()
    {
        QTest::addColumn<double>("position");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("elapsed");
        QTest::addColumn<QString>("remaining");
        QTest::newRow("75 of 200") << 75.4 << 200.9 << "01:15 / 03:20" << "-02:05 / 03:20";
        QTest::newRow("5 of 40") << 5.0 << 40.0 << "05 / 40" << "-35 / 40";
        QTest::newRow("0 of 3725") << 0.0 << 3725.0 << "00 / 1:02:05" << "-1:02:05 / 1:02:05";
    }

    void timeDisplayAndKnob()
    {
        QFETCH(double, position);
        QFETCH(double, duration);
        QFETCH(QString, elapsed);
        QFETCH(QString, remaining);
        TestEnv env;
        FakePlayer p;
        p.media.position = position;
        p.media.length = duration;
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), elapsed);
        const double expectedLeft = std::floor(2765 * float(std::floor(position) / std::floor(duration))) + 1423;
        QCOMPARE(p.c.display.picProgressBarDot.left(), expectedLeft);
        p.core.status.toggleTimeMode();
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), remaining);
        p.core.status.toggleTimeMode();
        QCOMPARE(p.c.s.TimeMode, QString());
    }

    void knobStaysWhileDraggedAndOnFailures()
    {
        TestEnv env;
        FakePlayer p;
        p.media.position = 100;
        p.media.length = 200;
        p.c.s.SeekDragging = true;
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.picProgressBarDot.left(), 1423.0);
        p.c.s.SeekDragging = false;
        p.media.length = 0;  // duration not known yet: the text is set, the knob stays
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), QStringLiteral("01:40 / 00"));
        QCOMPARE(p.c.display.picProgressBarDot.left(), 1423.0);
        p.media.position = 40000;  // beyond 16 bits: a failure, nothing written
        p.media.length = 50000;
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), QStringLiteral("01:40 / 00"));
        // No media: the idle texts.
        p.media.position = -1;
        p.media.length = 0;
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), QStringLiteral("Quorbel Player Tirk"));
        QCOMPARE(p.c.display.lblBitRate.text(), QString());
        // Running.chk comes back on every tick, whatever happened before.
        QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
        QFile::remove(env.app(QStringLiteral("Running.chk")));
        p.core.status.timProgressBarUpdate_Timer();
        QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
    }

    void statusTickCountsAndCloseRequest()
    {
        TestEnv env;
        FakePlayer p;
        p.core.status.timDivStuff_Timer();
        QCOMPARE(p.c.display.lblNOofSngInPlaylst.text(), QStringLiteral("0 Songs in PlayList"));
        p.addSongs({QStringLiteral("/a/1.mp3"), QStringLiteral("/a/2.mp3")});
        p.c.s.CurrentIndex = -1;
        p.c.s.RunLookPending = QStringLiteral("RUN");
        p.core.status.timDivStuff_Timer();
        QCOMPARE(p.c.display.lblNOofSngInPlaylst.text(), QStringLiteral("2 Songs in PlayList"));
        QCOMPARE(p.c.display.lblNowPlayingNO.text(), QStringLiteral("Now Playing Song Number 0"));
        QCOMPARE(p.c.display.imgPlay.picture(), QStringLiteral("imgPlay3"));
        QCOMPARE(p.c.s.RunLookPending, QString());
        p.c.s.CurrentIndex = 2;
        p.core.status.timDivStuff_Timer();
        QCOMPARE(p.c.display.lblNowPlayingNO.text(), QStringLiteral("Now Playing Song Number 2"));
        QVERIFY(!p.shell.calls.contains(QStringLiteral("unload")));

        MarkerFiles::createOrTruncate(env.app(QStringLiteral("shutdown.os")));
        p.core.status.timDivStuff_Timer();
        QVERIFY(p.shell.calls.contains(QStringLiteral("unload")));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("shutdown.os"))));
    }

    void animationFrames()
    {
        TestEnv env;
        FakePlayer p;
        RecordingClock sleeper;
        QStringList frames;
        sleeper.onSleep = [&](int) { frames << p.c.display.lblNowPlaying.text(); };
        ScopedClock use(&sleeper);

        p.c.s.NowPlayingTitle = QStringLiteral("Song");
        p.c.timNowPlaying.setInterval(100);
        p.c.timNowPlaying.tick();
        QCOMPARE(frames, (QStringList{QStringLiteral("N            ."), QStringLiteral("NOW        ..."),
                                      QStringLiteral("NOW P    NG..."), QStringLiteral("NOW PLAYING...")}));
        QCOMPARE(sleeper.sleeps, (QVector<int>{90, 90, 90, 600}));
        QCOMPARE(p.c.display.lblNowPlaying.text(), QStringLiteral("Song"));
        QCOMPARE(p.c.display.lblNowPlaying.toolTip(), QStringLiteral("Song"));
        QVERIFY(!p.c.display.lblNowPlaying.autoSize());
        QCOMPARE(p.c.timNowPlaying.interval(), 0);

        frames.clear();
        sleeper.sleeps.clear();
        p.c.s.PlayerState = QStringLiteral("PAUSE");
        p.c.timNowPlaying.tick();
        QCOMPARE(frames, (QStringList{QStringLiteral("P       ."), QStringLiteral("PAU   ..."),
                                      QStringLiteral("PAUSED...")}));
        QCOMPARE(sleeper.sleeps, (QVector<int>{90, 90, 600}));

        frames.clear();
        p.c.s.PlayerState = QStringLiteral("STOPPED");
        p.c.timNowPlaying.tick();
        QCOMPARE(frames, (QStringList{QStringLiteral("S        ."), QStringLiteral("STO    ..."),
                                      QStringLiteral("STOPPED...")}));
        QVERIFY(p.c.display.lblNowPlaying.text().startsWith(QStringLiteral("Visit: http")));
        QCOMPARE(p.c.display.lblNowPlaying.toolTip(),
                 QStringLiteral("Click to Enter Quorbel Player Tirk Official HomePage"));
    }
};

QTEST_MAIN(TestStatusDisplay)
#include "test_status_display.moc"
