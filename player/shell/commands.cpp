#include "player/shell/commands.h"

#include <QKeyEvent>

#include <iterator>

namespace qpt {

namespace {

struct CommandRow {
    Command command;
    CommandTimer timer;
    void (CommandTarget::*run)();
};

const CommandRow kCommands[] = {
    {Command::Close, CommandTimer::AtOnce, &CommandTarget::closePlayer},
    {Command::VolumeUp, CommandTimer::AtOnce, &CommandTarget::volumeUp},
    {Command::VolumeDown, CommandTimer::AtOnce, &CommandTarget::volumeDown},
    {Command::NextSong, CommandTimer::Main, &CommandTarget::nextSong},
    {Command::PreviousSong, CommandTimer::Main, &CommandTarget::previousSong},
    {Command::SortPlaylist, CommandTimer::Playlist, &CommandTarget::sortPlaylist},
    {Command::OpenOptions, CommandTimer::Companions, &CommandTarget::openOptions},
    {Command::PlayPause, CommandTimer::Main, &CommandTarget::playPause},
    {Command::TogglePlaylist, CommandTimer::Main, &CommandTarget::togglePlaylist},
    {Command::OpenOnlineSystem, CommandTimer::Companions, &CommandTarget::openOnlineSystem},
    {Command::MinimizeToTray, CommandTimer::Main, &CommandTarget::minimizeToTray},
    {Command::AutosaveAndQuit, CommandTimer::Main, &CommandTarget::autosaveAndQuit},
    {Command::Play, CommandTimer::Main, &CommandTarget::pressPlay},
    {Command::Pause, CommandTimer::Main, &CommandTarget::pressPause},
    {Command::Stop, CommandTimer::Main, &CommandTarget::pressStop},
    {Command::PlaylistButton, CommandTimer::AtOnce, &CommandTarget::pressPlaylistButton},
    {Command::PlaySelectedRow, CommandTimer::AtOnce, &CommandTarget::playSelectedRow},
    {Command::RemoveSelectedRow, CommandTimer::AtOnce, &CommandTarget::removeSelectedRow},
    {Command::SortNow, CommandTimer::AtOnce, &CommandTarget::sortNow},
    {Command::OpenMusic, CommandTimer::AtOnce, &CommandTarget::openMusic},
    {Command::SavePlaylist, CommandTimer::AtOnce, &CommandTarget::savePlaylistFromMenu},
    {Command::ForgetResume, CommandTimer::AtOnce, &CommandTarget::forgetResume},
    {Command::CloseFromTimeDisplay, CommandTimer::AtOnce, &CommandTarget::closeFromTimeDisplay},
    {Command::MinimizeFromSurface, CommandTimer::AtOnce, &CommandTarget::minimizeFromSurface},
};
// One row for every command, in the order of the enum.
static_assert(std::size(kCommands) == std::size_t(Command::Count));

struct KeyBinding {
    QKeyCombination keys;
    Command command;
};

// Tested in this order; every shortcut wants Alt alone.
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

std::optional<Command> commandForKey(QKeyCombination keys)
{
    for (const KeyBinding& binding : kKeyBindings) {
        if (binding.keys == keys)
            return binding.command;
    }
    return std::nullopt;
}

std::optional<Command> commandForKey(const QKeyEvent* event)
{
    // Only these modifiers count (a key of the keypad is the same key).
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return commandForKey(QKeyCombination(modifiers, Qt::Key(event->key())));
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

void CommandDispatcher::run(Command command)
{
    if (const CommandRow* row = rowOf(command))
        (m_target.*row->run)();
    else
        qWarning("no such command: %d", int(command));
}

void CommandDispatcher::post(Command command)
{
    const CommandTimer group = timerOf(command);
    if (group == CommandTimer::AtOnce) {
        run(command);
        return;
    }
    m_queue << command;
    timerFor(group).setInterval(1);
}

bool CommandDispatcher::runQueued(CommandTimer group)
{
    bool ran = false;
    // A command may post more (or end the program): take them one by one.
    for (;;) {
        const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                     [group](Command c) { return timerOf(c) == group; });
        if (it == m_queue.end())
            return ran;
        const Command command = *it;
        m_queue.erase(it);
        run(command);
        ran = true;
    }
}

void CommandDispatcher::mainTick()
{
    mainTimer.setInterval(0);
    if (runQueued(CommandTimer::Main)) {
        // A resume or a stop that was due waits for the next tick, not for
        // some later command.
        if (resumeAfterReload && resumeDue)
            mainTimer.setInterval(500);
        else if (stopRequested)
            mainTimer.setInterval(10);
        return;
    }
    if (resumeAfterReload && resumeDue) {
        m_target.resumeAfterReload();
        resumeAfterReload = false;
        resumeDue = false;
    } else if (stopRequested) {
        m_target.stopForSaving();
        stopRequested = false;
    }
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
