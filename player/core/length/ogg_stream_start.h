#pragma once
// Where the timeline of a Vorbis or Opus stream in Ogg starts. A stream
// recorded from the middle of a broadcast keeps the broadcast's granule
// positions, so that its first page may say a day has passed; what it
// holds is the span from its first sample on. That sample's granule
// position is the granule position of the first page on which audio
// packets end, less the samples of those packets, which the codec's packet
// headers tell (Opus: the TOC byte; Vorbis: the mode of each packet and
// the block sizes of the setup header).

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

enum class OggStartCodec { Vorbis, Opus };

// The granule position of the stream's first sample: 0 for a stream that
// starts at the beginning, below 0 where the encoder trimmed the first
// samples, above where the recording began later. The stream `serial`
// begins at `begin`, its pages are walked up to `end` and at most a few
// megabytes; nullopt where they cannot be (a page that does not hold, a
// header that cannot be read, a comment header larger than the walk).
std::optional<std::int64_t> oggStreamStart(ProbeFile& file, std::int64_t begin, std::int64_t end,
                                           std::uint32_t serial, OggStartCodec codec);

// Samples at 48 kHz of an Opus packet, from its first two bytes.
std::uint32_t opusPacketSamples(Bytes packet);

}  // namespace qpt::length
