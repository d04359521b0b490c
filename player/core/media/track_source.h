#pragma once
// One track of an album kept as one file, as a source playbin opens by
// address: "qpttrack:" URIs (made by trackUri) play exactly the samples of
// the track, starting at time 0, and end with the track. Position, length
// and seeks are the track's own, and playbin's gapless change works on
// them as on any song: the next track of the same file is opened as the
// next song, and its first sample follows this one's last.
//
// Inside: the file decoded (uridecodebin), then a trim element that seeks
// to the start, counts samples, cuts the buffers at both edges, moves the
// timestamps to the track's start and ends the stream at the end; or, for
// the BINARY and MOTOROLA sheets of disc images, a reader of raw CD audio
// that reads the track's bytes alone (rawaudioparse mislabels what it
// reads after a seek, by up to two reads).

#include <QByteArray>
#include <QString>

#include <optional>

namespace qpt::media {

struct TrackSpan {
    enum class Storage { Decoded, RawLittleEndian, RawBigEndian };
    Storage storage = Storage::Decoded;
    QByteArray fileUri;  // "file:///...", escaped
    // [from, to) in units of 1/perSecond s; to < 0: the file's end.
    qint64 from = 0;
    qint64 to = -1;
    int perSecond = 75;
    bool operator==(const TrackSpan&) const = default;
};

inline constexpr const char* kTrackScheme = "qpttrack";

QString trackUri(const TrackSpan& span);
std::optional<TrackSpan> parseTrackUri(const QByteArray& uri);

// Makes "qpttrack:" addresses known to GStreamer in this process (once;
// GStreamer must be initialised).
void registerTrackSource();

}  // namespace qpt::media
