#pragma once
// Watches the playing song on every status tick: a song whose length
// measures 0:00 is skipped (CD tracks excepted), a song whose position stays
// at 0 for three ticks is started again, and a song the media component
// could not play is left for the next one. After a whole round of the
// playlist without a song that played, the player stops and says why.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace qpt {

class MediaComponent;
class PlaybackEngine;
class PlaylistModel;
class SongLengthService;

class SongSupervision {
public:
    SongSupervision(PlaylistModel& playlist, PlaybackEngine& engine, MediaComponent& media,
                    SongLengthService& lengths);

    // One status tick's look at the playing song.
    void check();
    // A song reached the playing state: the round of failures is over.
    void songPlayed();

    // Hears that no song of a whole round could be played (the first
    // failure's reason), after the player has stopped.
    std::function<void(const QString& firstError)> onNothingPlayed;

    // The watchdog's count of ticks that found the position at 0.
    int stallCount() const { return m_stallCount; }

private:
    void skipZeroLengthSong();
    void stallWatchdog();
    bool playingSongFailed() const;
    // Counts a song skipped because it could not be played; true when that
    // ended the round (the player has stopped).
    bool giveUpAfterFailure();

    PlaylistModel& m_playlist;
    PlaybackEngine& m_engine;
    MediaComponent& m_media;
    SongLengthService& m_lengths;
    int m_stallCount = 0;
    double m_lastZeroPosition = 0;  // "never recorded" compares equal to 0
    int m_failedInARow = 0;
    QString m_firstError;
};

}  // namespace qpt
