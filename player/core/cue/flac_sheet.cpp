#include "player/core/cue/flac_sheet.h"

namespace qpt::cue {

namespace {

constexpr int kStreamInfo = 0;
constexpr int kVorbisComment = 4;
constexpr int kCueSheet = 5;
// A tag block is small; one holding pictures or worse is read no further
// than this.
constexpr qint64 kMaxCommentBytes = kMaxSheetBytes + 64 * 1024;
constexpr int kMaxBlocks = 1024;
constexpr int kLeadOutCd = 170;
constexpr int kLeadOut = 255;

quint64 bigEndian(const QByteArray& bytes, qsizetype at, int count)
{
    quint64 value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

quint32 littleEndian32(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// The text of the comment "CUESHEET=..." (any case), if any.
std::optional<QByteArray> sheetComment(const QByteArray& block)
{
    if (block.size() < 8)
        return std::nullopt;
    qsizetype at = 0;
    const quint32 vendor = littleEndian32(block, at);
    at += 4;
    if (vendor > quint32(block.size() - at - 4))
        return std::nullopt;
    at += vendor;
    const quint32 count = littleEndian32(block, at);
    at += 4;
    for (quint32 i = 0; i < count && at + 4 <= block.size(); ++i) {
        const quint32 length = littleEndian32(block, at);
        at += 4;
        if (length > quint32(block.size() - at))
            return std::nullopt;
        const QByteArray comment = block.mid(at, length);
        at += length;
        if (comment.size() > 9 && comment.left(9).toUpper() == "CUESHEET=")
            return comment.mid(9);
    }
    return std::nullopt;
}

QList<FlacSheetTrack> sheetBlockTracks(const QByteArray& block)
{
    QList<FlacSheetTrack> tracks;
    // catalogue (128), lead-in (8), flags and reserved (259), track count (1)
    constexpr qsizetype kHeader = 128 + 8 + 259 + 1;
    constexpr qsizetype kTrack = 8 + 1 + 12 + 1 + 13 + 1;
    constexpr qsizetype kIndex = 8 + 1 + 3;
    if (block.size() < kHeader)
        return tracks;
    const int count = quint8(block.at(kHeader - 1));
    qsizetype at = kHeader;
    for (int i = 0; i < count; ++i) {
        if (at + kTrack > block.size())
            return {};
        const quint64 offset = bigEndian(block, at, 8);
        const int number = quint8(block.at(at + 8));
        const bool audio = (quint8(block.at(at + 21)) & 0x80) == 0;
        const int indices = quint8(block.at(at + 35));
        at += kTrack;
        if (at + indices * kIndex > block.size())
            return {};
        FlacSheetTrack track;
        track.number = number;
        track.audio = audio;
        for (int j = 0; j < indices; ++j) {
            const quint64 indexOffset = bigEndian(block, at + j * kIndex, 8);
            const int indexNumber = quint8(block.at(at + j * kIndex + 8));
            const quint64 start = offset + indexOffset;
            if (indexNumber == 1 && track.start < 0 && start < (quint64(1) << 62))
                track.start = qint64(start);
        }
        at += indices * kIndex;
        if (number == kLeadOutCd || number == kLeadOut)
            break;
        if (tracks.size() < kMaxTracks)
            tracks << track;
    }
    return tracks;
}

}  // namespace

std::optional<FlacSheet> readFlacSheet(const ReadAt& read)
{
    QByteArray head = read(0, 10);
    qint64 at = 0;
    // ID3v2 tags before the stream.
    if (head.size() == 10 && head.startsWith("ID3")) {
        const qint64 size = (qint64(head.at(6) & 0x7f) << 21) | (qint64(head.at(7) & 0x7f) << 14)
            | (qint64(head.at(8) & 0x7f) << 7) | qint64(head.at(9) & 0x7f);
        at = 10 + size + ((head.at(5) & 0x10) ? 10 : 0);
        head = read(at, 4);
    }
    if (!head.startsWith("fLaC"))
        return std::nullopt;
    at += 4;
    FlacSheet sheet;
    for (int blocks = 0; blocks < kMaxBlocks; ++blocks) {
        const QByteArray header = read(at, 4);
        if (header.size() < 4)
            break;
        const bool last = quint8(header.at(0)) & 0x80;
        const int type = quint8(header.at(0)) & 0x7f;
        const qint64 length = qint64(bigEndian(header, 1, 3));
        at += 4;
        if (type == kStreamInfo && length >= 18) {
            const QByteArray info = read(at, 18);
            if (info.size() == 18)
                sheet.sampleRate = quint32(bigEndian(info, 10, 3) >> 4);
        } else if (type == kVorbisComment && length <= kMaxCommentBytes && !sheet.tagged) {
            const QByteArray block = read(at, length);
            if (block.size() == length) {
                if (const std::optional<QByteArray> text = sheetComment(block))
                    sheet.tagged = parseSheet(*text);
            }
        } else if (type == kCueSheet && length <= 1024 * 1024) {
            const QByteArray block = read(at, length);
            if (block.size() == length)
                sheet.tracks = sheetBlockTracks(block);
        }
        at += length;
        if (last)
            break;
    }
    return sheet;
}

}  // namespace qpt::cue
