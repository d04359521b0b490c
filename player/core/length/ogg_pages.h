#pragma once
// The pages of an Ogg file: where one starts, and whether it lies whole in
// the file with its CRC right, as a decoder takes it.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qpt::length {

constexpr std::uint8_t kOggContinuesPacket = 0x01;
constexpr std::uint8_t kOggBeginsStream = 0x02;
constexpr std::int64_t kOggNoGranule = -1;
constexpr std::int64_t kOggPageHeaderSize = 27;

struct OggPage {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    std::uint8_t flags = 0;
    std::int64_t granule = kOggNoGranule;
    std::uint32_t serial = 0;
    int segments = 0;                  // lacing values after the header
    std::int64_t bodyOffset = 0;
    std::int64_t firstPacketSize = 0;  // of its first packet, as far as it lies on this page
    std::int64_t end() const { return offset + size; }
};

// The page that starts at `at`, when a whole one whose CRC holds does.
std::optional<OggPage> oggPageAt(ProbeFile& file, std::int64_t at);

// Offsets in `b` (read from the file at `base`) where "OggS" starts.
std::vector<std::int64_t> oggCapturePatterns(Bytes b, std::int64_t base);

}  // namespace qpt::length
