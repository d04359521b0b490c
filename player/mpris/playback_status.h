#pragma once
// The PlaybackStatus the desktop is told: "Playing", "Paused" or "Stopped".

#include "player/core/player_state.h"

#include <QString>

namespace qpt::mpris {

// What the transport stands at; "Stopped" while no song plays (none started
// yet, or one song after the other could not be opened).
QString playbackStatus(PlayerState state, bool songPlays);

}  // namespace qpt::mpris
