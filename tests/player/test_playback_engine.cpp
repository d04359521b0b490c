// Transport operations, the play-state notice and the song supervision,
// with the fake media component and ticks driven directly, without any
// window: what the engine says (its buttons, announcements, notices) is
// what the windows would render.

#include "tests/player/core_fixture.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

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
        CoreFixture p;
        p.addSongs({wav(), mp3(), mp2()});
        QSignalSpy announced(&p.engine, &PlaybackEngine::announced);
        QSignalSpy notices(&p.engine, &PlaybackEngine::transportNotice);
        p.engine.play();
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.engine.songNumber(), 1);
        QCOMPARE(p.nowPlayingRow(), 1);
        QVERIFY(!p.engine.buttons().playEnabled);
        QVERIFY(p.engine.buttons().playLit);
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("tone"));
        QCOMPARE(announced.last().at(0).value<Announcement>(), Announcement::Playing);

        p.media.notify(playstate::MediaEnded);  // song 1 ends
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.nowPlayingRow(), 2);
        p.media.notify(playstate::MediaEnded);
        QCOMPARE(p.media.url(), mp2());
        QCOMPARE(p.nowPlayingRow(), 3);
        // The last one ends: the first starts again, row 1 bold, row 3 not.
        p.media.notify(playstate::MediaEnded);
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.nowPlayingRow(), 1);
        QVERIFY(!p.playlist.isNowPlaying(3));
        QCOMPARE(p.engine.nowPlayingRow(), 1);
        QVERIFY(p.engine.buttons().nextEnabled && p.engine.buttons().previousEnabled);
        QCOMPARE(notices.size(), 3);  // each step writes the time into the status line
    }

    // The media component always holds the song to go on with, as the list
    // stands: the entry after the current one, after the last the first,
    // nothing after Stop. When it is heard, everything a song change does
    // happens then: the bold row, the number, the title, the notices.
    void nextSongIsHandedOverAheadOfTime()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3(), mp2()});
        QSignalSpy started(&p.engine, &PlaybackEngine::songStarted);
        QSignalSpy notices(&p.engine, &PlaybackEngine::transportNotice);
        p.engine.play();
        QCOMPARE(p.media.next, QFile::encodeName(mp3()));
        QCOMPARE(p.media.nextToken, *p.playlist.idOf(2));

        p.media.advance();  // the second song is heard
        QCOMPARE(p.nowPlayingRow(), 2);
        QCOMPARE(p.engine.songNumber(), 2);
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("cbr"));
        QCOMPARE(started.size(), 2);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(p.media.next, QFile::encodeName(mp2()));

        p.playlist.removeRow(3);  // the list changed: the next follows it
        QCOMPARE(p.media.next, QFile::encodeName(wav()));
        p.media.advance();  // after the last the first
        QCOMPARE(p.nowPlayingRow(), 1);
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), 1);  // one pipeline all along

        p.engine.stop();  // a Stop at the end wins: nothing is handed over
        QVERIFY(p.media.next.isEmpty());
    }

    void previousRestartsFirstAndStepsBack()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3(), mp2()});
        p.engine.play();
        p.engine.previous();  // on the first song: it starts again
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), 2);
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.nowPlayingRow(), 1);
        QVERIFY(p.engine.buttons().nextEnabled && p.engine.buttons().previousEnabled);

        p.engine.next();
        p.engine.next();
        QCOMPARE(p.media.url(), mp2());
        p.engine.previous();
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.nowPlayingRow(), 2);
    }

    void pauseStopAndPlayAgain()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3()});
        QSignalSpy announced(&p.engine, &PlaybackEngine::announced);
        p.engine.play();
        p.engine.next();
        p.engine.pause();
        QCOMPARE(p.engine.state(), PlayerState::Paused);
        QVERIFY(p.engine.buttons().playEnabled);
        QVERIFY(!p.engine.buttons().pauseEnabled);
        QVERIFY(p.engine.buttons().stopEnabled);  // Stop still works while paused
        QCOMPARE(announced.last().at(0).value<Announcement>(), Announcement::Paused);

        p.engine.play();  // resumes, does not restart
        QCOMPARE(p.media.calls.last(), QStringLiteral("play"));
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);

        p.engine.pause();
        p.engine.stop();
        QCOMPARE(p.engine.state(), PlayerState::Stopped);
        QVERIFY(p.engine.linkActive());
        QCOMPARE(p.nowPlayingRow(), 0);
        QCOMPARE(p.engine.songNumber(), 2);  // the stopped song stays the current one
        const TransportButtons stopped = p.engine.buttons();
        QVERIFY(!stopped.stopEnabled && !stopped.pauseEnabled && stopped.playEnabled);
        QCOMPARE(announced.last().at(0).value<Announcement>(), Announcement::Stopped);
        p.engine.play();  // after Stop: from entry 0
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.nowPlayingRow(), 1);
    }

    void playWithNothingToPlay()
    {
        TestEnv env;
        CoreFixture p;
        p.engine.play();  // empty playlist, not paused: nothing
        QVERIFY(p.media.calls.isEmpty());
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        p.addSongs({wav()});
        p.engine.pause();  // paused before anything played
        p.media.calls.clear();
        p.engine.play();  // paused with an empty address: nothing changes
        QVERIFY(p.media.calls.isEmpty());
        QCOMPARE(p.engine.state(), PlayerState::Paused);
    }

    // A list of which no song plays (no audio output, nothing decodable) is
    // walked once, each failure passed at once (not on the status tick),
    // then the player stops and says so, once. Ticks meanwhile change
    // nothing, and a Stop given during the walk wins.
    void noSongPlaysStopsAfterOneRound()
    {
        TestEnv env;
        CoreFixture p;
        p.media.notifyOnSetUrl = false;
        p.addSongs({wav(), mp3(), mp2()});
        QSignalSpy nothing(&p.core, &PlayerCore::nothingPlayed);
        p.engine.play();
        for (int song = 0; song < 3; ++song) {
            p.media.fail(QStringLiteral("Could not open audio device for playback."));
            QVERIFY(song == 2 || p.core.supervision.advancePending());
            QVERIFY(song == 2 || p.core.supervision.failing());
            p.core.supervision.check();  // a tick in the middle: no extra skip
            p.core.supervision.advanceNow();
        }
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), 3);
        QCOMPARE(p.engine.state(), PlayerState::Stopped);
        QVERIFY(!p.core.supervision.failing());
        QCOMPARE(nothing.size(), 1);
        const auto what = nothing.first().at(0).value<SongSupervision::NothingPlayed>();
        QCOMPARE(what.songs, 3);
        QCOMPARE(what.firstSong, QFile::encodeName(wav()));
        QCOMPARE(what.firstReason, QStringLiteral("Could not open audio device for playback."));

        // Stop pressed while the next start waits: nothing more starts.
        p.engine.play();
        p.media.fail(QStringLiteral("gone"));
        p.engine.stop();
        p.core.supervision.advanceNow();
        QCOMPARE(p.media.url(), QFile::encodeName(wav()));
    }

    // Removing the playing row, and the one before it, leaves the song
    // before them current: Next goes on from there, wrapping as always.
    void nextAfterRemovingThePlayingRowsGoesOn()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3(), mp2()});
        p.engine.play();
        p.engine.next();
        p.engine.next();  // the third plays
        p.playlist.removeRow(3);
        QCOMPARE(p.engine.songNumber(), 2);
        QCOMPARE(p.engine.nowPlayingRow(), 0);
        p.playlist.removeRow(2);
        p.engine.next();
        QCOMPARE(p.media.url(), QFile::encodeName(wav()));
        QCOMPARE(p.nowPlayingRow(), 1);
        QVERIFY(p.engine.buttons().nextEnabled && p.engine.buttons().previousEnabled);
    }

    void zeroLengthSongIsSkipped()
    {
        TestEnv env;
        CoreFixture p;
        const QString missing = env.app(QStringLiteral("gone.mp3"));
        p.addSongs({wav(), missing, mp3()});
        p.engine.play();
        p.engine.next();  // the missing file plays (measures 0:00)
        QCOMPARE(p.media.url(), missing);
        p.media.position = 0.5;
        p.core.supervision.check();  // asks a worker; the next tick knows
        QVERIFY(waitUntil([&] { return p.core.lengths.lengthNow(QFile::encodeName(missing)).has_value(); }));
        p.core.supervision.check();
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.nowPlayingRow(), 3);
        QVERIFY(p.engine.buttons().playLit);
    }

    void zeroLengthLastEntryMeasuresAgainAndWraps()
    {
        TestEnv env;
        CoreFixture p;
        const QString missing = env.app(QStringLiteral("gone.mp3"));
        p.addSongs({wav(), missing});
        p.engine.play();
        p.engine.next();
        QCOMPARE(p.engine.songNumber(), 2);
        p.media.position = 0.5;
        p.core.supervision.check();
        QVERIFY(waitUntil([&] { return p.core.lengths.lengthNow(QFile::encodeName(missing)).has_value(); }));
        p.core.supervision.check();
        QCOMPARE(p.media.url(), wav());
        QCOMPARE(p.nowPlayingRow(), 1);
    }

    void cdTracksAndStoppedPlayersAreNotSkipped()
    {
        TestEnv env;
        CoreFixture p;
        const QString track = env.app(QStringLiteral("Track01.cda"));
        p.addSongs({track, wav()});
        p.engine.play();
        p.media.position = 3;
        p.core.supervision.check();
        QCOMPARE(p.media.url(), track);

        CoreFixture q;
        q.addSongs({env.app(QStringLiteral("gone.mp3")), wav()});
        q.engine.play();
        q.engine.stop();
        q.core.supervision.check();
        QCOMPARE(q.media.url(), env.app(QStringLiteral("gone.mp3")));
    }

    void stallWatchdogRestartsOnThirdZeroTick()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3()});
        p.engine.play();
        p.engine.next();  // mp3 playing, notice arrived: cursor + 1 == CurrentIndex
        const int startsBefore = p.media.calls.filter(QStringLiteral("url ")).size();
        p.media.position = 0;
        p.core.supervision.check();
        p.core.supervision.check();
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), startsBefore);
        p.media.position = 4;  // a tick that sees progress does not reset the count
        p.core.supervision.check();
        p.media.position = 0;
        p.core.supervision.check();  // third tick at 0: the same song starts again
        QCOMPARE(p.media.calls.filter(QStringLiteral("url ")).size(), startsBefore + 1);
        QCOMPARE(p.media.url(), mp3());
        QCOMPARE(p.core.supervision.stallCount(), 0);
    }

    void songThatCannotBePlayedIsLeftForTheNext()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({wav(), mp3()});
        p.engine.play();
        p.media.fail(QStringLiteral("damaged"));  // the media component gave up on the file
        p.core.supervision.advanceNow();
        QCOMPARE(p.media.url(), mp3());
        p.media.fail(QStringLiteral("damaged"));  // the last one too: round to the first
        p.core.supervision.advanceNow();
        QCOMPARE(p.media.url(), wav());
        p.engine.pause();
        p.media.fail(QStringLiteral("damaged"));
        p.core.supervision.advanceNow();  // paused: left alone
        QCOMPARE(p.media.url(), wav());
    }
    // What is heard is one fact, kept while rows come and go: removing the
    // playing row leaves its sound, its title and its name to the media
    // controls; Pause and Play resume it; Previous and Next go on from the
    // removed row's place; with every row removed Pause and Play still
    // work on what is heard.
    void removingThePlayingRowLeavesWhatIsHeard()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3"),
                    QStringLiteral("/m/d.mp3")});
        QSignalSpy heard(&p.engine, &PlaybackEngine::nowPlayingChanged);
        p.engine.playRow(3);
        QCOMPARE(heard.size(), 1);
        const quint64 c = p.engine.nowPlaying().entry;
        QCOMPARE(c, *p.playlist.idOf(3));

        p.playlist.removeRow(3);
        QCOMPARE(heard.size(), 1);  // nothing new is heard
        QCOMPARE(p.engine.nowPlaying().entry, c);
        QCOMPARE(p.engine.nowPlaying().title, QStringLiteral("c"));
        QCOMPARE(p.nowPlayingRow(), 0);  // its row has gone
        QCOMPARE(p.media.next, QByteArray("/m/d.mp3"));  // the one that followed it

        p.engine.pause();
        p.engine.play();
        QCOMPARE(p.media.calls.last(), QStringLiteral("play"));
        p.media.notify(playstate::Playing);
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("c"));
        QCOMPARE(p.media.url(), QByteArray("/m/c.mp3"));

        p.engine.previous();  // the song before the removed one, not the one before that
        QCOMPARE(p.media.url(), QByteArray("/m/b.mp3"));
        QCOMPARE(p.nowPlayingRow(), 2);

        p.playlist.removeRow(2);
        p.engine.next();  // the song that followed the removed one
        QCOMPARE(p.media.url(), QByteArray("/m/d.mp3"));

        p.playlist.clear();
        p.engine.playOrPause();
        QCOMPARE(p.engine.state(), PlayerState::Paused);
        p.engine.playOrPause();
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QCOMPARE(p.media.calls.last(), QStringLiteral("play"));
        QVERIFY(!p.engine.buttons().playEnabled);
        QCOMPARE(p.engine.nowPlaying().title, QStringLiteral("d"));
    }

    // The next song is given with the song it follows, and again only when
    // the list changes what comes next: never to a media that is about to
    // be replaced, never twice for one change.
    void nextSongIsGivenOncePerChange()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")});
        p.engine.play();
        QCOMPARE(p.media.next, QByteArray("/m/b.mp3"));
        QCOMPARE(p.media.nextSets, 0);  // it came with the song
        p.engine.next();
        QCOMPARE(p.media.next, QByteArray("/m/a.mp3"));
        QCOMPARE(p.media.nextSets, 0);
        p.addSongs({QStringLiteral("/m/c.mp3")});
        QCOMPARE(p.media.next, QByteArray("/m/c.mp3"));
        QCOMPARE(p.media.nextSets, 1);
        p.media.advance();
        QCOMPARE(p.engine.nowPlaying().title, QStringLiteral("c"));
        QCOMPARE(p.media.next, QByteArray("/m/a.mp3"));
        QCOMPARE(p.media.nextSets, 1);
    }

    // A song handed over ahead of time whose row went before it was heard
    // still names itself by its address, not by a row that moved into its
    // place.
    void songHeardWithoutItsRowKeepsItsName()
    {
        TestEnv env;
        CoreFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3")});
        p.engine.play();
        p.media.next = "/m/b.mp3";  // what the media had been handed
        p.media.nextToken = *p.playlist.idOf(2);
        const quint64 b = p.media.nextToken;
        QSignalSpy heard(&p.engine, &PlaybackEngine::nowPlayingChanged);
        QObject::disconnect(&p.playlist, nullptr, &p.core, nullptr);  // the edit came too late to be passed on
        p.playlist.removeRow(2);
        p.media.advance();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(p.engine.nowPlaying().entry, b);
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("b"));
        QCOMPARE(p.nowPlayingRow(), 0);
    }

    // A track of an album kept as one file, or of a disc, has no name in
    // its address ("/m/Album.cue/2"): what is heard is named by its row, at
    // a gapless change as at a start, and by the album and place once the
    // row is gone.
    void tracksAreNamedByTheirRows()
    {
        TestEnv env;
        CoreFixture p;
        p.playlist.append("cdda://2", QStringLiteral("Track 02"));
        p.playlist.append("/m/Album.cue/1", QStringLiteral("Low"));
        p.playlist.append("/m/Album.cue/2", QStringLiteral("Guest - Middle"));
        p.engine.playRow(1);
        p.media.advance();
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("Low"));
        QObject::disconnect(&p.playlist, nullptr, &p.core, nullptr);  // the edit came too late to be passed on
        p.playlist.removeRow(3);
        p.media.advance();
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("Album 02"));
    }
};

QTEST_MAIN(TestPlaybackEngine)
#include "test_playback_engine.moc"
