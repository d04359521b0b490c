#pragma once
// Length of an Ogg file holding Vorbis, Opus, FLAC or Speex: for each
// chained stream (link) the granule position of its last whole page, at the
// codec's rate, less Opus's pre-skip (and up to a whole Speex frame, which
// the decoder plays whole); the links add up. A Vorbis or Opus stream
// recorded from the middle of a broadcast counts from its first granule
// position on (see ogg_stream_start.h). Nothing is walked: the first pages
// name the codec and where its timeline starts, the last pages are found
// by reading backwards from the end in small steps (by bisection behind a
// long stretch of bytes that are no pages, or of pages of a video that
// goes on after the sound), and where the file holds more than one link
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
