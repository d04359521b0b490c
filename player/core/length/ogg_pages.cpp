#include "player/core/length/ogg_pages.h"

#include "player/core/length/checksums.h"

#include <array>

namespace qpt::length {

namespace {
constexpr std::size_t kChecksumAt = 22;
}

std::optional<OggPage> oggPageAt(ProbeFile& file, std::int64_t at)
{
    const Bytes h = file.read(at, kOggPageHeaderSize);
    if (h.size() < kOggPageHeaderSize || !hasTag(h, 0, "OggS") || h[4] != 0)
        return std::nullopt;
    OggPage page;
    page.offset = at;
    page.flags = h[5];
    page.granule = std::int64_t(le64(h, 6));
    page.serial = le32(h, 14);
    const std::uint32_t stored = le32(h, kChecksumAt);
    page.segments = h[26];
    const Bytes lacing = file.read(at + kOggPageHeaderSize, page.segments);
    if (lacing.size() < std::size_t(page.segments))
        return std::nullopt;
    std::int64_t body = 0;
    bool firstDone = false;
    for (const std::uint8_t l : lacing) {
        body += l;
        if (!firstDone)
            page.firstPacketSize += l;
        firstDone = firstDone || l < 255;
    }
    page.bodyOffset = at + kOggPageHeaderSize + page.segments;
    page.size = kOggPageHeaderSize + page.segments + body;
    if (page.size > file.size() - at)
        return std::nullopt;  // cut short: a decoder never gets it

    const Bytes whole = file.read(at, page.size);
    if (whole.size() < std::size_t(page.size))
        return std::nullopt;
    static constexpr std::array<std::uint8_t, 4> kZeros{};
    std::uint32_t crc = crc32(whole.first(kChecksumAt));
    crc = crc32(Bytes(kZeros.data(), kZeros.size()), crc);
    crc = crc32(whole.subspan(kChecksumAt + 4), crc);
    if (crc != stored)
        return std::nullopt;
    return page;
}

std::vector<std::int64_t> oggCapturePatterns(Bytes b, std::int64_t base)
{
    std::vector<std::int64_t> at;
    for (std::size_t i = 0; i + 4 <= b.size(); ++i) {
        if (hasTag(b, i, "OggS"))
            at.push_back(base + std::int64_t(i));
    }
    return at;
}

}  // namespace qpt::length
