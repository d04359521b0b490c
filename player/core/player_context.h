#pragma once
// Everything one running player holds: the shared variables, the media
// component, the playlist lists, what the windows show, and the timers.
// The behaviour classes work on this context; the windows render it and
// forward their events to the behaviour classes. Tests build a context with
// a fake media component and a recording shell, without any window.

#include "common/event_loop.h"
#include "player/core/main_display.h"
#include "player/core/shared_state.h"
#include "player/playlist/list_box.h"
#include "player/playlist/playlist_rows.h"

#include <memory>

namespace qpt {

class MediaComponent;
class SongLengthService;
class Shell;

// The playlist in its parallel places (entry k of one is entry k of the
// others) and the helper queues.
struct Playlist {
    ListBox lstPlayListSource;          // the play order; its selection is the playback cursor
    PlaylistRows lstPlayList;           // the visible rows, 1-based
    ListBox lstPlayListSorted{true};    // used while sorting
    ListBox lstSng2Load;                // batch files found on a loader tick
    ListBox lstDragDropDirSup;          // the drop queue
    ListBox lstDrapDropDirs;            // the folder queue
};

struct PlayerContext {
    PlayerContext(MediaComponent& media, SongLengthService& lengths, Shell& shell);
    ~PlayerContext();

    PlayerShared s;
    MediaComponent& media;
    SongLengthService& lengths;
    Shell& shell;
    Playlist playlist;
    MainDisplay display;
    TextModel staBar{QStringLiteral("Information Bar... Loading...")};

    // Timers of the main window
    PollTimer timDivStuff;            // 850 ms status
    PollTimer timProgressBarUpdate;   // 200 ms display
    PollTimer timPlaylstUpdate;       // 1500 ms batch loader
    PollTimer timNowPlaying;          // one-shot animation
    PollTimer timSavePlayList;        // posted commands
    // Timers of the playlist window
    PollTimer timStatusBar;           // 5000 ms status bar rotation
    PollTimer timPlayListFocus;       // one-shot focus, drops, sorting
    // Timer of the pop-up menu
    PollTimer timShortKeys;           // companion program shortcuts

    // Starts the periodic timers with their design intervals.
    void startDesignTimers();
};

// The window operations the behaviour classes need; implemented by the
// real windows and by a recording fake in tests.
class Shell {
public:
    virtual ~Shell() = default;
    // Unloading the main window runs the exit sequence (ends the process).
    virtual void unloadMainWindow() = 0;
    virtual void showMainWindow() = 0;
    virtual void hideMainWindow() = 0;
    virtual void hidePlaylistWindow() = 0;
    // The playlist button's click: opens or closes the playlist window.
    virtual void togglePlaylistWindow() = 0;
    // Sends the main window to the tray (the plain form, without the
    // playlist's separate-window handling).
    virtual void minimizeToTray() = 0;
    virtual void focusSeekDot() = 0;
    // Runs the pop-up menu's Option / Internet entry click (starts the
    // companion program; reports a missing one).
    virtual void startOptionProgram() = 0;
    virtual void startOnlineSystem() = 0;
    // Makes a playlist row visible (1-based).
    virtual void ensureRowVisible(int row) = 0;
    // Ends the process at once.
    virtual void terminate() = 0;
};

}  // namespace qpt
