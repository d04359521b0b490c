// Transport operations, the play-state notice and the song supervision,
// with the fake media component and ticks driven directly.

#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QTest>

#include "common/dialogs.h"

using namespace qpt;
using namespace qpt::test;

class TestPlaybackEngine : public QObject {
    Q_OBJECT

    QString wav() const { return testDataDir() + QStringLiteral("/tone.wav"); }
    QString mp3() const { return testDataDir() + QStringLiteral("/cbr.mp3"); }
    QString mp2() const { return testDataDir() + QStringLiteral("/tone.mp2"); }

private slots:
    void playStartsFromFirstEntryAndEndOfSongWraps()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3(), mp2()});
        p.core.engine.PlaySong();
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.c.s.CurrentIndex, qint16(1));  // notice: cursor + 1
        QCOMPARE(p.boldRow(), 1);
        QVERIFY(!p.c.display.imgPlay.enabled());
        QCOMPARE(p.c.display.imgPlay.picture(), QStringLiteral("imgPlay3"));
        QCOMPARE(p.c.s.NowPlayingTitle, QStringLiteral("tone"));
        QCOMPARE(p.c.timNowPlaying.interval(), 100);

        p.media.notify(playstate::MediaEnded);  // song 1 ends
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.boldRow(), 2);
        p.media.notify(playstate::MediaEnded);
        QCOMPARE(p.media.url(), mp2());
        QCOMPARE(p.boldRow(), 3);
        // The last one ends: the first starts again, row 1 bold, row 3 not.
        p.media.notify(playstate::MediaEnded);
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.boldRow(), 1);
        QVERIFY(!p.c.playlist.lstPlayList.isBold(3));
        QCOMPARE(p.c.s.NowPlayingRow, qint16(1));
        QVERIFY(p.c.display.imgNext.enabled() && p.c.display.imgPrev.enabled());
        QVERIFY(p.c.staBar.text().startsWith(QStringLiteral("Time: ")));
        QCOMPARE(p.c.s.StatusPhase, qint16(1));
    }

    void previousRestartsFirstAndStepsBack()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3(), mp2()});
        p.core.engine.PlaySong();
        p.core.engine.PreviousSong();  // on the first song: it starts again
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), 2);
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.boldRow(), 1);
        QVERIFY(p.c.display.imgNext.enabled() && p.c.display.imgPrev.enabled());

        p.core.engine.NextSong();
        p.core.engine.NextSong();
        QCOMPARE(p.media.url(), mp2());
        p.core.engine.PreviousSong();
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.boldRow(), 2);
    }

    void pauseStopAndPlayAgain()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3()});
        p.core.engine.PlaySong();
        p.core.engine.NextSong();
        p.core.engine.PauseSong();
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("PAUSE"));
        QVERIFY(p.c.display.imgPlay.enabled());
        QVERIFY(!p.c.display.imgpause.enabled());
        QVERIFY(p.c.display.imgStop.enabled());  // Stop still works while paused
        QCOMPARE(p.c.timNowPlaying.interval(), 200);

        p.core.engine.PlaySong();  // resumes, does not restart
        QCOMPARE(p.media.calls.last(), QStringLiteral("play"));
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.c.s.PlayerState, QString());

        p.core.engine.PauseSong();
        p.core.engine.StopSong();
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("STOPPED"));
        QCOMPARE(p.c.s.LinkActive, QStringLiteral("OK"));
        QCOMPARE(p.boldRow(), 0);
        QCOMPARE(p.c.display.lblTime.text(), QStringLiteral("Quorbel Player Tirk"));
        QVERIFY(!p.c.display.imgStop.enabled() && !p.c.display.imgpause.enabled() && p.c.display.imgPlay.enabled());
        QCOMPARE(p.c.display.picProgressBarDot.left(), 1423.0);
        p.core.engine.PlaySong();  // after Stop: from entry 0
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.boldRow(), 1);
    }

    void playWithNothingToPlay()
    {
        TestEnv env;
        FakePlayer p;
        p.core.engine.PlaySong();  // empty playlist, not paused: nothing
        QVERIFY(p.media.calls.isEmpty());
        QCOMPARE(p.c.s.PlayerState, QString());
        p.addSongs({wav()});
        p.c.s.PlayerState = QStringLiteral("PAUSE");
        p.core.engine.PlaySong();  // paused with an empty address: nothing changes
        QVERIFY(p.media.calls.isEmpty());
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("PAUSE"));
    }

    // Next after Stop plays the next song exactly as after Play: the time
    // display, the knob, the now-playing line and the supervision follow it.
    void nextAfterStopPlaysWithThePlayingDisplay()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3()});
        p.core.engine.PlaySong();
        p.core.engine.StopSong();
        p.core.engine.NextSong();
        QCOMPARE(p.media.url(), QFile::encodeName(mp3()));
        QCOMPARE(p.c.s.PlayerState, QString());
        QCOMPARE(p.c.s.LinkActive, QString());
        QVERIFY(!p.c.display.imgPlay.enabled() && p.c.display.imgStop.enabled());
        p.media.position = 100;
        p.media.length = 200;
        p.core.status.timProgressBarUpdate_Timer();
        QCOMPARE(p.c.display.lblTime.text(), QStringLiteral("01:40 / 03:20"));
        QVERIFY(p.c.display.picProgressBarDot.left() > 2700);
        p.core.animation.timNowPlaying_Timer();
        QCOMPARE(p.c.display.lblNowPlaying.text(), QStringLiteral("cbr"));
        p.media.position = -1;  // and the supervision watches it again
        p.core.supervision.run();
        QCOMPARE(p.media.url(), QFile::encodeName(wav()));
    }

    // A list of which no song plays (no audio output, nothing decodable) is
    // walked once, then the player stops and says why, once.
    void noSongPlaysStopsAfterOneRound()
    {
        TestEnv env;
        Dialogs::scriptAnswers({});
        FakePlayer p;
        p.media.notifyOnSetUrl = false;
        p.media.errorText = QStringLiteral("Could not open audio device for playback.");
        p.addSongs({wav(), mp3(), mp2()});
        p.core.engine.PlaySong();
        for (int tick = 0; tick < 6; ++tick) {
            p.media.position = -1;
            p.core.supervision.run();
        }
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), 3);
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("STOPPED"));
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records().first().title, QStringLiteral("No Song Could Be Played"));
        QVERIFY(Dialogs::records().first().text.endsWith(p.media.errorText));
    }

    void nextAfterShrunkPlaylistFailsSilently()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3(), mp2()});
        p.core.engine.PlaySong();
        p.core.engine.NextSong();
        p.core.engine.NextSong();  // third plays, CurrentIndex 3
        p.c.playlist.lstPlayListSource.RemoveItem(2);
        p.c.playlist.lstPlayList.removeRow(3);
        p.c.playlist.lstPlayListSource.RemoveItem(1);
        p.c.playlist.lstPlayList.removeRow(2);
        p.core.engine.NextSong();  // the bold row vanished: ends at once
        QVERIFY(!p.c.display.imgNext.enabled());
        QVERIFY(!p.c.display.imgPrev.enabled());
    }

    void zeroLengthSongIsSkipped()
    {
        TestEnv env;
        FakePlayer p;
        const QString missing = env.app(QStringLiteral("gone.mp3"));
        p.addSongs({wav(), missing, mp3()});
        p.core.engine.PlaySong();
        p.core.engine.NextSong();  // the missing file plays (measures 0:00)
        QCOMPARE(p.media.url(), missing);
        p.media.position = 0.5;
        p.core.supervision.run();
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.boldRow(), 3);
        QVERIFY(p.c.display.imgPlay.picture() == QStringLiteral("imgPlay3"));
    }

    void zeroLengthLastEntryMeasuresAgainAndWraps()
    {
        TestEnv env;
        FakePlayer p;
        const QString missing = env.app(QStringLiteral("gone.mp3"));
        p.addSongs({wav(), missing});
        p.core.engine.PlaySong();
        p.core.engine.NextSong();
        QCOMPARE(p.c.s.CurrentIndex, qint16(2));
        p.media.position = 0.5;
        p.core.supervision.run();
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.boldRow(), 1);
    }

    void cdTracksAndStoppedPlayersAreNotSkipped()
    {
        TestEnv env;
        FakePlayer p;
        const QString track = env.app(QStringLiteral("Track01.cda"));
        p.addSongs({track, wav()});
        p.core.engine.PlaySong();
        p.media.position = 3;
        p.core.supervision.run();
        QCOMPARE(p.media.url(), track);

        FakePlayer q;
        q.addSongs({env.app(QStringLiteral("gone.mp3")), wav()});
        q.core.engine.PlaySong();
        q.core.engine.StopSong();
        q.core.supervision.run();
        QCOMPARE(q.media.url(), env.app(QStringLiteral("gone.mp3")));
    }

    void stallWatchdogRestartsOnThirdZeroTick()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3()});
        p.core.engine.PlaySong();
        p.core.engine.NextSong();  // mp3 playing, notice arrived: cursor + 1 == CurrentIndex
        const int startsBefore = p.media.calls.filter(QStringLiteral("url ")).size();
        p.media.position = 0;
        p.core.supervision.run();
        p.core.supervision.run();
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), startsBefore);
        p.media.position = 4;  // a tick that sees progress does not reset the count
        p.core.supervision.run();
        p.media.position = 0;
        p.core.supervision.run();  // third tick at 0: the same song starts again
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), startsBefore + 1);
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.core.supervision.StallCount, qint16(0));
    }

    void songThatCannotBePlayedIsLeftForTheNext()
    {
        TestEnv env;
        FakePlayer p;
        p.addSongs({wav(), mp3()});
        p.core.engine.PlaySong();
        p.media.position = -1;  // the media component gave up on the file
        p.core.supervision.run();
        QCOMPARE(p.media.url(), mp3());
        p.media.position = -1;  // the last one too: round to the first
        p.core.supervision.run();
        QCOMPARE(p.media.url(), wav());
        p.core.engine.PauseSong();
        p.media.position = -1;
        p.core.supervision.run();  // paused: left alone
        QCOMPARE(p.media.url(), wav());
    }
};

QTEST_MAIN(TestPlaybackEngine)
#include "test_playback_engine.moc"
