#pragma once
// What the user can ask of the player by key (and the desktop's remote
// controls by message): one table from command to what carries it out and
// on which timer, and one table from keys to commands.
//
// Most commands do not act inside the key event: they are posted to a
// queue and carried out a moment later by the timer of their group, in the
// order they were posted, so that no key press is lost. The close and the
// volume keys act at once.

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
    // The transport buttons, for the desktop's remote controls (no key).
    Play,
    Pause,
    Stop,
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
CommandTimer timerOf(Command command);

class CommandDispatcher : public QObject {
    Q_OBJECT
public:
    explicit CommandDispatcher(CommandTarget& target, QObject* parent = nullptr);

    PollTimer mainTimer;
    PollTimer playlistTimer;
    PollTimer companionTimer;

    // Carries the command out at once or queues it for its timer (armed
    // with 1 ms).
    void post(Command command);
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
    void run(Command command);
    PollTimer& timerFor(CommandTimer group);

    CommandTarget& m_target;
    QList<Command> m_queue;
};

}  // namespace qpt
