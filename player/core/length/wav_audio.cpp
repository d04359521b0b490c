#include "player/core/length/wav_audio.h"

#include "player/core/length/mpeg_audio.h"

#include <algorithm>

namespace qpt::length {

namespace {

enum FormatTag : std::uint16_t {
    kPcm = 0x0001,
    kMsAdpcm = 0x0002,
    kIeeeFloat = 0x0003,
    kALaw = 0x0006,
    kMuLaw = 0x0007,
    kImaAdpcm = 0x0011,
    kGsm610 = 0x0031,
    kMpeg = 0x0050,
    kMpegLayer3 = 0x0055,
    kExtensible = 0xFFFE,
};

constexpr int kMaxChunks = 4096;

struct WavFormat {
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t samplesPerBlock = 0;  // block-coded formats
};

WavFormat parseFormat(Bytes f)
{
    WavFormat w;
    w.tag = le16(f, 0);
    w.channels = le16(f, 2);
    w.sampleRate = le32(f, 4);
    w.byteRate = le32(f, 8);
    w.blockAlign = le16(f, 12);
    w.bitsPerSample = le16(f, 14);
    const std::uint16_t extra = f.size() >= 18 ? le16(f, 16) : 0;
    if (w.tag == kExtensible && extra >= 22 && f.size() >= 40)
        w.tag = le16(f, 24);  // the first two bytes of the sub-format GUID
    else if (extra >= 2 && f.size() >= 20)
        w.samplesPerBlock = le16(f, 18);
    return w;
}

}  // namespace

bool looksLikeWav(Bytes start)
{
    return (hasTag(start, 0, "RIFF") || hasTag(start, 0, "RF64") || hasTag(start, 0, "BW64"))
        && hasTag(start, 8, "WAVE");
}

std::optional<std::int64_t> wavLengthMs(ProbeFile& file)
{
    const Bytes head = file.read(0, 12);
    if (!looksLikeWav(head))
        return std::nullopt;
    const bool rf64 = !hasTag(head, 0, "RIFF");

    std::optional<WavFormat> format;
    std::optional<std::uint32_t> factSamples;
    std::uint64_t ds64DataSize = 0;
    std::int64_t dataStart = -1;
    std::uint64_t dataSize = 0;

    std::int64_t at = 12;
    for (int n = 0; n < kMaxChunks && file.size() - at >= 8; ++n) {
        const Bytes h = file.read(at, 8);
        if (h.size() < 8)
            break;
        std::uint64_t size = le32(h, 4);
        const std::int64_t body = at + 8;
        if (hasTag(h, 0, "fmt ") && size >= 16) {
            const Bytes f = file.read(body, std::int64_t(std::min<std::uint64_t>(size, 64)));
            if (f.size() >= 16)
                format = parseFormat(f);
        } else if (hasTag(h, 0, "fact") && size >= 4) {
            const Bytes f = file.read(body, 4);
            if (f.size() == 4)
                factSamples = le32(f, 0);
        } else if (hasTag(h, 0, "ds64") && size >= 16) {
            const Bytes f = file.read(body, 16);
            if (f.size() == 16)
                ds64DataSize = le64(f, 8);
        } else if (hasTag(h, 0, "data") && dataStart < 0) {
            dataStart = body;
            if (rf64 && size == 0xFFFFFFFFu)
                size = ds64DataSize;
            dataSize = size;
            // A cut-off file plays what is there.
            dataSize = std::min<std::uint64_t>(dataSize, std::uint64_t(file.size() - body));
            if (format)
                break;
        }
        // Chunks are padded to an even size.
        if (size > std::uint64_t(file.size() - body))
            break;
        at = body + std::int64_t(size + (size & 1));
    }
    if (!format || dataStart < 0 || format->sampleRate == 0)
        return std::nullopt;

    const WavFormat& w = *format;
    switch (w.tag) {
    case kPcm:
    case kIeeeFloat:
    case kALaw:
    case kMuLaw: {
        std::uint32_t frameBytes = w.blockAlign;
        if (frameBytes == 0)
            frameBytes = w.channels * ((w.bitsPerSample + 7u) / 8u);
        if (frameBytes == 0)
            return std::nullopt;
        return samplesToMs(dataSize / frameBytes, w.sampleRate);
    }
    case kMsAdpcm:
    case kImaAdpcm:
    case kGsm610:
        // Decoders emit every whole block in full, whatever the fact chunk
        // says about the last one.
        if (w.blockAlign && w.samplesPerBlock)
            return samplesToMs(dataSize / w.blockAlign * w.samplesPerBlock, w.sampleRate);
        break;
    case kMpeg:
    case kMpegLayer3:
        if (const auto mpeg = measureMpegStream(file, dataStart, dataStart + std::int64_t(dataSize), false))
            return samplesToMs(mpeg->samples, std::uint32_t(mpeg->sampleRate));
        break;
    default:
        break;
    }
    if (factSamples)
        return samplesToMs(*factSamples, w.sampleRate);
    if (w.byteRate)
        return samplesToMs(dataSize, w.byteRate);  // bytes at bytes per second
    return std::nullopt;
}

}  // namespace qpt::length
