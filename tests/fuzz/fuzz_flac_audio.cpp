// The FLAC reader on any bytes: ID3v2 tags before the marker, metadata
// blocks passed over by their lengths, STREAMINFO, frame headers (their
// coded numbers, block sizes and rates), the search for the last whole
// frame from the end and its checksums, and the bisection for the last
// frames before bytes that are no frames.

#include "player/core/length/flac_audio.h"
#include "tests/fuzz/fuzz_reader.h"

using namespace qpt::length;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto ms = qpt::fuzz::measureBothWays(data, size, [](ProbeFile& file) { return flacLengthMs(file); });
    // Nothing is measured in what is no FLAC file.
    ProbeFile memory;
    memory.openMemory(Bytes(data, size));
    QPT_FUZZ_CHECK(!ms || flacMarkerOffset(memory) >= 0);
    // A STREAMINFO block never names a rate of 0 or more than 20 bits.
    if (const auto info = parseFlacStreamInfo(Bytes(data, size))) {
        QPT_FUZZ_CHECK(info->sampleRate > 0 && info->sampleRate < (1u << 20));
        QPT_FUZZ_CHECK(info->channels >= 1 && info->channels <= 8);
        QPT_FUZZ_CHECK(info->bitsPerSample >= 1 && info->bitsPerSample <= 32);
    }
    return 0;
}
