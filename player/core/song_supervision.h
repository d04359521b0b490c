#pragma once
// Watches the playing song: on every status tick a song whose length
// measures 0:00 is skipped (CD tracks excepted) and a song whose position
// stays at 0 for three ticks is started again; a song the media component
// could not open is passed at once for the next one, a few milliseconds
// later, never faster. After a whole round of the playlist without a song
// that played, the player stops and says so once.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace qpt {

class MediaComponent;
class PlaybackEngine;
class PlaylistModel;
class SongLengthService;

class SongSupervision : public QObject {
    Q_OBJECT
public:
    // The pause between a song that failed and the start of the next.
    static constexpr int kAdvanceMs = 2;

    SongSupervision(PlaylistModel& playlist, PlaybackEngine& engine, MediaComponent& media,
                    SongLengthService& lengths, QObject* parent = nullptr);

    // One status tick's look at the playing song.
    void check();
    // A song reached the playing state: the round of failures is over.
    void songPlayed();
    // The media component gave up on the song it was given.
    void songFailed();
    // Songs failed one after the other and none has played since.
    bool failing() const { return m_failedInARow > 0; }

    struct NothingPlayed {
        int songs = 0;          // how many failed, one round of the list
        QByteArray firstSong;   // the first that failed
        QString firstReason;    // and why
    };
    // Hears that no song of a whole round could be played, after the
    // player has stopped.
    std::function<void(const NothingPlayed&)> onNothingPlayed;

    // The watchdog's count of ticks that found the position at 0.
    int stallCount() const { return m_stallCount; }
    // The advance after a failure, run now (tests).
    void advanceNow();
    bool advancePending() const { return m_advance.isActive(); }

private:
    bool measuresZero();
    void stallWatchdog();
    // Counts a song that could not be played; true when that ended the
    // round (the player has stopped).
    bool giveUpAfterFailure();
    void advance();

    PlaylistModel& m_playlist;
    PlaybackEngine& m_engine;
    MediaComponent& m_media;
    SongLengthService& m_lengths;
    QTimer m_advance;
    int m_stallCount = 0;
    double m_lastZeroPosition = 0;  // "never recorded" compares equal to 0
    int m_failedInARow = 0;
    NothingPlayed m_first;
};

}  // namespace qpt

Q_DECLARE_METATYPE(qpt::SongSupervision::NothingPlayed)
