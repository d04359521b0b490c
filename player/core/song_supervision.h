#pragma once
// Watches the playing song on every status tick: a song whose length
// measures 0:00 is skipped (CD tracks excepted), and a song whose position
// stays at 0 for three ticks is started again; a song the media component
// could not play is left for the next one.

#include <QtGlobal>

namespace qpt {

struct PlayerContext;
class PlaybackEngine;

class SongSupervision {
public:
    SongSupervision(PlayerContext& context, PlaybackEngine& engine);

    void run();

    qint16 StallCount = 0;
    double LastZeroPosition = 0;  // "never recorded" compares equal to 0

private:
    void skipZeroLengthSong();
    void stallWatchdog();
    bool playingSongFailed() const;

    PlayerContext& c;
    PlaybackEngine& engine;
};

}  // namespace qpt
