#pragma once
// What the user can ask of the player, by key, by click, from the pop-up
// menu, from the playlist's own keys, and from the desktop's media
// controls: one table from command to what carries it out and on which
// timer, and one table from keys to commands. Every way in goes through
// here.
//
// A request is a command and its argument (a position, a volume, a row,
// a list of paths, nothing). A key's command does not act inside the key
// event: it is posted to a queue and carried out a moment later by the
// timer of its group, in the order posted, so that no key press is lost
// (the close and the volume keys act at once). A click, a drag, a drop, a
// menu entry or a media control runs its request at once.

#include "common/native_path.h"
#include "common/poll_timer.h"
#include "player/shell/main_timer_jobs.h"

#include <QKeyCombination>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>
#include <variant>

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
    AddAudioCd,    // shown while an audio CD is in a drive: its tracks to the list
    ForgetResume,  // any other button on "Save PlayList"
    // The main window's double-clicks: on the time display, and on a label
    // or its surface.
    CloseFromTimeDisplay,
    MinimizeFromSurface,
    // The knobs and the media controls.
    SeekTo,          // seconds into the song
    SeekBy,          // seconds from where it is (before the start: the start; past the end: the next song)
    SetVolume,       // 0..100 (the knob's top stands a little over 100)
    // The main window's labels.
    NowPlayingClicked,
    ToggleTimeMode,
    OpenPopupMenu,
    // The menu key or Shift+F10: the pop-up menu at the window that has the
    // keyboard, its first entry focused.
    OpenPopupMenuByKey,
    // Back from the tray: the tray icon, the media controls' Raise.
    RestoreFromTray,
    // The playlist's title strip double-clicked: docked under the main window again.
    DockPlaylist,
    // Songs coming in: dropped on a window, or handed over by the media
    // controls (a file and the answer it waits for).
    DropOnMainWindow,
    DropOnPlaylist,
    HandOverFile,
    Count  // not a command: the number of them
};

// A file handed over by the media controls, and who hears whether it was
// queued.
struct HandOver {
    NativePath path;
    std::function<void(bool written)> done;
};

// What a command carries. A request whose argument is not of its command's
// kind does nothing.
using CommandArgument = std::variant<std::monostate, double, bool, QList<NativePath>, HandOver>;

struct CommandRequest {
    CommandRequest(Command command, CommandArgument argument = {}) : command(command), argument(std::move(argument)) {}
    Command command;
    CommandArgument argument;
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
    virtual void addAudioCd() = 0;
    // Save PlayList with the left button; any other button forgets a resume.
    virtual void savePlaylist(bool leftButton) = 0;
    virtual void forgetResume() = 0;
    virtual void closeFromTimeDisplay() = 0;
    virtual void minimizeFromSurface() = 0;
    virtual void seekTo(double seconds) = 0;
    virtual void seekBy(double seconds) = 0;
    virtual void setVolume(double volume) = 0;
    virtual void nowPlayingClicked() = 0;
    virtual void toggleTimeMode() = 0;
    virtual void openPopupMenu() = 0;
    virtual void openPopupMenuByKey() = 0;
    virtual void restoreFromTray() = 0;
    virtual void dockPlaylist() = 0;
    virtual void dropOnMainWindow(const QList<NativePath>& paths) = 0;
    virtual void dropOnPlaylist(const QList<NativePath>& paths) = 0;
    virtual void handOver(const HandOver& file) = 0;
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
// The same with the argument the key gives (the seek keys' seconds).
std::optional<CommandRequest> requestForKey(QKeyCombination keys);
std::optional<CommandRequest> requestForKey(const QKeyEvent* event);
// The keys that open the pop-up menu wherever the focus is: the menu key
// and Shift+F10.
bool opensPopupMenu(QKeyCombination keys);
// The modifiers that count in a key combination (a key of the keypad is
// the same key).
QKeyCombination keysOf(const QKeyEvent* event);

// Seconds the seek keys (Alt+Comma back, Alt+Period forward) jump.
inline constexpr double kSeekKeySeconds = 5;
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

    // A key's way: carries the request out at once or queues it for its
    // timer (armed with 1 ms).
    void post(const CommandRequest& request);
    // A click's way: carries the request out now.
    void run(const CommandRequest& request);
    // Commands waiting for their timer, in order.
    QList<Command> queued() const;

    // What the main timer carries out when no command waits: the next song
    // once a sorted playlist is loaded again, and the stop of a save.
    void resumeWhenReloaded() { m_jobs.resumeWhenReloaded(); }
    void reloaded();
    void forgetResume() { m_jobs.forgetResume(); }
    bool sortUnderWay() const { return m_jobs.sortUnderWay(); }
    void requestStop();

    void mainTick();
    void playlistTick();
    void companionTick();

signals:
    // A request of the table was carried out (watched by tests and by
    // whoever wants to know what the user asked).
    void ran(qpt::Command command);

private:
    // Runs the queued commands of one group, oldest first; false when
    // there were none.
    bool runQueued(CommandTimer group);
    PollTimer& timerFor(CommandTimer group);

    CommandTarget& m_target;
    QList<CommandRequest> m_queue;
    MainTimerJobs m_jobs;
};

}  // namespace qpt

Q_DECLARE_METATYPE(qpt::Command)
