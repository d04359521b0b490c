#pragma once
// The transport operations (Play, Pause, Stop, Next, Previous, playing a
// chosen row) and the reaction to the media component's play-state notices:
// the state machine of playback. It changes state and tells its listeners;
// what the windows show of it is theirs.
//
// The song it starts is the playlist's current entry (PlaylistModel), the
// cursor: Next starts the entry after it (after the last the first),
// Previous the one before it (on the first, the first again). What is heard
// is another fact, NowPlaying, taken from the media component's word at
// each state change and stream start and announced once per change: the
// title line, the bold row, the song number and the media controls read
// it, so a row removed or added meanwhile never renames what plays.

#include "common/native_path.h"
#include "player/core/media/media_component.h"
#include "player/core/now_playing.h"
#include "player/core/player_state.h"

#include <QObject>

#include <optional>
#include <utility>

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
    // Stops and shows the stopped state; the current song stays current.
    void stop();
    // Starts the entry after the current one, after the last the first.
    void next();
    // Starts the entry before the current one; on the first it restarts it.
    void previous();
    // Plays a row the user chose (1-based). Nothing happens for none.
    void playRow(int row);
    // Play when playable, pause while playing (the Play button disabled).
    void playOrPause();
    // After a sort the list starts again from its first entry.
    void restartNumbering();

    // The media component's play-state notice.
    void onMediaStateChanged(int code);
    // The song handed to the media component ahead of time (nextEntry) is
    // heard now: everything a song change does happens at this moment.
    void onMediaAdvanced(quint64 entry);
    // The entry the media component goes on with when the current song
    // ends; empty while nothing plays on.
    MediaComponent::Request nextEntry() const;
    // A song is being handed to the media component: the list's changes
    // meanwhile are part of the start, not a change of the next song.
    bool startingSong() const { return m_opening; }
    // Rows changed: the song heard may have learnt its length.
    void onLengthsArrived();

    // The batch loader's work, between a pause or stop it leaves alone.
    void beginLoading();
    void endLoading();

    // Shows the playing look that choosing a row asked for (the status
    // tick carries it out).
    void applyRunLook();

    // Steps of the supervision: start the entry after the current one in
    // place of a song that cannot be played (after the last the first), and
    // start the current song again.
    void skipSong();
    void restartSong();

    PlayerState state() const { return m_state; }
    const TransportButtons& buttons() const { return m_buttons; }
    // The number the main window shows for the playing song: the row of
    // the song heard, else the current entry's row; 0 for none.
    int songNumber() const;
    // The row of the song heard; 0 when it has none (or nothing is heard).
    int nowPlayingRow() const;
    const NowPlaying& nowPlaying() const { return m_nowPlaying; }
    const QString& nowPlayingTitle() const { return m_title; }
    // While stopped, the now-playing line is the link to the web site.
    bool linkActive() const { return m_linkActive; }
    bool runLookPending() const { return m_runLookPending; }
    // A song has been started and has not reached the playing state yet.
    bool songStarting() const { return m_songStarting; }

    // The one-line product notice the now-playing line keeps while stopped.
    static QString productNotice();

signals:
    void stateChanged(PlayerState state);
    void buttonsChanged();
    // A song was started (also the same entry again): what is heard changes.
    void songStarted();
    void titleChanged(const QString& title);
    // What is heard changed (empty: nothing is).
    void nowPlayingChanged(const qpt::NowPlaying& now);
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
    void setTitle(const QString& title);
    void setButtons(const TransportButtons& buttons);
    void setStepButtons(bool enabled);
    void showLook(const TransportLook& look);
    void showPlayingLook();
    void showStatus();
    // Makes the row current and shown, and hands its path to the media
    // together with the song that follows it.
    void startRow(int row);
    // The media component plays this entry now (its address if the entry
    // has gone): the cursor follows it and NowPlaying names it.
    void hear(quint64 entry);
    NowPlaying describe(quint64 entry, const NativePath& address) const;
    void setNowPlaying(const NowPlaying& now);
    // The song that follows the row when it ends; empty after Stop.
    MediaComponent::Request nextAfter(int row) const;
    // Next and Previous: the step to the row, as the buttons carry it out.
    void step(int row);
    // The row after the current one, after the last the first.
    int rowAfterCurrent() const;

    PlaylistModel& m_playlist;
    MediaComponent& m_media;
    PlayerState m_state = PlayerState::PlayingOrIdle;
    TransportButtons m_buttons;
    QString m_title;
    NowPlaying m_requested;   // the song last handed to the media component
    NowPlaying m_nowPlaying;  // the song heard
    bool m_opening = false;
    bool m_linkActive = false;
    bool m_runLookPending = false;
    bool m_songStarting = false;
};

}  // namespace qpt
