#include "player/shell/window_chrome.h"

#include "common/options.h"
#include "common/poll_timer.h"
#include "common/settings_store.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/shell/main_window.h"
#include "player/shell/main_display.h"
#include "player/shell/playlist_window.h"

#include <QSystemTrayIcon>

namespace qpt {

WindowChrome::WindowChrome(ChromeWindows& windows, MainDisplay& display, PollTimer& playlistTimer)
    : m_windows(windows), m_display(display), m_playlistTimer(playlistTimer)
{
    QObject::connect(&buttonFrames, &TimedSequence::finished, &buttonFrames, [this] {
        if (std::exchange(m_toggleAgain, false))
            togglePlaylist();
    });
}

void WindowChrome::setButtonFrame(int frame)
{
    m_display.setPlaylistButtonFrame(frame);
}

void WindowChrome::setLayered(bool layered, int alpha)
{
    SetLayered(&m_windows.playlistWindow(), layered, alpha);
    if (layeredTrace)
        layeredTrace(layered, alpha);
}

void WindowChrome::showPlaylistOwned(bool owned)
{
    PlaylistWindow& window = m_windows.playlistWindow();
    QWidget* owner = owned ? static_cast<QWidget*>(&m_windows.mainWindow()) : nullptr;
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
    const MainWindow& main = m_windows.mainWindow();
    return QPoint(main.x(), main.y() + main.height() - 1);
}

void WindowChrome::showPlaylist(double top, double left)
{
    PlaylistWindow& window = m_windows.playlistWindow();
    window.move(twipsToPx(left), twipsToPx(top));
    if (!playlist.noFade) {
        setLayered(true, 0);
        showPlaylistOwned(true);
        window.repaint();
        for (int alpha = 0; alpha <= 200; alpha += 4)
            setLayered(true, alpha);  // it stays a little transparent
    } else {
        showPlaylistOwned(false);
        setLayered(false, 1);
    }
}

void WindowChrome::hidePlaylist()
{
    PlaylistWindow& window = m_windows.playlistWindow();
    if (playlist.noFade) {
        playlist.noFade = false;
        window.hide();
        return;
    }
    window.show();
    window.repaint();
    int alpha = 200;
    for (int step = 0; step < 50; ++step) {
        alpha -= 4;
        setLayered(true, alpha);
    }
    playlist.noFade = false;
    window.hide();
}

void WindowChrome::togglePlaylist()
{
    ButtonModel& button = m_display.playlistButton;
    // A press while the frames still run waits for them: the window opens
    // (or closes) once they are through, then the next toggle begins.
    if (buttonFrames.isRunning()) {
        m_toggleAgain = !m_toggleAgain;
        return;
    }
    using Step = TimedSequence::Step;
    if (!playlist.open) {
        if (!Options::read().playlistTranslucent())
            playlist.noFade = true;
        playlist.open = true;
        buttonFrames.start({
            Step{0, [this] { setButtonFrame(0); }},
            Step{200, [this] { setButtonFrame(1); }},
            Step{200, [this] {
                     setButtonFrame(2);
                     const QPoint dock = dockedPosition();
                     showPlaylist(pxToTwips(dock.y()), pxToTwips(dock.x()));
                 }},
            Step{100, [this, &button] {
                     setButtonFrame(3);
                     playlist.docked = true;
                     button.setToolTip(QStringLiteral("Close PlayList"));
                 }},
            Step{100, [this] {
                     setButtonFrame(4);
                     m_playlistTimer.setInterval(1);
                 }},
        });
    } else {
        playlist.open = false;
        playlist.docked = false;
        buttonFrames.start({
            Step{0, [this] { setButtonFrame(5); }},
            Step{200, [this] { setButtonFrame(6); }},
            Step{200, [this, &button] {
                     setButtonFrame(7);
                     hidePlaylist();
                     setButtonFrame(0);
                     button.setToolTip(QStringLiteral("Open PlayList"));
                 }},
        });
    }
}

void WindowChrome::followMainWindow()
{
    if (playlist.docked && m_windows.hasPlaylistWindow())
        m_windows.playlistWindow().move(dockedPosition());
}

void WindowChrome::redock()
{
    if (!m_windows.mainWindow().isVisible())
        return;
    const QPoint dock = dockedPosition();
    showPlaylist(pxToTwips(dock.y()), pxToTwips(dock.x()));
    playlist.docked = true;
}

void WindowChrome::onSurfacePressed(double x, double y)
{
    PlaylistWindow& window = m_windows.playlistWindow();
    m_grab = grabEdges(x, y, pxToTwips(window.width()), pxToTwips(window.height()));
    m_pressed = true;
    m_platformMove = false;
    m_pressPixels = QPoint(twipsToPx(x), twipsToPx(y));
    playlist.docked = false;  // any press undocks, even without a move
}

void WindowChrome::onSurfaceMoved(double x, double y, bool leftHeld)
{
    PlaylistWindow& window = m_windows.playlistWindow();
    const SurfaceMove move =
        trackSurfaceMove(x, y, pxToTwips(window.width()), pxToTwips(window.height()), m_grab, leftHeld);
    switch (move.shape) {
    case PointerShape::Default: window.setCursor(Qt::ArrowCursor); break;
    case PointerShape::FourWay: window.setCursor(Qt::SizeAllCursor); break;
    case PointerShape::NorthSouth: window.setCursor(Qt::SizeVerCursor); break;
    case PointerShape::NorthWestSouthEast: window.setCursor(Qt::SizeFDiagCursor); break;
    case PointerShape::WestEast: window.setCursor(Qt::SizeHorCursor); break;
    }
    switch (move.action) {
    case SurfaceMove::Action::SetWidth:
        window.resize(twipsToPx(move.width), window.height());
        break;
    case SurfaceMove::Action::SetHeight:
        window.resize(window.width(), twipsToPx(move.height));
        break;
    case SurfaceMove::Action::SetSize:
        window.resize(twipsToPx(move.width), twipsToPx(move.height));
        break;
    case SurfaceMove::Action::StartMove:
        moveByDrag(window, QPoint(twipsToPx(x), twipsToPx(y)));
        break;
    case SurfaceMove::Action::None:
        break;
    }
}

void WindowChrome::moveByDrag(QWidget& window, const QPoint& pointerPixels)
{
    // A move whose press this window never saw belongs to another window's
    // drag (a press elsewhere that the toolkit still reports here).
    if (!m_pressed)
        return;
    // Only Wayland needs the compositor's move. On X11 the window manager's
    // move swallows the release, so the toolkit would take the next press
    // on the main window for a move of this window; the main window moves
    // itself by hand there for the same reason.
    if (isWaylandSession()) {
        if (!std::exchange(m_platformMove, true))
            startWindowMove(&window);
        return;
    }
    const QPoint delta = pointerPixels - m_pressPixels;
    if (!delta.isNull())
        window.move(window.pos() + delta);
}

void WindowChrome::onSurfaceReleased()
{
    m_grab = EdgeGrab{};
    m_pressed = false;
    m_platformMove = false;
}

void WindowChrome::minimizeToTray(bool fromSurface)
{
    MainWindow& main = m_windows.mainWindow();
    m_inTray = true;
    m_windows.showTrayIcon(true);
    main.showMinimized();
    // Without a notification area the taskbar entry brings the player back.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        main.hide();
    if (!fromSurface)
        return;
    if (Options::read().minimizesSeparately()) {
        if (playlist.open) {
            // The playlist window stays on screen on its own.
            PlaylistWindow& window = m_windows.playlistWindow();
            makeTopMost(&window, true);
            window.show();
            window.hide();
            showPlaylistOwned(false);
            makeTopMost(&window, false);
        }
    } else if (m_windows.hasPlaylistWindow()) {
        m_windows.playlistWindow().hide();
    }
}

void WindowChrome::restoreFromTray()
{
    MainWindow& main = m_windows.mainWindow();
    m_inTray = false;
    main.show();
    makeTopMost(&main, true);
    main.showNormal();
    main.activateWindow();
    m_windows.showTrayIcon(false);
    if (playlist.open) {
        PlaylistWindow& window = m_windows.playlistWindow();
        window.show();
        if (Options::read().minimizesSeparately()) {
            window.hide();
            showPlaylistOwned(false);
        }
    } else if (m_windows.hasPlaylistWindow()) {
        m_windows.playlistWindow().hide();
    }
    // In front, but not in the topmost band.
    makeTopMost(&main, false);
    m_windows.focusSeekKnob();
}

}  // namespace qpt
