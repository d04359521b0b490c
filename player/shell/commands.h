#pragma once
// What the user can ask of the player, by key, by click, from the pop-up
// menu, from the playlist's own keys, and from the desktop's media
// controls: one table from command to what carries it out and on which
// timer, and one table from keys to commands. Every way in goes through
// here.
//
// A key's command does not act inside the key event: it is posted to a
// queue and carried out a moment later by the timer of its group, in the
// order posted, so that no key press is lost (the close and the volume
// keys act at once). A click or a menu entry runs its command at once.

#include "common/poll_timer.h"

#include <QKeyCombination>
#include <QList>
#include <QObject>

#include <optional>

class QKeyEvent;

namespace qpt {

enum class Command {
    Close,             // Alt+F4: autosave first when the option says so
    VolumeUp,
    VolumeDown,
    NextSong,
    PreviousSong,
    SortPlaylist,
    OpenOptions,       // start the Option program
    PlayPause,
    TogglePlaylist,    // open or close the playlist window
    OpenOnlineSystem,  // start the Online System
    MinimizeToTray,
    AutosaveAndQuit,
    // The transport buttons (and the desktop's remote controls).
    Play,
    Pause,
    Stop,
    // The playlist button: the window opens or closes, the focus stays.
    PlaylistButton,
    // The playlist's own keys and its double-click.
    PlaySelectedRow,
    RemoveSelectedRow,
    SortNow,
    // The pop-up menu (Option and Online System are the keys' commands).
    OpenMusic,
    SavePlaylist,
    ForgetResume,  // any other button on "Save PlayList"
    // The main window's double-clicks: on the time display, and on a label
    // or its surface.
    CloseFromTimeDisplay,
    MinimizeFromSurface,
    Count  // not a command: the number of them
};

// Which timer carries a command out. The groups are the player's three
// command timers: the main window's, the playlist window's and the pop-up
// menu's (which starts the companion programs).
enum class CommandTimer { AtOnce, Main, Playlist, Companions };

// What the commands act on.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual void closePlayer() = 0;
    virtual void volumeUp() = 0;
    virtual void volumeDown() = 0;
    virtual void nextSong() = 0;
    virtual void previousSong() = 0;
    virtual void sortPlaylist() = 0;
    virtual void openOptions() = 0;
    virtual void playPause() = 0;
    virtual void togglePlaylist() = 0;
    virtual void openOnlineSystem() = 0;
    virtual void minimizeToTray() = 0;
    virtual void autosaveAndQuit() = 0;
    // What a click on the Play, Pause or Stop button does; nothing while
    // that button is disabled.
    virtual void pressPlay() = 0;
    virtual void pressPause() = 0;
    virtual void pressStop() = 0;
    virtual void pressPlaylistButton() = 0;
    virtual void playSelectedRow() = 0;
    virtual void removeSelectedRow() = 0;
    virtual void sortNow() = 0;
    virtual void openMusic() = 0;
    virtual void savePlaylistFromMenu() = 0;
    virtual void forgetResume() = 0;
    virtual void closeFromTimeDisplay() = 0;
    virtual void minimizeFromSurface() = 0;
    // Playlist timer: scrolls to the playing song; a waiting drop goes
    // first (its tick leaves the playlist's commands for the next one).
    virtual void scrollToPlayingSong() = 0;
    virtual bool processWaitingDrop() = 0;
    // Main timer, when no command was waiting.
    virtual void resumeAfterReload() = 0;
    virtual void stopForSaving() = 0;
};

// The command a key press stands for: Alt with the key alone.
std::optional<Command> commandForKey(QKeyCombination keys);
std::optional<Command> commandForKey(const QKeyEvent* event);
// The playlist's own keys, whatever the modifiers: Enter, Delete, S.
std::optional<Command> commandForListKey(int key);
CommandTimer timerOf(Command command);

class CommandDispatcher : public QObject {
    Q_OBJECT
public:
    explicit CommandDispatcher(CommandTarget& target, QObject* parent = nullptr);

    PollTimer mainTimer;
    PollTimer playlistTimer;
    PollTimer companionTimer;

    // A key's way: carries the command out at once or queues it for its
    // timer (armed with 1 ms).
    void post(Command command);
    // A click's way: carries the command out now.
    void run(Command command);
    // Commands waiting for their timer, in order.
    QList<Command> queued() const { return m_queue; }

    // Requests the main timer carries out when no command waits: the next
    // song once a sorted playlist is loaded again, and the stop of a save.
    bool resumeAfterReload = false;
    bool resumeDue = false;  // the sorted list is loaded: the resume may come
    bool stopRequested = false;

    void mainTick();
    void playlistTick();
    void companionTick();

private:
    // Runs the queued commands of one group, oldest first; false when
    // there were none.
    bool runQueued(CommandTimer group);
    PollTimer& timerFor(CommandTimer group);

    CommandTarget& m_target;
    QList<Command> m_queue;
};

}  // namespace qpt
