// The time display, the counters, the close request, "Running.chk" and the
// now-playing animation, with ticks driven directly.

#include "common/marker_files.h"
#include "player/shell/time_format.h"
#include "tests/player/player_fixture.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestStatusDisplay : public QObject {
    Q_OBJECT

    QString wav() const { return testDataDir() + QStringLiteral("/tone.wav"); }
    QString mp3() const { return testDataDir() + QStringLiteral("/cbr.mp3"); }

private slots:
    void timeTexts()
    {
        QCOMPARE(qpt::formatTime(-1), QStringLiteral("..."));
        QCOMPARE(qpt::formatTime(7), QStringLiteral("07"));
        QCOMPARE(qpt::formatTime(-5), QStringLiteral("-05"));
        QCOMPARE(qpt::formatTime(59), QStringLiteral("59"));
        QCOMPARE(qpt::formatTime(65), QStringLiteral("01:05"));
        QCOMPARE(qpt::formatTime(3599), QStringLiteral("59:59"));
        QCOMPARE(qpt::formatTime(3600), QStringLiteral("1:00:00"));
        QCOMPARE(qpt::formatTime(3725), QStringLiteral("1:02:05"));
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
        DisplayFixture p;
        p.media.position = position;
        p.media.length = duration;
        p.core.positionTick();
        QCOMPARE(p.display.timeLabel.text(), elapsed);
        const double expectedLeft = std::floor(2765 * float(std::floor(position) / std::floor(duration))) + 1423;
        QCOMPARE(p.display.seekKnob.left(), expectedLeft);
        p.display.toggleTimeMode();  // shown at once, not at the next tick
        QCOMPARE(p.display.timeLabel.text(), remaining);
        p.display.toggleTimeMode();
        QCOMPARE(p.display.timeMode(), TimeMode::Elapsed);
    }

    void knobStaysWhileDraggedAndOnFailures()
    {
        TestEnv env;
        DisplayFixture p;
        p.media.position = 100;
        p.media.length = 200;
        p.display.setSeekDragging(true);
        p.core.positionTick();
        QCOMPARE(p.display.seekKnob.left(), 1423.0);
        p.display.setSeekDragging(false);
        p.media.length = 0;  // duration not known yet: the text is set, the knob stays
        p.core.positionTick();
        QCOMPARE(p.display.timeLabel.text(), QStringLiteral("01:40 / 00"));
        QCOMPARE(p.display.seekKnob.left(), 1423.0);
        p.media.position = 40000;  // beyond 16 bits: a failure, nothing written
        p.media.length = 50000;
        p.core.positionTick();
        QCOMPARE(p.display.timeLabel.text(), QStringLiteral("01:40 / 00"));
        // No media: the idle texts.
        p.media.position = -1;
        p.media.length = 0;
        p.core.positionTick();
        QCOMPARE(p.display.timeLabel.text(), QStringLiteral("Quorbel Player Tirk"));
        QCOMPARE(p.display.statusLabel.text(), QString());
        // Running.chk comes back on every tick, whatever happened before.
        QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
        QFile::remove(env.app(QStringLiteral("Running.chk")));
        p.core.positionTick();
        QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
    }

    // The counters follow the playlist and the playing song; the status
    // tick shows the playing look a chosen row asked for, and takes the
    // Online System's close request.
    void countersLookAndCloseRequest()
    {
        TestEnv env;
        DisplayFixture p;
        QCOMPARE(p.display.songCountLabel.text(), QStringLiteral("0 Songs in PlayList"));
        p.addSongs({QStringLiteral("/a/1.mp3"), QStringLiteral("/a/2.mp3")});
        QCOMPARE(p.display.songCountLabel.text(), QStringLiteral("2 Songs in PlayList"));
        p.media.notifyOnSetUrl = false;
        p.engine.playRow(2);
        QCOMPARE(p.display.songNumberLabel.text(), QStringLiteral("Now Playing Song Number 2"));
        QCOMPARE(p.display.playButton.face(), ButtonFace::Ready);  // not yet
        QVERIFY(p.engine.runLookPending());
        p.core.statusTick();
        QCOMPARE(p.display.playButton.face(), ButtonFace::Lit);
        QVERIFY(!p.display.playButton.enabled());
        QVERIFY(!p.engine.runLookPending());

        QSignalSpy closeRequests(&p.core, &PlayerCore::closeRequested);
        p.core.statusTick();
        QCOMPARE(closeRequests.size(), 0);
        MarkerFiles::createOrTruncate(env.app(QStringLiteral("shutdown.os")));
        p.core.statusTick();
        QCOMPARE(closeRequests.size(), 1);
        QVERIFY(!QFile::exists(env.app(QStringLiteral("shutdown.os"))));
    }

    // The frames, each shown for its time, then the title; the windows are
    // not held up meanwhile, and an animation started again begins anew.
    void animationFrames()
    {
        TestEnv env;
        DisplayFixture p;
        QStringList frames;
        QVector<int> waits;
        const auto runFrames = [&] {
            frames.clear();
            waits.clear();
            while (p.animation.isAnimating()) {
                frames << p.display.nowPlayingLabel.text();
                waits << p.animation.frameWaitMs();
                p.animation.nextFrame();
            }
        };

        p.addSongs({QStringLiteral("/m/Song.mp3")});
        p.media.notifyOnSetUrl = false;
        p.engine.playRow(1);
        p.animation.arm(Announcement::Playing);
        QCOMPARE(p.animation.timer.interval(), 100);
        p.animation.tick();
        QCOMPARE(p.animation.timer.interval(), 0);
        runFrames();
        QCOMPARE(frames, (QStringList{QStringLiteral("N            ."), QStringLiteral("NOW        ..."),
                                      QStringLiteral("NOW P    NG..."), QStringLiteral("NOW PLAYING...")}));
        QCOMPARE(waits, (QVector<int>{90, 90, 90, 600}));
        QCOMPARE(p.display.nowPlayingLabel.text(), QStringLiteral("Song"));
        QCOMPARE(p.display.nowPlayingLabel.toolTip(), QStringLiteral("Song"));
        QVERIFY(!p.display.nowPlayingLabel.autoSize());

        p.engine.pause();
        QCOMPARE(p.animation.timer.interval(), 200);
        p.animation.tick();
        runFrames();
        QCOMPARE(frames, (QStringList{QStringLiteral("P       ."), QStringLiteral("PAU   ..."),
                                      QStringLiteral("PAUSED...")}));
        QCOMPARE(waits, (QVector<int>{90, 90, 600}));

        // Stopped while the pause is still spelled: the stop's frames and
        // its notice, nothing of the pause's end.
        p.animation.tick();
        p.animation.nextFrame();
        p.engine.stop();
        p.animation.tick();
        runFrames();
        QCOMPARE(frames, (QStringList{QStringLiteral("S        ."), QStringLiteral("STO    ..."),
                                      QStringLiteral("STOPPED...")}));
        QVERIFY(p.display.nowPlayingLabel.text().startsWith(QStringLiteral("Visit: http")));
        QCOMPARE(p.display.nowPlayingLabel.toolTip(),
                 QStringLiteral("Click to Enter Quorbel Player Tirk Official HomePage"));

        // On its own timer, the whole animation passes while events run.
        p.engine.playRow(1);
        p.animation.tick();
        QVERIFY(p.animation.isAnimating());
        QVERIFY(QTest::qWaitFor([&] { return !p.animation.isAnimating(); }, 5000));
        QCOMPARE(p.display.nowPlayingLabel.text(), QStringLiteral("Song"));
    }
    // Next after Stop plays the next song exactly as after Play: the time
    // display, the knob, the now-playing line and the supervision follow it.
    void nextAfterStopPlaysWithThePlayingDisplay()
    {
        TestEnv env;
        DisplayFixture p;
        p.addSongs({wav(), mp3()});
        p.engine.play();
        p.engine.stop();
        p.engine.next();
        QCOMPARE(p.media.url(), QFile::encodeName(mp3()));
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QVERIFY(!p.engine.linkActive());
        QVERIFY(!p.display.playButton.enabled() && p.display.stopButton.enabled());
        p.media.position = 100;
        p.media.length = 200;
        p.core.positionTick();
        QCOMPARE(p.display.timeLabel.text(), QStringLiteral("01:40 / 03:20"));
        QVERIFY(p.display.seekKnob.left() > 2700);
        p.animation.tick();
        while (p.animation.isAnimating())
            p.animation.nextFrame();
        QCOMPARE(p.display.nowPlayingLabel.text(), QStringLiteral("cbr"));
        p.media.fail(QStringLiteral("gone"));  // and the supervision watches it again
        p.core.supervision.advanceNow();
        QCOMPARE(p.media.url(), QFile::encodeName(wav()));
    }

};

QTEST_MAIN(TestStatusDisplay)
#include "test_status_display.moc"
