#pragma once
// The PlaybackStatus the desktop is told: "Playing", "Paused" or "Stopped".

#include "player/core/player_state.h"

#include <QString>

namespace qpt::mpris {

// What the transport stands at; "Stopped" while no song has been started.
QString playbackStatus(PlayerState state, bool songLoaded);

}  // namespace qpt::mpris
