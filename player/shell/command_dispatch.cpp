#include "player/shell/command_dispatch.h"

#include "player/core/player_core.h"

namespace qpt {

namespace {

// A row of the command table: when it matches, and what it does.
struct CommandRow {
    bool (*matches)(PlayerShared&);
    void (*run)(PlayerCore&);
};

bool pending(PlayerShared& s, const char* word)
{
    return s.PendingCommand == QLatin1String(word);
}

const CommandRow kSavePlayListTable[] = {
    {[](PlayerShared& s) { return pending(s, "MINI"); },
     [](PlayerCore& p) {
         p.context.s.PendingCommand.clear();
         p.context.shell.minimizeToTray();
     }},
    {[](PlayerShared& s) { return pending(s, "PLAYPAUSE"); },
     [](PlayerCore& p) {
         p.context.s.PendingCommand.clear();
         // The play button is disabled while playing.
         if (!p.context.display.imgPlay.enabled())
             p.engine.PauseSong();
         else
             p.engine.PlaySong();
         p.context.shell.focusSeekDot();
     }},
    {[](PlayerShared& s) { return pending(s, "PLSLIST"); },
     [](PlayerCore& p) {
         p.context.s.PendingCommand.clear();
         p.context.shell.togglePlaylistWindow();
         p.context.shell.focusSeekDot();
     }},
    {[](PlayerShared& s) { return pending(s, "N"); },
     [](PlayerCore& p) {
         p.context.s.PendingCommand.clear();
         p.engine.NextSong();
     }},
    {[](PlayerShared& s) { return pending(s, "P"); },
     [](PlayerCore& p) {
         p.context.s.PendingCommand.clear();
         p.engine.PreviousSong();
     }},
    {[](PlayerShared& s) { return s.ResumeAfterReload == QLatin1String("STOP"); },
     [](PlayerCore& p) {
         p.engine.NextSong();
         p.context.s.ResumeAfterReload.clear();
     }},
    {[](PlayerShared& s) { return s.StopRequest == QLatin1String("STOP"); },
     [](PlayerCore& p) {
         p.engine.StopSong();
         p.context.s.StopRequest.clear();
     }},
};

}  // namespace

CommandDispatch::CommandDispatch(PlayerCore& playerCore) : core(playerCore) {}

void CommandDispatch::timSavePlayList_Timer()
{
    PlayerContext& c = core.context;
    c.timSavePlayList.setInterval(0);
    if (c.s.PendingCommand == QLatin1String("AUTOSAVE")) {
        c.s.PendingCommand.clear();
        core.saving.autosaveAndQuit();
    }
    for (const CommandRow& row : kSavePlayListTable) {
        if (row.matches(c.s)) {
            row.run(core);
            return;
        }
    }
}

void CommandDispatch::timShortKeys_Timer()
{
    PlayerContext& c = core.context;
    c.timShortKeys.setInterval(0);
    if (c.s.PendingCommand == QLatin1String("OP")) {
        c.s.PendingCommand.clear();
        c.shell.startOptionProgram();
    }
    if (c.s.PendingCommand == QLatin1String("INTER")) {
        c.s.PendingCommand.clear();
        c.shell.startOnlineSystem();
    }
}

}  // namespace qpt
