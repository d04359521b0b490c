#include "player/core/length/mpeg_audio.h"

#include "player/core/length/audio_tags.h"

#include <algorithm>
#include <vector>

namespace qpt::length {

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index]
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

// How far from the start of the stream the first frame is looked for
// (padding after a tag, a little junk before the audio).
constexpr std::int64_t kFirstFrameSearch = 512 * 1024;
// Frames that must follow a candidate first frame before it is believed.
constexpr int kConfirmFrames = 3;
// Decoder delay of a Layer III decoder, in samples; decoders trim it
// together with the encoder delay the LAME tag states.
constexpr std::uint64_t kDecoderDelay = 529;

std::optional<MpegFrameHeader> headerAt(ProbeFile& file, std::int64_t at, std::int64_t end)
{
    if (end - at < 4)
        return std::nullopt;
    const Bytes b = file.read(at, 4);
    if (b.size() < 4)
        return std::nullopt;
    return parseMpegFrameHeader(be32(b, 0));
}

// True when a frame of `stream` starts at `at` and, unless it ends the
// stream exactly, `follow` more frames of the same stream follow it.
bool chainHolds(ProbeFile& file, std::int64_t at, std::int64_t end, const MpegFrameHeader& stream, int follow)
{
    for (int i = 0; i <= follow; ++i) {
        const auto h = headerAt(file, at, end);
        if (!h || !h->sameStream(stream) || at + h->frameBytes > end)
            return false;
        at += h->frameBytes;
        if (at == end)
            return true;
    }
    return true;
}

// The next offset in [from, limit) where a frame starts that `follow` more
// frames of the same stream confirm; -1 when there is none. With `stream`
// given the frame must belong to it.
std::int64_t findFrame(ProbeFile& file, std::int64_t from, std::int64_t limit, std::int64_t end,
                       const MpegFrameHeader* stream, int follow)
{
    limit = std::min(limit, end - 3);
    // The checks of a candidate read elsewhere in the file, so the scan
    // works on its own copy of each stretch: every byte is scanned once and
    // read from the file once, however many candidates fail.
    std::vector<std::uint8_t> chunk;
    std::int64_t at = from;
    while (at < limit) {
        const Bytes b = file.read(at, std::min<std::int64_t>(limit - at + 3, ProbeFile::kBlockSize));
        if (b.size() < 4)
            return -1;
        chunk.assign(b.begin(), b.end());
        const Bytes view(chunk.data(), chunk.size());
        for (std::size_t i = 0; i + 3 < view.size(); ++i) {
            if (view[i] != 0xFF || (view[i + 1] & 0xE0) != 0xE0)
                continue;
            const auto h = parseMpegFrameHeader(be32(view, i));
            if (!h || (stream && !h->sameStream(*stream)))
                continue;
            const std::int64_t pos = at + std::int64_t(i);
            const std::int64_t next = pos + h->frameBytes;
            if (next > end)
                continue;
            // A frame that ends the stream on its own is believed only where
            // the stream was expected to start; in the middle of noise it is
            // too easily found by chance.
            if (next == end ? pos == from : chainHolds(file, next, end, *h, follow - 1))
                return pos;
        }
        at += std::int64_t(view.size()) - 3;
    }
    return -1;
}

// Byte offset of the Xing/Info tag inside a Layer III frame.
int xingOffset(const MpegFrameHeader& h)
{
    const bool mono = h.channels == 1;
    const int sideInfo = h.version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return 4 + sideInfo;
}

struct VbrHeader {
    bool tagFrame = false;           // the first frame holds a header, no audio
    bool haveFrames = false;
    std::uint64_t frames = 0;        // audio frames after the header frame
    std::uint64_t bytes = 0;         // stream bytes from the header frame on; 0 = unknown
    bool gapless = false;            // a LAME tag states delay and padding
    std::uint64_t encoderDelay = 0;
    std::uint64_t padding = 0;
};

VbrHeader readVbrHeader(ProbeFile& file, std::int64_t at, const MpegFrameHeader& h)
{
    VbrHeader v;
    if (h.layer != 3)
        return v;
    const Bytes f = file.read(at, h.frameBytes);
    if (f.size() < std::size_t(h.frameBytes))
        return v;

    const std::size_t x = std::size_t(xingOffset(h));
    if ((hasTag(f, x, "Xing") || hasTag(f, x, "Info")) && f.size() >= x + 8) {
        v.tagFrame = true;
        const std::uint32_t flags = be32(f, x + 4);
        std::size_t p = x + 8;
        if (flags & 1) {
            if (f.size() < p + 4)
                return v;
            v.frames = be32(f, p);
            v.haveFrames = true;
            p += 4;
        }
        if (flags & 2) {
            if (f.size() < p + 4)
                return v;
            v.bytes = be32(f, p);
            p += 4;
        }
        if (flags & 4)
            p += 100;
        if (flags & 8)
            p += 4;
        // The LAME extension: encoder name, then at +21 twelve bits of
        // encoder delay and twelve bits of padding. GStreamer, which plays
        // the songs, trims them for LAME's own tag only (not for the
        // "Lavc"/"Lavf" tags other encoders write), and so do we.
        if (f.size() >= p + 24 && hasTag(f, p, "LAME")) {
            const std::uint32_t delayPadding = be24(f, p + 21);
            v.gapless = true;
            v.encoderDelay = delayPadding >> 12;
            v.padding = delayPadding & 0xFFF;
        }
        return v;
    }
    const std::size_t vbri = 4 + 32;
    if (hasTag(f, vbri, "VBRI") && f.size() >= vbri + 18) {
        v.tagFrame = true;
        v.bytes = be32(f, vbri + 10);
        v.frames = be32(f, vbri + 14);
        v.haveFrames = true;
    }
    return v;
}

// Bytes of the smallest frame the stream can have.
int smallestFrameBytes(const MpegFrameHeader& stream)
{
    const int kbps = kBitrates[stream.version == 1 ? 0 : 1][stream.layer - 1][1];
    if (stream.layer == 1)
        return 12 * kbps * 1000 / stream.sampleRate * 4;
    return (stream.samplesPerFrame / 8) * kbps * 1000 / stream.sampleRate;
}

}  // namespace

std::optional<MpegFrameHeader> parseMpegFrameHeader(std::uint32_t word)
{
    if ((word >> 21) != 0x7FF)
        return std::nullopt;
    const int versionBits = (word >> 19) & 3;
    const int layerBits = (word >> 17) & 3;
    const int bitrateIndex = (word >> 12) & 15;
    const int rateIndex = (word >> 10) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;

    MpegFrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.crc = !((word >> 16) & 1);
    const int kbps = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    h.sampleRate = kSampleRates[rateIndex] >> (h.version == 1 ? 0 : h.version == 2 ? 1 : 2);
    const int padding = (word >> 9) & 1;
    h.channels = ((word >> 6) & 3) == 3 ? 1 : 2;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.frameBytes = (12 * kbps * 1000 / h.sampleRate + padding) * 4;
    } else if (h.layer == 2 || h.version == 1) {
        h.samplesPerFrame = 1152;
        h.frameBytes = 144 * kbps * 1000 / h.sampleRate + padding;
    } else {
        h.samplesPerFrame = 576;
        h.frameBytes = 72 * kbps * 1000 / h.sampleRate + padding;
    }
    return h;
}

std::optional<MpegStreamInfo> measureMpegStream(ProbeFile& file, std::int64_t begin, std::int64_t end,
                                                bool withTags)
{
    end = std::min(end, file.size());
    if (withTags) {
        begin = skipId3v2Tags(file, begin, end);
        end = stripTrailingTags(file, begin, end);
    }
    if (end - begin < 4)
        return std::nullopt;

    const std::int64_t first = findFrame(file, begin, begin + kFirstFrameSearch, end, nullptr, kConfirmFrames);
    if (first < 0)
        return std::nullopt;
    const MpegFrameHeader stream = *headerAt(file, first, end);

    MpegStreamInfo info;
    info.sampleRate = stream.sampleRate;
    const VbrHeader vbr = readVbrHeader(file, first, stream);
    // The header is believed unless the stream is shorter than it says (a
    // cut-off download): then only the frames that are there count.
    const std::uint64_t streamBytes = std::uint64_t(end - first);
    const bool complete = vbr.bytes == 0 || streamBytes >= vbr.bytes;
    const bool plausible = vbr.frames * std::uint64_t(smallestFrameBytes(stream)) <= streamBytes;
    if (vbr.haveFrames && vbr.frames > 0 && complete && plausible) {
        const std::uint64_t samples = vbr.frames * std::uint64_t(stream.samplesPerFrame);
        const std::uint64_t trim = vbr.gapless ? vbr.encoderDelay + vbr.padding : 0;
        info.samples = samples > trim ? samples - trim : 0;
        return info;
    }

    // Walk the frames. A frame that carries a Xing/Info or VBRI header holds
    // no audio and is passed over.
    std::int64_t at = first + (vbr.tagFrame ? stream.frameBytes : 0);
    std::uint64_t frames = 0;
    while (end - at >= 4) {
        const auto h = headerAt(file, at, end);
        if (h && h->sameStream(stream)) {
            if (at + h->frameBytes > end)
                break;  // a cut-off last frame is not played
            ++frames;
            at += h->frameBytes;
            continue;
        }
        // Damage inside the stream: go on at the next frame that the one
        // after it confirms.
        at = findFrame(file, at + 1, end, end, &stream, 1);
        if (at < 0)
            break;
    }
    std::uint64_t samples = frames * std::uint64_t(stream.samplesPerFrame);
    if (vbr.gapless) {
        // The end of the stream is missing, so only its start is trimmed:
        // the encoder delay and the decoder's own delay.
        const std::uint64_t trim = vbr.encoderDelay + kDecoderDelay;
        samples = samples > trim ? samples - trim : 0;
    }
    info.samples = samples;
    return info;
}

}  // namespace qpt::length
