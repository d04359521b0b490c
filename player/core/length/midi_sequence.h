#pragma once
// Length of a Standard MIDI File (formats 0, 1 and 2, also wrapped in a
// RIFF RMID file): the time of its last event, End of Track included, found
// by walking every track and timing the ticks through the tempo map. Tempo
// changes count in whichever track they stand; SMPTE time division (frames
// per second and ticks per frame) needs no tempo map.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

bool looksLikeMidi(Bytes start);

// Milliseconds; nullopt when the file holds no readable sequence.
std::optional<std::int64_t> midiLengthMs(ProbeFile& file);

}  // namespace qpt::length
