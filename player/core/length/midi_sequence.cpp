#include "player/core/length/midi_sequence.h"

#include <algorithm>
#include <vector>

namespace qpt::length {

namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 bpm)
constexpr int kMaxTracks = 65535;

struct TempoChange {
    std::uint64_t tick;
    std::uint32_t microsPerQuarter;
};

struct Track {
    std::uint64_t endTick = 0;
    std::vector<TempoChange> tempos;
};

// Reads one track chunk body. A damaged or cut-off track ends at its last
// complete event.
Track readTrack(Bytes t)
{
    Track track;
    std::size_t p = 0;
    std::uint64_t tick = 0;
    std::uint8_t running = 0;

    auto readVarLen = [&](std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= t.size())
                return false;
            const std::uint8_t b = t[p++];
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;  // longer than four bytes
    };
    auto skip = [&](std::uint32_t n) {
        if (t.size() - p < n)
            return false;
        p += n;
        return true;
    };

    while (p < t.size()) {
        std::uint32_t delta = 0;
        if (!readVarLen(delta) || p >= t.size())
            break;
        const std::uint64_t eventTick = tick + delta;
        std::uint8_t status = t[p];
        if (status & 0x80) {
            ++p;
        } else if (running) {
            status = running;  // running status: the data byte is not consumed here
        } else {
            break;
        }

        if (status < 0xF0) {
            const std::uint32_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, pressure: 1
            if (!skip(dataBytes))
                break;
            running = status;
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!readVarLen(length) || !skip(length))
                break;
            running = 0;
        } else if (status == 0xFF) {
            if (p >= t.size())
                break;
            const std::uint8_t type = t[p++];
            std::uint32_t length = 0;
            if (!readVarLen(length) || t.size() - p < length)
                break;
            running = 0;
            if (type == 0x51 && length >= 3) {
                const std::uint32_t tempo = be24(t, p);
                if (tempo > 0)
                    track.tempos.push_back({eventTick, tempo});
            }
            p += length;
            if (type == 0x2F) {
                tick = eventTick;
                break;  // End of Track
            }
        } else {
            break;  // system common and real-time messages have no place in a file
        }
        tick = eventTick;
    }
    track.endTick = tick;
    return track;
}

// Sum of ticks x tempo from tick 0 to `endTick` through the (sorted)
// tempo map; microseconds times the ticks per quarter note.
unsigned __int128 tempoWeightedTicks(const std::vector<TempoChange>& tempos, std::uint64_t endTick)
{
    unsigned __int128 sum = 0;
    std::uint64_t tick = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const TempoChange& change : tempos) {
        if (change.tick >= endTick)
            break;
        sum += (unsigned __int128)(change.tick - tick) * tempo;
        tick = change.tick;
        tempo = change.microsPerQuarter;
    }
    sum += (unsigned __int128)(endTick - tick) * tempo;
    return sum;
}

std::int64_t clampMs(unsigned __int128 ms)
{
    return ms > (unsigned __int128)INT64_MAX ? INT64_MAX : std::int64_t(ms);
}

}  // namespace

bool looksLikeMidi(Bytes start)
{
    return hasTag(start, 0, "MThd") || (hasTag(start, 0, "RIFF") && hasTag(start, 8, "RMID"));
}

std::optional<std::int64_t> midiLengthMs(ProbeFile& file)
{
    std::int64_t begin = 0;
    std::int64_t end = file.size();
    const Bytes head = file.read(0, 12);
    if (hasTag(head, 0, "RIFF") && hasTag(head, 8, "RMID")) {
        // The sequence is the body of the "data" chunk.
        std::int64_t at = 12;
        begin = -1;
        while (file.size() - at >= 8) {
            const Bytes c = file.read(at, 8);
            const std::uint32_t size = le32(c, 4);
            if (hasTag(c, 0, "data")) {
                begin = at + 8;
                end = std::min<std::int64_t>(end, begin + size);
                break;
            }
            at += 8 + std::int64_t(size) + (size & 1);
        }
        if (begin < 0)
            return std::nullopt;
    }

    const Bytes h = file.read(begin, 14);
    if (h.size() < 14 || !hasTag(h, 0, "MThd"))
        return std::nullopt;
    const std::uint32_t headerLength = be32(h, 4);
    if (headerLength < 6)
        return std::nullopt;
    const std::uint16_t format = be16(h, 8);
    const std::uint16_t trackCount = be16(h, 10);
    const std::uint16_t division = be16(h, 12);
    if (format > 2 || trackCount == 0 || division == 0)
        return std::nullopt;

    std::vector<Track> tracks;
    std::int64_t at = begin + 8 + std::int64_t(headerLength);
    while (int(tracks.size()) < std::min<int>(trackCount, kMaxTracks) && end - at >= 8) {
        const Bytes c = file.read(at, 8);
        if (c.size() < 8)
            break;
        const std::uint32_t size = be32(c, 4);
        const std::int64_t body = at + 8;
        const std::int64_t available = std::min<std::int64_t>(size, end - body);
        if (hasTag(c, 0, "MTrk"))
            tracks.push_back(readTrack(file.read(body, available)));
        // Other chunk types are skipped, as the format asks.
        at = body + std::int64_t(size);
    }
    if (tracks.empty())
        return std::nullopt;

    if (division & 0x8000) {
        // SMPTE: the high byte is minus the frames per second (-29 stands
        // for 29.97 drop-frame), the low byte the ticks per frame.
        const int fps = -int(std::int8_t(division >> 8));
        const int ticksPerFrame = division & 0xFF;
        if (fps <= 0 || ticksPerFrame == 0)
            return std::nullopt;
        std::uint64_t ticks = 0;
        for (const Track& t : tracks)
            ticks = format == 2 ? ticks + t.endTick : std::max(ticks, t.endTick);
        const unsigned __int128 num = (unsigned __int128)ticks * 1000u * (fps == 29 ? 1001u : 1u);
        const unsigned __int128 den = (unsigned __int128)ticksPerFrame * (fps == 29 ? 30000u : unsigned(fps));
        return clampMs(num / den);
    }

    const std::uint64_t ticksPerQuarter = division;
    unsigned __int128 weighted = 0;
    if (format == 2) {
        // Independent sequences played one after the other, each with its
        // own tempo.
        for (const Track& t : tracks)
            weighted += tempoWeightedTicks(t.tempos, t.endTick);
    } else {
        // One tempo map for all tracks, whichever track a change stands in;
        // at the same tick the later track's change is the one in force.
        std::vector<TempoChange> map;
        std::uint64_t endTick = 0;
        for (const Track& t : tracks) {
            map.insert(map.end(), t.tempos.begin(), t.tempos.end());
            endTick = std::max(endTick, t.endTick);
        }
        std::stable_sort(map.begin(), map.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        weighted = tempoWeightedTicks(map, endTick);
    }
    return clampMs(weighted / (ticksPerQuarter * 1000u));
}

}  // namespace qpt::length
