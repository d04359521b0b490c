#pragma once
// The composition root of the player: it makes the media component's
// users (the window-free core, the playlist's ways in), what the windows
// show, the command table and its target, the windows, and the way the
// player ends, and wires their signals together. Behaviour lives in those
// parts; what is left here is the wiring and the boxes that tell the user
// what went wrong.

#include "common/serial_worker.h"
#include "player/core/cd/audio_cd_watch.h"
#include "player/core/player_core.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/drop_intake.h"
#include "player/playlist/playlist_file_jobs.h"
#include "player/shell/commands.h"
#include "player/shell/exit_policy.h"
#include "player/shell/main_display.h"
#include "player/shell/now_playing_animation.h"
#include "player/shell/player_actions.h"
#include "player/shell/player_windows.h"
#include "player/shell/playlist_status_line.h"
#include "player/shell/seek_volume.h"
#include "player/shell/window_chrome.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace qpt {

class PlayerApp : public QObject {
    Q_OBJECT
    // Declared first: everything below is built on it.
    std::unique_ptr<MediaComponent> m_media;

public:
    explicit PlayerApp(std::unique_ptr<MediaComponent> media);
    ~PlayerApp() override;

    // The start sequence. False when the process is to end now.
    bool start();

    MediaComponent& media() { return *m_media; }
    PlayerCore& core() { return m_core; }
    BatchLoader& loader() { return m_loader; }
    AudioCdWatch& audioCd() { return m_audioCd; }
    DropIntake& drops() { return m_drops; }
    MainDisplay& display() { return m_display; }
    NowPlayingAnimation& animation() { return m_animation; }
    SeekAndVolumeBars& bars() { return m_bars; }
    CommandDispatcher& commands() { return m_commands; }
    PlayerActions& actions() { return m_actions; }
    PlaylistStatusLine& statusLine() { return m_statusLine; }
    WindowChrome& chrome() { return m_chrome; }
    PlayerWindows& windows() { return m_windows; }
    ExitPolicy& exit() { return m_exit; }
    // The playlist-files worker's jobs are done (tests).
    bool playlistFilesIdle() const { return m_playlistFiles.isIdle(); }

signals:
    // The main window is about to go (the player is ending).
    void quitting();

private:
    void showError(PlayerError error, const QString& detail);
    void updateUrgentLengths();
    void tellSongDidNotAnswer(const QByteArray& address);

    PlayerCore m_core;
    // The batch files and the user's playlist files are read and written
    // here, never on the window thread.
    SerialWorker m_playlistFiles{"playlist files"};
    BatchLoader m_loader;
    PlaylistFileJobs m_files;
    DropIntake m_drops;
    AudioCdWatch m_audioCd;  // for the pop-up menu's Audio CD entry
    MainDisplay m_display;
    NowPlayingAnimation m_animation;
    SeekAndVolumeBars m_bars;
    PlaylistStatusLine m_statusLine;
    // The table and its target name each other; neither calls the other
    // before both are made.
    PlayerActions m_actions;
    CommandDispatcher m_commands;
    WindowChrome m_chrome;
    PlayerWindows m_windows;
    ExitPolicy m_exit;

    bool m_noAnswerShown = false;
    bool m_noAudioCdShown = false;  // the "No Audio CD" box is open
    QTimer m_urgentLengths;
};

}  // namespace qpt
