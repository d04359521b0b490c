#include "player/shell/now_playing_animation.h"

#include "common/product.h"
#include "player/core/playback_engine.h"
#include "player/shell/main_display.h"

#include <utility>

namespace qpt {

namespace {

using Frame = NowPlayingAnimation::Frame;

const Frame kPausedFrames[] = {{"P       .", 90}, {"PAU   ...", 90}, {"PAUSED...", 600}};
const Frame kStoppedFrames[] = {{"S        .", 90}, {"STO    ...", 90}, {"STOPPED...", 600}};
const Frame kPlayingFrames[] = {{"N            .", 90}, {"NOW        ...", 90}, {"NOW P    NG...", 90},
                                {"NOW PLAYING...", 600}};

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
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &NowPlayingAnimation::nextFrame);
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
    const auto showTitle = [this, restoreBox] {
        restoreBox();
        m_line.setText(m_engine.nowPlayingTitle());
        m_line.setToolTip(m_engine.nowPlayingTitle());
    };
    switch (m_engine.state()) {
    case PlayerState::Paused:
        start(kPausedFrames, showTitle);
        break;
    case PlayerState::Stopped:
        start(kStoppedFrames, [this, restoreBox] {
            m_line.setText(QStringLiteral("Visit: ") + Product::website());
            restoreBox();
            m_line.setToolTip(QStringLiteral("Click to Enter Quorbel Player Tirk Official HomePage"));
        });
        break;
    case PlayerState::PlayingOrIdle:
    case PlayerState::Loading:
        start(kPlayingFrames, showTitle);
        break;
    }
    timer.setInterval(0);
}

void NowPlayingAnimation::start(std::span<const Frame> frames, std::function<void()> finish)
{
    m_frames = frames;
    m_next = 0;
    m_finish = std::move(finish);
    nextFrame();
}

void NowPlayingAnimation::nextFrame()
{
    if (m_next < m_frames.size()) {
        const Frame& frame = m_frames[m_next++];
        m_line.setText(QLatin1String(frame.text));
        m_frameTimer.start(frame.waitMs);
        return;
    }
    m_frameTimer.stop();
    m_frames = {};
    if (const std::function<void()> finish = std::exchange(m_finish, {}))
        finish();
}

}  // namespace qpt
