#include "player/core/length/ogg_stream_start.h"

#include "player/core/length/ogg_pages.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace qpt::length {

namespace {

// How far the pages are walked: tags with a large picture come before the
// first audio page, absurd ones are not read.
constexpr std::int64_t kMaxWalk = 16 * 1024 * 1024;
// A header packet larger than this is no header a decoder takes.
constexpr std::size_t kMaxHeaderPacket = 4 * 1024 * 1024;
// Of an audio packet only its first bytes say how many samples it holds.
constexpr std::size_t kAudioPacketHead = 2;
constexpr int kVorbisModeBits = 41;  // block flag, window type, transform type, mapping
constexpr int kMaxVorbisModes = 64;

using Packet = std::vector<std::uint8_t>;

// Vorbis packs bits from the least significant bit of each byte on.
std::uint32_t bitsAt(const Packet& p, std::int64_t bit, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t b = bit + i;
        value |= std::uint32_t((p[std::size_t(b >> 3)] >> (b & 7)) & 1) << i;
    }
    return value;
}

int bitsFor(std::uint32_t value)
{
    int n = 0;
    for (; value; value >>= 1)
        ++n;
    return n;
}

// What a Vorbis decoder needs to know of each packet's size.
struct VorbisBlocks {
    std::array<std::uint32_t, 2> blockSize{};
    std::vector<bool> longBlock;  // by mode
    int modeBits = 0;
};

// The modes end the setup header, behind the codebooks, floors, residues and
// mappings, whose sizes are only known by decoding them all. Read from the
// end instead: after the last mode comes the framing bit (the last bit set);
// before it modes of 41 bits whose window and transform types are 0, and
// before those the count of modes less one in 6 bits.
std::optional<VorbisBlocks> vorbisBlocks(const Packet& identification, const Packet& setup)
{
    if (identification.size() < 30 || setup.size() < 8)
        return std::nullopt;
    VorbisBlocks v;
    v.blockSize = {1u << (identification[28] & 0x0F), 1u << (identification[28] >> 4)};
    std::int64_t framing = std::int64_t(setup.size()) * 8 - 1;
    while (framing >= 0 && !bitsAt(setup, framing, 1))
        --framing;
    int fitting = 0;
    for (; fitting < kMaxVorbisModes; ++fitting) {
        const std::int64_t mode = framing - std::int64_t(kVorbisModeBits) * (fitting + 1);
        if (mode < 7 * 8 || bitsAt(setup, mode + 1, 16) || bitsAt(setup, mode + 17, 16))
            break;
    }
    for (int count = fitting; count >= 1; --count) {
        const std::int64_t first = framing - std::int64_t(kVorbisModeBits) * count;
        if (bitsAt(setup, first - 6, 6) != std::uint32_t(count - 1))
            continue;
        for (int m = 0; m < count; ++m)
            v.longBlock.push_back(bitsAt(setup, first + std::int64_t(kVorbisModeBits) * m, 1));
        v.modeBits = bitsFor(std::uint32_t(count - 1));
        return v;
    }
    return std::nullopt;
}

// Samples of the audio packets in order: a Vorbis packet completes the
// overlap of its block with the one before (the first gives none).
class SampleCount {
public:
    explicit SampleCount(OggStartCodec codec) : m_codec(codec) {}
    void setVorbisBlocks(VorbisBlocks blocks) { m_vorbis = std::move(blocks); }

    std::uint32_t packet(const Packet& p)
    {
        if (m_codec == OggStartCodec::Opus)
            return opusPacketSamples(Bytes(p.data(), p.size()));
        if (p.empty() || (p[0] & 1))
            return 0;  // not audio: a decoder passes it over
        const std::uint32_t head = p[0] | (p.size() > 1 ? std::uint32_t(p[1]) << 8 : 0);
        const std::uint32_t mode = (head >> 1) & ((1u << m_vorbis.modeBits) - 1);
        if (mode >= m_vorbis.longBlock.size())
            return 0;
        const std::uint32_t block = m_vorbis.blockSize[m_vorbis.longBlock[mode] ? 1 : 0];
        const std::uint32_t n = m_previous ? m_previous / 4 + block / 4 : 0;
        m_previous = block;
        return n;
    }

private:
    OggStartCodec m_codec;
    VorbisBlocks m_vorbis;
    std::uint32_t m_previous = 0;
};

}  // namespace

std::uint32_t opusPacketSamples(Bytes p)
{
    if (p.empty())
        return 0;
    const int config = p[0] >> 3;
    std::uint32_t frame = 0;  // at 48 kHz
    if (config < 12)
        frame = std::array<std::uint32_t, 4>{480, 960, 1920, 2880}[config & 3];
    else if (config < 16)
        frame = config & 1 ? 960 : 480;
    else
        frame = std::array<std::uint32_t, 4>{120, 240, 480, 960}[config & 3];
    const int code = p[0] & 3;
    const std::uint32_t frames = code == 0 ? 1 : code < 3 ? 2 : p.size() > 1 ? (p[1] & 0x3F) : 0;
    return frame * frames;
}

std::optional<std::int64_t> oggStreamStart(ProbeFile& file, std::int64_t begin, std::int64_t end,
                                           std::uint32_t serial, OggStartCodec codec)
{
    const int headerPackets = codec == OggStartCodec::Vorbis ? 3 : 2;
    std::vector<Packet> headers;
    Packet packet;
    SampleCount count(codec);
    std::int64_t samples = 0;
    end = std::min({end, file.size(), begin + kMaxWalk});
    for (std::int64_t at = begin; at < end;) {
        const auto page = oggPageAt(file, at);
        if (!page)
            return std::nullopt;
        at = page->end();
        if (page->serial != serial)
            continue;
        const Bytes lacingView = file.read(page->offset + kOggPageHeaderSize, page->segments);
        const Packet lacing(lacingView.begin(), lacingView.end());
        std::int64_t body = page->bodyOffset;
        bool audioEnded = false;
        for (const std::uint8_t l : lacing) {
            const bool isHeader = int(headers.size()) < headerPackets;
            const std::size_t wanted = isHeader ? l : std::min<std::size_t>(l, kAudioPacketHead - std::min(kAudioPacketHead, packet.size()));
            if (wanted) {
                const Bytes bytes = file.read(body, std::int64_t(wanted));
                packet.insert(packet.end(), bytes.begin(), bytes.end());
                if (packet.size() > kMaxHeaderPacket)
                    return std::nullopt;
            }
            body += l;
            if (l == 255)
                continue;
            if (isHeader) {
                headers.push_back(std::move(packet));
                if (codec == OggStartCodec::Vorbis && int(headers.size()) == headerPackets) {
                    const auto blocks = vorbisBlocks(headers[0], headers[2]);
                    if (!blocks)
                        return std::nullopt;
                    count.setVorbisBlocks(*blocks);
                }
            } else {
                samples += count.packet(packet);
                audioEnded = true;
            }
            packet.clear();
        }
        if (audioEnded)
            return page->granule == kOggNoGranule ? std::nullopt : std::optional(page->granule - samples);
    }
    return std::nullopt;
}

}  // namespace qpt::length
