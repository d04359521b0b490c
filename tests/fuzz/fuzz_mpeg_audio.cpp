// MPEG audio streams and their tags on any bytes, reached directly (the
// probe only gets here for files that start like no other format): frame
// headers, the ID3v2 tags before the stream and the ID3v1/APE/Lyrics3 tags
// after it, the Xing/Info/VBRI headers and the frame walk.

#include "player/core/length/audio_tags.h"
#include "player/core/length/mpeg_audio.h"
#include "player/core/length/probe_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace qpt::length;

namespace {

// The most samples a byte of stream can stand for: MPEG-2 Layer II and III
// at 8 kbit/s and 24 kHz, 24-byte frames of 576 samples and 48-byte frames
// of 1152. A frame count in a header that would need smaller frames is not
// believed.
constexpr std::uint64_t kMaxSamplesPerByte = 24;

void checkHeader(std::uint32_t word)
{
    const auto h = parseMpegFrameHeader(word);
    if (!h)
        return;
    QPT_FUZZ_CHECK(h->version == 1 || h->version == 2 || h->version == 25);
    QPT_FUZZ_CHECK(h->layer >= 1 && h->layer <= 3);
    QPT_FUZZ_CHECK(h->channels == 1 || h->channels == 2);
    QPT_FUZZ_CHECK(h->samplesPerFrame == 384 || h->samplesPerFrame == 576 || h->samplesPerFrame == 1152);
    QPT_FUZZ_CHECK(h->sampleRate >= 8000 && h->sampleRate <= 48000);
    // The frame walk steps by the frame size: it must move on.
    QPT_FUZZ_CHECK(h->frameBytes >= 4);
    QPT_FUZZ_CHECK(std::uint64_t(h->samplesPerFrame) <= kMaxSamplesPerByte * std::uint64_t(h->frameBytes));
}

void checkStream(ProbeFile& file, std::int64_t begin, std::int64_t end, bool withTags)
{
    const auto info = measureMpegStream(file, begin, end, withTags);
    if (!info)
        return;
    const int rate = info->sampleRate;
    QPT_FUZZ_CHECK(rate == 48000 || rate == 44100 || rate == 32000 || rate == 24000 || rate == 22050
                   || rate == 16000 || rate == 12000 || rate == 11025 || rate == 8000);
    QPT_FUZZ_CHECK(info->samples <= kMaxSamplesPerByte * std::uint64_t(end - begin));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ProbeFile file;
    file.openMemory(Bytes(data, size));
    const std::int64_t n = std::int64_t(size);

    if (size >= 4)
        checkHeader(be32(Bytes(data, size), 0));

    const std::int64_t audioBegin = skipId3v2Tags(file, 0, n);
    QPT_FUZZ_CHECK(audioBegin >= 0 && audioBegin <= n);
    QPT_FUZZ_CHECK(audioBegin == 0 || audioBegin == n || audioBegin >= 10);
    const std::int64_t audioEnd = stripTrailingTags(file, audioBegin, n);
    QPT_FUZZ_CHECK(audioEnd >= audioBegin && audioEnd <= n);

    checkStream(file, 0, n, true);
    checkStream(file, 0, n, false);
    // A stream that starts inside the file, as the data chunk of a WAVE
    // file holds one.
    if (size > 0) {
        const std::int64_t begin = std::min<std::int64_t>(data[0], n);
        checkStream(file, begin, n, false);
    }
    return 0;
}
