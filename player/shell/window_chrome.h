#pragma once
// The windows' chrome: opening and closing the playlist window with the
// button animation and the fades, docking it under the main window, moving
// and resizing it by its surface, and the tray.

#include "common/timed_sequence.h"
#include "player/shell/move_resize.h"

#include <QPoint>

#include <functional>

class QWidget;

namespace qpt {

class MainDisplay;
class PollTimer;
class MainWindow;
class PlaylistWindow;

// The windows the chrome moves, shows and hides, and what goes with them.
class ChromeWindows {
public:
    virtual ~ChromeWindows() = default;
    virtual MainWindow& mainWindow() = 0;
    // Made (hidden) on first use.
    virtual PlaylistWindow& playlistWindow() = 0;
    virtual bool hasPlaylistWindow() const = 0;
    virtual void showTrayIcon(bool visible) = 0;
    virtual void focusSeekKnob() = 0;
};

// Where the playlist window is, as the user sees it.
struct PlaylistWindowState {
    bool open = false;    // shown by the playlist button
    bool docked = false;  // follows the main window
    bool noFade = false;  // shown and hidden without fading (until the next hide)
};

class WindowChrome {
public:
    // playlistTimer: the command timer that brings the playing song into
    // view, started once the playlist window is open.
    WindowChrome(ChromeWindows& windows, MainDisplay& display, PollTimer& playlistTimer);

    PlaylistWindowState playlist;
    // The playlist button's frames as the window opens or closes.
    TimedSequence buttonFrames;

    // The playlist button: opens or closes the playlist window.
    void togglePlaylist();
    // Shows the playlist window with its top-left corner at (top, left)
    // twips, fading it in unless fading is off.
    void showPlaylist(double top, double left);
    void hidePlaylist();
    // Where the docked playlist window goes: under the main window,
    // overlapping it by one pixel.
    QPoint dockedPosition() const;
    void followMainWindow();
    // A double-click on the playlist window's surface.
    void redock();

    // The playlist window's surface (twips within the window).
    void onSurfacePressed(double x, double y);
    void onSurfaceMoved(double x, double y, bool leftHeld);
    void onSurfaceReleased();

    // The tray. fromSurface: the main window's surface was double-clicked,
    // which also honours "MinimizeSeparate".
    void minimizeToTray(bool fromSurface);
    void restoreFromTray();
    bool inTray() const { return m_inTray; }

    // Where the pop-up menu opens: the cursor's pixels times 13, as twips.
    static QPoint popupMenuTwips(const QPoint& cursorPixels) { return cursorPixels * 13; }

    // Observes every alpha change of the playlist window (tests).
    std::function<void(bool layered, int alpha)> layeredTrace;

private:
    void setLayered(bool layered, int alpha);
    void showPlaylistOwned(bool owned);
    void setButtonFrame(int frame);
    void moveByDrag(QWidget& window, const QPoint& pointerPixels);

    ChromeWindows& m_windows;
    MainDisplay& m_display;
    PollTimer& m_playlistTimer;
    EdgeGrab m_grab;
    // The drag under way on the playlist window's surface: it moves only
    // the window it started on, and only after a press there.
    bool m_pressed = false;
    bool m_platformMove = false;
    QPoint m_pressPixels;
    bool m_inTray = false;
    bool m_toggleAgain = false;
};

}  // namespace qpt
