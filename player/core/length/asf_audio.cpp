#include "player/core/length/asf_audio.h"

#include <algorithm>
#include <cstring>

namespace qpt::length {

namespace {

// GUIDs as they are stored (the first three fields little-endian).
constexpr std::uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kFilePropertiesObject[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                    0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

constexpr std::int64_t kHeaderObjectSize = 30;   // GUID, size, object count, two reserved bytes
constexpr std::int64_t kObjectHeaderSize = 24;   // GUID, size
constexpr std::int64_t kFilePropertiesSize = 104;
constexpr std::uint32_t kBroadcastFlag = 1;
constexpr int kMaxObjects = 1024;

bool isGuid(Bytes b, std::size_t at, const std::uint8_t (&guid)[16])
{
    return b.size() >= at + 16 && std::memcmp(b.data() + at, guid, 16) == 0;
}

}  // namespace

bool looksLikeAsf(Bytes start)
{
    return isGuid(start, 0, kHeaderObject);
}

std::optional<std::int64_t> asfLengthMs(ProbeFile& file)
{
    const Bytes head = file.read(0, kHeaderObjectSize);
    if (head.size() < kHeaderObjectSize || !looksLikeAsf(head))
        return std::nullopt;
    const std::int64_t headerEnd = std::int64_t(std::min<std::uint64_t>(le64(head, 16), std::uint64_t(file.size())));
    const std::uint32_t objects = le32(head, 24);

    std::int64_t at = kHeaderObjectSize;
    for (std::uint32_t n = 0; n < objects && n < kMaxObjects && headerEnd - at >= kObjectHeaderSize; ++n) {
        const Bytes o = file.read(at, kObjectHeaderSize);
        if (o.size() < kObjectHeaderSize)
            break;
        const std::uint64_t size = le64(o, 16);
        if (size < std::uint64_t(kObjectHeaderSize) || size > std::uint64_t(headerEnd - at))
            break;
        if (isGuid(o, 0, kFilePropertiesObject) && size >= std::uint64_t(kFilePropertiesSize)) {
            const Bytes p = file.read(at, kFilePropertiesSize);
            if (p.size() < kFilePropertiesSize)
                break;
            const std::uint64_t playDuration = le64(p, 64);  // 100 ns units, preroll included
            const std::uint64_t prerollMs = le64(p, 80);
            const std::uint32_t flags = le32(p, 88);
            if (flags & kBroadcastFlag)
                return 0;  // a live stream: the durations are not filled in
            const std::uint64_t ms = playDuration / 10000;
            return ms > prerollMs ? std::int64_t(std::min<std::uint64_t>(ms - prerollMs, INT64_MAX)) : 0;
        }
        at += std::int64_t(size);
    }
    return std::nullopt;
}

}  // namespace qpt::length
