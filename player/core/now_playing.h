#pragma once
// What is heard now: the one fact the title line, the bold row, the song
// number, the supervision and the media controls all read. It is taken
// from the media component's own word (which entry it plays), never
// recomputed from the playlist's cursor, so that removing, adding or
// sorting rows cannot make what is shown differ from what is heard.

#include "common/native_path.h"
#include "player/core/length/song_length.h"

#include <QString>

namespace qpt {

struct NowPlaying {
    quint64 entry = 0;    // the playlist entry; 0: nothing is heard
    NativePath address;   // what the media component plays
    QString title;        // as the now-playing line shows it
    SongLength length;    // the entry's length as far as it is known
    // Where the song lies within its file, in seconds (a track of an album
    // kept as one file); both 0 for a whole file.
    double start = 0;
    double end = 0;

    bool isEmpty() const { return entry == 0 && address.isEmpty(); }
    bool operator==(const NowPlaying&) const = default;
};

}  // namespace qpt
