// The windows on the offscreen platform: playlist window chrome (button
// frames, fades, docking, move and resize rules), the tray, the pop-up menu
// and the main window's mouse.

#include "common/clock.h"
#include "common/dialogs.h"
#include "common/settings_store.h"
#include "common/twips.h"
#include "player/core/media/fake_media_component.h"
#include "player/playlist/playlist_window.h"
#include "player/shell/main_window.h"
#include "player/shell/move_resize.h"
#include "player/shell/picture_button.h"
#include "player/shell/player_app.h"
#include "player/shell/popup_menu.h"
#include "tests/support/test_env.h"

#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

struct App {
    FakeMediaComponent* media = new FakeMediaComponent;
    PlayerApp app{std::unique_ptr<MediaComponent>(media)};
    int terminated = 0;
    App()
    {
        app.onTerminate = [this] { ++terminated; };
        app.createPlaylistWindowHidden();
        app.mainWindow().move(100, 100);
        app.mainWindow().show();
    }
};

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void resizeRules()
    {
        const double w = 4950, h = 2910;
        ResizeFlags flags;
        BeginMoveResize(w - 10, h - 40, w, h, flags);  // both corner and right edge
        QCOMPARE(flags.ResizeCorner, 1.0f);
        QCOMPARE(flags.ResizeRight, 1.0f);
        QCOMPARE(flags.ResizeBottom, 0.0f);
        TrackResult result = TrackMoveResize(6000, 3500, w, h, flags, true);
        QVERIFY(result.action == TrackResult::Action::SetWidth);  // only the width
        QCOMPARE(result.width, 6015.0);
        result = TrackMoveResize(299, 3500, w, h, flags, true);  // too narrow: the platform moves
        QVERIFY(result.action == TrackResult::Action::StartMove);
        EndMoveResize(flags);
        QVERIFY(!flags.any());

        BeginMoveResize(2000, h - 20, w, h, flags);  // bottom edge
        QCOMPARE(flags.ResizeBottom, 1.0f);
        QCOMPARE(flags.ResizeCorner, 0.0f);
        QVERIFY(TrackMoveResize(2000, 4000, w, h, flags, true).action == TrackResult::Action::SetHeight);
        EndMoveResize(flags);
        BeginMoveResize(2000, 1000, w, h, flags);  // the middle: a move
        QVERIFY(!flags.any());
        QVERIFY(TrackMoveResize(2100, 1000, w, h, flags, true).action == TrackResult::Action::StartMove);
        QVERIFY(TrackMoveResize(2100, 1000, w, h, flags, false).action == TrackResult::Action::None);

        // Pointer shapes while hovering, later matches overriding.
        QVERIFY(TrackMoveResize(w - 20, 1000, w, h, flags, false).shape == PointerShape::WestEast);
        QVERIFY(TrackMoveResize(2000, h - 20, w, h, flags, false).shape == PointerShape::NorthSouth);
        QVERIFY(TrackMoveResize(w - 20, h - 20, w, h, flags, false).shape == PointerShape::FourWay);
        QVERIFY(TrackMoveResize(2000, 1000, w, h, flags, false).shape == PointerShape::Default);
        ResizeFlags right;
        right.ResizeRight = 1;
        QVERIFY(TrackMoveResize(2000, h - 20, w, h, right, true).shape == PointerShape::Default);
    }

    void openingFadesAndDocks()
    {
        TestEnv env;
        App a;
        RecordingClock sleeper;
        QStringList frames;
        sleeper.onSleep = [&](int) { frames << a.app.context().display.picOpenPlaylist.picture(); };
        ScopedClock use(&sleeper);
        QVector<int> alphas;
        a.app.chrome.layeredTrace = [&](bool, int alpha) { alphas << alpha; };

        a.app.chrome.picOpenPlaylist_Click();
        QCOMPARE(sleeper.sleeps, (QVector<int>{200, 200, 100, 100}));
        QCOMPARE(frames, (QStringList{QStringLiteral("picOpenPlaylist0"), QStringLiteral("picOpenPlaylist1"),
                                      QStringLiteral("picOpenPlaylist2"), QStringLiteral("picOpenPlaylist3")}));
        PlayerContext& c = a.app.context();
        QCOMPARE(c.display.picOpenPlaylist.picture(), QStringLiteral("picOpenPlaylist4"));
        QCOMPARE(c.display.picOpenPlaylist.toolTip(), QStringLiteral("Close PlayList"));
        QCOMPARE(c.s.PlaylistOpen, QStringLiteral("YES"));
        QVERIFY(c.s.PlaylistDocked);
        QCOMPARE(c.timPlayListFocus.interval(), 1);
        QVector<int> fadeIn{0};
        for (int alpha = 0; alpha <= 200; alpha += 4)
            fadeIn << alpha;
        QCOMPARE(alphas, fadeIn);
        PlaylistWindow& playlist = a.app.playlistWindow();
        QVERIFY(playlist.isVisible());
        QCOMPARE(playlist.parentWidget(), &a.app.mainWindow());
        // Docked: under the main window, overlapping it by one pixel.
        const QRect main = a.app.mainWindow().geometry();
        QCOMPARE(playlist.pos(), QPoint(main.left(), main.top() + main.height() - 1));

        // Dragging the main window 300 twips to the right takes the list along.
        a.app.mainWindow().move(main.topLeft() + QPoint(twipsToPx(300), 0));
        a.app.mainWindowMoved();
        QCOMPARE(playlist.pos(), QPoint(main.left() + 20, main.top() + main.height() - 1));

        // A press on its surface undocks it.
        a.app.chrome.surfacePress(2000, 100);
        a.app.chrome.surfaceRelease();
        QVERIFY(!c.s.PlaylistDocked);
        a.app.mainWindow().move(main.topLeft());
        a.app.mainWindowMoved();
        QCOMPARE(playlist.pos().x(), main.left() + 20);
        a.app.chrome.redock();
        QVERIFY(c.s.PlaylistDocked);
        QCOMPARE(playlist.pos(), QPoint(main.left(), main.top() + main.height() - 1));
        // The status bar keeps its presses: the window stays docked.
        QTest::mousePress(playlist.staBar, Qt::LeftButton);
        QTest::mouseRelease(playlist.staBar, Qt::LeftButton);
        QVERIFY(c.s.PlaylistDocked);

        // Closing.
        frames.clear();
        sleeper.sleeps.clear();
        alphas.clear();
        a.app.chrome.picOpenPlaylist_Click();
        QCOMPARE(sleeper.sleeps, (QVector<int>{200, 200}));
        QCOMPARE(frames, (QStringList{QStringLiteral("picOpenPlaylist5"), QStringLiteral("picOpenPlaylist6")}));
        QCOMPARE(alphas.size(), 50);
        QCOMPARE(alphas.first(), 196);
        QCOMPARE(alphas.last(), 0);
        QVERIFY(!playlist.isVisible());
        QCOMPARE(c.display.picOpenPlaylist.picture(), QStringLiteral("picOpenPlaylist0"));
        QCOMPARE(c.display.picOpenPlaylist.toolTip(), QStringLiteral("Open PlayList"));
        QCOMPARE(c.s.PlaylistOpen, QStringLiteral("NO"));
    }

    void withoutTransparencyNoFadeAndNoOwner()
    {
        TestEnv env;
        SettingsStore::write(QStringLiteral("TransPlayList"), QStringLiteral("2"));
        App a;
        RecordingClock sleeper;
        ScopedClock use(&sleeper);
        QVector<int> alphas;
        a.app.chrome.layeredTrace = [&](bool layered, int alpha) { alphas << (layered ? alpha : -1); };
        a.app.chrome.picOpenPlaylist_Click();
        QCOMPARE(alphas, QVector<int>{-1});  // made opaque, not layered
        QCOMPARE(a.app.playlistWindow().parentWidget(), nullptr);
        QCOMPARE(a.app.context().s.PlaylistNoFade, QStringLiteral("NOT"));
        a.app.chrome.picOpenPlaylist_Click();
        QCOMPARE(alphas, QVector<int>{-1});
        QCOMPARE(a.app.context().s.PlaylistNoFade, QString());  // read again at the next opening
    }

    void trayRoundTrip()
    {
        TestEnv env;
        RecordingClock sleeper;
        ScopedClock use(&sleeper);
        {
            App a;  // a label's double-click: the playlist keeps its state
            a.app.chrome.picOpenPlaylist_Click();
            a.app.chrome.MinimizeToTray(false);
            QVERIFY(a.app.chrome.inTray());
            a.app.chrome.RestoreFromTray();
            QVERIFY(!a.app.chrome.inTray());
            QVERIFY(a.app.mainWindow().isVisible());
            QVERIFY(a.app.playlistWindow().isVisible());
            QVERIFY(!a.app.mainWindow().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }
        {
            App a;  // the surface: without MinimizeSeparate the list goes too
            a.app.chrome.picOpenPlaylist_Click();
            a.app.chrome.MinimizeToTray(true);
            QVERIFY(!a.app.playlistWindow().isVisible());
            a.app.chrome.RestoreFromTray();
            QVERIFY(a.app.playlistWindow().isVisible());
        }
        SettingsStore::write(QStringLiteral("MinimizeSeparate"), QStringLiteral("1"));
        {
            App a;  // with it the list stays on screen on its own
            a.app.chrome.picOpenPlaylist_Click();
            a.app.chrome.MinimizeToTray(true);
            QVERIFY(a.app.playlistWindow().isVisible());
            QCOMPARE(a.app.playlistWindow().parentWidget(), nullptr);
        }
        App a;  // restoring with the list closed keeps it hidden
        a.app.chrome.MinimizeToTray(true);
        a.app.chrome.RestoreFromTray();
        QVERIFY(!a.app.playlistWindow().isVisible());
    }

    void popupMenuStartsCompanions()
    {
        TestEnv env;
        Dialogs::scriptAnswers({});
        App a;
        QCOMPARE(WindowChrome::popupMenuTwips(QPoint(100, 200)), QPoint(1300, 2600));
        a.app.openPopupMenuAtCursor();
        QPointer<PopupMenu> menu = a.app.popupMenu();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->windowTitle(), QStringLiteral("Quorbel Player Tirk Pop-Up Menu"));
        QCOMPARE(menu->size(), QSize(133, 222));
        // Hovering an entry turns it white.
        QTest::mouseMove(menu->lblInternet);
        QCOMPARE(menu->lblInternet->palette().color(QPalette::WindowText), QColor(Qt::white));

        // internet.dat missing: the box, the menu goes.
        QTest::mousePress(menu->lblInternet, Qt::LeftButton);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("OS Not Found"));
        QVERIFY(Dialogs::records().last().text.startsWith(QStringLiteral("Internet.dat not found... Please Visit ")));
        QTRY_VERIFY(menu.isNull());

        // option.dat present: started without a word.
        env.installStandIn(QStringLiteral("option.dat"));
        a.app.openPopupMenuAtCursor();
        menu = a.app.popupMenu();
        QTest::mousePress(menu->lblOption, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QString()});
        QTRY_VERIFY(menu.isNull());

        // Escape closes it.
        a.app.openPopupMenuAtCursor();
        menu = a.app.popupMenu();
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(menu.isNull());
    }

    void listSelectionAfterDeleteAndWithoutSelection()
    {
        TestEnv env;
        App a;
        PlayerContext& c = a.app.context();
        for (const char* name : {"R1", "R2", "R3", "R4"}) {
            c.playlist.lstPlayListSource.AddItem(QByteArray("/m/") + name + ".mp3");
            c.playlist.lstPlayList.addRow(QLatin1String(name));
        }
        QTableView* view = a.app.playlistWindow().lstPlayList;
        view->setCurrentIndex(view->model()->index(1, 0));
        a.app.editing.RemoveSelectedSong();  // R2 goes; the view moves on to R3
        QCOMPARE(view->currentIndex().row(), 1);
        QCOMPARE(c.playlist.lstPlayList.selectedRow(), 2);
        a.app.editing.RemoveSelectedSong();  // the highlighted R3, not R4
        QCOMPARE(c.playlist.lstPlayListSource.items(), (QList<QByteArray>{"/m/R1.mp3", "/m/R4.mp3"}));
        a.app.editing.PlaySelectedSong();  // Enter on the highlighted R4
        QCOMPARE(a.media->url(), QStringLiteral("/m/R4.mp3"));

        view->setCurrentIndex(QModelIndex());
        a.app.editing.PlaySelectedSong();  // no row selected: the cursor stays
        QCOMPARE(c.playlist.lstPlayListSource.ListIndex(), 1);
        QCOMPARE(a.media->url(), QStringLiteral("/m/R4.mp3"));
    }

    void mainWindowMouse()
    {
        TestEnv env;
        App a;
        MainWindow& w = a.app.mainWindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorbel Player Tirk v1.00"));
        QCOMPARE(w.size(), QSize(330, 191));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(w.imgPlay->toolTip(), QStringLiteral("Play"));
        QVERIFY(w.imgPlay->isEnabled() && !w.imgpause->isEnabled() && !w.imgStop->isEnabled());

        // A click on the time display toggles the time mode.
        QTest::mouseClick(w.lblTime, Qt::LeftButton);
        QCOMPARE(a.app.context().s.TimeMode, QStringLiteral("B"));
        // The web link works only while stopped.
        a.app.core().engine.StopSong();
        QCOMPARE(a.app.context().s.LinkActive, QStringLiteral("OK"));

        // Pressing Play plays at once; a disabled button ignores the mouse.
        a.app.context().playlist.lstPlayListSource.AddItem("/m/a.mp3");
        a.app.context().playlist.lstPlayList.addRow(QStringLiteral("a"));
        QTest::mousePress(w.imgPlay, Qt::LeftButton);
        QCOMPARE(a.media->url(), QStringLiteral("/m/a.mp3"));
        QVERIFY(!w.imgPlay->isEnabled());
        QCOMPARE(w.imgPlay->picture(), QStringLiteral("play_active"));
        const int calls = int(a.media->calls.size());
        QTest::mousePress(w.imgPlay, Qt::LeftButton);
        QCOMPARE(a.media->calls.size(), calls);
        // Stop acts on the click, not the press.
        QTest::mousePress(w.imgStop, Qt::LeftButton);
        QCOMPARE(w.imgStop->picture(), QStringLiteral("stop_pressed"));
        QVERIFY(a.app.context().s.PlayerState.isEmpty());
        QTest::mouseRelease(w.imgStop, Qt::LeftButton);
        QCOMPARE(a.app.context().s.PlayerState, QStringLiteral("STOPPED"));

        // Double-clicking the time display closes the player.
        QTest::mouseDClick(w.lblTime, Qt::LeftButton);
        QCOMPARE(a.terminated, 1);
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
