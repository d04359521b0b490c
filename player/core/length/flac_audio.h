#pragma once
// Length of a FLAC file: the samples of its frames as a decoder plays them.
// The last frame that lies whole in the file, found from the end and proven
// by its checksums, tells where the stream ends: its sample number and block
// size. That is exact where STREAMINFO's total is missing (an encoder that
// wrote to a pipe leaves it 0) and where the file was cut short (the
// decoder drops the cut frame, whatever the header promised), and costs one
// read at the start and one at the end of the file. Where bytes that are no
// frames follow the stream (zeros, a broken download's rest), the last
// stretch that holds frames is found by bisection, a few reads more; a
// stream without one whole frame at its start plays nothing and has no
// length. ID3v2 tags before the stream and ID3v1/APE tags after it are
// left out.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

// What a decoder needs to know of the stream (the STREAMINFO block).
struct FlacStreamInfo {
    std::uint32_t minBlockSize = 0;
    std::uint32_t maxBlockSize = 0;
    std::uint32_t maxFrameSize = 0;   // 0: not known
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    std::uint32_t bitsPerSample = 0;
    std::uint64_t totalSamples = 0;   // 0: not known
};

// The 34 bytes of a STREAMINFO block; nullopt when they are too few or
// name no sample rate.
std::optional<FlacStreamInfo> parseFlacStreamInfo(Bytes block);

// The offset of the "fLaC" marker (after any ID3v2 tags); -1 when the file
// is no FLAC file.
std::int64_t flacMarkerOffset(ProbeFile& file);

// Milliseconds; nullopt when the file holds no whole frame.
std::optional<std::int64_t> flacLengthMs(ProbeFile& file);

}  // namespace qpt::length
