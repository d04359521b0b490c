#pragma once
// The table of contents of the audio CD in a drive (or of a BIN/CUE image
// standing in for one), read through libcdio: how many tracks, each
// track's exact length in sectors (588 samples of 44.1 kHz stereo each) and
// the titles the disc carries as CD-Text. Reading waits for the drive (a
// disc spins up for seconds): never on the window thread.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace qpt::cd {

inline constexpr int kSamplesPerSector = 588;
inline constexpr int kSampleRate = 44100;

struct DiscTrack {
    int number = 0;
    qint64 sectors = 0;
    bool audio = true;
    QString title;      // CD-Text; empty where the disc has none
    QString performer;  // CD-Text

    // Exact milliseconds, rounded to the nearest.
    qint64 milliseconds() const { return (sectors * kSamplesPerSector * 1000 + kSampleRate / 2) / kSampleRate; }
};

struct DiscToc {
    enum class State {
        Read,     // a disc with at least one audio track
        NoDisc,   // no drive there, or no disc in it (empty, ejected, unreadable)
        NoAudio,  // a disc without audio tracks (a data disc)
    };
    State state = State::NoDisc;
    QList<DiscTrack> tracks;  // every track, audio or not, in order
    QString albumTitle;

    bool hasAudio() const { return state == State::Read; }
    // The track with that number; nullopt where the disc has none.
    std::optional<DiscTrack> track(int number) const;
    QList<DiscTrack> audioTracks() const;
};

// Reads the disc in the device now. Waits for the drive.
DiscToc readDiscToc(const QByteArray& device);

// The same, answered from a read of the same device less than `maxAgeMs`
// ago that found a disc (a playlist of one disc's tracks reads it once; a
// drive found empty is asked again). Safe from any thread.
DiscToc readDiscTocRecent(const QByteArray& device, int maxAgeMs = 5000);
// Forgets the reads kept (tests, a disc known to have changed).
void forgetRecentReads();

// Whether an audio CD is in the drive, as quickly as the drive can say:
// the drive's own disc status where it gives one, else the table of
// contents. Waits for the drive.
bool holdsAudioCd(const QByteArray& device);

}  // namespace qpt::cd
