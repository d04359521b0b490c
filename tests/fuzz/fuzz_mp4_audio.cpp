// The MP4 reader on any bytes: boxes (32- and 64-bit sizes, sizes running
// to the end), the movie and media headers, edit lists, and the walk over
// the sample tables (stts, stsc, stsz, stco/co64) that tells which samples
// lie whole in the file, the sample description that tells MPEG audio, and
// movie fragments (trex, tfhd, tfdt, trun) with the index that ends a file.

#include "player/core/length/mp4_audio.h"
#include "tests/fuzz/fuzz_reader.h"

using namespace qpt::length;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qpt::fuzz::measureBothWays(data, size, [](ProbeFile& file) { return mp4LengthMs(file); });
    return 0;
}
