#include "player/mpris/playback_status.h"

namespace qpt::mpris {

namespace {

struct StatusRow {
    PlayerState state;
    const char* status;
};

// The batch loader adds songs while one plays on.
const StatusRow kStatuses[] = {
    {PlayerState::PlayingOrIdle, "Playing"},
    {PlayerState::Loading, "Playing"},
    {PlayerState::Paused, "Paused"},
    {PlayerState::Stopped, "Stopped"},
};

const char* const kNothingStarted = "Stopped";

}  // namespace

QString playbackStatus(PlayerState state, bool songPlays)
{
    if (!songPlays)
        return QLatin1String(kNothingStarted);
    for (const StatusRow& row : kStatuses) {
        if (row.state == state)
            return QLatin1String(row.status);
    }
    return QLatin1String(kNothingStarted);
}

}  // namespace qpt::mpris
