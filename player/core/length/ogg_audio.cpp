#include "player/core/length/ogg_audio.h"

#include "player/core/length/checksums.h"
#include "player/core/length/flac_audio.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qpt::length {

namespace {

constexpr std::int64_t kPageHeaderSize = 27;
constexpr std::size_t kChecksumAt = 22;
constexpr std::uint8_t kBeginsStream = 0x02;
constexpr std::int64_t kNoGranule = -1;
// Pages are read backwards from the end in steps of this size, at most this
// far back (the last page with a granule is at most a few pages of 64 KiB
// from the end of its link).
constexpr std::int64_t kStep = 16 * 1024;
constexpr std::int64_t kMaxBackwards = 2 * 1024 * 1024;
// How far forward the next page is looked for from a bisection point.
constexpr std::int64_t kMaxForwards = 256 * 1024;
// Links of a file, and streams that start a link together.
constexpr int kMaxLinks = 4096;
constexpr int kMaxStreamsInLink = 32;
constexpr int kMaxBisections = 64;
constexpr std::uint32_t kOpusRate = 48000;
// The first bytes of a codec's first packet tell what it needs.
constexpr std::int64_t kIdentificationBytes = 64;

struct Page {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    std::uint8_t flags = 0;
    std::int64_t granule = kNoGranule;
    std::uint32_t serial = 0;
    std::int64_t bodyOffset = 0;
    std::int64_t firstPacketSize = 0;  // of its first packet, as far as it lies on this page
    std::int64_t end() const { return offset + size; }
};

// The page that starts at `at`, when a whole one whose CRC holds does.
std::optional<Page> pageAt(ProbeFile& file, std::int64_t at)
{
    const Bytes h = file.read(at, kPageHeaderSize);
    if (h.size() < kPageHeaderSize || !hasTag(h, 0, "OggS") || h[4] != 0)
        return std::nullopt;
    Page page;
    page.offset = at;
    page.flags = h[5];
    page.granule = std::int64_t(le64(h, 6));
    page.serial = le32(h, 14);
    const std::uint32_t stored = le32(h, kChecksumAt);
    const int segments = h[26];
    const Bytes lacing = file.read(at + kPageHeaderSize, segments);
    if (lacing.size() < std::size_t(segments))
        return std::nullopt;
    std::int64_t body = 0;
    bool firstDone = false;
    for (const std::uint8_t l : lacing) {
        body += l;
        if (!firstDone)
            page.firstPacketSize += l;
        firstDone = firstDone || l < 255;
    }
    page.bodyOffset = at + kPageHeaderSize + segments;
    page.size = kPageHeaderSize + segments + body;
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

// Offsets in `b` (read from the file at `base`) where "OggS" starts.
std::vector<std::int64_t> capturePatterns(Bytes b, std::int64_t base)
{
    std::vector<std::int64_t> at;
    for (std::size_t i = 0; i + 4 <= b.size(); ++i) {
        if (hasTag(b, i, "OggS"))
            at.push_back(base + std::int64_t(i));
    }
    return at;
}

// The first whole page that starts in [from, limit).
std::optional<Page> nextPage(ProbeFile& file, std::int64_t from, std::int64_t limit)
{
    limit = std::min({limit, file.size(), from + kMaxForwards});
    for (std::int64_t at = from; at < limit; at += kStep) {
        // Three bytes more, so that a pattern across two steps is seen.
        const std::int64_t stepEnd = std::min(at + kStep, limit);
        for (const std::int64_t candidate : capturePatterns(file.read(at, stepEnd - at + 3), at)) {
            if (candidate >= stepEnd)
                break;
            if (const auto page = pageAt(file, candidate))
                return page;
        }
    }
    return std::nullopt;
}

// The last whole page in [begin, end) that `wanted` accepts, read
// backwards from `end`.
template <typename Wanted>
std::optional<Page> lastPage(ProbeFile& file, std::int64_t begin, std::int64_t end, Wanted wanted)
{
    const std::int64_t floor = std::max(begin, end - kMaxBackwards);
    for (std::int64_t stepEnd = end; stepEnd > floor; stepEnd -= kStep) {
        const std::int64_t stepBegin = std::max(floor, stepEnd - kStep);
        const std::vector<std::int64_t> candidates =
            capturePatterns(file.read(stepBegin, std::min(stepEnd + 3, end) - stepBegin), stepBegin);
        for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
            if (*it >= stepEnd)
                continue;
            const auto page = pageAt(file, *it);
            if (page && page->end() <= end && wanted(*page))
                return page;
        }
    }
    return std::nullopt;
}

enum class Codec { Unknown, Vorbis, Opus, Flac, Speex };

struct Audio {
    Codec codec = Codec::Unknown;
    std::uint32_t serial = 0;
    std::uint32_t rate = 0;        // of the granule positions
    std::uint64_t preSkip = 0;     // samples the decoder drops at the start
    std::uint64_t wholeFrame = 1;  // the decoder gives whole frames of this many samples
};

// What the first packet of a stream says about it.
Audio identify(ProbeFile& file, const Page& page)
{
    Audio audio;
    audio.serial = page.serial;
    const Bytes p = file.read(page.bodyOffset, std::min(page.firstPacketSize, kIdentificationBytes));
    if (hasTag(p, 0, "\x01vorbis") && p.size() >= 16) {
        audio.codec = Codec::Vorbis;
        audio.rate = le32(p, 12);
    } else if (hasTag(p, 0, "OpusHead") && p.size() >= 12) {
        audio.codec = Codec::Opus;
        audio.rate = kOpusRate;
        audio.preSkip = le16(p, 10);
    } else if (hasTag(p, 0, "Speex   ") && p.size() >= 60) {
        // Its last frame is played whole, past the last granule position.
        audio.codec = Codec::Speex;
        audio.rate = le32(p, 36);
        audio.wholeFrame = std::max<std::uint32_t>(1, le32(p, 56));
    } else if (hasTag(p, 0, "\x7F" "FLAC") && hasTag(p, 9, "fLaC") && p.size() >= 17) {
        // The mapping header, then the STREAMINFO block with its header.
        if (const auto info = parseFlacStreamInfo(p.subspan(17))) {
            audio.codec = Codec::Flac;
            audio.rate = info->sampleRate;
        }
    }
    if (audio.rate == 0)
        audio.codec = Codec::Unknown;
    return audio;
}

struct Link {
    std::vector<std::uint32_t> serials;  // of the streams that begin it
    Audio audio;                         // the first stream a player plays
    std::int64_t firstPageEnd = 0;       // a point inside the link
    bool holds(const Page& page) const
    {
        return std::find(serials.begin(), serials.end(), page.serial) != serials.end();
    }
};

// The streams that begin at `page`, a page that begins one.
Link openLink(ProbeFile& file, Page page)
{
    Link link;
    for (int n = 0; n < kMaxStreamsInLink && (page.flags & kBeginsStream); ++n) {
        link.serials.push_back(page.serial);
        link.firstPageEnd = page.end();
        if (link.audio.codec == Codec::Unknown)
            link.audio = identify(file, page);
        const auto next = pageAt(file, page.end());
        if (!next)
            break;
        page = *next;
    }
    return link;
}

// Where the link that holds the page ending at `inside` ends: at the first
// page of another stream after it. `other` is a page of a later link. The
// pages of a link are contiguous, so whether the first page after a point
// belongs to the link tells on which side of the boundary the point lies.
std::int64_t linkEnd(ProbeFile& file, const Link& link, std::int64_t inside, const Page& other)
{
    std::int64_t low = inside;            // the boundary is at or after it
    std::int64_t high = other.offset;     // a page of a later link starts here
    for (int n = 0; n < kMaxBisections && high - low > kStep; ++n) {
        const std::int64_t middle = low + (high - low) / 2;
        if (const auto page = nextPage(file, middle, high)) {
            if (link.holds(*page))
                low = page->end();
            else
                high = page->offset;
            continue;
        }
        // No page starts in [middle, high): the one before `high` says
        // whether the link ends there.
        const auto before = lastPage(file, low, high, [](const Page&) { return true; });
        if (!before || link.holds(*before))
            return high;
        high = before->offset;
    }
    // Page by page over the last stretch.
    for (std::int64_t at = low; at < high;) {
        const auto page = nextPage(file, at, high);
        if (!page || !link.holds(*page))
            return page ? page->offset : high;
        at = page->end();
    }
    return high;
}

// Nanoseconds of the link's audio that ends with its last page in
// [begin, end): the last granule position, less the pre-skip.
std::int64_t linkNanoseconds(ProbeFile& file, const Link& link, std::int64_t begin, std::int64_t end)
{
    const Audio& audio = link.audio;
    const auto last = lastPage(file, begin, end, [&](const Page& page) {
        return page.serial == audio.serial && page.granule != kNoGranule;
    });
    if (!last || last->granule < 0)
        return 0;
    const std::uint64_t granule = std::uint64_t(last->granule);
    std::uint64_t samples = granule > audio.preSkip ? granule - audio.preSkip : 0;
    if (samples % audio.wholeFrame && samples <= UINT64_MAX - audio.wholeFrame)
        samples += audio.wholeFrame - samples % audio.wholeFrame;
    return scaleDown(samples, 1000000000, audio.rate);
}

}  // namespace

bool looksLikeOgg(Bytes start)
{
    return hasTag(start, 0, "OggS") && start.size() > 4 && start[4] == 0;
}

std::optional<std::int64_t> oggLengthMs(ProbeFile& file)
{
    const std::int64_t fileEnd = file.size();
    // The last whole page of the file tells whether the first link is the
    // only one.
    const auto finalPage = lastPage(file, 0, fileEnd, [](const Page&) { return true; });
    std::int64_t totalNs = 0;
    bool anyAudio = false;
    std::int64_t at = 0;
    for (int n = 0; n < kMaxLinks && at < fileEnd && finalPage; ++n) {
        const auto first = pageAt(file, at);
        if (!first || !(first->flags & kBeginsStream))
            break;
        const Link link = openLink(file, *first);
        const std::int64_t end =
            link.holds(*finalPage) ? fileEnd : linkEnd(file, link, link.firstPageEnd, *finalPage);
        if (link.audio.codec != Codec::Unknown) {
            anyAudio = true;
            const std::int64_t ns = linkNanoseconds(file, link, at, end);
            totalNs = ns > INT64_MAX - totalNs ? INT64_MAX : totalNs + ns;
        }
        if (end <= at)
            break;
        at = end;
    }
    if (!anyAudio)
        return std::nullopt;
    return totalNs / 1000000;
}

}  // namespace qpt::length
