#include "picture_header.h"

namespace qpt::internet {

namespace {

quint8 byteAt(const QByteArray& bytes, qsizetype at)
{
    return quint8(bytes.at(at));
}

// Markers that stand alone, without a length: TEM, RSTn.
bool standsAlone(quint8 marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool isFrameMarker(quint8 marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

std::optional<JpegFrame> jpegFrame(const QByteArray& bytes)
{
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8)
        return std::nullopt;
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (byteAt(bytes, at) != 0xFF)
            return std::nullopt;
        const quint8 marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) {  // fill bytes before a marker
            ++at;
            continue;
        }
        if (standsAlone(marker)) {
            at += 2;
            continue;
        }
        // The image data begins (SOS) or ends (EOI) before any frame header.
        if (marker == 0xDA || marker == 0xD9 || at + 3 >= bytes.size())
            return std::nullopt;
        const int length = byteAt(bytes, at + 2) << 8 | byteAt(bytes, at + 3);
        if (length < 2)
            return std::nullopt;
        if (isFrameMarker(marker)) {
            // Length, precision, height, width, then the number of components.
            if (length < 8 || at + 9 >= bytes.size())
                return std::nullopt;
            return JpegFrame{marker, byteAt(bytes, at + 9)};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

bool decodesScaled(const QByteArray& format, const QByteArray& bytes)
{
    if (format == "jpeg" || format == "jpg") {
        const std::optional<JpegFrame> frame = jpegFrame(bytes);
        const bool sequential = frame && (frame->marker == 0xC0 || frame->marker == 0xC1);
        return sequential && (frame->components == 1 || frame->components == 3);
    }
    // The PNG header: bit depth at byte 24, interlace method at byte 28.
    return format == "png" && bytes.size() > 28 && bytes.mid(12, 4) == "IHDR" && quint8(bytes.at(24)) <= 8
        && bytes.at(28) == 0;
}

}  // namespace qpt::internet
