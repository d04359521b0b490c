#include "player/shell/now_playing_animation.h"

#include "common/clock.h"
#include "common/product.h"
#include "player/core/playback_engine.h"
#include "player/shell/main_display.h"

namespace qpt {

namespace {

struct Frame {
    const char* text;
    int waitMs;
};

const Frame kPausedFrames[] = {{"P       .", 90}, {"PAU   ...", 90}, {"PAUSED...", 600}};
const Frame kStoppedFrames[] = {{"S        .", 90}, {"STO    ...", 90}, {"STOPPED...", 600}};
const Frame kPlayingFrames[] = {{"N            .", 90}, {"NOW        ...", 90}, {"NOW P    NG...", 90},
                                {"NOW PLAYING...", 600}};

template <size_t N>
void play(LabelModel& label, const Frame (&frames)[N])
{
    for (const Frame& frame : frames) {
        label.setText(QLatin1String(frame.text));
        sleepMs(frame.waitMs);
    }
}

struct Delay {
    Announcement what;
    int ms;
};

const Delay kDelays[] = {
    {Announcement::Playing, 100},
    {Announcement::Paused, 200},
    {Announcement::Stopped, 200},
    {Announcement::LoadingSavedPlaylist, 4000},
    {Announcement::DropFinished, 100},
};

}  // namespace

NowPlayingAnimation::NowPlayingAnimation(LabelModel& line, PlaybackEngine& engine, QObject* parent)
    : QObject(parent), m_line(line), m_engine(engine)
{
    timer.setHandler([this] { tick(); });
    connect(&engine, &PlaybackEngine::announced, this, &NowPlayingAnimation::arm);
}

int NowPlayingAnimation::delayOf(Announcement what)
{
    for (const Delay& delay : kDelays) {
        if (delay.what == what)
            return delay.ms;
    }
    return 100;
}

void NowPlayingAnimation::arm(Announcement what)
{
    if (what == Announcement::LoadingSavedPlaylist)
        m_line.setText(QStringLiteral("Loading AutoSaved PlayList..."));
    timer.setInterval(delayOf(what));
}

void NowPlayingAnimation::tick()
{
    m_line.setAutoSize(true);
    const auto restoreBox = [this] {
        m_line.setAutoSize(false);
        m_line.setWidth(design::NowPlayingWidth);
        m_line.setLeft(design::NowPlayingLeft);
    };
    switch (m_engine.state()) {
    case PlayerState::Paused:
        play(m_line, kPausedFrames);
        restoreBox();
        m_line.setText(m_engine.nowPlayingTitle());
        m_line.setToolTip(m_engine.nowPlayingTitle());
        break;
    case PlayerState::Stopped:
        play(m_line, kStoppedFrames);
        m_line.setText(QStringLiteral("Visit: ") + Product::website());
        restoreBox();
        m_line.setToolTip(QStringLiteral("Click to Enter Quorbel Player Tirk Official HomePage"));
        break;
    case PlayerState::PlayingOrIdle:
    case PlayerState::Loading:
        play(m_line, kPlayingFrames);
        restoreBox();
        m_line.setText(m_engine.nowPlayingTitle());
        m_line.setToolTip(m_engine.nowPlayingTitle());
        break;
    }
    timer.setInterval(0);
}

}  // namespace qpt
