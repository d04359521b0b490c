#pragma once
// The player without its windows: the context and every behaviour class,
// wired to the timers and to the media component's notifications. The
// program builds it with the real media component and the real windows as
// the shell; tests build it with fakes.

#include "player/core/exit_sequence.h"
#include "player/core/now_playing_animation.h"
#include "player/core/playback_engine.h"
#include "player/core/player_context.h"
#include "player/core/song_supervision.h"
#include "player/core/status_timers.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/playlist_saving.h"

namespace qpt {

struct PlayerCore {
    PlayerCore(MediaComponent& media, SongLengthService& lengths, Shell& shell);

    PlayerContext context;
    PlaybackEngine engine;
    SongSupervision supervision;
    StatusTimers status;
    NowPlayingAnimation animation;
    BatchLoader loader;
    PlaylistSaving saving;
    ExitSequence exit;

    // The close by double-clicking the time display.
    void closeFromTimeDisplay();
    // Every other orderly end (the Online System's close request, SIGTERM,
    // SIGHUP): like Alt+F4, the playlist is saved first when the option
    // says so.
    void closeInOrder();
};

}  // namespace qpt
