// What the user does in the playlist window: play the selected song,
// remove it, sort and reload, the scroll to the playing song and the
// status line's rotation.

#include "player/shell/commands.h"
#include "tests/player/app_fixture.h"
#include "tests/player/player_fixture.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QScrollBar>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestPlaylistWindowLogic : public QObject {
    Q_OBJECT

    static QStringList songs(int n)
    {
        QStringList list;
        for (int i = 1; i <= n; ++i)
            list << QStringLiteral("/m/song%1.mp3").arg(i);
        return list;
    }

private slots:
    void playSelectedSong()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs(songs(8));
        p.engine.playRow(2);
        p.engine.stop();
        p.app.windows().playlistWindow().selectRow(5);
        p.app.actions().playSelectedRow();
        QVERIFY(p.playlist.isNowPlaying(5));
        QVERIFY(!p.playlist.isNowPlaying(2));
        QCOMPARE(p.engine.songNumber(), 5);  // the entry after the playing one
        QCOMPARE(p.engine.nowPlayingRow(), 5);
        QCOMPARE(p.media->url(), QByteArray("/m/song5.mp3"));
        QCOMPARE(p.engine.nowPlayingTitle(), QStringLiteral("song5"));
        QVERIFY(p.engine.runLookPending());
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QVERIFY(!p.engine.linkActive());
        QCOMPARE(p.app.statusLine().phase(), 1);

        // Next goes on to the entry after the chosen one.
        p.engine.next();
        QCOMPARE(p.media->url(), QByteArray("/m/song6.mp3"));
        QVERIFY(p.playlist.isNowPlaying(6));

        p.app.windows().playlistWindow().selectRow(0);  // nothing selected: nothing happens
        const int calls = int(p.media->calls.size());
        p.app.actions().playSelectedRow();
        QCOMPARE(p.media->calls.size(), calls);
    }

    void removeSelectedSongKeepsTheIndexes()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs(songs(8));
        p.engine.playRow(4);
        p.media->calls.clear();
        p.app.windows().playlistWindow().selectRow(7);
        p.app.actions().removeSelectedRow();
        QCOMPARE(p.engine.songNumber(), 4);
        QCOMPARE(p.engine.nowPlayingRow(), 4);
        QCOMPARE(p.playlist.count(), 7);
        p.app.windows().playlistWindow().selectRow(2);
        p.app.actions().removeSelectedRow();
        QCOMPARE(p.engine.songNumber(), 3);
        QCOMPARE(p.engine.nowPlayingRow(), 3);
        QCOMPARE(p.playlist.currentRow(), 3);
        QCOMPARE(p.playlist.count(), 6);
        QCOMPARE(*p.playlist.path(2), QByteArray("/m/song3.mp3"));
        QVERIFY(p.media->calls.isEmpty());  // playback is not touched
        // The list highlights the row after the removed one, and the next
        // Delete takes that one.
        QCOMPARE(p.app.windows().playlistWindow().selectedRow(), 2);
        p.app.actions().removeSelectedRow();
        QCOMPARE(*p.playlist.path(2), QByteArray("/m/song4.mp3"));
    }

    void sortReloadsAndStartsTheNextSong()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/M/b.mp3"), QStringLiteral("/m/A.mp3"), QStringLiteral("/M/a2.mp3")});
        p.engine.playRow(2);
        p.app.actions().sortNow();
        QVERIFY(waitUntil([&] { return p.playlist.count() == 0; }));
        QCOMPARE(p.engine.songNumber(), 0);
        QVERIFY(p.app.commands().sortUnderWay());
        QCOMPARE(p.app.display().nowPlayingLabel.text(), QStringLiteral("SORTING PLAYLIST PLEASE WAIT..."));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("sorted.sng"))),
                 QByteArray("/m/A.mp3\r\n/M/a2.mp3\r\n/M/b.mp3\r\n"));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("sorted.tmp"))));

        // A second S before the reload is refused.
        p.addSongs({QStringLiteral("/m/late.mp3")});
        p.app.actions().sortNow();
        QCOMPARE(p.playlist.count(), 1);
        p.playlist.clear();

        // A key's command before the sorted list is back does not resume it.
        p.app.commands().post(Command::Pause);
        p.app.commands().mainTimer.tick();
        QVERIFY(p.app.commands().sortUnderWay());
        QCOMPARE(p.app.commands().mainTimer.interval(), 0);

        p.app.loader().tick();
        QVERIFY(waitUntil([&] { return !p.app.loader().isLoading(); }));
        QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/A.mp3", "/M/a2.mp3", "/M/b.mp3"}));
        QCOMPARE(p.app.commands().mainTimer.interval(), 500);
        // One in the half second after it leaves the resume for the next tick.
        p.app.commands().post(Command::Pause);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.app.commands().mainTimer.interval(), 500);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.media->url(), QByteArray("/m/A.mp3"));
        QVERIFY(!p.app.commands().sortUnderWay());
        QCOMPARE(p.app.commands().mainTimer.interval(), 0);
    }

    void playlistTimerScrollsAndSorts()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs(songs(30));
        p.engine.playRow(2);  // each play-state notice arms the timer
        QCOMPARE(p.app.commands().playlistTimer.interval(), 200);
        QTableView* list = p.app.windows().playlistWindow().list;
        p.app.windows().playlistWindow().show();
        p.engine.playRow(21);
        p.app.commands().playlistTimer.tick();
        QCOMPARE(p.app.commands().playlistTimer.interval(), 0);
        QVERIFY(list->visualRect(list->model()->index(22, 0)).intersects(list->viewport()->rect()));
        p.engine.playRow(30);  // row 32 does not exist: no scroll
        p.app.commands().playlistTimer.tick();
        p.app.commands().post(Command::SortPlaylist);
        p.app.commands().playlistTimer.tick();
        QVERIFY(p.app.commands().queued().isEmpty());
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("sorted.sng"))); }));
    }

    void statusLineRotation()
    {
        TestEnv env;
        DisplayFixture p;
        p.addSongs({QStringLiteral("/m/Song.mp3")});
        p.engine.playRow(1);
        p.media.statusText = QStringLiteral("128 kbps");
        QStringList texts;
        for (int i = 0; i < 4; ++i) {
            p.statusLine.tick();
            texts << p.statusLine.text();
        }
        QCOMPARE(texts[0], QStringLiteral("Song"));  // playing a row wrote the time itself
        QCOMPARE(texts[1], QStringLiteral("Status: 128 kbps"));
        QVERIFY(texts[2].startsWith(QStringLiteral("Quorbel Player Tirk (http")));
        QVERIFY(texts[2].endsWith(QLatin1Char(')')));
        QVERIFY(texts[3].startsWith(QStringLiteral("Time: ")));
    }

    // The rows on screen, and the playing song before them, are what the
    // length service measures first; scrolling moves that along.
    void rowsOnScreenAreMeasuredFirst()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs(songs(300));
        p.engine.playRow(250);
        p.app.chrome().togglePlaylist();
        p.app.chrome().buttonFrames.finish();
        PlaylistWindow& window = p.app.windows().playlistWindow();
        QVERIFY(waitUntil([&] { return window.visibleRows().first == 1; }));
        const auto urgentNow = [&] {
            QCoreApplication::processEvents();
            return p.app.core().lengths.urgent();
        };
        const auto [first, last] = window.visibleRows();
        QVERIFY(last > first);
        std::vector<quint64> expected{*p.playlist.idOf(250)};
        for (int row = first; row <= last; ++row)
            expected.push_back(*p.playlist.idOf(row));
        QCOMPARE(urgentNow(), expected);

        window.list->verticalScrollBar()->setValue(window.list->verticalScrollBar()->maximum() / 2);
        QVERIFY(waitUntil([&] { return urgentNow().size() > 1 && urgentNow()[1] != *p.playlist.idOf(1); }));
        const int top = window.visibleRows().first;
        QVERIFY(top > 1);
        QCOMPARE(urgentNow()[1], *p.playlist.idOf(top));

        p.app.chrome().togglePlaylist();  // hidden: only the playing song
        p.app.chrome().buttonFrames.finish();
        QVERIFY(waitUntil([&] { return urgentNow() == std::vector<quint64>{*p.playlist.idOf(250)}; }));
    }
};

QTEST_MAIN(TestPlaylistWindowLogic)
#include "test_playlist_window_logic.moc"
