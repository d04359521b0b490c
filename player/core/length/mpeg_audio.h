#pragma once
// Length of an MPEG audio stream (MPEG-1, -2 and 2.5, Layers I to III),
// counted the way a decoder counts it: frames times samples per frame.
// The frame count comes from a Xing/Info or VBRI header when the first
// frame carries one and the stream is complete; otherwise the frame headers
// are walked from the first frame to the last, reading four bytes per frame.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>

namespace qpt::length {

struct MpegFrameHeader {
    int version = 0;       // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;         // 1..3
    int sampleRate = 0;
    int channels = 0;
    int frameBytes = 0;
    int samplesPerFrame = 0;
    bool crc = false;

    // Frames of one stream share version, layer and sample rate.
    bool sameStream(const MpegFrameHeader& other) const
    {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
    }
};

// Decodes a frame header; nullopt for anything that is not one (free-format
// bitrates included).
std::optional<MpegFrameHeader> parseMpegFrameHeader(std::uint32_t word);

struct MpegStreamInfo {
    std::uint64_t samples = 0;
    int sampleRate = 0;
};

// The stream in [begin, end) of the file. With `withTags` the ID3v2 tags at
// the start and ID3v1/APE/Lyrics3 tags at the end are left out. nullopt
// when no MPEG audio stream is found there.
std::optional<MpegStreamInfo> measureMpegStream(ProbeFile& file, std::int64_t begin, std::int64_t end,
                                                bool withTags);

}  // namespace qpt::length
