#pragma once
// The player without its windows: the playlist, the playback engine, the
// supervision and the song lengths, and the two timers that keep them going
// (the 850 ms status tick and the 200 ms position tick). It links Qt Core
// and GStreamer only; the windows subscribe to its signals and render.

#include "common/poll_timer.h"
#include "player/core/length/song_length_service.h"
#include "player/core/playback_engine.h"
#include "player/core/player_state.h"
#include "player/core/playlist_model.h"
#include "player/core/song_supervision.h"
#include "player/core/volume_fade.h"

#include <QObject>

namespace qpt {

class MediaComponent;

class PlayerCore : public QObject {
    Q_OBJECT
public:
    static constexpr int kStatusTickMs = 850;
    static constexpr int kPositionTickMs = 200;

    explicit PlayerCore(MediaComponent& media, QObject* parent = nullptr);

    PlaylistModel playlist;
    SongLengthService lengths;
    PlaybackEngine engine;
    SongSupervision supervision;
    MediaComponent& media;

    // Every 850 ms: the playing look asked for, the Online System's close
    // request ("shutdown.os"), the song supervision.
    PollTimer statusTimer;
    // Every 200 ms: the position of the playing song, "Running.chk".
    PollTimer positionTimer;
    void statusTick();
    void positionTick();
    void startTimers();
    // Hands the media component the song to go on with (gapless), as the
    // list and the current song stand now.
    void updateNext();

    // The volume fading out as the player closes.
    VolumeFade fade;

    // The last position and length seen, whole seconds (-1: no media).
    double position() const { return m_position; }
    double duration() const { return m_duration; }

signals:
    // The position or the length of the playing song changed, in whole
    // seconds (only then: a quiet song costs nothing to show).
    void positionChanged(double seconds, double duration);
    // The Online System asks the player to close.
    void closeRequested();
    void errorOccurred(PlayerError error, const QString& detail);
    // A song was passed over because its file gave no data in time.
    void songDidNotAnswer(const QByteArray& address);
    // No song of a whole round of the playlist could be played; the player
    // has stopped.
    void nothingPlayed(const SongSupervision::NothingPlayed& what);

private:
    double m_position = -1;  // no media
    double m_duration = 0;
    bool m_positionSeen = false;
};

}  // namespace qpt
