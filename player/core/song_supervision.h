#pragma once
// Watches the playing song on every status tick: a song whose length
// measures 0:00 is skipped (CD tracks excepted), and a song whose position
// stays at 0 for three ticks is started again; a song the media component
// could not play is left for the next one.

#include <QString>
#include <QtGlobal>

namespace qpt {

struct PlayerContext;
class PlaybackEngine;

class SongSupervision {
public:
    SongSupervision(PlayerContext& context, PlaybackEngine& engine);

    void run();
    // A song reached the playing state: the round of failures is over.
    void songPlayed();

    qint16 StallCount = 0;
    double LastZeroPosition = 0;  // "never recorded" compares equal to 0

    static QString nothingPlayedText(const QString& firstError);

private:
    void skipZeroLengthSong();
    void stallWatchdog();
    bool playingSongFailed() const;
    // Counts a song skipped because it could not be played. After one
    // whole round of the playlist without a song that played, the player
    // stops and says why; true then.
    bool giveUpAfterFailure();

    int m_failedInARow = 0;
    QString m_firstError;

    PlayerContext& c;
    PlaybackEngine& engine;
};

}  // namespace qpt
