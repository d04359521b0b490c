#include "player/core/length/ogg_audio.h"

#include "player/core/length/flac_audio.h"
#include "player/core/length/ogg_pages.h"
#include "player/core/length/ogg_stream_start.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qpt::length {

namespace {

// Pages are read backwards from the end in steps of this size, at most this
// far back (the last page with a granule is at most a few pages of 64 KiB
// from the end of its link).
constexpr std::int64_t kStep = 16 * 1024;
constexpr std::int64_t kMaxBackwards = 2 * 1024 * 1024;
// How far forward the next page is looked for from a bisection point.
constexpr std::int64_t kMaxForwards = 256 * 1024;
// The longest page: its header and 255 segments of 255 bytes.
constexpr std::int64_t kLongestPage = 27 + 255 + 255 * 255;
// Links of a file, and streams that start a link together.
constexpr int kMaxLinks = 4096;
constexpr int kMaxStreamsInLink = 32;
constexpr int kMaxBisections = 64;
constexpr std::uint32_t kOpusRate = 48000;
// The first bytes of a codec's first packet tell what it needs.
constexpr std::int64_t kIdentificationBytes = 64;

using Page = OggPage;

// The first whole page that starts in [from, limit).
std::optional<Page> nextPage(ProbeFile& file, std::int64_t from, std::int64_t limit)
{
    limit = std::min({limit, file.size(), from + kMaxForwards});
    for (std::int64_t at = from; at < limit; at += kStep) {
        // Three bytes more, so that a pattern across two steps is seen.
        const std::int64_t stepEnd = std::min(at + kStep, limit);
        for (const std::int64_t candidate : oggCapturePatterns(file.read(at, stepEnd - at + 3), at)) {
            if (candidate >= stepEnd)
                break;
            if (const auto page = oggPageAt(file, candidate))
                return page;
        }
    }
    return std::nullopt;
}

// The last whole page in [begin, end) that `wanted` accepts, read
// backwards from `end`, at most `reach` bytes.
template <typename Wanted>
std::optional<Page> lastPage(ProbeFile& file, std::int64_t begin, std::int64_t end, Wanted wanted,
                             std::int64_t reach = kMaxBackwards)
{
    const std::int64_t floor = std::max(begin, end - reach);
    for (std::int64_t stepEnd = end; stepEnd > floor; stepEnd -= kStep) {
        const std::int64_t stepBegin = std::max(floor, stepEnd - kStep);
        const std::vector<std::int64_t> candidates =
            oggCapturePatterns(file.read(stepBegin, std::min(stepEnd + 3, end) - stepBegin), stepBegin);
        for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
            if (*it >= stepEnd)
                continue;
            const auto page = oggPageAt(file, *it);
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
    for (int n = 0; n < kMaxStreamsInLink && (page.flags & kOggBeginsStream); ++n) {
        link.serials.push_back(page.serial);
        link.firstPageEnd = page.end();
        if (link.audio.codec == Codec::Unknown)
            link.audio = identify(file, page);
        const auto next = oggPageAt(file, page.end());
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

// The last page of the stream `serial` with a granule position in
// [begin, end). Usually a few pages back from the end; where another
// stream of the link goes on long after it (a video longer than its
// sound), it is found by bisection: the streams are interleaved by time,
// so that from a point before the sound's end a page of it follows
// within a few pages, and from a point after it none does.
std::optional<Page> lastAudioPage(ProbeFile& file, std::uint32_t serial, std::int64_t begin, std::int64_t end)
{
    const auto wanted = [&](const Page& page) { return page.serial == serial && page.granule != kOggNoGranule; };
    if (const auto page = lastPage(file, begin, end, wanted))
        return page;
    // Whether one follows within the backward reach of `from`.
    const auto followsSoon = [&](std::int64_t from) {
        auto page = nextPage(file, from, end);
        while (page && page->offset < from + kMaxBackwards) {
            if (wanted(*page))
                return true;
            page = oggPageAt(file, page->end());
        }
        return false;
    };
    std::int64_t low = begin;
    std::int64_t high = end - kMaxBackwards;
    if (high <= low || !followsSoon(low))
        return std::nullopt;
    for (int n = 0; n < kMaxBisections && high - low > kMaxBackwards; ++n) {
        const std::int64_t middle = low + (high - low) / 2;
        (followsSoon(middle) ? low : high) = middle;
    }
    const std::int64_t stop = std::min(end, high + kMaxBackwards);
    return lastPage(file, low, stop, wanted, stop - low);
}

// Nanoseconds of the link's audio that ends with its last page in
// [begin, end): from the stream's first sample, or from the end of the
// pre-skip where that lies later (the pre-skip counts on the stream's own
// timeline, so a stream recorded from the middle of another drops none of
// it), to the last granule position.
std::int64_t linkNanoseconds(ProbeFile& file, const Link& link, std::int64_t begin, std::int64_t end)
{
    const Audio& audio = link.audio;
    const auto last = lastAudioPage(file, audio.serial, begin, end);
    if (!last || last->granule < 0)
        return 0;
    std::int64_t start = 0;
    if (audio.codec == Codec::Vorbis || audio.codec == Codec::Opus) {
        const auto codec = audio.codec == Codec::Vorbis ? OggStartCodec::Vorbis : OggStartCodec::Opus;
        start = std::max<std::int64_t>(0, oggStreamStart(file, begin, end, audio.serial, codec).value_or(0));
    }
    const std::uint64_t first = std::max(std::uint64_t(start), audio.preSkip);
    const std::uint64_t granule = std::uint64_t(last->granule);
    std::uint64_t samples = granule > first ? granule - first : 0;
    if (samples % audio.wholeFrame && samples <= UINT64_MAX - audio.wholeFrame)
        samples += audio.wholeFrame - samples % audio.wholeFrame;
    return scaleDown(samples, 1000000000, audio.rate);
}

// The last whole page of the file. Usually a page or two back from the
// end; behind a long stretch of something else (bytes a broken download or
// a tagger appended), it is found by bisection: from a point among the
// pages a page starts within the longest page's length, from a point in
// what follows them none does.
std::optional<Page> finalPageOf(ProbeFile& file)
{
    const auto any = [](const Page&) { return true; };
    if (const auto page = lastPage(file, 0, file.size(), any, 2 * kLongestPage))
        return page;
    const auto first = oggPageAt(file, 0);
    if (!first)
        return std::nullopt;
    std::int64_t low = first->end();
    std::int64_t high = file.size();
    for (int n = 0; n < kMaxBisections && high - low > kLongestPage; ++n) {
        const std::int64_t middle = low + (high - low) / 2;
        if (const auto page = nextPage(file, middle, std::min(high, middle + kLongestPage)))
            low = page->end();
        else
            high = middle;
    }
    return lastPage(file, 0, std::min(file.size(), high + kLongestPage), any, 3 * kLongestPage);
}

}  // namespace

bool looksLikeOgg(Bytes start)
{
    return hasTag(start, 0, "OggS") && start.size() > 4 && start[4] == 0;
}

std::optional<std::int64_t> oggLengthMs(ProbeFile& file)
{
    // The last whole page of the file tells whether the first link is the
    // only one, and where the pages end.
    const auto finalPage = finalPageOf(file);
    const std::int64_t fileEnd = finalPage ? finalPage->end() : file.size();
    std::int64_t totalNs = 0;
    bool anyAudio = false;
    std::int64_t at = 0;
    for (int n = 0; n < kMaxLinks && at < fileEnd && finalPage; ++n) {
        const auto first = oggPageAt(file, at);
        if (!first || !(first->flags & kOggBeginsStream))
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
