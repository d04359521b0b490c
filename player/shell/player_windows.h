#pragma once
// The player's windows and the tray icon: made here, kept here, shown and
// hidden on request. The playlist window, the pop-up menu and the
// now-saving window are made when first needed.

#include "common/native_path.h"
#include "player/shell/start_sequence.h"
#include "player/shell/window_chrome.h"

#include <QObject>
#include <QPointer>

class QSystemTrayIcon;

namespace qpt {

class AudioCdWatch;
class CommandDispatcher;
class MainDisplay;
class MainWindow;
class NowSavingWindow;
class PlaylistModel;
class PlaylistStatusLine;
class PlaylistWindow;
class PopupMenu;
class SeekAndVolumeBars;

class PlayerWindows : public QObject, public StartWindows, public ChromeWindows {
    Q_OBJECT
public:
    struct Parts {
        CommandDispatcher& commands;
        MainDisplay& display;
        SeekAndVolumeBars& bars;
        WindowChrome& chrome;
        PlaylistModel& playlist;
        PlaylistStatusLine& statusLine;
        // Whether the pop-up menu shows its Audio CD entry.
        AudioCdWatch& audioCd;
    };
    explicit PlayerWindows(const Parts& parts, QObject* parent = nullptr);
    ~PlayerWindows() override;

    // ChromeWindows
    MainWindow& mainWindow() override { return *m_main; }
    // Made (hidden) on first use.
    PlaylistWindow& playlistWindow() override;
    bool hasPlaylistWindow() const override { return m_playlist != nullptr; }
    void showTrayIcon(bool visible) override;
    void focusSeekKnob() override;

    // The playlist window if it was made; null before.
    PlaylistWindow* playlistWindowIfMade() const { return m_playlist; }
    PopupMenu* popupMenu() const;
    NowSavingWindow* nowSavingWindow() const;

    void openPopupMenuAtCursor();
    // The Menu key or Shift+F10: the menu opens at the focused window.
    void openPopupMenuByKey();
    void hidePopupMenu();
    // Shows the now-saving window, the main windows disabled meanwhile.
    void showNowSaving();
    void closeNowSaving();
    void setMainWindowsEnabled(bool enabled);

    // StartWindows
    void createPlaylistWindowHidden() override;
    void sizeMainWindow(double widthTwips, double heightTwips) override;
    QString mainWindowCaption() const override;
    void showMainWindow() override;

signals:
    // The playlist window's visible rows changed (its lengths come first).
    void visibleRowsChanged();

private:
    // The menu, made on first use, its Audio CD entry as the drives say.
    PopupMenu& popupMenuLookingForCd();

    Parts m_parts;
    MainWindow* m_main = nullptr;
    PlaylistWindow* m_playlist = nullptr;
    QPointer<PopupMenu> m_popup;
    QPointer<NowSavingWindow> m_nowSaving;
    QSystemTrayIcon* m_tray = nullptr;
};

}  // namespace qpt
