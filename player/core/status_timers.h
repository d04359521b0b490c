#pragma once
// The two periodic display timers of the main window: the 850 ms status
// tick (song count, playing look, the Online System's close request, song
// number, song supervision) and the 200 ms display tick (time display, seek
// knob, the "Running.chk" refresh).

#include <functional>

namespace qpt {

struct PlayerContext;
class SongSupervision;

class StatusTimers {
public:
    StatusTimers(PlayerContext& context, SongSupervision& supervision);

    void timDivStuff_Timer();
    void timProgressBarUpdate_Timer();

    // The time display toggle between elapsed and remaining time.
    void toggleTimeMode();

    // What the Online System's close request ("shutdown.os") does.
    std::function<void()> onCloseRequest;

private:
    void showTimes();

    PlayerContext& c;
    SongSupervision& supervision;
};

}  // namespace qpt
