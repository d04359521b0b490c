#pragma once
// Reading little- and big-endian numbers out of header bytes.

#include <cstddef>
#include <cstdint>
#include <span>

namespace qpt::length {

using Bytes = std::span<const std::uint8_t>;

inline std::uint16_t le16(Bytes b, std::size_t at)
{
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t le32(Bytes b, std::size_t at)
{
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16)
         | (std::uint32_t(b[at + 3]) << 24);
}

inline std::uint64_t le64(Bytes b, std::size_t at)
{
    return std::uint64_t(le32(b, at)) | (std::uint64_t(le32(b, at + 4)) << 32);
}

inline std::uint16_t be16(Bytes b, std::size_t at)
{
    return std::uint16_t((b[at] << 8) | b[at + 1]);
}

inline std::uint32_t be24(Bytes b, std::size_t at)
{
    return (std::uint32_t(b[at]) << 16) | (std::uint32_t(b[at + 1]) << 8) | b[at + 2];
}

inline std::uint32_t be32(Bytes b, std::size_t at)
{
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8)
         | b[at + 3];
}

inline std::uint64_t be64(Bytes b, std::size_t at)
{
    return (std::uint64_t(be32(b, at)) << 32) | be32(b, at + 4);
}

// True when the bytes at `at` spell `tag` (no terminating zero compared).
template <std::size_t N>
bool hasTag(Bytes b, std::size_t at, const char (&tag)[N])
{
    if (b.size() < at + N - 1)
        return false;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if (b[at + i] != std::uint8_t(tag[i]))
            return false;
    }
    return true;
}

// value * multiplier / divisor, rounded down; saturates instead of
// overflowing, so that absurd headers still give a (too large) result.
// 0 for a divisor of 0.
inline std::int64_t scaleDown(std::uint64_t value, std::uint64_t multiplier, std::uint64_t divisor)
{
    if (divisor == 0)
        return 0;
    const unsigned __int128 result = (unsigned __int128)value * multiplier / divisor;
    return result > (unsigned __int128)INT64_MAX ? INT64_MAX : std::int64_t(result);
}

// Milliseconds of `samples` at `rate`, rounded down.
inline std::int64_t samplesToMs(std::uint64_t samples, std::uint32_t rate)
{
    return scaleDown(samples, 1000, rate);
}

}  // namespace qpt::length
