#pragma once
// The windows' chrome: opening and closing the playlist window with the
// button animation and the fades, docking it under the main window, moving
// and resizing it by its surface, and the tray.

#include "player/shell/move_resize.h"

#include <QPoint>
#include <functional>

class QWidget;

namespace qpt {

class PlayerApp;

class WindowChrome {
public:
    explicit WindowChrome(PlayerApp& app);

    // The playlist button's click.
    void picOpenPlaylist_Click();
    // Shows the playlist window with its top-left corner at (top, left)
    // twips, fading it in unless PlaylistNoFade is "NOT".
    void ShowMe(double top, double left);
    void HideMee();
    // Where the docked playlist window goes: under the main window,
    // overlapping it by one pixel.
    QPoint dockedPosition() const;
    void dockPlaylistIfDocked();
    // Double-click on the playlist window's surface.
    void redock();

    // The playlist window's surface (twips within the window).
    void surfacePress(double x, double y);
    void surfaceMove(double x, double y, bool leftHeld);
    void surfaceRelease();
    ResizeFlags flags;

    // The tray. fromSurface: the main window's surface was double-clicked,
    // which also honours "MinimizeSeparate".
    void MinimizeToTray(bool fromSurface);
    void RestoreFromTray();
    bool inTray() const { return m_inTray; }

    // Where the pop-up menu opens: the cursor's pixels times 13, as twips.
    static QPoint popupMenuTwips(const QPoint& cursorPixels) { return cursorPixels * 13; }

    // Observes every alpha change of the playlist window (tests).
    std::function<void(bool layered, int alpha)> layeredTrace;

private:
    void setLayered(bool layered, int alpha);
    void showPlaylistOwned(bool owned);
    void setButtonFrame(int frame);

    PlayerApp& app;
    bool m_inTray = false;
};

}  // namespace qpt
