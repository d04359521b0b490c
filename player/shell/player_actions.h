#pragma once
// What each command does: the one target of the command table. Every click,
// key, drop, menu entry, tray click and media-control request ends here,
// through the table, and is carried out on the core, the playlist's files,
// the windows or the way the player ends.

#include "player/shell/commands.h"

#include <QObject>

namespace qpt {

class AudioCdWatch;
class DropIntake;
class ExitPolicy;
class MainDisplay;
class MediaComponent;
class PlayerCore;
class PlayerWindows;
class PlaylistFileJobs;
class SeekAndVolumeBars;
class WindowChrome;

class PlayerActions : public QObject, public CommandTarget {
    Q_OBJECT
public:
    struct Parts {
        PlayerCore& core;
        MediaComponent& media;
        PlaylistFileJobs& files;
        DropIntake& drops;
        AudioCdWatch& audioCd;
        MainDisplay& display;
        SeekAndVolumeBars& bars;
        CommandDispatcher& commands;
        WindowChrome& chrome;
        PlayerWindows& windows;
        ExitPolicy& exit;
    };
    explicit PlayerActions(const Parts& parts, QObject* parent = nullptr);

    // Paths chosen in Open Music: written as batch files by the
    // playlist-files worker.
    void queueChosen(const QList<NativePath>& paths);

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
    void pressPlaylistButton() override;
    void playSelectedRow() override;
    void removeSelectedRow() override;
    // S in the list sorts at once (Alt+S posts the same).
    void sortNow() override;
    void openMusic() override;
    void addAudioCd() override;
    void savePlaylist(bool leftButton) override;
    void forgetResume() override;
    void closeFromTimeDisplay() override;
    void minimizeFromSurface() override;
    void seekTo(double seconds) override;
    void seekBy(double seconds) override;
    void setVolume(double volume) override;
    void nowPlayingClicked() override;
    void toggleTimeMode() override;
    void openPopupMenu() override;
    void openPopupMenuByKey() override;
    void restoreFromTray() override;
    void dockPlaylist() override;
    void dropOnMainWindow(const QList<NativePath>& paths) override;
    void dropOnPlaylist(const QList<NativePath>& paths) override;
    // One file handed over by the media controls, written as a batch file
    // by the playlist-file worker; `done` hears whether it was.
    void handOver(const HandOver& file) override;
    void scrollToPlayingSong() override;
    bool processWaitingDrop() override;
    void resumeAfterReload() override;
    void stopForSaving() override;

private:
    Parts m_parts;
    bool m_dropWaiting = false;
};

}  // namespace qpt
