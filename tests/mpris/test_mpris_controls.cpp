// The desktop's media controls on the windowed player (fake media): each
// method ends where the button, key or bar that does the same ends, the
// properties read what the windows show, and only what changed is told.

#include "common/dialogs.h"
#include "common/settings_store.h"
#include "player/mpris/mpris_player.h"
#include "player/mpris/mpris_service.h"
#include "player/mpris/track_metadata.h"
#include "player/shell/main_display.h"
#include "tests/player/app_fixture.h"
#include "tests/support/private_bus.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace qpt;
using namespace qpt::test;

Q_DECLARE_METATYPE(std::function<void(qpt::test::AppFixture&, qpt::MprisPlayer&)>)

namespace {

// The media controls of the windowed player, wired as main() wires them.
MprisPlayer::Sources sourcesOf(PlayerApp& app)
{
    return {app.commands(), app.core(), app.bars(), app.display().volumeKnob};
}

QString trackPath(const MprisPlayer& remote)
{
    return remote.metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
}

QStringList batchFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.sng")}, QDir::Files, QDir::Name);
}

}  // namespace

class TestMprisControls : public QObject {
    Q_OBJECT

private slots:
    // Every way in that carries a value (a knob, a media control, the tray,
    // a drop) is a request of the one command table.
    void everyWayInReachesTheCommandTable_data()
    {
        QTest::addColumn<std::function<void(AppFixture&, MprisPlayer&)>>("act");
        QTest::addColumn<Command>("command");
        using Act = std::function<void(AppFixture&, MprisPlayer&)>;
        QTest::newRow("seek knob let go") << Act([](AppFixture& p, MprisPlayer&) {
            p.app.bars().onSeekKnobPressed(0);
            p.app.bars().onSeekKnobReleased();
        }) << Command::SeekTo;
        QTest::newRow("volume knob dragged") << Act([](AppFixture& p, MprisPlayer&) {
            p.app.bars().onVolumeKnobPressed(0);
            p.app.bars().onVolumeKnobMoved(100);
        }) << Command::SetVolume;
        QTest::newRow("media controls SetPosition") << Act([](AppFixture& p, MprisPlayer& remote) {
            remote.setPosition(mpris::trackIdOf(p.engine.nowPlaying().entry), 2'000'000);
        }) << Command::SeekTo;
        QTest::newRow("media controls Seek") << Act([](AppFixture&, MprisPlayer& remote) { remote.seek(1'000'000); })
                                             << Command::SeekBy;
        QTest::newRow("media controls Volume") << Act([](AppFixture&, MprisPlayer& remote) { remote.setVolume(0.5); })
                                               << Command::SetVolume;
        QTest::newRow("media controls Raise") << Act([](AppFixture&, MprisPlayer& remote) { remote.raise(); })
                                              << Command::RestoreFromTray;
        QTest::newRow("media controls OpenUri") << Act([](AppFixture&, MprisPlayer& remote) {
            remote.openUri(QStringLiteral("file:///m/x.mp3"), [](MprisPlayer::Opened) {});
        }) << Command::HandOverFile;
        QTest::newRow("playlist's title strip double-clicked") << Act([](AppFixture& p, MprisPlayer&) {
            QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(20, 5), QPointF(20, 5), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&p.app.windows().playlistWindow(), &click);
        }) << Command::DockPlaylist;
        QTest::newRow("drop on the main window") << Act([](AppFixture& p, MprisPlayer&) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QStringLiteral("/m/dropped.mp3"))});
            // A drop goes to the window that took the drag's entry.
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&p.app.windows().mainWindow(), &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&p.app.windows().mainWindow(), &drop);
        }) << Command::DropOnMainWindow;
    }

    void everyWayInReachesTheCommandTable()
    {
        QFETCH(std::function<void(AppFixture&, MprisPlayer&)>, act);
        QFETCH(Command, command);
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        MprisPlayer remote(sourcesOf(p.app));
        p.engine.play();
        p.media->length = 60;
        p.media->position = 5;
        QSignalSpy ran(&p.app.commands(), &CommandDispatcher::ran);
        act(p, remote);
        QVERIFY(!ran.isEmpty());
        QCOMPARE(ran.first().at(0).value<Command>(), command);
    }

    // A Next tells the media controls once, when the song is heard, with
    // everything about it: not at the command (nothing new is heard yet),
    // not again when a length arrives for it.
    void oneChangeWithTheWholeMetadataPerNext()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3")});
        for (int row = 1; row <= 3; ++row)
            p.playlist.setLength(*p.playlist.idOf(row), *SongLength::fromMilliseconds(1000 * row));
        MprisPlayer remote(sourcesOf(p.app));
        p.engine.play();
        QTRY_VERIFY(!remote.refreshTimer.isActive());
        remote.refresh();
        p.media->notifyOnSetUrl = false;
        QSignalSpy changes(&remote, &MprisPlayer::propertiesChanged);
        const auto metadataChanges = [&] {
            return std::count_if(changes.cbegin(), changes.cend(), [](const QList<QVariant>& change) {
                return change[0].toMap().contains(QStringLiteral("Metadata"));
            });
        };
        for (int step = 2; step <= 3; ++step) {
            p.engine.next();
            QTest::qWait(5);  // the refresh had its turn
            QCOMPARE(metadataChanges(), step - 2);
            p.media->notify(playstate::Playing);
            QTest::qWait(5);
            QCOMPARE(metadataChanges(), step - 1);
            const QVariantMap told = changes.last()[0].toMap().value(QStringLiteral("Metadata")).toMap();
            QCOMPARE(told.value(QStringLiteral("xesam:title")).toString(), QString::number(step));
            QCOMPARE(told.value(QStringLiteral("mpris:length")).toLongLong(), qlonglong(step) * 1'000'000);
        }
    }

    // The windowed player on a private bus, driven by the real playerctl:
    // each command shows in the windows as the button or key would show it.
    void playerctlGoesTheButtonsWay()
    {
        TestEnv env;
        PrivateBus bus(env.root());
        QVERIFY(!bus.address().isEmpty());
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3")});
        p.media->length = 200;
        MprisService service(sourcesOf(p.app), QDBusConnection::connectToBus(bus.address(), QStringLiteral("player")));
        QCOMPARE(service.serviceName(), QStringLiteral("org.mpris.MediaPlayer2.quorbel_player_tirk"));
        const QProcessEnvironment environment = bus.environment(env.processEnvironment());
        // Runs playerctl, then what it asked for (the command timer's turn).
        const auto ctl = [&](const QStringList& arguments) {
            const ClientRun run = runClient(QStringLiteral("playerctl"),
                                            QStringList{QStringLiteral("-p"), QStringLiteral("quorbel_player_tirk")}
                                                + arguments,
                                            environment);
            waitUntil([&] { return p.app.commands().queued().isEmpty(); });
            return run.output;
        };
        MainDisplay& d = p.app.display();
        QCOMPARE(ctl({QStringLiteral("status")}), QStringLiteral("Stopped"));  // nothing started yet

        // Pause and Stop are disabled buttons now: nothing happens.
        ctl({QStringLiteral("pause")});
        ctl({QStringLiteral("stop")});
        QVERIFY(p.media->calls.isEmpty());

        ctl({QStringLiteral("play")});
        QCOMPARE(d.playButton.face(), ButtonFace::Lit);
        QVERIFY(!d.playButton.enabled());
        QCOMPARE(d.songNumberLabel.text(), QStringLiteral("Now Playing Song Number 1"));
        QCOMPARE(ctl({QStringLiteral("status")}), QStringLiteral("Playing"));
        // Play while playing does not start the list over.
        ctl({QStringLiteral("play")});
        QCOMPARE(p.media->calls.filter(QStringLiteral("url ")).size(), 1);

        ctl({QStringLiteral("next")});
        QCOMPARE(p.media->url(), QByteArray("/m/2.mp3"));
        QCOMPARE(d.songNumberLabel.text(), QStringLiteral("Now Playing Song Number 2"));
        QCOMPARE(ctl({QStringLiteral("metadata"), QStringLiteral("xesam:title")}), QStringLiteral("2"));
        ctl({QStringLiteral("previous")});
        QCOMPARE(p.media->url(), QByteArray("/m/1.mp3"));

        ctl({QStringLiteral("position"), QStringLiteral("10")});
        QCOMPARE(p.media->seeks, QVector<double>{10});
        p.app.core().positionTick();
        QCOMPARE(d.timeLabel.text(), QStringLiteral("10 / 03:20"));
        ctl({QStringLiteral("volume"), QStringLiteral("0.5")});
        QCOMPARE(d.volumeKnob.top(), 1870.0);
        QCOMPARE(p.media->volume(), 50);

        ctl({QStringLiteral("pause")});
        QCOMPARE(d.pauseButton.face(), ButtonFace::Lit);
        QCOMPARE(ctl({QStringLiteral("status")}), QStringLiteral("Paused"));
        ctl({QStringLiteral("play-pause")});
        QCOMPARE(p.media->calls.last(), QStringLiteral("play"));  // resumed, not started again

        ctl({QStringLiteral("stop")});
        QCOMPARE(d.stopButton.face(), ButtonFace::Lit);
        QCOMPARE(d.timeLabel.text(), QLatin1String(MainDisplay::kIdleTime));
        QCOMPARE(ctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
    }

    void volumeFollowsTheBarBothWays()
    {
        TestEnv env;
        AppFixture p;
        MprisPlayer remote(sourcesOf(p.app));
        QCOMPARE(remote.volume(), 1.0);  // the knob starts at the top
        QSignalSpy changes(&remote, &MprisPlayer::propertiesChanged);

        remote.setVolume(0.5);
        QCOMPARE(p.app.display().volumeKnob.top(), 1870.0);
        QCOMPARE(p.media->volume(), 50);
        remote.refresh();
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toMap(), (QVariantMap{{QStringLiteral("Volume"), 0.5}}));

        // The volume key moves the knob: the controls hear of it.
        p.app.actions().volumeDown();
        remote.refresh();
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[1][0].toMap().value(QStringLiteral("Volume")).toDouble(), (2120.0 - 1887) / 500);

        remote.setVolume(-3);
        QCOMPARE(p.media->volume(), 0);
        remote.setVolume(7);
        QCOMPARE(remote.volume(), 1.0);
        remote.setVolume(std::nan(""));
        QCOMPARE(remote.volume(), 1.0);
    }

    void seeksKeepToThePlayingSong()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        MprisPlayer remote(sourcesOf(p.app));
        QSignalSpy seeked(&remote, &MprisPlayer::seeked);
        p.engine.play();
        p.media->length = 200;
        p.media->position = 50;
        const QDBusObjectPath playing(trackPath(remote));
        const QDBusObjectPath other = mpris::trackIdOf(*p.playlist.idOf(2));

        remote.setPosition(other, 10'000'000);       // a stale track id
        remote.setPosition(playing, 300'000'000);    // past the end
        remote.setPosition(playing, -1);
        QVERIFY(p.media->seeks.isEmpty());
        remote.setPosition(playing, 10'000'000);
        QCOMPARE(p.media->seeks, QVector<double>{10});
        QCOMPARE(seeked.takeFirst()[0].toLongLong(), 10'000'000);

        remote.seek(-100'000'000);  // before the start: the start
        QCOMPARE(p.media->seeks.last(), 0.0);
        remote.seek(500'000'000);   // past the end: the next song
        QCOMPARE(p.app.commands().queued(), QList<Command>{Command::NextSong});

        // The user's jump on the seek bar is told as well.
        seeked.clear();
        p.app.bars().onSeekKnobPressed(0);
        p.app.bars().onSeekKnobReleased();
        QCOMPARE(seeked.size(), 1);

        p.engine.stop();
        remote.setPosition(playing, 10'000'000);
        QCOMPARE(p.media->seeks.size(), 3);
        QVERIFY(!remote.canSeek());
    }

    void metadataNamesTheEntryAndTellsItsLength()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/Two Words.mp3")});
        MprisPlayer remote(sourcesOf(p.app));
        QVERIFY(remote.metadata().isEmpty());
        p.engine.playRow(2);
        remote.refresh();
        QSignalSpy changes(&remote, &MprisPlayer::propertiesChanged);
        const QVariantMap metadata = remote.metadata();
        QCOMPARE(trackPath(remote), QStringLiteral("/org/quorbel/PlayerTirk/track/2"));
        QCOMPARE(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Two Words"));
        QCOMPARE(metadata.value(QStringLiteral("xesam:url")).toString(), QStringLiteral("file:///m/Two%20Words.mp3"));
        QVERIFY(!metadata.contains(QStringLiteral("mpris:length")));  // not measured yet

        p.playlist.setLength(*p.playlist.idOf(2), *SongLength::fromMilliseconds(61500));
        remote.refresh();
        QCOMPARE(changes.size(), 1);
        const QVariantMap changed = changes[0][0].toMap();
        QCOMPARE(changed.keys(), QStringList{QStringLiteral("Metadata")});
        QCOMPARE(changed.value(QStringLiteral("Metadata")).toMap().value(QStringLiteral("mpris:length")).toLongLong(),
                 61'500'000);

        // The entry keeps its track id when a row above it goes.
        p.playlist.removeRow(1);
        QCOMPARE(p.engine.nowPlayingRow(), 1);
        QCOMPARE(trackPath(remote), QStringLiteral("/org/quorbel/PlayerTirk/track/2"));
    }

    void openUriAppendsThroughABatchFile()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3")});
        MprisPlayer remote(sourcesOf(p.app));
        QVERIFY(TestEnv::writeFile(env.app(QStringLiteral("a-waiting.sng")), "/m/waiting.mp3\r\n"));

        const auto open = [&](const QString& uri) {
            std::optional<MprisPlayer::Opened> answer;
            remote.openUri(uri, [&](MprisPlayer::Opened opened) { answer = opened; });
            waitUntil([&] { return answer.has_value(); });
            return answer.value_or(MprisPlayer::Opened::Failed);
        };
        QCOMPARE(open(QStringLiteral("http://example.com/a.mp3")), MprisPlayer::Opened::NotSupported);
        QCOMPARE(open(QStringLiteral("file:///m/notes.txt")), MprisPlayer::Opened::NotSupported);
        // A name with a line break: refused whole, with one message; no
        // batch line is made of its pieces.
        Dialogs::scriptAnswers({});
        QCOMPARE(open(QStringLiteral("file:///m/two%0Alines.mp3")), MprisPlayer::Opened::NotSupported);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("File Not Added"));
        QVERIFY(Dialogs::records().last().text.contains(QStringLiteral("two\u21b5lines.mp3")));
        QCOMPARE(batchFiles(env.appDir()), QStringList{QStringLiteral("a-waiting.sng")});

        // The path keeps its bytes, also those that are not UTF-8.
        QCOMPARE(open(QStringLiteral("file:///m/caf%E9.mp3")), MprisPlayer::Opened::Appended);
        QStringList batches = batchFiles(env.appDir());
        batches.removeAll(QStringLiteral("a-waiting.sng"));
        QCOMPARE(batches.size(), 1);
        QCOMPARE(TestEnv::readFile(env.app(batches[0])), QByteArray("/m/caf\xe9.mp3\r\n"));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("a-waiting.sng"))), QByteArray("/m/waiting.mp3\r\n"));
        // The later formats are songs too.
        for (const char* name : {"a.flac", "b.ogg", "c.oga", "d.opus", "e.m4a"})
            QCOMPARE(open(QStringLiteral("file:///m/") + QLatin1String(name)), MprisPlayer::Opened::Appended);

        p.app.loader().tick();
        QVERIFY(waitUntil([&] { return !p.app.loader().isLoading(); }));
        QList<QByteArray> paths = p.playlist.paths();
        QCOMPARE(paths.mid(0, 2), (QList<QByteArray>{"/m/1.mp3", "/m/waiting.mp3"}));
        paths = paths.mid(2);
        std::sort(paths.begin(), paths.end());
        QCOMPARE(paths, (QList<QByteArray>{"/m/a.flac", "/m/b.ogg", "/m/c.oga", "/m/caf\xe9.mp3", "/m/d.opus",
                                           "/m/e.m4a"}));
    }

    // A CD track (GStreamer's form, the file manager's) or a whole disc is
    // handed to the loader as it stands; another file of the disc's view
    // is not music.
    void openUriTakesAudioCdAddresses()
    {
        TestEnv env;
        AppFixture p;
        MprisPlayer remote(sourcesOf(p.app));
        const auto open = [&](const QString& uri) {
            std::optional<MprisPlayer::Opened> answer;
            remote.openUri(uri, [&](MprisPlayer::Opened opened) { answer = opened; });
            waitUntil([&] { return answer.has_value(); });
            return answer.value_or(MprisPlayer::Opened::Failed);
        };
        QCOMPARE(open(QStringLiteral("cdda://sr0/cover.jpg")), MprisPlayer::Opened::NotSupported);
        QCOMPARE(batchFiles(env.appDir()), QStringList());
        for (const char* uri : {"cdda://3", "cdda://sr0/Track%201.wav", "cdda:///dev/sr1"})
            QCOMPARE(open(QLatin1String(uri)), MprisPlayer::Opened::Appended);
        QByteArray lines;
        for (const QString& batch : batchFiles(env.appDir()))
            lines += TestEnv::readFile(env.app(batch));
        QList<QByteArray> sorted = lines.split('\n');
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, (QList<QByteArray>{"", "cdda:///dev/sr1\r", "cdda://3\r", "cdda://sr0/Track%201.wav\r"}));
    }

    void raiseAndQuitAsTheWindowsDo()
    {
        TestEnv env;
        {
            AppFixture p;
            MprisPlayer remote(sourcesOf(p.app));
            p.app.actions().minimizeToTray();
            QVERIFY(p.app.chrome().inTray());
            remote.raise();
            QVERIFY(!p.app.chrome().inTray());
            QVERIFY(p.app.windows().mainWindow().isVisible());
            // Autosave off: the player ends, after the caller's answer.
            remote.quit();
            QCOMPARE(p.terminated, 0);
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        }
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        AppFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3")});
        MprisPlayer remote(sourcesOf(p.app));
        remote.quit();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))), QByteArray("/m/a.mp3\r\n\r\n"));
    }
};

QTEST_MAIN(TestMprisControls)
#include "test_mpris_controls.moc"
