#pragma once
// The boxes of an MP4 file: their type, where their content starts and
// where they end, and the first child of a type.

#include "player/core/length/probe_file.h"

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace qpt::length::mp4 {

constexpr int kMaxChildren = 4096;  // boxes looked at inside one box

constexpr std::uint32_t fourcc(const char (&name)[5])
{
    return (std::uint32_t(std::uint8_t(name[0])) << 24) | (std::uint32_t(std::uint8_t(name[1])) << 16)
         | (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}

struct Box {
    std::uint32_t type = 0;
    std::int64_t body = 0;  // offset of the content
    std::int64_t end = 0;
    std::int64_t bodySize() const { return end - body; }
};

// The box at `at`, when it lies within `limit`.
std::optional<Box> boxAt(ProbeFile& file, std::int64_t at, std::int64_t limit);

// The first box of `type` inside `parent`, after `skip` bytes of its own.
std::optional<Box> child(ProbeFile& file, const Box& parent, std::uint32_t type, std::int64_t skip = 0);

// The box reached through children of these types in turn.
std::optional<Box> path(ProbeFile& file, Box box, std::initializer_list<std::uint32_t> types);

}  // namespace qpt::length::mp4
