#pragma once
// How the player ends: the exit sequence (fade out, markers away, end) and
// the close by double-clicking the time display.

namespace qpt {

struct PlayerContext;
class PlaylistSaving;

class ExitSequence {
public:
    explicit ExitSequence(PlayerContext& context);

    // Hides the main window, deletes "activeoption.inf", fades the volume out
    // when "FadeOutCD" asks for it, deletes "Running.chk" and ends the
    // process through the shell.
    void run();

    // The fade: 13 times volume - 8, 90 ms apart.
    void fadeOut();
    static bool fadeWanted();

private:
    PlayerContext& c;
};

}  // namespace qpt
