#pragma once
// The running player: the media component, the length services, the
// window-free core and the windows, joined. It is the shell the core's
// behaviour classes call for window operations.

#include "player/core/length/song_length_service.h"
#include "player/core/player_core.h"
#include "player/core/start_sequence.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace qpt {

class MainWindow;
class PlaylistWindow;

class PlayerApp : public QObject, public Shell, public StartWindows {
    Q_OBJECT
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

    // Main window events
    void openPopupMenuAtCursor();
    void timeLabelClicked();
    void nowPlayingClicked();
    void mainWindowMoved();
    void minimizeToTrayFromSurface();
    void restoreFromTray();

private:
    std::unique_ptr<MediaComponent> m_media;
    SongLengthService m_lengths;
    std::unique_ptr<PlayerCore> m_core;
    MainWindow* m_main = nullptr;
    PlaylistWindow* m_playlist = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_unloading = false;
};

}  // namespace qpt
