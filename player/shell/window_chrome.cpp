#include "common/clock.h"
#include "player/shell/window_chrome.h"

#include "common/settings_store.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/playlist/playlist_window.h"
#include "player/shell/main_window.h"
#include "player/shell/player_app.h"

#include <QCursor>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace qpt {

WindowChrome::WindowChrome(PlayerApp& playerApp) : app(playerApp) {}

void WindowChrome::setButtonFrame(int frame)
{
    app.context().display.picOpenPlaylist.setPicture(QStringLiteral("picOpenPlaylist%1").arg(frame));
}

void WindowChrome::setLayered(bool layered, int alpha)
{
    SetLayered(&app.playlistWindow(), layered, alpha);
    if (layeredTrace)
        layeredTrace(layered, alpha);
}

void WindowChrome::showPlaylistOwned(bool owned)
{
    PlaylistWindow& window = app.playlistWindow();
    QWidget* owner = owned ? static_cast<QWidget*>(&app.mainWindow()) : nullptr;
    if (window.parentWidget() != owner) {
        const QPoint position = window.pos();
        const Qt::WindowFlags flags = window.windowFlags();
        window.setParent(owner, flags);
        window.move(position);
    }
    window.show();
}

QPoint WindowChrome::dockedPosition() const
{
    const MainWindow& main = app.mainWindow();
    // One pixel of overlap with the main window's bottom edge.
    return QPoint(main.x(), main.y() + main.height() - 1);
}

void WindowChrome::ShowMe(double top, double left)
{
    PlaylistWindow& window = app.playlistWindow();
    window.move(twipsToPx(left), twipsToPx(top));
    PlayerShared& s = app.context().s;
    if (s.PlaylistNoFade != QLatin1String("NOT")) {
        setLayered(true, 0);
        showPlaylistOwned(true);
        window.repaint();
        for (int alpha = 0; alpha <= 200; alpha += 4)
            setLayered(true, alpha);
    } else {
        showPlaylistOwned(false);
        setLayered(false, 1);
    }
}

void WindowChrome::HideMee()
{
    PlaylistWindow& window = app.playlistWindow();
    PlayerShared& s = app.context().s;
    if (s.PlaylistNoFade == QLatin1String("NOT")) {
        s.PlaylistNoFade.clear();
        window.hide();
        return;
    }
    window.show();
    window.repaint();
    window.repaint();
    int alpha = 200;
    for (int step = 0; step < 50; ++step) {
        alpha -= 4;
        setLayered(true, alpha);
    }
    s.PlaylistNoFade.clear();
    window.hide();
}

void WindowChrome::picOpenPlaylist_Click()
{
    PlayerContext& c = app.context();
    ButtonModel& button = c.display.picOpenPlaylist;
    if (c.s.PlaylistOpen == QLatin1String("NO")) {
        const auto transparency = SettingsStore::readNumber(QLatin1String(keys::TransPlayList));
        if (transparency && *transparency == 2.0)
            c.s.PlaylistNoFade = QStringLiteral("NOT");
        c.s.PlaylistOpen = QStringLiteral("YES");
        setButtonFrame(0);
        yieldEvents();
        sleepMs(200);
        setButtonFrame(1);
        sleepMs(200);
        setButtonFrame(2);
        const QPoint dock = dockedPosition();
        ShowMe(pxToTwips(dock.y()), pxToTwips(dock.x()));
        sleepMs(100);
        setButtonFrame(3);
        c.s.PlaylistDocked = true;
        button.setToolTip(QStringLiteral("Close PlayList"));
        sleepMs(100);
        setButtonFrame(4);
        c.timPlayListFocus.setInterval(1);
    } else {
        c.s.PlaylistOpen = QStringLiteral("NO");
        c.s.PlaylistDocked = false;
        setButtonFrame(5);
        yieldEvents();
        sleepMs(200);
        setButtonFrame(6);
        yieldEvents();
        sleepMs(200);
        setButtonFrame(7);
        HideMee();
        setButtonFrame(0);
        button.setToolTip(QStringLiteral("Open PlayList"));
    }
}

void WindowChrome::dockPlaylistIfDocked()
{
    if (app.context().s.PlaylistDocked && app.hasPlaylistWindow())
        app.playlistWindow().move(dockedPosition());
}

void WindowChrome::redock()
{
    if (!app.mainWindow().isVisible())
        return;
    const QPoint dock = dockedPosition();
    ShowMe(pxToTwips(dock.y()), pxToTwips(dock.x()));
    app.context().s.PlaylistDocked = true;
}

void WindowChrome::surfacePress(double x, double y)
{
    PlaylistWindow& window = app.playlistWindow();
    BeginMoveResize(x, y, pxToTwips(window.width()), pxToTwips(window.height()), flags);
    app.context().s.PlaylistDocked = false;
}

void WindowChrome::surfaceMove(double x, double y, bool leftHeld)
{
    PlaylistWindow& window = app.playlistWindow();
    window.unsetCursor();
    const TrackResult result =
        TrackMoveResize(x, y, pxToTwips(window.width()), pxToTwips(window.height()), flags, leftHeld);
    static const Qt::CursorShape shapes[] = {Qt::ArrowCursor, Qt::SizeAllCursor, Qt::SizeVerCursor,
                                             Qt::SizeFDiagCursor, Qt::SizeHorCursor};
    switch (result.shape) {
    case PointerShape::Default: window.setCursor(shapes[0]); break;
    case PointerShape::FourWay: window.setCursor(shapes[1]); break;
    case PointerShape::NorthSouth: window.setCursor(shapes[2]); break;
    case PointerShape::NorthWestSouthEast: window.setCursor(shapes[3]); break;
    case PointerShape::WestEast: window.setCursor(shapes[4]); break;
    }
    switch (result.action) {
    case TrackResult::Action::SetWidth:
        window.resize(twipsToPx(result.width), window.height());
        break;
    case TrackResult::Action::SetHeight:
        window.resize(window.width(), twipsToPx(result.height));
        break;
    case TrackResult::Action::SetSize:
        window.resize(twipsToPx(result.width), twipsToPx(result.height));
        break;
    case TrackResult::Action::StartMove:
        StartWindowMove(&window);
        break;
    case TrackResult::Action::None:
        break;
    }
}

void WindowChrome::surfaceRelease()
{
    EndMoveResize(flags);
}

void WindowChrome::MinimizeToTray(bool fromSurface)
{
    MainWindow& main = app.mainWindow();
    m_inTray = true;
    app.showTrayIcon(true);
    main.showMinimized();
    // Without a notification area the taskbar entry brings the player back.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        main.hide();
    if (!fromSurface)
        return;
    PlayerContext& c = app.context();
    if (SettingsStore::isOn(QLatin1String(keys::MinimizeSeparate))) {
        if (c.s.PlaylistOpen == QLatin1String("YES")) {
            PlaylistWindow& window = app.playlistWindow();
            MakeTopMost(&window, true);
            window.show();
            window.hide();
            showPlaylistOwned(false);
            MakeTopMost(&window, false);
        }
    } else if (app.hasPlaylistWindow()) {
        app.playlistWindow().hide();
    }
}

void WindowChrome::RestoreFromTray()
{
    MainWindow& main = app.mainWindow();
    m_inTray = false;
    main.show();
    MakeTopMost(&main, true);
    main.showNormal();
    main.activateWindow();
    app.showTrayIcon(false);
    PlayerContext& c = app.context();
    if (c.s.PlaylistOpen != QLatin1String("NO")) {
        PlaylistWindow& window = app.playlistWindow();
        window.show();
        if (SettingsStore::isOn(QLatin1String(keys::MinimizeSeparate))) {
            window.hide();
            showPlaylistOwned(false);
        }
    } else if (app.hasPlaylistWindow()) {
        app.playlistWindow().hide();
    }
    main.cmdNotOnTopfrmMain->click();
    app.focusSeekDot();
}

}  // namespace qpt
