#include "player/core/length/mp4_boxes.h"

namespace qpt::length::mp4 {

std::optional<Box> boxAt(ProbeFile& file, std::int64_t at, std::int64_t limit)
{
    const Bytes h = file.read(at, 16);
    if (limit - at < 8 || h.size() < 8)
        return std::nullopt;
    Box box;
    box.type = be32(h, 4);
    std::uint64_t size = be32(h, 0);
    box.body = at + 8;
    if (size == 1) {
        if (h.size() < 16)
            return std::nullopt;
        size = be64(h, 8);
        box.body = at + 16;
    } else if (size == 0) {
        size = std::uint64_t(limit - at);  // to the end of what holds it
    }
    if (size < std::uint64_t(box.body - at) || size > std::uint64_t(limit - at))
        return std::nullopt;
    box.end = at + std::int64_t(size);
    return box;
}

std::optional<Box> child(ProbeFile& file, const Box& parent, std::uint32_t type, std::int64_t skip)
{
    std::int64_t at = parent.body + skip;
    for (int n = 0; n < kMaxChildren && at < parent.end; ++n) {
        const auto box = boxAt(file, at, parent.end);
        if (!box)
            return std::nullopt;
        if (box->type == type)
            return box;
        at = box->end;
    }
    return std::nullopt;
}

std::optional<Box> path(ProbeFile& file, Box box, std::initializer_list<std::uint32_t> types)
{
    for (const std::uint32_t type : types) {
        const auto next = child(file, box, type);
        if (!next)
            return std::nullopt;
        box = *next;
    }
    return box;
}

}  // namespace qpt::length::mp4
