#pragma once
// What a picture's header says about how Qt will decode it: scaled as it
// reads (only the shown pixels are ever held), or whole first. Pictures
// decoded whole get a smaller cap on their source size (web_pictures.h).
//
// Qt decodes scaled only sequential (baseline or extended) Huffman JPEG of
// one or three components, and PNG of at most 8 bits a sample that is not
// interlaced. A progressive JPEG keeps every coefficient of the picture in
// memory until its last scan, and a four-component (CMYK, YCCK) JPEG is
// converted at full size: both count as decoded whole, as do lossless and
// arithmetic-coded JPEG and a JPEG whose frame header cannot be found.

#include <QByteArray>

#include <optional>

namespace qpt::internet {

// A JPEG's frame header: its start-of-frame marker (0xC0 baseline, 0xC1
// extended, 0xC2 progressive, ...) and its number of components.
struct JpegFrame {
    int marker = 0;
    int components = 0;
};

// The first frame header, found by walking the segments from the start;
// none when the bytes end first or are no JPEG.
std::optional<JpegFrame> jpegFrame(const QByteArray& bytes);

// `format` as QImageReader names it ("png", "jpeg", ...).
bool decodesScaled(const QByteArray& format, const QByteArray& bytes);

}  // namespace qpt::internet
