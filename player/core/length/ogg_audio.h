#pragma once
// Length of an Ogg file holding Vorbis, Opus, FLAC or Speex: for each
// chained stream (link) the granule position of its last whole page, at the
// codec's rate, less Opus's pre-skip (and up to a whole Speex frame, which
// the decoder plays whole); the links add up. Nothing is walked: the
// first pages name the codec, the last pages are found by reading backwards
// from the end in small steps, and where the file holds more than one link
// their boundaries are found by bisection. A page counts only when it lies
// whole in the file and its CRC holds, as a decoder takes it: a file cut
// short ends at its last whole page.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

bool looksLikeOgg(Bytes start);

// Milliseconds; nullopt when no link holds audio of a known codec.
std::optional<std::int64_t> oggLengthMs(ProbeFile& file);

}  // namespace qpt::length
