#include "player/core/length/mp4_audio.h"

#include "player/core/length/mp4_boxes.h"
#include "player/core/length/mp4_fragments.h"

#include <algorithm>
#include <vector>

namespace qpt::length {

namespace {

using namespace mp4;

constexpr std::uint64_t kNanosecond = 1000000000;
constexpr std::int64_t kUnbounded = INT64_MAX;
constexpr int kMaxTracks = 64;
constexpr std::uint32_t kMaxEdits = 256;
// Samples walked; a longer track (raw PCM, one sample per frame) is given
// the length its headers state.
constexpr std::uint64_t kMaxSamples = std::uint64_t(1) << 24;
// Table entries read at a time.
constexpr std::size_t kEntriesPerRead = 1024;

// Timescale and duration of a movie or media header (mvhd, mdhd share the
// layout); a duration of all ones means it is not known.
struct Timing {
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    // Nanoseconds of `units` of this timescale.
    std::int64_t ns(std::uint64_t units) const { return scaleDown(units, kNanosecond, timescale); }
    // The duration in nanoseconds; unbounded when not known.
    std::int64_t durationNs() const { return duration && timescale ? ns(duration) : kUnbounded; }
};

std::optional<Timing> readTiming(ProbeFile& file, const Box& box)
{
    const Bytes b = file.read(box.body, std::min<std::int64_t>(box.bodySize(), 32));
    if (b.empty())
        return std::nullopt;
    Timing t;
    if (b[0] == 1 && b.size() >= 32) {
        t.timescale = be32(b, 20);
        t.duration = be64(b, 24);
        if (t.duration == ~std::uint64_t(0))
            t.duration = 0;
    } else if (b[0] == 0 && b.size() >= 20) {
        t.timescale = be32(b, 12);
        t.duration = be32(b, 16);
        if (t.duration == 0xFFFFFFFFu)
            t.duration = 0;
    } else {
        return std::nullopt;
    }
    return t;
}

// Reads the entries of a sample table one after the other, a stretch at a
// time. The count is kept to what the box can hold.
class Table {
public:
    Table() = default;
    Table(ProbeFile& file, const Box& box, std::int64_t entriesAt, std::uint64_t count, std::size_t entrySize)
        : m_file(&file), m_at(box.body + entriesAt), m_entrySize(entrySize)
    {
        const std::int64_t room = std::max<std::int64_t>(0, box.end - m_at);
        m_left = std::min<std::uint64_t>(count, std::uint64_t(room) / entrySize);
    }
    // The next entry; empty after the last.
    Bytes next()
    {
        if (m_pos + m_entrySize > m_buffer.size()) {
            const std::uint64_t n = std::min<std::uint64_t>(m_left, kEntriesPerRead);
            if (n == 0)
                return {};
            const Bytes bytes = m_file->read(m_at, std::int64_t(n * m_entrySize));
            if (bytes.size() < m_entrySize)
                return {};
            const std::size_t whole = bytes.size() / m_entrySize * m_entrySize;
            m_buffer.assign(bytes.begin(), bytes.begin() + std::ptrdiff_t(whole));
            m_pos = 0;
            m_at += std::int64_t(whole);
            m_left -= whole / m_entrySize;
        }
        const Bytes entry(m_buffer.data() + m_pos, m_entrySize);
        m_pos += m_entrySize;
        return entry;
    }

private:
    ProbeFile* m_file = nullptr;
    std::int64_t m_at = 0;
    std::uint64_t m_left = 0;
    std::size_t m_entrySize = 4;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = 0;
};

// A full box's entry count (after version and flags) and its table.
Table fullBoxTable(ProbeFile& file, const Box& box, std::size_t entrySize, std::int64_t countAt = 4)
{
    const Bytes b = file.read(box.body + countAt, 4);
    if (b.size() < 4)
        return Table();
    return Table(file, box, countAt + 4, be32(b, 0), entrySize);
}

// The part of the track the demuxer plays (an edit, or the whole track)
// and where playing stops.
struct Span {
    std::int64_t mediaStartNs = 0;
    std::int64_t mediaStopNs = kUnbounded;
    std::int64_t movieTimeNs = 0;          // where the edit starts in the movie
    std::int64_t movieStopNs = kUnbounded; // samples from here on are not played
};

Span playedSpan(ProbeFile& file, const Box& trak, const Timing& movie, const Timing& media)
{
    Span span;
    std::uint64_t editsTotal = 0;
    bool edited = false;
    const auto elst = path(file, trak, {fourcc("edts"), fourcc("elst")});
    const Bytes head = elst ? file.read(elst->body, 8) : Bytes();
    if (elst && head.size() == 8 && head[0] <= 1 && movie.timescale) {
        const bool wide = head[0] == 1;
        Table edits(file, *elst, 8, std::min(be32(head, 4), kMaxEdits), wide ? 20 : 12);
        for (Bytes e = edits.next(); !e.empty(); e = edits.next()) {
            const std::uint64_t duration = wide ? be64(e, 0) : be32(e, 0);
            const std::int64_t mediaTime = wide ? std::int64_t(be64(e, 8)) : std::int32_t(be32(e, 4));
            if (!edited && mediaTime >= 0) {
                // The first edit that plays media; an empty one before it
                // is a pause, not samples.
                edited = true;
                span.movieTimeNs = movie.ns(editsTotal);
                span.mediaStartNs = media.ns(std::uint64_t(mediaTime));
                const std::int64_t durationNs = movie.ns(duration);
                if (duration)
                    span.mediaStopNs = durationNs > kUnbounded - span.mediaStartNs ? kUnbounded
                                                                                   : span.mediaStartNs + durationNs;
            }
            editsTotal += duration;
        }
    }
    if (!edited)
        span.mediaStopNs = std::min(media.durationNs(), movie.durationNs());
    if (movie.durationNs() != kUnbounded)
        span.movieStopNs = std::max(movie.durationNs(), movie.ns(editsTotal));
    return span;
}

struct Walk {
    bool complete = false;     // the tables could be walked
    bool any = false;          // some sample is played
    std::int64_t firstNs = 0;  // start of the first played sample
    std::int64_t endNs = 0;    // end of the last one
};

// The samples in order, for as long as the demuxer hands them on.
Walk walkSamples(ProbeFile& file, const Box& stbl, const Timing& media, const Span& span)
{
    Walk walk;
    const auto sttsBox = child(file, stbl, fourcc("stts"));
    const auto stscBox = child(file, stbl, fourcc("stsc"));
    const auto stszBox = child(file, stbl, fourcc("stsz"));
    auto chunkBox = child(file, stbl, fourcc("stco"));
    const bool wideOffsets = !chunkBox;
    if (wideOffsets)
        chunkBox = child(file, stbl, fourcc("co64"));
    if (!sttsBox || !stscBox || !stszBox || !chunkBox)
        return walk;
    const Bytes sizes = file.read(stszBox->body + 4, 8);
    if (sizes.size() < 8)
        return walk;
    const std::uint32_t fixedSize = be32(sizes, 0);
    const std::uint64_t sampleCount = be32(sizes, 4);
    // No samples here (a fragmented file keeps them elsewhere), or too many.
    if (sampleCount == 0 || sampleCount > kMaxSamples)
        return walk;

    // A decoder gives a whole frame for the last sample, however short the
    // table says it is: the longest duration is a frame's.
    std::uint64_t longest = 0;
    Table times = fullBoxTable(file, *sttsBox, 8);
    for (Bytes e = times.next(); !e.empty(); e = times.next())
        longest = std::max<std::uint64_t>(longest, be32(e, 4));

    times = fullBoxTable(file, *sttsBox, 8);
    Table chunks = fullBoxTable(file, *stscBox, 12);
    Table sizeTable = fixedSize ? Table() : Table(file, *stszBox, 12, sampleCount, 4);
    Table offsets = fullBoxTable(file, *chunkBox, wideOffsets ? 8 : 4);

    Bytes chunkRun = chunks.next();
    Bytes nextRun = chunks.next();
    std::uint64_t left = sampleCount;
    std::uint64_t runLeft = 0;
    std::uint64_t delta = 0;
    std::uint64_t dts = 0;
    walk.complete = true;
    for (std::uint64_t chunk = 1; left > 0 && !chunkRun.empty(); ++chunk) {
        const Bytes o = offsets.next();
        if (o.empty())
            break;
        while (!nextRun.empty() && be32(nextRun, 0) <= chunk) {
            chunkRun = nextRun;
            nextRun = chunks.next();
        }
        std::uint64_t offset = wideOffsets ? be64(o, 0) : be32(o, 0);
        for (std::uint32_t i = be32(chunkRun, 4); i > 0 && left > 0; --i, --left) {
            std::uint64_t size = fixedSize;
            if (!fixedSize) {
                const Bytes s = sizeTable.next();
                if (s.empty())
                    return walk;
                size = be32(s, 0);
            }
            while (runLeft == 0) {
                const Bytes t = times.next();
                if (t.empty())
                    return walk;
                runLeft = be32(t, 0);
                delta = be32(t, 4);
            }
            --runLeft;
            const std::int64_t startNs = media.ns(dts);
            // Data beyond the end of the file ends the stream; so does a
            // sample after the edit or after the movie's duration.
            if (offset > std::uint64_t(file.size()) || size > std::uint64_t(file.size()) - offset
                || startNs >= span.mediaStopNs || startNs >= span.movieStopNs - span.movieTimeNs)
                return walk;
            if (!walk.any) {
                walk.any = true;
                walk.firstNs = startNs;
            }
            walk.endNs = media.ns(dts + std::max(delta, longest));
            offset += size;
            dts += delta;
        }
    }
    return walk;
}

// Milliseconds of the first audio track of `moov`; nullopt when it has none.
std::optional<std::int64_t> audioTrackMs(ProbeFile& file, const Box& moov)
{
    const auto mvhd = child(file, moov, fourcc("mvhd"));
    const std::optional<Timing> movie = mvhd ? readTiming(file, *mvhd) : std::nullopt;
    std::int64_t at = 0;
    for (int n = 0; n < kMaxTracks; ++n) {
        const auto trak = child(file, moov, fourcc("trak"), at);
        if (!trak)
            return std::nullopt;
        at = trak->end - moov.body;
        const auto mdia = child(file, *trak, fourcc("mdia"));
        const auto hdlr = mdia ? child(file, *mdia, fourcc("hdlr")) : std::nullopt;
        if (!hdlr || !hasTag(file.read(hdlr->body + 8, 4), 0, "soun"))
            continue;
        const auto mdhd = child(file, *mdia, fourcc("mdhd"));
        const std::optional<Timing> media = mdhd ? readTiming(file, *mdhd) : std::nullopt;
        if (!media || media->timescale == 0)
            continue;
        const Span span = playedSpan(file, *trak, movie.value_or(Timing()), *media);
        const auto stbl = path(file, *mdia, {fourcc("minf"), fourcc("stbl")});
        Walk walk = stbl ? walkSamples(file, *stbl, *media, span) : Walk();
        if (!walk.complete) {
            if (const auto fragments = fragmentedSamples(file, moov, *trak)) {
                walk.complete = true;
                walk.any = fragments->any;
                walk.firstNs = media->ns(fragments->firstDts);
                walk.endNs = media->ns(fragments->endDts);
            }
        }
        if (walk.complete) {
            if (!walk.any)
                return 0;
            const std::int64_t start = std::max(span.mediaStartNs, walk.firstNs);
            const std::int64_t end = std::min(span.mediaStopNs, walk.endNs);
            return std::max<std::int64_t>(0, end - start) / 1000000;
        }
        // Tables that cannot be walked: the span the headers give.
        if (span.mediaStopNs == kUnbounded)
            return std::nullopt;
        return (span.mediaStopNs - span.mediaStartNs) / 1000000;
    }
    return std::nullopt;
}

}  // namespace

bool looksLikeMp4(Bytes start)
{
    // A box size of 0 runs to the end of the file, 1 is followed by 64 bits.
    if (start.size() < 8 || (be32(start, 0) > 1 && be32(start, 0) < 8))
        return false;
    for (const char* type : {"ftyp", "moov", "mdat", "free", "skip", "wide"}) {
        if (std::equal(type, type + 4, start.begin() + 4))
            return true;
    }
    return false;
}

std::optional<std::int64_t> mp4LengthMs(ProbeFile& file)
{
    std::int64_t at = 0;
    for (int n = 0; n < mp4::kMaxChildren; ++n) {
        const auto box = mp4::boxAt(file, at, file.size());
        if (!box)
            return std::nullopt;  // the movie header is missing or cut short
        if (box->type == mp4::fourcc("moov"))
            return audioTrackMs(file, *box);
        at = box->end;
    }
    return std::nullopt;
}

}  // namespace qpt::length
