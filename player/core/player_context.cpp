#include "player/core/player_context.h"

namespace qpt {

PlayerContext::PlayerContext(MediaComponent& mediaComponent, SongLengthService& lengthService, Shell& windowShell)
    : media(mediaComponent), lengths(lengthService), shell(windowShell)
{
}

PlayerContext::~PlayerContext() = default;

void PlayerContext::startDesignTimers()
{
    timDivStuff.setInterval(850);
    timProgressBarUpdate.setInterval(200);
    timPlaylstUpdate.setInterval(1500);
    timStatusBar.setInterval(5000);
}

}  // namespace qpt
