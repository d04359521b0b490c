#pragma once
// Length of an MP4/M4A file (AAC, ALAC): the audio track's time as
// GStreamer's demuxer plays it, from the movie header (moov), and in a
// fragmented file from the fragments' headers (see mp4_fragments.h).
//
// The samples are taken in order, from the sample tables, for as long as
// the demuxer hands them on: while their data lies whole in the file (a
// file cut short plays the samples that are there, not the track's
// duration), while they start before the end of the edit, and while they
// start before the movie's duration. What is heard is then the span from
// the start of the edit (the encoder delay an edit list skips) to the end
// of the last sample, clipped to the end of the edit. Without an edit list
// the edit is the whole track. Gapless information in an iTunSMPB tag is
// not used: GStreamer plays the delay and padding it names.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

bool looksLikeMp4(Bytes start);

// Milliseconds; nullopt when the file has no movie header with an audio
// track.
std::optional<std::int64_t> mp4LengthMs(ProbeFile& file);

}  // namespace qpt::length
