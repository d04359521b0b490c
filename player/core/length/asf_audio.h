#pragma once
// Length of an ASF file (WMA): the play duration of the File Properties
// object less the preroll, which is what a decoder plays.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

bool looksLikeAsf(Bytes start);

// Milliseconds; nullopt when the header holds no File Properties object.
std::optional<std::int64_t> asfLengthMs(ProbeFile& file);

}  // namespace qpt::length
