// The Ogg reader on any bytes: pages and their CRCs, the codecs' first
// packets (Vorbis, Opus, FLAC), the walk over the first audio packets
// (Vorbis modes read from the end of the setup header, Opus TOC bytes),
// the backward search for the last page of a link, the bisection for the
// last page before bytes that are no pages and for where a chained link
// ends.

#include "player/core/length/ogg_audio.h"
#include "tests/fuzz/fuzz_reader.h"

using namespace qpt::length;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto ms = qpt::fuzz::measureBothWays(data, size, [](ProbeFile& file) { return oggLengthMs(file); });
    // A length needs at least a page that begins a stream.
    QPT_FUZZ_CHECK(!ms || looksLikeOgg(Bytes(data, size)));
    return 0;
}
