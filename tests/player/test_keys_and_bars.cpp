// The Alt+key table, posting and overwriting command words, the volume
// steps and the two dragged dots.

#include "common/settings_store.h"
#include "player/core/seek_volume.h"
#include "player/playlist/drop_processing.h"
#include "player/playlist/playlist_editing.h"
#include "player/shell/command_dispatch.h"
#include "player/shell/shortcuts.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QKeyEvent>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {
struct Input {
    FakePlayer p;
    DropProcessing drops{p.c};
    PlaylistEditing editing{p.c, drops};
    SeekVolumeBars bars{p.c};
    CommandDispatch dispatch{p.core};
    Shortcuts keys{p.core, bars, editing};
    Input()
    {
        p.c.timSavePlayList.setHandler([this] { dispatch.timSavePlayList_Timer(); });
        p.c.timShortKeys.setHandler([this] { dispatch.timShortKeys_Timer(); });
        p.c.timPlayListFocus.setHandler([this] { editing.timPlayListFocus_Timer(); });
    }
};
}  // namespace

class TestKeysAndBars : public QObject {
    Q_OBJECT
private slots:
    void qtKeysMapToVirtualKeys()
    {
        const QKeyEvent altRight(QEvent::KeyPress, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(keyStrokeOf(&altRight).keyCode, vk::Right);
        QCOMPARE(keyStrokeOf(&altRight).shift, 4);
        const QKeyEvent ctrlAltS(QEvent::KeyPress, Qt::Key_S, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(keyStrokeOf(&ctrlAltS).keyCode, vk::S);
        QCOMPARE(keyStrokeOf(&ctrlAltS).shift, 6);
        const QKeyEvent f4(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(keyStrokeOf(&f4).keyCode, vk::F4);
        QCOMPARE(keyStrokeOf(&f4).shift, 5);
    }

    void onlyAltAloneActs()
    {
        TestEnv env;
        Input in;
        in.p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        QVERIFY(!in.keys.handleKey(vk::Right, 5));  // Alt+Shift
        QVERIFY(!in.keys.handleKey(vk::Right, 6));  // Ctrl+Alt
        QVERIFY(!in.keys.handleKey(vk::Right, 0));
        QCOMPARE(in.p.c.s.PendingCommand, QString());
        QVERIFY(!in.p.c.timSavePlayList.isArmed());

        // Alt+O then Alt+Right before a tick: only the next song happens.
        QVERIFY(in.keys.handleKey(vk::O, 4));
        QCOMPARE(in.p.c.timShortKeys.interval(), 1);
        QVERIFY(in.keys.handleKey(vk::Right, 4));
        in.p.c.timShortKeys.tick();
        QVERIFY(!in.p.shell.calls.contains(QStringLiteral("option")));
        QCOMPARE(in.p.c.s.PendingCommand, QStringLiteral("N"));
        in.p.c.timSavePlayList.tick();
        QCOMPARE(in.p.media.url(), QStringLiteral("/m/1.mp3"));
        QCOMPARE(in.p.c.s.PendingCommand, QString());

        QVERIFY(in.keys.handleKey(vk::S, 4));
        QCOMPARE(in.p.c.s.PendingCommand, QStringLiteral("SORTING"));
        QCOMPARE(in.p.c.timPlayListFocus.interval(), 1);
        QVERIFY(in.keys.handleKey(vk::I, 4));
        in.p.c.timShortKeys.tick();
        QCOMPARE(in.p.shell.calls.last(), QStringLiteral("internet"));
        QVERIFY(in.keys.handleKey(vk::L, 4));
        in.p.c.timSavePlayList.tick();
        QVERIFY(in.p.shell.calls.contains(QStringLiteral("togglePlaylist")));
    }

    void listKeysActAtOnce()
    {
        TestEnv env;
        Input in;
        in.p.addSongs({QStringLiteral("/m/b.mp3"), QStringLiteral("/m/a.mp3")});
        in.p.c.playlist.lstPlayList.setSelectedRow(1);
        QVERIFY(in.keys.handleListKey(vk::Delete, 0));
        QCOMPARE(in.p.c.playlist.lstPlayListSource.items(), QList<QByteArray>{"/m/a.mp3"});
        QVERIFY(in.keys.handleListKey(vk::S, 2));  // S with any modifiers sorts at once
        QVERIFY(QFile::exists(env.app(QStringLiteral("sorted.sng"))));
        QCOMPARE(in.p.c.s.PendingCommand, QString());
    }

    void closeKey()
    {
        TestEnv env;
        {
            Input in;  // AutosavePlayList missing: counts as off
            QVERIFY(in.keys.handleKey(vk::F4, 4));
            QCOMPARE(in.p.shell.calls, QStringList{QStringLiteral("unload")});
        }
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        Input in;
        in.p.addSongs({QStringLiteral("/m/a.mp3")});
        QVERIFY(in.keys.handleKey(vk::F4, 4));
        QVERIFY(in.p.shell.calls.isEmpty());
        QCOMPARE(in.p.c.s.PendingCommand, QStringLiteral("AUTOSAVE"));
        in.p.c.timSavePlayList.tick();
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))), QByteArray("/m/a.mp3\r\n\r\n"));
        QCOMPARE(in.p.shell.calls.last(), QStringLiteral("unload"));
    }

    void volumeKeysStepAndClamp()
    {
        TestEnv env;
        Input in;
        DotModel& dot = in.p.c.display.picVolBarDot;
        dot.setTop(1870);
        in.keys.handleKey(vk::Up, 4);
        QCOMPARE(dot.top(), 1837.0);
        QCOMPARE(in.p.c.s.VolumeLevel, 56.6);
        QCOMPARE(in.p.media.volume(), 57);
        in.keys.handleKey(vk::Down, 4);
        QCOMPARE(dot.top(), 1854.0);  // up then down ends 16 twips higher
        QCOMPARE(in.p.media.volume(), 53);  // 53.2
        for (int i = 0; i < 40; ++i)
            in.keys.handleKey(vk::Up, 4);
        QCOMPARE(dot.top(), 1603.0);
        QCOMPARE(in.p.media.volumeWrites.last(), 103);  // 103.4 passed on as 103
        for (int i = 0; i < 60; ++i)
            in.keys.handleKey(vk::Down, 4);
        QCOMPARE(dot.top(), 2120.0);
        QCOMPARE(in.p.media.volume(), 0);
    }

    void seekDot()
    {
        TestEnv env;
        FakePlayer p;
        SeekVolumeBars bars(p.c);
        DotModel& dot = p.c.display.picProgressBarDot;
        QCOMPARE(SeekVolumeBars::seekMin(), 1423.0);
        QCOMPARE(SeekVolumeBars::seekMax(), 4188.0);
        bars.picProgressBarDot_MouseDown(100.4);
        QVERIFY(p.c.s.SeekDragging);
        bars.picProgressBarDot_MouseMove(-5000);
        QCOMPARE(dot.left(), 1423.0);
        bars.picProgressBarDot_MouseMove(9000);
        QCOMPARE(dot.left(), 4188.0);
        bars.picProgressBarDot_MouseMove(100 + (2805.5 - 4188));  // grabbed at 100
        QCOMPARE(dot.left(), 2805.5);
        p.media.setUrl("/m/a.mp3");
        p.media.length = 200;
        bars.picProgressBarDot_MouseUp();
        QVERIFY(!p.c.s.SeekDragging);
        QCOMPARE(p.media.seeks, QVector<double>{100});
        // A click without movement seeks again to the second it stands for.
        bars.picProgressBarDot_MouseDown(50);
        bars.picProgressBarDot_MouseUp();
        QCOMPARE(p.media.seeks, (QVector<double>{100, 100}));
        // No media: nothing happens and nothing fails.
        FakePlayer q;
        SeekVolumeBars idle(q.c);
        idle.picProgressBarDot_MouseDown(0);
        idle.picProgressBarDot_MouseUp();
        QVERIFY(q.media.seeks.isEmpty());
    }

    void volumeDot()
    {
        TestEnv env;
        FakePlayer p;
        SeekVolumeBars bars(p.c);
        DotModel& dot = p.c.display.picVolBarDot;
        const auto volumeAt = [&](double top) {
            dot.setTop(top);
            bars.picVolBarDot_MouseMove(0);  // hover: applies the place as it is
            return p.media.volumeWrites.last();
        };
        QCOMPARE(volumeAt(2120), 0);
        QCOMPARE(volumeAt(1870), 50);
        QCOMPARE(volumeAt(1620), 100);
        QCOMPARE(volumeAt(1612.5), 102);  // 101.5, halves to even
        QCOMPARE(volumeAt(1617.5), 100);  // 100.5
        dot.setTop(1870);
        bars.picVolBarDot_MouseDown(100);
        bars.picVolBarDot_MouseMove(-900);
        QCOMPARE(dot.top(), 1603.0);
        bars.picVolBarDot_MouseMove(5000);
        QCOMPARE(dot.top(), 2120.0);
        bars.picVolBarDot_MouseUp();
        bars.picVolBarDot_MouseMove(-900);  // not dragging: the dot stays
        QCOMPARE(dot.top(), 2120.0);
    }
};

QTEST_MAIN(TestKeysAndBars)
#include "test_keys_and_bars.moc"
