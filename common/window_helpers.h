#pragma once
// Window helpers used by all three programs: topmost band, window-wide
// alpha, the cursor position, opening a link, and dragging a borderless
// window by its surface.

#include <QPoint>
#include <QString>

class QWidget;

namespace qpt {

// Puts the window into the topmost band or takes it out, without
// activating it. The window is shown if it was hidden.
void makeTopMost(QWidget* window, bool onTop);

// Window-wide alpha 0..255. With layered false the window is opaque.
void SetLayered(QWidget* window, bool layered, int alpha);

// The cursor position in screen pixels.
QPoint CursorPosition();

// Opens a web address or file with the desktop's handler. True on success.
bool OpenLink(const QString& target);

// True on a Wayland session, where a window cannot place itself.
bool isWaylandSession();

// Hands the window to the platform's move, as a caption drag would. Where
// the platform refuses (no window manager), the window follows the pointer
// by hand until the left button is released.
void startWindowMove(QWidget* window);

// Same for resizing from the bottom-right corner.
void startWindowResize(QWidget* window);

}  // namespace qpt
