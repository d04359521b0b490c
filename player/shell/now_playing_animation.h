#pragma once
// The one-shot now-playing animation: a few frames spelled letter by letter
// in the now-playing line, then the title (or the web-site notice while
// stopped). Armed with a delay when the core announces a song, a pause, a
// stop or the loading of the saved playlist. The frames follow each other
// on a timer of their own, so that the windows (and the song lengths
// arriving from the worker threads) are not held up for the second the
// frames take; an animation that is started again begins anew.

#include "common/poll_timer.h"
#include "player/core/player_state.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <span>

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

    // A frame is shown, or the last one's time is not over yet.
    bool isAnimating() const { return !m_frames.empty(); }
    // How long the frame shown stays.
    int frameWaitMs() const { return m_frameTimer.interval(); }
    // Shows the next frame now, or ends the animation after the last one.
    void nextFrame();

    struct Frame {
        const char* text;
        int waitMs;
    };

private:
    void start(std::span<const Frame> frames, std::function<void()> finish);

    LabelModel& m_line;
    PlaybackEngine& m_engine;
    QTimer m_frameTimer;
    std::span<const Frame> m_frames;
    std::size_t m_next = 0;
    std::function<void()> m_finish;
};

}  // namespace qpt
