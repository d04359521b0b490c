#pragma once
// The running player: the media component, the length services, the
// window-free core, the behaviour classes of the windows, and the windows
// themselves. It is the shell the core calls for window operations.

#include "player/core/length/song_length_service.h"
#include "player/core/player_core.h"
#include "player/core/seek_volume.h"
#include "player/core/start_sequence.h"
#include "player/playlist/drop_processing.h"
#include "player/playlist/playlist_editing.h"
#include "player/playlist/playlist_saving.h"
#include "player/shell/command_dispatch.h"
#include "player/shell/shortcuts.h"
#include "player/shell/window_chrome.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace qpt {
class TerminationRequests;
}

namespace qpt {

class MainWindow;
class PlaylistWindow;
class PopupMenu;
class NowSavingWindow;

class PlayerApp : public QObject, public Shell, public StartWindows, public SavingWindows {
    Q_OBJECT
    // Declared first: everything below is built on them.
    std::unique_ptr<MediaComponent> m_media;
    SongLengthService m_lengths;
    std::unique_ptr<PlayerCore> m_core;

public:
    explicit PlayerApp(std::unique_ptr<MediaComponent> media);
    ~PlayerApp() override;

    // The start sequence. False when the process is to end now.
    bool start();

    PlayerCore& core() { return *m_core; }
    PlayerContext& context() { return m_core->context; }
    MediaComponent& media() { return *m_media; }
    MainWindow& mainWindow() { return *m_main; }
    PlaylistWindow& playlistWindow();
    bool hasPlaylistWindow() const { return m_playlist != nullptr; }
    PopupMenu* popupMenu() const;
    NowSavingWindow* nowSavingWindow() const;

    DropProcessing drops;
    PlaylistEditing editing;
    SeekVolumeBars bars;
    CommandDispatch dispatch;
    Shortcuts shortcuts;
    WindowChrome chrome;

    // How the process ends; tests replace it.
    std::function<void()> onTerminate;

    // Shell
    void unloadMainWindow() override;
    void showMainWindow() override;
    void hideMainWindow() override;
    void hidePlaylistWindow() override;
    void togglePlaylistWindow() override;
    void minimizeToTray() override;
    void focusSeekDot() override;
    void startOptionProgram() override;
    void startOnlineSystem() override;
    void ensureRowVisible(int row) override;
    void terminate() override;

    // StartWindows
    void createPlaylistWindowHidden() override;
    void sizeMainWindow(double widthTwips, double heightTwips) override;
    QString mainWindowCaption() const override;

    // SavingWindows
    void showNowSaving() override;
    void unloadNowSaving() override;
    void hidePopupMenu() override;

    // Window events
    void openPopupMenuAtCursor();
    void timeLabelClicked();
    void nowPlayingClicked();
    void mainWindowMoved();
    void savePlayList(bool leftButton);
    void showTrayIcon(bool visible);

private:
    void setMainWindowsEnabled(bool enabled);
    void listenForSessionEnd();

    MainWindow* m_main = nullptr;
    PlaylistWindow* m_playlist = nullptr;
    QPointer<PopupMenu> m_popup;
    QPointer<NowSavingWindow> m_nowSaving;
    QSystemTrayIcon* m_tray = nullptr;
    TerminationRequests* m_termination = nullptr;
    bool m_unloading = false;
};

}  // namespace qpt
