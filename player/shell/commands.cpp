#include "player/shell/commands.h"

#include <QKeyEvent>

#include <iterator>

namespace qpt {

namespace {

using Runner = void (*)(CommandTarget&, const CommandArgument&);

struct CommandRow {
    Command command;
    CommandTimer timer;
    Runner run;
};

// A command without an argument (whatever it is given).
template <void (CommandTarget::*action)()>
void plain(CommandTarget& target, const CommandArgument&)
{
    (target.*action)();
}

// A command with an argument of type T; given another kind, nothing.
template <typename T, auto action>
void with(CommandTarget& target, const CommandArgument& argument)
{
    if (const T* value = std::get_if<T>(&argument))
        (target.*action)(*value);
}

using T = CommandTarget;
using Paths = QList<NativePath>;

const CommandRow kCommands[] = {
    {Command::Close, CommandTimer::AtOnce, plain<&T::closePlayer>},
    {Command::VolumeUp, CommandTimer::AtOnce, plain<&T::volumeUp>},
    {Command::VolumeDown, CommandTimer::AtOnce, plain<&T::volumeDown>},
    {Command::NextSong, CommandTimer::Main, plain<&T::nextSong>},
    {Command::PreviousSong, CommandTimer::Main, plain<&T::previousSong>},
    {Command::SortPlaylist, CommandTimer::Playlist, plain<&T::sortPlaylist>},
    {Command::OpenOptions, CommandTimer::Companions, plain<&T::openOptions>},
    {Command::PlayPause, CommandTimer::Main, plain<&T::playPause>},
    {Command::TogglePlaylist, CommandTimer::Main, plain<&T::togglePlaylist>},
    {Command::OpenOnlineSystem, CommandTimer::Companions, plain<&T::openOnlineSystem>},
    {Command::MinimizeToTray, CommandTimer::Main, plain<&T::minimizeToTray>},
    {Command::AutosaveAndQuit, CommandTimer::Main, plain<&T::autosaveAndQuit>},
    {Command::Play, CommandTimer::Main, plain<&T::pressPlay>},
    {Command::Pause, CommandTimer::Main, plain<&T::pressPause>},
    {Command::Stop, CommandTimer::Main, plain<&T::pressStop>},
    {Command::PlaylistButton, CommandTimer::AtOnce, plain<&T::pressPlaylistButton>},
    {Command::PlaySelectedRow, CommandTimer::AtOnce, plain<&T::playSelectedRow>},
    {Command::RemoveSelectedRow, CommandTimer::AtOnce, plain<&T::removeSelectedRow>},
    {Command::SortNow, CommandTimer::AtOnce, plain<&T::sortNow>},
    {Command::OpenMusic, CommandTimer::AtOnce, plain<&T::openMusic>},
    {Command::SavePlaylist, CommandTimer::AtOnce, with<bool, &T::savePlaylist>},
    {Command::AddAudioCd, CommandTimer::AtOnce, plain<&T::addAudioCd>},
    {Command::ForgetResume, CommandTimer::AtOnce, plain<&T::forgetResume>},
    {Command::CloseFromTimeDisplay, CommandTimer::AtOnce, plain<&T::closeFromTimeDisplay>},
    {Command::MinimizeFromSurface, CommandTimer::AtOnce, plain<&T::minimizeFromSurface>},
    {Command::SeekTo, CommandTimer::AtOnce, with<double, &T::seekTo>},
    {Command::SeekBy, CommandTimer::AtOnce, with<double, &T::seekBy>},
    {Command::SetVolume, CommandTimer::AtOnce, with<double, &T::setVolume>},
    {Command::NowPlayingClicked, CommandTimer::AtOnce, plain<&T::nowPlayingClicked>},
    {Command::ToggleTimeMode, CommandTimer::AtOnce, plain<&T::toggleTimeMode>},
    {Command::OpenPopupMenu, CommandTimer::AtOnce, plain<&T::openPopupMenu>},
    {Command::OpenPopupMenuByKey, CommandTimer::AtOnce, plain<&T::openPopupMenuByKey>},
    {Command::RestoreFromTray, CommandTimer::AtOnce, plain<&T::restoreFromTray>},
    {Command::DockPlaylist, CommandTimer::AtOnce, plain<&T::dockPlaylist>},
    {Command::DropOnMainWindow, CommandTimer::AtOnce, with<Paths, &T::dropOnMainWindow>},
    {Command::DropOnPlaylist, CommandTimer::AtOnce, with<Paths, &T::dropOnPlaylist>},
    {Command::HandOverFile, CommandTimer::AtOnce, with<HandOver, &T::handOver>},
};
// One row for every command, in the order of the enum.
static_assert(std::size(kCommands) == std::size_t(Command::Count));

struct KeyBinding {
    QKeyCombination keys;
    Command command;
    CommandArgument argument = {};
};

// Tested in this order; every shortcut wants Alt alone. The last three
// take keys no other shortcut uses, so that every key above keeps its
// meaning.
const KeyBinding kKeyBindings[] = {
    {Qt::AltModifier | Qt::Key_F4, Command::Close},
    {Qt::AltModifier | Qt::Key_Up, Command::VolumeUp},
    {Qt::AltModifier | Qt::Key_Down, Command::VolumeDown},
    {Qt::AltModifier | Qt::Key_Right, Command::NextSong},
    {Qt::AltModifier | Qt::Key_Left, Command::PreviousSong},
    {Qt::AltModifier | Qt::Key_S, Command::SortPlaylist},
    {Qt::AltModifier | Qt::Key_O, Command::OpenOptions},
    {Qt::AltModifier | Qt::Key_P, Command::PlayPause},
    {Qt::AltModifier | Qt::Key_L, Command::TogglePlaylist},
    {Qt::AltModifier | Qt::Key_I, Command::OpenOnlineSystem},
    {Qt::AltModifier | Qt::Key_M, Command::MinimizeToTray},
    {Qt::AltModifier | Qt::Key_T, Command::Stop},
    {Qt::AltModifier | Qt::Key_Comma, Command::SeekBy, -kSeekKeySeconds},
    {Qt::AltModifier | Qt::Key_Period, Command::SeekBy, kSeekKeySeconds},
};

// nullptr for a value outside the table: such a command does nothing (it
// never stands in for another one).
const CommandRow* rowOf(Command command)
{
    for (const CommandRow& row : kCommands) {
        if (row.command == command)
            return &row;
    }
    return nullptr;
}

// The playlist's own keys, whatever the modifiers.
const std::pair<int, Command> kListKeys[] = {
    {Qt::Key_Return, Command::PlaySelectedRow},
    {Qt::Key_Enter, Command::PlaySelectedRow},
    {Qt::Key_Delete, Command::RemoveSelectedRow},
    {Qt::Key_S, Command::SortNow},
};

}  // namespace

std::optional<Command> commandForListKey(int key)
{
    for (const auto& [listKey, command] : kListKeys) {
        if (listKey == key)
            return command;
    }
    return std::nullopt;
}

std::optional<CommandRequest> requestForKey(QKeyCombination keys)
{
    for (const KeyBinding& binding : kKeyBindings) {
        if (binding.keys == keys)
            return CommandRequest(binding.command, binding.argument);
    }
    return std::nullopt;
}

std::optional<Command> commandForKey(QKeyCombination keys)
{
    if (const auto request = requestForKey(keys))
        return request->command;
    return std::nullopt;
}

QKeyCombination keysOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return QKeyCombination(modifiers, Qt::Key(event->key()));
}

std::optional<Command> commandForKey(const QKeyEvent* event)
{
    return commandForKey(keysOf(event));
}

std::optional<CommandRequest> requestForKey(const QKeyEvent* event)
{
    return requestForKey(keysOf(event));
}

bool opensPopupMenu(QKeyCombination keys)
{
    return keys == QKeyCombination(Qt::Key_Menu) || keys == (Qt::ShiftModifier | Qt::Key_F10);
}

CommandTimer timerOf(Command command)
{
    const CommandRow* row = rowOf(command);
    return row ? row->timer : CommandTimer::AtOnce;
}

CommandDispatcher::CommandDispatcher(CommandTarget& target, QObject* parent) : QObject(parent), m_target(target)
{
    mainTimer.setHandler([this] { mainTick(); });
    playlistTimer.setHandler([this] { playlistTick(); });
    companionTimer.setHandler([this] { companionTick(); });
}

PollTimer& CommandDispatcher::timerFor(CommandTimer group)
{
    switch (group) {
    case CommandTimer::Playlist: return playlistTimer;
    case CommandTimer::Companions: return companionTimer;
    case CommandTimer::Main:
    case CommandTimer::AtOnce: break;
    }
    return mainTimer;
}

void CommandDispatcher::run(const CommandRequest& request)
{
    if (const CommandRow* row = rowOf(request.command)) {
        row->run(m_target, request.argument);
        emit ran(request.command);
    } else
        qWarning("no such command: %d", int(request.command));
}

void CommandDispatcher::post(const CommandRequest& request)
{
    const CommandTimer group = timerOf(request.command);
    if (group == CommandTimer::AtOnce) {
        run(request);
        return;
    }
    m_queue << request;
    timerFor(group).setInterval(1);
}

QList<Command> CommandDispatcher::queued() const
{
    QList<Command> commands;
    for (const CommandRequest& request : m_queue)
        commands << request.command;
    return commands;
}

bool CommandDispatcher::runQueued(CommandTimer group)
{
    bool ran = false;
    // A command may post more (or end the program): take them one by one.
    for (;;) {
        const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                     [group](const CommandRequest& r) { return timerOf(r.command) == group; });
        if (it == m_queue.end())
            return ran;
        const CommandRequest request = *it;
        m_queue.erase(it);
        run(request);
        ran = true;
    }
}

void CommandDispatcher::mainTick()
{
    mainTimer.setInterval(0);
    if (runQueued(CommandTimer::Main)) {
        mainTimer.setInterval(m_jobs.followUpMs());
        return;
    }
    switch (m_jobs.take()) {
    case MainTimerJobs::Due::Resume:
        m_target.resumeAfterReload();
        break;
    case MainTimerJobs::Due::Stop:
        m_target.stopForSaving();
        break;
    case MainTimerJobs::Due::Nothing:
        break;
    }
}

void CommandDispatcher::reloaded()
{
    if (m_jobs.reloaded())
        mainTimer.setInterval(MainTimerJobs::kResumeMs);
}

void CommandDispatcher::requestStop()
{
    m_jobs.requestStop();
    mainTimer.setInterval(MainTimerJobs::kStopMs);
}

void CommandDispatcher::playlistTick()
{
    playlistTimer.setInterval(0);
    m_target.scrollToPlayingSong();
    if (m_target.processWaitingDrop())
        return;
    runQueued(CommandTimer::Playlist);
}

void CommandDispatcher::companionTick()
{
    companionTimer.setInterval(0);
    runQueued(CommandTimer::Companions);
}

}  // namespace qpt
