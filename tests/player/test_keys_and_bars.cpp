// The key table, the command queue and its timers, the volume steps and
// the two dragged knobs.

#include "common/settings_store.h"
#include "player/shell/commands.h"
#include "player/shell/seek_volume.h"
#include "tests/player/app_fixture.h"
#include "tests/player/player_fixture.h"
#include "tests/support/test_env.h"

#include <QKeyEvent>
#include <QSystemTrayIcon>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

// Presses a key in the main window, as the user would.
void press(AppFixture& p, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::AltModifier)
{
    QTest::keyClick(&p.app.windows().mainWindow(), key, modifiers);
}

}  // namespace


namespace {
// What the player's command table does with what the knobs ask for.
void carryOut(SeekAndVolumeBars& bars)
{
    QObject::connect(&bars, &SeekAndVolumeBars::seekAsked, &bars, &SeekAndVolumeBars::seekTo);
    QObject::connect(&bars, &SeekAndVolumeBars::volumeAsked, &bars, &SeekAndVolumeBars::setVolume);
}
}  // namespace

class TestKeysAndBars : public QObject {
    Q_OBJECT
private slots:
    void onlyAltAloneIsAShortcut()
    {
        QCOMPARE(commandForKey(Qt::AltModifier | Qt::Key_Right), Command::NextSong);
        QCOMPARE(commandForKey(Qt::AltModifier | Qt::Key_F4), Command::Close);
        QVERIFY(!commandForKey(Qt::AltModifier | Qt::ShiftModifier | Qt::Key_Right));
        QVERIFY(!commandForKey(Qt::AltModifier | Qt::ControlModifier | Qt::Key_Right));
        QVERIFY(!commandForKey(QKeyCombination(Qt::Key_Right)));
        const QKeyEvent keypad(QEvent::KeyPress, Qt::Key_Up, Qt::AltModifier | Qt::KeypadModifier);
        QCOMPARE(commandForKey(&keypad), Command::VolumeUp);
    }

    // Key presses before a tick are all carried out, in the order they came.
    void postedCommandsAllRunInOrder()
    {
        TestEnv env;
        env.installStandIn(QStringLiteral("option.dat"));
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3")});
        p.engine.play();
        press(p, Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);  // not a shortcut
        QVERIFY(p.app.commands().queued().isEmpty());

        // Alt+O then Alt+Right before a tick: both happen.
        press(p, Qt::Key_O);
        press(p, Qt::Key_Right);
        QCOMPARE(p.app.commands().queued(), (QList<Command>{Command::OpenOptions, Command::NextSong}));
        QCOMPARE(p.app.commands().companionTimer.interval(), 1);
        QCOMPARE(p.app.commands().mainTimer.interval(), 1);
        p.app.commands().companionTimer.tick();
        QVERIFY(waitUntil([&] { return env.standInCalls(QStringLiteral("option.dat")).size() == 1; }));
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.media->url(), QByteArray("/m/2.mp3"));

        // Two of the same timer: one tick runs both, oldest first.
        press(p, Qt::Key_Right);
        press(p, Qt::Key_Left);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.media->calls.filter(QStringLiteral("url ")),
                 (QStringList{QStringLiteral("url /m/1.mp3"), QStringLiteral("url /m/2.mp3"),
                              QStringLiteral("url /m/3.mp3"), QStringLiteral("url /m/2.mp3")}));
        QVERIFY(p.app.commands().queued().isEmpty());

        // Play or pause by the state of the Play button.
        press(p, Qt::Key_P);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.engine.state(), PlayerState::Paused);
        press(p, Qt::Key_P);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QCOMPARE(p.media->calls.last(), QStringLiteral("play"));

        // The list button's toggle and the tray.
        press(p, Qt::Key_L);
        p.app.commands().mainTimer.tick();
        QVERIFY(p.app.chrome().playlist.open);
        press(p, Qt::Key_M);
        p.app.commands().mainTimer.tick();
        QVERIFY(p.app.chrome().inTray());
    }

    void listKeysActAtOnce()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/b.mp3"), QStringLiteral("/m/a.mp3")});
        QTableView* list = p.app.windows().playlistWindow().list;
        p.app.windows().playlistWindow().selectRow(1);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(p.playlist.paths(), QList<QByteArray>{"/m/a.mp3"});
        QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);  // S with any modifiers sorts at once
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("sorted.sng"))); }));
        QVERIFY(p.app.commands().queued().isEmpty());
    }

    // A value the table does not know does nothing; it never stands in for
    // its first row, the close.
    void unknownCommandDoesNothing()
    {
        TestEnv env;
        AppFixture p;
        p.app.commands().run(static_cast<Command>(999));
        p.app.commands().post(static_cast<Command>(998));
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.terminated, 0);
        QVERIFY(p.app.windows().mainWindow().isVisible());
    }

    void closeKey()
    {
        TestEnv env;
        {
            AppFixture p;  // AutosavePlayList missing: counts as off
            press(p, Qt::Key_F4);
            QCOMPARE(p.terminated, 1);
        }
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        AppFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3")});
        press(p, Qt::Key_F4);
        QCOMPARE(p.terminated, 0);
        QCOMPARE(p.app.commands().queued(), QList<Command>{Command::AutosaveAndQuit});
        p.app.commands().mainTimer.tick();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))), QByteArray("/m/a.mp3\r\n\r\n"));
    }

    void volumeKeysStepAndClamp()
    {
        TestEnv env;
        AppFixture p;
        KnobModel& knob = p.app.display().volumeKnob;
        knob.setTop(1870);
        press(p, Qt::Key_Up);
        QCOMPARE(knob.top(), 1837.0);
        QCOMPARE(p.app.bars().volumeLevel(), 56.6);
        QCOMPARE(p.media->volume(), 57);
        press(p, Qt::Key_Down);
        QCOMPARE(knob.top(), 1854.0);  // up then down ends 16 twips higher
        QCOMPARE(p.media->volume(), 53);  // 53.2
        for (int i = 0; i < 40; ++i)
            press(p, Qt::Key_Up);
        QCOMPARE(knob.top(), 1603.0);
        QCOMPARE(p.media->volumeWrites.last(), 103);  // 103.4 passed on as 103
        for (int i = 0; i < 60; ++i)
            press(p, Qt::Key_Down);
        QCOMPARE(knob.top(), 2120.0);
        QCOMPARE(p.media->volume(), 0);
    }

    void seekKnob()
    {
        TestEnv env;
        DisplayFixture p;
        SeekAndVolumeBars bars(p.display, p.media);
        carryOut(bars);
        KnobModel& knob = p.display.seekKnob;
        QCOMPARE(SeekAndVolumeBars::seekMin(), 1423.0);
        QCOMPARE(SeekAndVolumeBars::seekMax(), 4188.0);
        bars.onSeekKnobPressed(100.4);
        QVERIFY(p.display.seekDragging());
        bars.onSeekKnobMoved(-5000);
        QCOMPARE(knob.left(), 1423.0);
        bars.onSeekKnobMoved(9000);
        QCOMPARE(knob.left(), 4188.0);
        bars.onSeekKnobMoved(100 + (2805.5 - 4188));  // grabbed at 100
        QCOMPARE(knob.left(), 2805.5);
        p.media.setUrl("/m/a.mp3");
        p.media.length = 200;
        bars.onSeekKnobReleased();
        QVERIFY(!p.display.seekDragging());
        QCOMPARE(p.media.seeks, QVector<double>{100});
        // A click without movement seeks again to the second it stands for.
        bars.onSeekKnobPressed(50);
        bars.onSeekKnobReleased();
        QCOMPARE(p.media.seeks, (QVector<double>{100, 100}));
        // No media: nothing happens and nothing fails.
        DisplayFixture q;
        SeekAndVolumeBars idle(q.display, q.media);
        carryOut(idle);
        idle.onSeekKnobPressed(0);
        idle.onSeekKnobReleased();
        QVERIFY(q.media.seeks.isEmpty());
    }

    void volumeKnob()
    {
        TestEnv env;
        DisplayFixture p;
        SeekAndVolumeBars bars(p.display, p.media);
        carryOut(bars);
        KnobModel& knob = p.display.volumeKnob;
        const auto volumeAt = [&](double top) {
            knob.setTop(top);
            bars.onVolumeKnobMoved(0);  // hover: applies the place as it is
            return p.media.volumeWrites.last();
        };
        QCOMPARE(volumeAt(2120), 0);
        QCOMPARE(volumeAt(1870), 50);
        QCOMPARE(volumeAt(1620), 100);
        QCOMPARE(volumeAt(1612.5), 102);  // 101.5, halves to even
        QCOMPARE(volumeAt(1617.5), 100);  // 100.5
        knob.setTop(1870);
        bars.onVolumeKnobPressed(100);
        bars.onVolumeKnobMoved(-900);
        QCOMPARE(knob.top(), 1603.0);
        bars.onVolumeKnobMoved(5000);
        QCOMPARE(knob.top(), 2120.0);
        bars.onVolumeKnobReleased();
        bars.onVolumeKnobMoved(-900);  // not dragging: the knob stays
        QCOMPARE(knob.top(), 2120.0);
    }
};

QTEST_MAIN(TestKeysAndBars)
#include "test_keys_and_bars.moc"
