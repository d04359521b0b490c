#include "player/core/length/audio_tags.h"

namespace qpt::length {

namespace {

constexpr std::int64_t kId3v2HeaderSize = 10;
constexpr std::int64_t kId3v1Size = 128;
constexpr std::int64_t kApeFooterSize = 32;

// Total size of the ID3v2 tag at `at`, or 0 when there is none.
std::int64_t id3v2SizeAt(ProbeFile& file, std::int64_t at, std::int64_t end)
{
    if (end - at < kId3v2HeaderSize)
        return 0;
    const Bytes h = file.read(at, kId3v2HeaderSize);
    if (h.size() < kId3v2HeaderSize || !hasTag(h, 0, "ID3"))
        return 0;
    // Version bytes are never 0xFF, the size is four 7-bit groups.
    if (h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80))
        return 0;
    const std::int64_t body = (std::int64_t(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    const bool hasFooter = h[3] >= 4 && (h[5] & 0x10);
    return kId3v2HeaderSize + body + (hasFooter ? kId3v2HeaderSize : 0);
}

// Size of the ID3v1 tag that ends at `end`, or 0.
std::int64_t id3v1SizeBefore(ProbeFile& file, std::int64_t begin, std::int64_t end)
{
    if (end - begin < kId3v1Size)
        return 0;
    const Bytes t = file.read(end - kId3v1Size, 3);
    return hasTag(t, 0, "TAG") ? kId3v1Size : 0;
}

// Size of the APE tag (with its header, if it has one) that ends at `end`.
std::int64_t apeSizeBefore(ProbeFile& file, std::int64_t begin, std::int64_t end)
{
    if (end - begin < kApeFooterSize)
        return 0;
    const Bytes f = file.read(end - kApeFooterSize, kApeFooterSize);
    if (f.size() < kApeFooterSize || !hasTag(f, 0, "APETAGEX"))
        return 0;
    const std::uint32_t flags = le32(f, 20);
    if (flags & (1u << 29))  // this is a header, not a footer
        return 0;
    std::int64_t size = le32(f, 12);  // items and footer
    if (flags & (1u << 31))
        size += kApeFooterSize;  // a header precedes the items
    if (size < kApeFooterSize || size > end - begin)
        return 0;
    return size;
}

// Size of the Lyrics3 v2 block that ends at `end`.
std::int64_t lyrics3SizeBefore(ProbeFile& file, std::int64_t begin, std::int64_t end)
{
    constexpr std::int64_t kTrailer = 15;  // six size digits and "LYRICS200"
    if (end - begin < kTrailer)
        return 0;
    const Bytes t = file.read(end - kTrailer, kTrailer);
    if (t.size() < kTrailer || !hasTag(t, 6, "LYRICS200"))
        return 0;
    std::int64_t size = 0;
    for (int i = 0; i < 6; ++i) {
        if (t[i] < '0' || t[i] > '9')
            return 0;
        size = size * 10 + (t[i] - '0');
    }
    size += kTrailer;
    if (size > end - begin)
        return 0;
    const Bytes b = file.read(end - size, 11);
    return hasTag(b, 0, "LYRICSBEGIN") ? size : 0;
}

}  // namespace

std::int64_t skipId3v2Tags(ProbeFile& file, std::int64_t begin, std::int64_t end)
{
    std::int64_t at = begin;
    while (const std::int64_t size = id3v2SizeAt(file, at, end)) {
        at += size;
        if (at >= end)
            return end;
    }
    return at;
}

std::int64_t stripTrailingTags(ProbeFile& file, std::int64_t begin, std::int64_t end)
{
    // Writers stack them in any order (APE before ID3v1 is usual); peel
    // until nothing more comes off.
    for (;;) {
        std::int64_t size = id3v1SizeBefore(file, begin, end);
        if (!size)
            size = apeSizeBefore(file, begin, end);
        if (!size)
            size = lyrics3SizeBefore(file, begin, end);
        if (!size)
            return end;
        end -= size;
    }
}

}  // namespace qpt::length
