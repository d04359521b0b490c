// The playlist window's operations without the window: play the selected
// song, remove, sort and reload, the focus timer and the status rotation.

#include "player/playlist/drop_processing.h"
#include "player/playlist/playlist_editing.h"
#include "player/shell/command_dispatch.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QFile>
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
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        p.addSongs(songs(8));
        p.c.playlist.lstPlayList.setBold(2, true);
        p.c.s.NowPlayingRow = 2;
        p.c.s.PlayerState = QStringLiteral("STOPPED");
        p.c.s.LinkActive = QStringLiteral("OK");
        p.c.playlist.lstPlayList.setSelectedRow(5);
        editing.PlaySelectedSong();
        QCOMPARE(p.boldRow(), 5);
        QVERIFY(!p.c.playlist.lstPlayList.isBold(2));
        QCOMPARE(p.c.s.CurrentIndex, qint16(5));  // the entry after the playing one
        QCOMPARE(p.c.s.NowPlayingRow, qint16(5));
        QCOMPARE(p.media.url(), QStringLiteral("/m/song5.mp3"));
        QCOMPARE(p.c.s.NowPlayingTitle, QStringLiteral("song5"));
        QCOMPARE(p.c.s.RunLookPending, QStringLiteral("RUN"));
        QCOMPARE(p.c.s.PlayerState, QString());
        QCOMPARE(p.c.s.LinkActive, QString());
        QCOMPARE(p.c.s.StatusPhase, qint16(1));

        // Next goes on to the entry after the chosen one.
        p.core.engine.NextSong();
        QCOMPARE(p.media.url(), QStringLiteral("/m/song6.mp3"));
        QCOMPARE(p.boldRow(), 6);

        p.c.playlist.lstPlayList.setSelectedRow(0);  // nothing selected: nothing happens
        const int calls = int(p.media.calls.size());
        editing.PlaySelectedSong();
        QCOMPARE(p.media.calls.size(), calls);
    }

    void removeSelectedSongKeepsTheIndexes()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        p.addSongs(songs(8));
        p.c.s.CurrentIndex = 4;
        p.c.s.NowPlayingRow = 4;
        p.c.playlist.lstPlayList.setSelectedRow(7);
        editing.RemoveSelectedSong();
        QCOMPARE(p.c.s.CurrentIndex, qint16(4));
        QCOMPARE(p.c.s.NowPlayingRow, qint16(4));
        QCOMPARE(p.c.playlist.lstPlayListSource.ListCount(), 7);
        p.c.playlist.lstPlayList.setSelectedRow(2);
        editing.RemoveSelectedSong();
        QCOMPARE(p.c.s.CurrentIndex, qint16(3));
        QCOMPARE(p.c.s.NowPlayingRow, qint16(3));
        QCOMPARE(p.c.playlist.lstPlayListSource.ListIndex(), 2);
        QCOMPARE(p.c.playlist.lstPlayListSource.ListCount(), 6);
        QCOMPARE(p.c.playlist.lstPlayList.count(), 6);
        QCOMPARE(p.c.playlist.lstPlayListSource.List(1), QStringLiteral("/m/song3.mp3"));
        QVERIFY(p.media.calls.isEmpty());  // playback is not touched
    }

    void sortReloadsAndStartsTheNextSong()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        CommandDispatch dispatch(p.core);
        p.c.timSavePlayList.setHandler([&] { dispatch.timSavePlayList_Timer(); });
        p.addSongs({QStringLiteral("/M/b.mp3"), QStringLiteral("/m/A.mp3"), QStringLiteral("/M/a2.mp3")});
        p.c.s.CurrentIndex = 2;
        editing.SortPlaylist();
        QCOMPARE(p.c.playlist.lstPlayList.count(), 0);
        QCOMPARE(p.c.s.CurrentIndex, qint16(0));
        QCOMPARE(p.c.s.ResumeAfterReload, QStringLiteral("STOP"));
        QCOMPARE(p.c.display.lblNowPlaying.text(), QStringLiteral("SORTING PLAYLIST PLEASE WAIT..."));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("sorted.sng"))),
                 QByteArray("/m/A.mp3\r\n/M/a2.mp3\r\n/M/b.mp3\r\n"));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("sorted.tmp"))));

        // A second S before the reload is refused.
        p.addSongs({QStringLiteral("/m/late.mp3")});
        editing.SortPlaylist();
        QCOMPARE(p.c.playlist.lstPlayList.count(), 1);
        p.c.playlist.lstPlayListSource.Clear();
        p.c.playlist.lstPlayList.clear();

        p.core.loader.timPlaylstUpdate_Timer();
        QCOMPARE(p.c.playlist.lstPlayListSource.items(), (QList<QByteArray>{"/m/A.mp3", "/M/a2.mp3", "/M/b.mp3"}));
        QCOMPARE(p.c.timSavePlayList.interval(), 500);
        p.c.timSavePlayList.tick();
        QCOMPARE(p.media.url(), QStringLiteral("/m/A.mp3"));
        QCOMPARE(p.c.s.ResumeAfterReload, QString());
        QCOMPARE(p.c.timSavePlayList.interval(), 0);
    }

    void focusTimerScrollsAndSorts()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        p.addSongs(songs(30));
        p.c.timPlayListFocus.setInterval(200);
        p.c.s.CurrentIndex = 3;
        editing.timPlayListFocus_Timer();
        QCOMPARE(p.c.timPlayListFocus.interval(), 0);
        p.c.s.CurrentIndex = 20;
        editing.timPlayListFocus_Timer();
        p.c.s.CurrentIndex = 29;  // row 31 does not exist: skipped
        editing.timPlayListFocus_Timer();
        QCOMPARE(p.shell.calls, (QStringList{QStringLiteral("visible 1"), QStringLiteral("visible 22")}));
        p.c.s.PendingCommand = QStringLiteral("SORTING");
        editing.timPlayListFocus_Timer();
        QCOMPARE(p.c.s.PendingCommand, QString());
        QVERIFY(QFile::exists(env.app(QStringLiteral("sorted.sng"))));
    }

    void statusBarRotation()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        p.c.s.NowPlayingTitle = QStringLiteral("Song");
        p.media.statusText = QStringLiteral("128 kbps");
        QStringList texts;
        for (int i = 0; i < 5; ++i) {
            editing.timStatusBar_Timer();
            texts << p.c.staBar.text();
        }
        QVERIFY(texts[0].startsWith(QStringLiteral("Time: ")));
        QCOMPARE(texts[1], QStringLiteral("Song"));
        QCOMPARE(texts[2], QStringLiteral("Status: 128 kbps"));
        QVERIFY(texts[3].startsWith(QStringLiteral("Quorbel Player Tirk (http")));
        QVERIFY(texts[3].endsWith(QLatin1Char(')')));
        QVERIFY(texts[4].startsWith(QStringLiteral("Time: ")));
    }
};

QTEST_MAIN(TestPlaylistWindowLogic)
#include "test_playlist_window_logic.moc"
