#pragma once
// The Alt+key shortcuts of the main and playlist windows. Keys arrive as
// the platform's virtual-key codes with the modifier mask 1 Shift, 2 Ctrl,
// 4 Alt; every shortcut wants Alt alone. Closing and the volume steps act at
// once; the others post a command word for a timer to carry out.

class QKeyEvent;

namespace qpt {

struct PlayerCore;
class SeekVolumeBars;
class PlaylistEditing;

namespace vk {
inline constexpr int Enter = 13;
inline constexpr int Escape = 27;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Delete = 46;
inline constexpr int I = 73;
inline constexpr int L = 76;
inline constexpr int M = 77;
inline constexpr int O = 79;
inline constexpr int P = 80;
inline constexpr int S = 83;
inline constexpr int F4 = 115;
}  // namespace vk

// A Qt key event as virtual-key code and modifier mask.
struct KeyStroke {
    int keyCode = 0;
    int shift = 0;
};
KeyStroke keyStrokeOf(const QKeyEvent* event);

class Shortcuts {
public:
    Shortcuts(PlayerCore& core, SeekVolumeBars& bars, PlaylistEditing& editing);

    // The shared handler of both windows. True when a shortcut matched.
    bool handleKey(int keyCode, int shift);
    // The playlist list's own handler: the same table, plus Delete and S.
    bool handleListKey(int keyCode, int shift);

    // Alt+F4, also when the window manager takes that key for itself: the
    // playlist is autosaved first when the option says so.
    void close();

private:
    void post(const char* word, int timer);

    PlayerCore& core;
    SeekVolumeBars& bars;
    PlaylistEditing& editing;
};

}  // namespace qpt
