#pragma once
// The transport operations (Play, Pause, Stop, Next, Previous, playing a
// chosen row) and the reaction to the media component's play-state notices:
// the state machine of playback. It changes state and tells its listeners;
// what the windows show of it is theirs.
//
// Two numbers follow the songs, as the player always counted them:
//   currentIndex   set to the index of the entry being started; every
//                  play-state notice sets it to the play cursor's row, so
//                  while a song plays it is the 0-based index of the entry
//                  after it (= the playing row). Next starts the entry at
//                  this index, wrapping to the first.
//   nowPlayingRow  the row drawn as now playing; 0 = none yet, read as 1.

#include "common/native_path.h"
#include "player/core/player_state.h"

#include <QObject>

namespace qpt {

class MediaComponent;
class PlaylistModel;
struct TransportLook;

class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    PlaybackEngine(PlaylistModel& playlist, MediaComponent& media, QObject* parent = nullptr);

    // Resumes a pause, or starts the playlist from its first entry.
    void play();
    void pause();
    // Stops and shows the stopped state; the cursor stays where it is.
    void stop();
    // Starts the entry at currentIndex (the one after the playing one),
    // after the last the first.
    void next();
    // Starts the entry before the playing one; on the first it restarts it.
    void previous();
    // Plays a row the user chose (1-based). Nothing happens for none.
    void playRow(int row);
    // Play when playable, pause while playing (the Play button disabled).
    void playOrPause();
    // Keeps the numbers right after the user removed a row (playback goes on).
    void rowRemoved(int row);
    // After a sort the list starts again from its first entry.
    void restartNumbering();

    // The media component's play-state notice.
    void onMediaStateChanged(int code);

    // The batch loader's work, between a pause or stop it leaves alone.
    void beginLoading();
    void endLoading();

    // Shows the playing look that choosing a row asked for (the status
    // tick carries it out).
    void applyRunLook();

    // Low-level steps of the supervision: start the entry at currentIndex
    // in place of one that measures nothing (false when currentIndex is past
    // the end, the cursor then stays), mark the cursor's row as now playing,
    // and start the playing song again.
    bool startCurrentIndexInPlace();
    void markCursorAsPlaying();
    void restartPlayingSong();

    PlayerState state() const { return m_state; }
    const TransportButtons& buttons() const { return m_buttons; }
    qint16 currentIndex() const { return m_currentIndex; }
    qint16 nowPlayingRow() const { return m_nowPlayingRow; }
    const QString& nowPlayingTitle() const { return m_title; }
    // While stopped, the now-playing line is the link to the web site.
    bool linkActive() const { return m_linkActive; }
    bool runLookPending() const { return m_runLookPending; }

    // The one-line product notice the now-playing line keeps while stopped.
    static QString productNotice();

signals:
    void stateChanged(PlayerState state);
    void buttonsChanged();
    // currentIndex or nowPlayingRow changed.
    void currentChanged();
    void titleChanged(const QString& title);
    // The media component's status text, to be shown as it is.
    void mediaStatusShown(const QString& status);
    void announced(Announcement what);
    // Play, Pause, Stop and the steps write the time into the playlist
    // window's status line.
    void transportNotice();
    // Any play-state notice of the media component (the playlist window
    // scrolls to the playing song).
    void mediaStateNoticed();

private:
    void setState(PlayerState state);
    void setCurrentIndex(int index);
    void setNowPlayingRow(int row);
    void setTitle(const QString& title);
    void setButtons(const TransportButtons& buttons);
    void setStepButtons(bool enabled);
    void showLook(const TransportLook& look);
    void showPlayingLook();
    void showStatus();
    // The first steps of Next and Previous; false with an empty playlist.
    bool beginStep();
    // Starts the cursor's entry as Next and Previous do.
    void startCursorEntry();
    void markStartedSong();

    PlaylistModel& m_playlist;
    MediaComponent& m_media;
    PlayerState m_state = PlayerState::PlayingOrIdle;
    TransportButtons m_buttons;
    qint16 m_currentIndex = 0;
    qint16 m_nowPlayingRow = 0;
    QString m_title;
    bool m_linkActive = false;
    bool m_runLookPending = false;
};

}  // namespace qpt
