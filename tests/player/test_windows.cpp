// The windows on the offscreen platform: playlist window chrome (button
// frames, fades, docking, move and resize rules), the tray, the pop-up menu
// and the main window's mouse.

#include "common/dialogs.h"
#include "common/settings_store.h"
#include "common/twips.h"
#include "player/shell/move_resize.h"
#include "player/shell/picture_button.h"
#include "player/shell/popup_menu.h"
#include "player/shell/window_chrome.h"
#include "tests/player/app_fixture.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <atomic>

using namespace qpt;
using namespace qpt::test;


class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void resizeRules()
    {
        const double w = 4950, h = 2910;
        EdgeGrab grab = grabEdges(w - 10, h - 40, w, h);  // both corner and right edge
        QVERIFY(grab.corner && grab.right && !grab.bottom);
        SurfaceMove move = trackSurfaceMove(6000, 3500, w, h, grab, true);
        QVERIFY(move.action == SurfaceMove::Action::SetWidth);  // only the width
        QCOMPARE(move.width, 6015.0);
        move = trackSurfaceMove(299, 3500, w, h, grab, true);  // too narrow: the platform moves
        QVERIFY(move.action == SurfaceMove::Action::StartMove);

        grab = grabEdges(2000, h - 20, w, h);  // bottom edge
        QVERIFY(grab.bottom && !grab.corner);
        QVERIFY(trackSurfaceMove(2000, 4000, w, h, grab, true).action == SurfaceMove::Action::SetHeight);
        grab = grabEdges(2000, 1000, w, h);  // the middle: a move
        QVERIFY(!grab.any());
        QVERIFY(trackSurfaceMove(2100, 1000, w, h, grab, true).action == SurfaceMove::Action::StartMove);
        QVERIFY(trackSurfaceMove(2100, 1000, w, h, grab, false).action == SurfaceMove::Action::None);

        // Pointer shapes while hovering, later matches overriding.
        QVERIFY(trackSurfaceMove(w - 20, 1000, w, h, grab, false).shape == PointerShape::WestEast);
        QVERIFY(trackSurfaceMove(2000, h - 20, w, h, grab, false).shape == PointerShape::NorthSouth);
        QVERIFY(trackSurfaceMove(w - 20, h - 20, w, h, grab, false).shape == PointerShape::FourWay);
        QVERIFY(trackSurfaceMove(2000, 1000, w, h, grab, false).shape == PointerShape::Default);
        EdgeGrab right;
        right.right = true;
        QVERIFY(trackSurfaceMove(2000, h - 20, w, h, right, true).shape == PointerShape::Default);
    }

    // The playlist button's frames as its timer would show them: the
    // frame on screen and the wait after it.
    static QList<QPair<int, int>> takeFrames(AppFixture& a)
    {
        QList<QPair<int, int>> seen;
        TimedSequence& frames = a.app.chrome().buttonFrames;
        while (frames.isRunning()) {
            seen << qMakePair(a.playlistButtonFrame(), frames.nextDelay());
            frames.advance();
        }
        return seen;
    }

    void openingFadesAndDocks()
    {
        TestEnv env;
        AppFixture a;
        QVector<int> alphas;
        a.app.chrome().layeredTrace = [&](bool, int alpha) { alphas << alpha; };

        a.app.chrome().togglePlaylist();
        QVERIFY(!a.app.chrome().playlist.docked);  // nothing waits: the frames follow
        QCOMPARE(takeFrames(a), (QList<QPair<int, int>>{{0, 200}, {1, 200}, {2, 100}, {3, 100}}));
        const PlaylistWindowState& state = a.app.chrome().playlist;
        QCOMPARE(a.playlistButtonFrame(), 4);
        QCOMPARE(a.app.display().playlistButton.toolTip(), QStringLiteral("Close PlayList"));
        QVERIFY(state.open);
        QVERIFY(state.docked);
        QCOMPARE(a.app.commands().playlistTimer.interval(), 1);
        QVector<int> fadeIn{0};
        for (int alpha = 0; alpha <= 200; alpha += 4)
            fadeIn << alpha;
        QCOMPARE(alphas, fadeIn);
        PlaylistWindow& playlist = a.app.windows().playlistWindow();
        QVERIFY(playlist.isVisible());
        QCOMPARE(playlist.parentWidget(), &a.app.windows().mainWindow());
        // Docked: under the main window, overlapping it by one pixel.
        const QRect main = a.app.windows().mainWindow().geometry();
        QCOMPARE(playlist.pos(), QPoint(main.left(), main.top() + main.height() - 1));

        // Dragging the main window 300 twips to the right takes the list along.
        a.app.windows().mainWindow().move(main.topLeft() + QPoint(twipsToPx(300), 0));
        a.app.chrome().followMainWindow();
        QCOMPARE(playlist.pos(), QPoint(main.left() + 20, main.top() + main.height() - 1));

        // A press on its surface undocks it.
        a.app.chrome().onSurfacePressed(2000, 100);
        a.app.chrome().onSurfaceReleased();
        QVERIFY(!state.docked);
        a.app.windows().mainWindow().move(main.topLeft());
        a.app.chrome().followMainWindow();
        QCOMPARE(playlist.pos().x(), main.left() + 20);
        a.app.chrome().redock();
        QVERIFY(state.docked);
        QCOMPARE(playlist.pos(), QPoint(main.left(), main.top() + main.height() - 1));
        // The status line keeps its presses: the window stays docked.
        QTest::mousePress(playlist.statusLine, Qt::LeftButton);
        QTest::mouseRelease(playlist.statusLine, Qt::LeftButton);
        QVERIFY(state.docked);

        // Closing.
        alphas.clear();
        a.app.chrome().togglePlaylist();
        QCOMPARE(takeFrames(a), (QList<QPair<int, int>>{{5, 200}, {6, 200}}));
        QCOMPARE(alphas.size(), 50);
        QCOMPARE(alphas.first(), 196);
        QCOMPARE(alphas.last(), 0);
        QVERIFY(!playlist.isVisible());
        QCOMPARE(a.playlistButtonFrame(), 0);
        QCOMPARE(a.app.display().playlistButton.toolTip(), QStringLiteral("Open PlayList"));
        QVERIFY(!state.open);

        // A second press while the frames run is kept: the window opens,
        // then closes again.
        a.app.chrome().togglePlaylist();
        a.app.chrome().togglePlaylist();
        QVERIFY(state.open);
        QCOMPARE(takeFrames(a).size(), 4 + 2);
        QVERIFY(!state.open && !playlist.isVisible());
    }

    // A drag moves the window it starts on: after the playlist window was
    // dragged off the main window, the next drag on the main window moves
    // the main window and leaves the playlist where it was put.
    void aDragMovesTheWindowItStartsOn()
    {
        TestEnv env;
        AppFixture a;
        WindowChrome& chrome = a.app.chrome();
        chrome.togglePlaylist();
        takeFrames(a);
        PlaylistWindow& playlist = a.app.windows().playlistWindow();
        MainWindow& main = a.app.windows().mainWindow();
        const QPoint docked = playlist.pos();
        const QPoint mainAt = main.pos();

        chrome.onSurfacePressed(2000, 100);  // the title strip
        chrome.onSurfaceMoved(2300, 400, true);
        chrome.onSurfaceMoved(2000, 100, true);  // where the window took the pointer along: no further
        chrome.onSurfaceReleased();
        QVERIFY(!chrome.playlist.docked);
        const QPoint undocked = docked + QPoint(twipsToPx(300), twipsToPx(300));
        QCOMPARE(playlist.pos(), undocked);
        QCOMPARE(main.pos(), mainAt);

        // Moves that reach the playlist without a press there move nothing.
        chrome.onSurfaceMoved(3000, 900, true);
        QCOMPARE(playlist.pos(), undocked);

        QTest::mousePress(&main, Qt::LeftButton, {}, QPoint(40, 10));
        QMouseEvent drag(QEvent::MouseMove, QPointF(70, 25), main.mapToGlobal(QPointF(70, 25)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&main, &drag);
        QTest::mouseRelease(&main, Qt::LeftButton, {}, QPoint(70, 25));
        QCOMPARE(main.pos(), mainAt + QPoint(30, 15));
        QCOMPARE(playlist.pos(), undocked);
    }

    void withoutTransparencyNoFadeAndNoOwner()
    {
        TestEnv env;
        SettingsStore::write(QStringLiteral("TransPlayList"), QStringLiteral("2"));
        AppFixture a;
        QVector<int> alphas;
        a.app.chrome().layeredTrace = [&](bool layered, int alpha) { alphas << (layered ? alpha : -1); };
        a.app.chrome().togglePlaylist();
        a.app.chrome().buttonFrames.finish();
        QCOMPARE(alphas, QVector<int>{-1});  // made opaque, not layered
        QCOMPARE(a.app.windows().playlistWindow().parentWidget(), nullptr);
        QVERIFY(a.app.chrome().playlist.noFade);
        a.app.chrome().togglePlaylist();
        a.app.chrome().buttonFrames.finish();
        QCOMPARE(alphas, QVector<int>{-1});
        QVERIFY(!a.app.chrome().playlist.noFade);  // read again at the next opening
    }

    void trayRoundTrip()
    {
        TestEnv env;
        {
            AppFixture a;  // a label's double-click: the playlist keeps its state
            a.app.chrome().togglePlaylist();
            a.app.chrome().buttonFrames.finish();
            a.app.chrome().minimizeToTray(false);
            QVERIFY(a.app.chrome().inTray());
            a.app.chrome().restoreFromTray();
            QVERIFY(!a.app.chrome().inTray());
            QVERIFY(a.app.windows().mainWindow().isVisible());
            QVERIFY(a.app.windows().playlistWindow().isVisible());
            QVERIFY(!a.app.windows().mainWindow().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }
        {
            AppFixture a;  // the surface: without MinimizeSeparate the list goes too
            a.app.chrome().togglePlaylist();
            a.app.chrome().buttonFrames.finish();
            a.app.chrome().minimizeToTray(true);
            QVERIFY(!a.app.windows().playlistWindow().isVisible());
            a.app.chrome().restoreFromTray();
            QVERIFY(a.app.windows().playlistWindow().isVisible());
        }
        SettingsStore::write(QStringLiteral("MinimizeSeparate"), QStringLiteral("1"));
        {
            AppFixture a;  // with it the list stays on screen on its own
            a.app.chrome().togglePlaylist();
            a.app.chrome().buttonFrames.finish();
            a.app.chrome().minimizeToTray(true);
            QVERIFY(a.app.windows().playlistWindow().isVisible());
            QCOMPARE(a.app.windows().playlistWindow().parentWidget(), nullptr);
        }
        AppFixture a;  // restoring with the list closed keeps it hidden
        a.app.chrome().minimizeToTray(true);
        a.app.chrome().restoreFromTray();
        QVERIFY(!a.app.windows().playlistWindow().isVisible());
    }

    void popupMenuStartsCompanions()
    {
        TestEnv env;
        Dialogs::scriptAnswers({});
        AppFixture a;
        QCOMPARE(WindowChrome::popupMenuTwips(QPoint(100, 200)), QPoint(1300, 2600));
        a.app.windows().openPopupMenuAtCursor();
        QPointer<PopupMenu> menu = a.app.windows().popupMenu();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->windowTitle(), QStringLiteral("Quorbel Player Tirk Pop-Up Menu"));
        QCOMPARE(menu->size(), QSize(133, 222));
        // Hovering an entry turns it white.
        QTest::mouseMove(menu->internetEntry);
        QCOMPARE(menu->internetEntry->palette().color(QPalette::WindowText), QColor(Qt::white));

        // internet.dat missing: the box, the menu goes.
        QTest::mousePress(menu->internetEntry, Qt::LeftButton);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("OS Not Found"));
        QVERIFY(Dialogs::records().last().text.startsWith(QStringLiteral("Internet.dat not found... Please Visit ")));
        QTRY_VERIFY(menu.isNull());

        // option.dat present: started without a word.
        env.installStandIn(QStringLiteral("option.dat"));
        a.app.windows().openPopupMenuAtCursor();
        menu = a.app.windows().popupMenu();
        QTest::mousePress(menu->optionEntry, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QString()});
        QTRY_VERIFY(menu.isNull());

        // Escape closes it.
        a.app.windows().openPopupMenuAtCursor();
        menu = a.app.windows().popupMenu();
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(menu.isNull());
    }

    // The Audio CD entry: hidden while no drive holds a disc; with one, it
    // appears while the menu is open (the drives are asked off the window
    // thread), and it hands the disc to the loader as one line.
    void popupMenuOffersAnAudioCdWhileOneIsIn()
    {
        TestEnv env;
        qputenv("QPT_CD_DEVICE", "/tmp/qpt-test-drive.cue");
        AppFixture a;
        std::atomic<bool> discIn = false;
        a.app.audioCd().setCheck([&](const QByteArray&) { return discIn.load(); });
        a.app.windows().openPopupMenuAtCursor();
        QPointer<PopupMenu> menu = a.app.windows().popupMenu();
        QVERIFY(waitUntil([&] { return !a.app.audioCd().looking(); }));
        QVERIFY(!menu->audioCdEntry->isVisible());
        QVERIFY(menu->savePlaylistEntry->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(menu.isNull());

        discIn = true;
        a.app.windows().openPopupMenuAtCursor();
        menu = a.app.windows().popupMenu();
        QVERIFY(!menu->audioCdEntry->isVisible());  // not known yet
        QTRY_VERIFY(menu->audioCdEntry->isVisible());
        QVERIFY(menu->audioCdEntry->geometry().top() > menu->savePlaylistEntry->geometry().bottom());
        QTest::mousePress(menu->audioCdEntry, Qt::LeftButton);
        QTRY_VERIFY(menu.isNull());
        QStringList batches;
        QVERIFY(waitUntil([&] {
            batches = QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files);
            return !batches.isEmpty();
        }));
        QCOMPARE(TestEnv::readFile(env.app(batches.first())), QByteArray("cdda://\r\n"));
        qunsetenv("QPT_CD_DEVICE");
    }

    void listSelectionAfterDeleteAndWithoutSelection()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/R1.mp3"), QStringLiteral("/m/R2.mp3"), QStringLiteral("/m/R3.mp3"),
                    QStringLiteral("/m/R4.mp3")});
        PlaylistWindow& window = a.app.windows().playlistWindow();
        window.selectRow(2);
        a.app.actions().removeSelectedRow();  // R2 goes; the list moves on to R3
        QCOMPARE(window.selectedRow(), 2);
        a.app.actions().removeSelectedRow();  // the highlighted R3, not R4
        QCOMPARE(a.playlist.paths(), (QList<QByteArray>{"/m/R1.mp3", "/m/R4.mp3"}));
        a.app.actions().playSelectedRow();  // Enter on the highlighted R4
        QCOMPARE(a.media->url(), QByteArray("/m/R4.mp3"));

        window.list->setCurrentIndex(QModelIndex());
        a.app.actions().playSelectedRow();  // no row selected: the cursor stays
        QCOMPARE(a.playlist.currentRow(), 2);
        QCOMPARE(a.media->url(), QByteArray("/m/R4.mp3"));
    }

    void mainWindowMouse()
    {
        TestEnv env;
        AppFixture a;
        MainWindow& w = a.app.windows().mainWindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorbel Player Tirk v1.00"));
        QCOMPARE(w.size(), QSize(330, 191));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(w.playButton->toolTip(), QStringLiteral("Play"));
        QVERIFY(w.playButton->isEnabled() && !w.pauseButton->isEnabled() && !w.stopButton->isEnabled());

        // A click on the time display toggles the time mode.
        QTest::mouseClick(w.timeLabel, Qt::LeftButton);
        QCOMPARE(a.app.display().timeMode(), TimeMode::Remaining);
        // The web link works only while stopped.
        a.engine.stop();
        QVERIFY(a.engine.linkActive());

        // Pressing Play plays at once; a disabled button ignores the mouse.
        a.addSongs({QStringLiteral("/m/a.mp3")});
        QTest::mousePress(w.playButton, Qt::LeftButton);
        QCOMPARE(a.media->url(), QByteArray("/m/a.mp3"));
        QVERIFY(!w.playButton->isEnabled());
        QCOMPARE(w.playButton->picture(), QStringLiteral("play_active"));
        const int calls = int(a.media->calls.size());
        QTest::mousePress(w.playButton, Qt::LeftButton);
        QCOMPARE(a.media->calls.size(), calls);
        // Stop acts on the click, not the press.
        QTest::mousePress(w.stopButton, Qt::LeftButton);
        QCOMPARE(w.stopButton->picture(), QStringLiteral("stop_pressed"));
        QCOMPARE(a.engine.state(), PlayerState::PlayingOrIdle);
        QTest::mouseRelease(w.stopButton, Qt::LeftButton);
        QCOMPARE(a.engine.state(), PlayerState::Stopped);
        QCOMPARE(w.stopButton->picture(), QStringLiteral("stop_active"));

        // Double-clicking the time display closes the player.
        QTest::mouseDClick(w.timeLabel, Qt::LeftButton);
        QCOMPARE(a.terminated, 1);
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
