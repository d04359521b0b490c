#pragma once
// What the user does in the playlist window: play the selected song, remove
// it, sort the playlist; and the window's two timers (the focus timer that
// scrolls, processes drops and sorts, and the status bar rotation).

namespace qpt {

struct PlayerContext;
class DropProcessing;

class PlaylistEditing {
public:
    PlaylistEditing(PlayerContext& context, DropProcessing& drops);

    // Each ends silently at the first failure (no selection, a vanished row).
    void PlaySelectedSong();
    void RemoveSelectedSong();
    // Ends silently at the first failure.
    void SortPlaylist();

    void timPlayListFocus_Timer();
    void timStatusBar_Timer();

private:
    void sortSteps();

    PlayerContext& c;
    DropProcessing& drops;
};

}  // namespace qpt
