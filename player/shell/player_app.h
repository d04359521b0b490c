#pragma once
// The running player: the media component, the window-free core and the
// playlist's ways in, what the windows show, the commands, and the windows
// themselves. It carries out what the user asks through the windows and
// keys, and shows what went wrong.

#include "common/serial_worker.h"
#include "player/core/cd/audio_cd_watch.h"
#include "player/core/player_core.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/drop_intake.h"
#include "player/playlist/playlist_file_jobs.h"
#include "player/shell/commands.h"
#include "player/shell/exit_sequence.h"
#include "player/shell/main_display.h"
#include "player/shell/now_playing_animation.h"
#include "player/shell/playlist_status_line.h"
#include "player/shell/seek_volume.h"
#include "player/shell/start_sequence.h"
#include "player/shell/window_chrome.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace qpt {

class MainWindow;
class PlaylistWindow;
class PopupMenu;
class NowSavingWindow;
class TerminationRequests;

class PlayerApp : public QObject, public CommandTarget, public StartWindows {
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
    PlaylistStatusLine& statusLine() { return m_statusLine; }
    WindowChrome& chrome() { return m_chrome; }

    MainWindow& mainWindow() { return *m_main; }
    PlaylistWindow& playlistWindow();
    bool hasPlaylistWindow() const { return m_playlist != nullptr; }
    PopupMenu* popupMenu() const;
    NowSavingWindow* nowSavingWindow() const;

    // How the process ends; tests replace it.
    std::function<void()> onTerminate;

    // What the user does in the windows.
    void playSelectedRow() override;
    void removeSelectedRow() override;
    // S in the list sorts at once (Alt+S posts the same).
    void sortNow() override;
    void dropOnMainWindow(const QList<NativePath>& paths) override;
    void dropOnPlaylist(const QList<NativePath>& paths) override;
    void openMusic() override;
    void addAudioCd() override;
    // Paths chosen in Open Music: written as batch files by the
    // playlist-files worker.
    void queueChosen(const QList<NativePath>& paths);
    // One file handed over by the media controls, written as a batch file
    // by the playlist-file worker; `done` hears whether it was.
    void handOver(const HandOver& file) override;
    // The worker's jobs are done (tests).
    bool playlistFilesIdle() const { return m_playlistFiles.isIdle(); }
    void savePlaylist(bool leftButton) override;
    void openPopupMenuAtCursor();
    void nowPlayingClicked() override;
    void focusSeekKnob();
    void showTrayIcon(bool visible);
    void startOptionProgram();
    void startOnlineSystem();

    // The ways the player ends: the double-click on the time display, every
    // other orderly end (the Online System's request, SIGTERM, SIGHUP, the
    // desktop's remote control) and the exit itself.
    void closeFromTimeDisplay() override;
    void closeInOrder();
    void quitNow();

    // CommandTarget
    void closePlayer() override;
    void volumeUp() override;
    void volumeDown() override;
    void nextSong() override;
    void previousSong() override;
    void sortPlaylist() override;
    void openOptions() override;
    void playPause() override;
    void togglePlaylist() override;
    void openOnlineSystem() override;
    void minimizeToTray() override;
    void autosaveAndQuit() override;
    void pressPlay() override;
    void pressPause() override;
    void pressStop() override;
    void scrollToPlayingSong() override;
    bool processWaitingDrop() override;
    void resumeAfterReload() override;
    void stopForSaving() override;
    void pressPlaylistButton() override;
    void forgetResume() override;
    void minimizeFromSurface() override;
    void seekTo(double seconds) override;
    void seekBy(double seconds) override;
    void setVolume(double volume) override;
    void toggleTimeMode() override;
    void openPopupMenu() override;
    void restoreFromTray() override;
    void dockPlaylist() override;

    // StartWindows
    void createPlaylistWindowHidden() override;
    void sizeMainWindow(double widthTwips, double heightTwips) override;
    QString mainWindowCaption() const override;
    void showMainWindow() override;

signals:
    // The main window is about to go (the player is ending).
    void quitting();

private:
    void showError(PlayerError error, const QString& detail);
    void setMainWindowsEnabled(bool enabled);
    void listenForSessionEnd();
    void saveForExit();
    void updateUrgentLengths();
    void saveFromAnyThread();
    static void tellNotSavedOnStandardError(const QString& file, const QString& cause);
    void tellSongDidNotAnswer(const QByteArray& address);
    void hidePopupMenu();

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
    CommandDispatcher m_commands;
    PlaylistStatusLine m_statusLine;
    WindowChrome m_chrome;
    ExitSequence m_exit;

    MainWindow* m_main = nullptr;
    PlaylistWindow* m_playlist = nullptr;
    QPointer<PopupMenu> m_popup;
    QPointer<NowSavingWindow> m_nowSaving;
    QSystemTrayIcon* m_tray = nullptr;
    TerminationRequests* m_termination = nullptr;
    bool m_dropWaiting = false;
    bool m_noAnswerShown = false;
    bool m_noAudioCdShown = false;  // the "No Audio CD" box is open
    QTimer m_urgentLengths;
    bool m_unloading = false;
    // The end was asked for by a signal: nobody may be there to answer a
    // box, so a failed save is told on standard error.
    bool m_endBySignal = false;
};

}  // namespace qpt
