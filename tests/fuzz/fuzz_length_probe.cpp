// The length probe on any bytes: the format is recognised by the first
// bytes (WAVE, MIDI, ASF, Ogg, MP4, FLAC, else MPEG audio) and the matching
// reader walks the headers. Read from memory, out-of-bounds reads hit
// AddressSanitizer; read from a file, the same bytes go through the block
// cache and must give the same length.

#include "player/core/length/length_probe.h"
#include "player/core/length/probe_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

using namespace qpt::length;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ProbeFile memory;
    memory.openMemory(Bytes(data, size));
    const std::optional<std::int64_t> ms = LengthProbe::measureFile(memory);
    QPT_FUZZ_CHECK(!ms || *ms >= 0);
    // Nothing is measured in what is too short to tell a format by.
    QPT_FUZZ_CHECK(size >= 4 || !ms);

    // By path, as the player measures a song: opened, examined and read in
    // blocks.
    qpt::fuzz::ScratchFile& file = qpt::fuzz::scratch();
    file.write(data, size);
    LengthProbe probe;
    const std::optional<Measurement> measured = probe.measure(file.path());
    QPT_FUZZ_CHECK(measured && measured->ms == ms && measured->stamp.size == std::int64_t(size));
    QPT_FUZZ_CHECK(probe.filesRead() == 1);
    return 0;
}
