#include "player/core/length/flac_audio.h"

#include "player/core/length/audio_tags.h"
#include "player/core/length/checksums.h"

#include <algorithm>
#include <vector>

namespace qpt::length {

namespace {

constexpr std::int64_t kMarkerSize = 4;        // "fLaC"
constexpr std::int64_t kBlockHeaderSize = 4;   // last flag, type, 24-bit length
constexpr std::int64_t kStreamInfoSize = 34;
constexpr int kMaxMetadataBlocks = 4096;
// The longest frame header: sync and codes (4), a 7-byte coded number, a
// 16-bit block size, a 16-bit sample rate, CRC-8.
constexpr std::size_t kMaxFrameHeader = 16;
// The last whole frame is looked for in the last stretch of the stream
// that holds two of its longest frames (a cut one and the whole one before
// it), at least this much; of the frame headers found there at most this
// many, the last ones, are tried (in real data a false header is rare).
constexpr std::int64_t kShortestTail = 64 * 1024;
constexpr int kMaxTriedHeaders = 32;
constexpr int kMaxBisections = 64;
constexpr std::uint32_t kRateByCode[12] = {0,     88200, 176400, 192000, 8000,  16000,
                                           22050, 24000, 32000,  44100,  48000, 96000};
constexpr std::uint32_t kBitsByCode[8] = {0, 8, 12, 0, 16, 20, 24, 32};

struct FrameHeader {
    bool variableBlocks = false;  // the number counts samples, not frames
    std::uint64_t number = 0;
    std::uint32_t blockSize = 0;
    std::size_t size = 0;         // bytes, CRC-8 included
};

// The frame header at the start of `b`, when it is one of this stream: every
// field valid, the ones that repeat STREAMINFO equal to it, the CRC-8 right.
std::optional<FrameHeader> parseFrameHeader(Bytes b, const FlacStreamInfo& info)
{
    if (b.size() < 6 || b[0] != 0xFF || (b[1] & 0xFE) != 0xF8)
        return std::nullopt;
    const int blockCode = b[2] >> 4;
    const int rateCode = b[2] & 0x0F;
    const int channelCode = b[3] >> 4;
    const int bitsCode = (b[3] >> 1) & 7;
    if (blockCode == 0 || rateCode == 15 || channelCode > 10 || bitsCode == 3 || (b[3] & 1))
        return std::nullopt;
    const std::uint32_t channels = channelCode < 8 ? std::uint32_t(channelCode + 1) : 2;
    if (channels != info.channels || (bitsCode != 0 && kBitsByCode[bitsCode] != info.bitsPerSample))
        return std::nullopt;
    if (rateCode != 0 && rateCode < 12 && kRateByCode[rateCode] != info.sampleRate)
        return std::nullopt;

    FrameHeader h;
    h.variableBlocks = b[1] & 1;
    // The frame or sample number, coded like UTF-8: as many leading ones
    // in the first byte as bytes in all, up to 31 bits for a frame number
    // and 36 for a sample number.
    std::size_t p = 4;
    const std::uint8_t lead = b[p++];
    int ones = 0;
    while (ones < 8 && (lead & (0x80 >> ones)))
        ++ones;
    if (ones == 1 || ones == 8)
        return std::nullopt;
    const int more = ones == 0 ? 0 : ones - 1;
    if (more > (h.variableBlocks ? 6 : 5))
        return std::nullopt;
    const std::size_t extra = std::size_t(more) + (blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0)
                            + (rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0);
    if (b.size() < p + extra + 1)
        return std::nullopt;
    h.number = lead & (0x7F >> ones);
    for (int i = 0; i < more; ++i) {
        if ((b[p] & 0xC0) != 0x80)
            return std::nullopt;
        h.number = (h.number << 6) | (b[p++] & 0x3F);
    }

    if (blockCode == 1)
        h.blockSize = 192;
    else if (blockCode <= 5)
        h.blockSize = 576u << (blockCode - 2);
    else if (blockCode == 6)
        h.blockSize = b[p++] + 1u;
    else if (blockCode == 7) {
        h.blockSize = be16(b, p) + 1u;
        p += 2;
    } else {
        h.blockSize = 256u << (blockCode - 8);
    }
    std::uint32_t rate = 0;
    if (rateCode == 12)
        rate = b[p++] * 1000u;
    else if (rateCode == 13 || rateCode == 14) {
        rate = be16(b, p) * (rateCode == 14 ? 10u : 1u);
        p += 2;
    }
    if (rate != 0 && rate != info.sampleRate)
        return std::nullopt;
    if (crc8(b.first(p)) != b[p])
        return std::nullopt;
    h.size = p + 1;
    return h;
}

struct Stream {
    FlacStreamInfo info;
    std::int64_t audioStart = 0;
    std::int64_t audioEnd = 0;
};

std::optional<Stream> readMetadata(ProbeFile& file)
{
    const std::int64_t marker = flacMarkerOffset(file);
    if (marker < 0)
        return std::nullopt;
    Stream s;
    std::int64_t at = marker + kMarkerSize;
    bool last = false;
    std::optional<FlacStreamInfo> info;
    for (int n = 0; n < kMaxMetadataBlocks && !last; ++n) {
        const Bytes h = file.read(at, kBlockHeaderSize);
        if (h.size() < kBlockHeaderSize)
            return std::nullopt;
        last = h[0] & 0x80;
        const int type = h[0] & 0x7F;
        const std::int64_t length = be24(h, 1);
        if (n == 0) {
            // STREAMINFO comes first, or the file is no stream a decoder takes.
            if (type != 0 || length < kStreamInfoSize)
                return std::nullopt;
            info = parseFlacStreamInfo(file.read(at + kBlockHeaderSize, kStreamInfoSize));
            if (!info)
                return std::nullopt;
        }
        // Pictures and tags are passed over by their lengths, never read.
        at += kBlockHeaderSize + length;
    }
    if (!last || at >= file.size())
        return std::nullopt;
    s.info = *info;
    s.audioStart = at;
    s.audioEnd = stripTrailingTags(file, at, file.size());
    return s;
}

// How many samples a fixed-block stream's frame numbers count in: the block
// size of its first frame (every frame but the last has it), else
// STREAMINFO's block size when it names one.
std::optional<std::uint32_t> fixedBlockSize(ProbeFile& file, const Stream& s)
{
    if (const auto first = parseFrameHeader(file.read(s.audioStart, kMaxFrameHeader), s.info))
        return first->blockSize;
    if (s.info.minBlockSize == s.info.maxBlockSize && s.info.minBlockSize > 0)
        return s.info.minBlockSize;
    return std::nullopt;
}

// The most bytes a frame of `blockSize` samples can take: every subframe
// stored verbatim (a side channel has one bit more), with its headers.
std::int64_t longestFrame(const FlacStreamInfo& info, std::uint32_t blockSize)
{
    const std::int64_t subframe = 1 + (std::int64_t(blockSize) * (info.bitsPerSample + 1) + 7) / 8;
    return std::int64_t(kMaxFrameHeader) + std::int64_t(info.channels) * subframe + 2;
}

// The last frame that lies whole in [from, to): a frame header whose
// frame, up to a later header (some may be false ones inside its data) or
// `to`, ends in its own CRC-16 (the CRC of the bytes and their CRC is 0).
std::optional<FrameHeader> lastWholeFrame(ProbeFile& file, const Stream& s, std::int64_t from, std::int64_t to)
{
    // The stretch is copied: the block cache may be reused by other reads.
    const Bytes view = file.read(from, to - from);
    const std::vector<std::uint8_t> stretch(view.begin(), view.end());
    const Bytes w(stretch.data(), stretch.size());

    std::vector<std::size_t> starts;
    std::vector<FrameHeader> headers;
    for (std::size_t i = 0; i + 1 < w.size(); ++i) {
        if (w[i] != 0xFF || (w[i + 1] & 0xFE) != 0xF8)
            continue;
        if (const auto h = parseFrameHeader(w.subspan(i, std::min(kMaxFrameHeader, w.size() - i)), s.info)) {
            starts.push_back(i);
            headers.push_back(*h);
        }
    }
    int tried = 0;
    for (std::size_t k = starts.size(); k-- > 0 && tried < kMaxTriedHeaders; ++tried) {
        const std::int64_t longest = longestFrame(s.info, headers[k].blockSize);
        const std::size_t limit = starts[k] + std::size_t(longest);
        // More of the stream than the longest frame follows: bytes that are
        // no frames (zeros, noise) may come next, so the frame may end
        // anywhere its CRC comes out right. (The last frame of a stream,
        // or one cut short by its end, never has that much behind it.)
        if (from + std::int64_t(starts[k]) + longest < s.audioEnd) {
            std::uint16_t crc = 0;
            const std::size_t stop = std::min(limit, w.size());
            for (std::size_t p = starts[k]; p < stop; ++p) {
                crc = crc16(w.subspan(p, 1), crc);
                if (crc == 0 && p + 1 >= starts[k] + headers[k].size + 2)
                    return headers[k];
            }
            continue;
        }
        std::uint16_t crc = 0;
        std::size_t done = starts[k];
        for (std::size_t j = k + 1; j <= starts.size(); ++j) {
            const std::size_t end = j < starts.size() ? starts[j] : w.size();
            if (end > limit)
                break;
            crc = crc16(w.subspan(done, end - done), crc);
            done = end;
            if (crc == 0 && end >= starts[k] + headers[k].size + 2)
                return headers[k];
        }
    }
    return std::nullopt;
}

// Where the end of the stream holds no whole frame (zeros or other bytes
// follow the frames, or the frames are noise), the last stretch of `window`
// bytes that holds one is found by bisection: frames follow one another up
// to where the rest begins, and a stretch of two of the longest frames
// among them always holds a whole one. A stream whose first stretch holds
// none has no frame a decoder plays.
std::optional<FrameHeader> lastFrameBeforeJunk(ProbeFile& file, const Stream& s, std::int64_t window)
{
    const auto holdsFrame = [&](std::int64_t from) {
        return lastWholeFrame(file, s, from, std::min(from + window, s.audioEnd)).has_value();
    };
    if (!holdsFrame(s.audioStart))
        return std::nullopt;
    std::int64_t low = s.audioStart;          // a stretch from here holds a frame
    std::int64_t high = s.audioEnd - window;  // one from here holds none
    for (int n = 0; n < kMaxBisections && high - low > window; ++n) {
        const std::int64_t middle = low + (high - low) / 2;
        (holdsFrame(middle) ? low : high) = middle;
    }
    return lastWholeFrame(file, s, low, std::min(high + window, s.audioEnd));
}

}  // namespace

std::optional<FlacStreamInfo> parseFlacStreamInfo(Bytes block)
{
    if (block.size() < std::size_t(kStreamInfoSize))
        return std::nullopt;
    FlacStreamInfo info;
    info.minBlockSize = be16(block, 0);
    info.maxBlockSize = be16(block, 2);
    info.maxFrameSize = be24(block, 7);
    // 20 bits of rate, 3 of channels less one, 5 of bits less one, 36 of samples.
    const std::uint64_t packed = be64(block, 10);
    info.sampleRate = std::uint32_t(packed >> 44);
    info.channels = std::uint32_t((packed >> 41) & 7) + 1;
    info.bitsPerSample = std::uint32_t((packed >> 36) & 31) + 1;
    info.totalSamples = packed & ((std::uint64_t(1) << 36) - 1);
    if (info.sampleRate == 0)
        return std::nullopt;
    return info;
}

std::int64_t flacMarkerOffset(ProbeFile& file)
{
    const std::int64_t at = skipId3v2Tags(file, 0, file.size());
    return hasTag(file.read(at, kMarkerSize), 0, "fLaC") ? at : -1;
}

std::optional<std::int64_t> flacLengthMs(ProbeFile& file)
{
    const std::optional<Stream> s = readMetadata(file);
    if (!s)
        return std::nullopt;
    const std::uint32_t longestBlock = s->info.maxBlockSize ? s->info.maxBlockSize : 65535;
    const std::int64_t frameBytes = s->info.maxFrameSize ? std::int64_t(s->info.maxFrameSize)
                                                         : longestFrame(s->info, longestBlock);
    const std::int64_t tail = std::max(kShortestTail, 2 * frameBytes);
    const bool wholeStream = tail >= s->audioEnd - s->audioStart;
    auto last = lastWholeFrame(file, *s, wholeStream ? s->audioStart : s->audioEnd - tail, s->audioEnd);
    if (!last && !wholeStream)
        last = lastFrameBeforeJunk(file, *s, tail);
    if (last) {
        std::uint64_t first = last->number;
        if (!last->variableBlocks) {
            const auto blockSize = fixedBlockSize(file, *s);
            if (!blockSize)
                return std::nullopt;
            first *= *blockSize;
        }
        return samplesToMs(first + last->blockSize, s->info.sampleRate);
    }
    // Not one whole frame: nothing plays, whatever STREAMINFO promises.
    return std::nullopt;
}

}  // namespace qpt::length
