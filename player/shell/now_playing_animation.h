#pragma once
// The one-shot now-playing animation: a few frames spelled letter by letter
// in the now-playing line, then the title (or the web-site notice while
// stopped). Armed with a delay when the core announces a song, a pause, a
// stop or the loading of the saved playlist; it runs inside one tick and
// blocks between its frames, as it always has.

#include "common/event_loop.h"
#include "player/core/player_state.h"

#include <QObject>

namespace qpt {

class LabelModel;
class PlaybackEngine;

class NowPlayingAnimation : public QObject {
    Q_OBJECT
public:
    NowPlayingAnimation(LabelModel& line, PlaybackEngine& engine, QObject* parent = nullptr);

    PollTimer timer;
    // Runs the animation after the delay of what was announced.
    void arm(Announcement what);
    void tick();

    static int delayOf(Announcement what);

private:
    LabelModel& m_line;
    PlaybackEngine& m_engine;
};

}  // namespace qpt
