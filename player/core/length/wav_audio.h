#pragma once
// Length of a RIFF WAVE file (also RF64/BW64 for files beyond 4 GiB) from
// its fmt, fact and data chunks: PCM by sample frames, block-coded formats
// (ADPCM, GSM) by whole blocks as a decoder emits them, MPEG audio inside
// WAVE by its frames, anything else by its sample count or byte rate.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

// True when the file starts like a WAVE file.
bool looksLikeWav(Bytes start);

// Milliseconds; nullopt when the file is not a WAVE file that can be played
// (no format or no data chunk).
std::optional<std::int64_t> wavLengthMs(ProbeFile& file);

}  // namespace qpt::length
