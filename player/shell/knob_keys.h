#pragma once
// The keys of a focused knob, as a slider has them: the arrows move it a
// step, Page Up and Page Down a page, Home and End to either end. Each
// press becomes a request of the command table (the seek knob seeks, the
// volume knob sets the volume), as a drag of the knob does.

#include "player/shell/commands.h"

#include <QKeyCombination>

#include <optional>

namespace qpt {

struct KnobStep {
    double step;
    double page;
};

// Seconds.
inline constexpr KnobStep kSeekKnobStep{5, 30};
// Volume units of 0..100.
inline constexpr KnobStep kVolumeKnobStep{5, 20};

// The seek knob of a song of `length` seconds. The steps count from where
// the song is (the knob may lag it by a tick).
std::optional<CommandRequest> seekKnobKey(QKeyCombination keys, double length);
// The volume knob at `volume` (0..100; a little over 100 at the very top).
std::optional<CommandRequest> volumeKnobKey(QKeyCombination keys, double volume);

// Space, Return and Enter without modifiers: press the focused button.
bool pressesButton(QKeyCombination keys);

}  // namespace qpt
