#include "player/core/length/mp4_fragments.h"

#include <algorithm>
#include <bit>

namespace qpt::length::mp4 {

namespace {

// Top-level boxes walked, and samples counted, at most.
constexpr int kMaxBoxes = 1 << 20;
constexpr std::uint64_t kMaxSamples = std::uint64_t(1) << 24;

// tfhd flags
constexpr std::uint32_t kBaseDataOffset = 0x01;
constexpr std::uint32_t kDescriptionIndex = 0x02;
constexpr std::uint32_t kDefaultDuration = 0x08;
constexpr std::uint32_t kDefaultSize = 0x10;
// trun flags
constexpr std::uint32_t kDataOffset = 0x001;
constexpr std::uint32_t kFirstSampleFlags = 0x004;
constexpr std::uint32_t kSampleDuration = 0x100;
constexpr std::uint32_t kSampleSize = 0x200;
constexpr std::uint32_t kPerSampleFields = 0xF00;

struct Defaults {
    std::uint32_t duration = 0;
    std::uint32_t size = 0;
};

std::optional<std::uint32_t> trackId(ProbeFile& file, const Box& trak)
{
    const auto tkhd = child(file, trak, fourcc("tkhd"));
    const Bytes b = tkhd ? file.read(tkhd->body, 24) : Bytes();
    if (b.size() < 24)
        return std::nullopt;
    return be32(b, b[0] == 1 ? 20 : 12);
}

Defaults trackDefaults(ProbeFile& file, const Box& mvex, std::uint32_t track)
{
    std::int64_t skip = 0;
    for (int n = 0; n < kMaxChildren; ++n) {
        const auto trex = child(file, mvex, fourcc("trex"), skip);
        if (!trex)
            break;
        skip = trex->end - mvex.body;
        const Bytes b = file.read(trex->body, 24);
        if (b.size() == 24 && be32(b, 4) == track)
            return {be32(b, 12), be32(b, 16)};
    }
    return {};
}

struct IndexedFragment {
    std::int64_t offset = 0;
    std::uint64_t time = 0;  // of its first sample
};

// The last fragment after `after` that the random-access index at the end
// of the file names for `track`.
std::optional<IndexedFragment> lastIndexedFragment(ProbeFile& file, std::uint32_t track, std::int64_t after)
{
    const Bytes mfro = file.read(file.size() - 16, 16);
    if (mfro.size() < 16 || !hasTag(mfro, 4, "mfro"))
        return std::nullopt;
    const std::int64_t mfraAt = file.size() - std::int64_t(be32(mfro, 12));
    const auto mfra = mfraAt > after ? boxAt(file, mfraAt, file.size()) : std::nullopt;
    if (!mfra || mfra->type != fourcc("mfra"))
        return std::nullopt;
    std::int64_t skip = 0;
    for (int n = 0; n < kMaxChildren; ++n) {
        const auto tfra = child(file, *mfra, fourcc("tfra"), skip);
        if (!tfra)
            break;
        skip = tfra->end - mfra->body;
        const Bytes h = file.read(tfra->body, 16);
        if (h.size() < 16 || be32(h, 4) != track || be32(h, 12) == 0)
            continue;
        const bool wide = h[0] == 1;
        const std::uint32_t sizes = be32(h, 8);
        const std::int64_t entry = (wide ? 16 : 8) + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3) + 3;
        const std::int64_t lastAt = tfra->body + 16 + entry * (std::int64_t(be32(h, 12)) - 1);
        if (lastAt + entry > tfra->end)
            return std::nullopt;
        const Bytes e = file.read(lastAt, entry);
        if (e.size() < std::size_t(entry))
            return std::nullopt;
        IndexedFragment last;
        last.time = wide ? be64(e, 0) : be32(e, 0);
        last.offset = wide ? std::int64_t(std::min<std::uint64_t>(be64(e, 8), INT64_MAX)) : std::int64_t(be32(e, 4));
        const auto box = last.offset > after ? boxAt(file, last.offset, file.size()) : std::nullopt;
        if (!box || box->type != fourcc("moof"))
            return std::nullopt;
        return last;
    }
    return std::nullopt;
}

class FragmentWalk {
public:
    FragmentWalk(ProbeFile& file, std::uint32_t track, Defaults defaults)
        : m_file(file), m_track(track), m_defaults(defaults)
    {
    }

    // The fragments in between were passed over.
    void jumpTo(std::uint64_t dts) { m_dts = dts; }

    // False once a sample's data is missing: nothing after it plays.
    bool fragment(std::int64_t start, const Box& moof)
    {
        std::int64_t skip = 0;
        for (int n = 0; n < kMaxChildren; ++n) {
            const auto traf = child(m_file, moof, fourcc("traf"), skip);
            if (!traf)
                return true;
            skip = traf->end - moof.body;
            if (!trackFragment(start, *traf))
                return false;
        }
        return true;
    }

    FragmentedSamples samples() const
    {
        FragmentedSamples s;
        s.any = m_any;
        s.firstDts = m_firstDts;
        s.endDts = m_lastDts + std::max(m_lastDuration, m_longest);
        return s;
    }

private:
    bool trackFragment(std::int64_t moofStart, const Box& traf)
    {
        const auto tfhd = child(m_file, traf, fourcc("tfhd"));
        const Bytes h = tfhd ? m_file.read(tfhd->body, std::min<std::int64_t>(tfhd->bodySize(), 40)) : Bytes();
        if (h.size() < 8 || be32(h, 4) != m_track)
            return true;
        const std::uint32_t flags = be32(h, 0) & 0xFFFFFF;
        std::size_t at = 8;
        std::int64_t base = moofStart;
        const auto field = [&](std::uint32_t flag, std::size_t size) -> std::optional<std::uint64_t> {
            if (!(flags & flag))
                return std::nullopt;
            const std::size_t here = at;
            at += size;
            if (h.size() < at)
                return std::uint64_t(0);
            return size == 8 ? be64(h, here) : be32(h, here);
        };
        if (const auto b = field(kBaseDataOffset, 8))
            base = std::int64_t(std::min<std::uint64_t>(*b, INT64_MAX));
        field(kDescriptionIndex, 4);
        const std::uint32_t duration = std::uint32_t(field(kDefaultDuration, 4).value_or(m_defaults.duration));
        const std::uint32_t size = std::uint32_t(field(kDefaultSize, 4).value_or(m_defaults.size));

        if (const auto tfdt = child(m_file, traf, fourcc("tfdt"))) {
            const Bytes t = m_file.read(tfdt->body, 12);
            if (t.size() >= 8)
                m_dts = t[0] == 1 && t.size() >= 12 ? be64(t, 4) : be32(t, 4);
        }
        std::int64_t data = base;
        std::int64_t skip = 0;
        for (int n = 0; n < kMaxChildren; ++n) {
            const auto trun = child(m_file, traf, fourcc("trun"), skip);
            if (!trun)
                return true;
            skip = trun->end - traf.body;
            if (!run(*trun, base, data, duration, size))
                return false;
        }
        return true;
    }

    bool run(const Box& trun, std::int64_t base, std::int64_t& data, std::uint32_t duration, std::uint32_t size)
    {
        const Bytes h = m_file.read(trun.body, 16);
        if (h.size() < 8)
            return true;
        const std::uint32_t flags = be32(h, 0) & 0xFFFFFF;
        const std::uint32_t count = be32(h, 4);
        std::int64_t at = trun.body + 8;
        if (flags & kDataOffset) {
            if (h.size() < 12)
                return true;
            data = base + std::int32_t(be32(h, 8));
            at += 4;
        }
        if (flags & kFirstSampleFlags)
            at += 4;
        const std::int64_t entry = 4 * std::popcount(flags & kPerSampleFields);
        for (std::uint32_t i = 0; i < count && m_counted < kMaxSamples; ++i, ++m_counted) {
            std::uint32_t d = duration;
            std::uint32_t s = size;
            if (entry) {
                if (at + entry > trun.end)
                    return true;
                const Bytes e = m_file.read(at, entry);
                if (e.size() < std::size_t(entry))
                    return true;
                at += entry;
                std::size_t f = 0;
                if (flags & kSampleDuration)
                    d = be32(e, (f++) * 4);
                if (flags & kSampleSize)
                    s = be32(e, f * 4);
            }
            if (data < 0 || s > m_file.size() || data > m_file.size() - std::int64_t(s))
                return false;
            if (!m_any) {
                m_any = true;
                m_firstDts = m_dts;
            }
            m_lastDts = m_dts;
            m_lastDuration = d;
            m_longest = std::max<std::uint64_t>(m_longest, d);
            m_dts += d;
            data += s;
        }
        return true;
    }

    ProbeFile& m_file;
    std::uint32_t m_track;
    Defaults m_defaults;
    std::uint64_t m_dts = 0;
    std::uint64_t m_counted = 0;
    bool m_any = false;
    std::uint64_t m_firstDts = 0;
    std::uint64_t m_lastDts = 0;
    std::uint64_t m_lastDuration = 0;
    std::uint64_t m_longest = 0;
};

}  // namespace

std::optional<FragmentedSamples> fragmentedSamples(ProbeFile& file, const Box& moov, const Box& trak)
{
    const auto mvex = child(file, moov, fourcc("mvex"));
    const auto track = mvex ? trackId(file, trak) : std::nullopt;
    if (!track)
        return std::nullopt;
    FragmentWalk walk(file, *track, trackDefaults(file, *mvex, *track));
    // The first fragment tells where the samples start; with an index, the
    // last one and what follows it where they end.
    auto jump = lastIndexedFragment(file, *track, moov.end);
    std::int64_t at = moov.end;
    for (int n = 0; n < kMaxBoxes && at < file.size(); ++n) {
        const auto box = boxAt(file, at, file.size());
        if (!box)
            break;
        if (box->type == fourcc("moof") && !walk.fragment(at, *box))
            break;
        at = box->end;
        if (box->type == fourcc("moof") && jump && jump->offset > at) {
            at = jump->offset;
            walk.jumpTo(jump->time);
            jump.reset();
        }
    }
    return walk.samples();
}

}  // namespace qpt::length::mp4
