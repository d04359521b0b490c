#include "common/clock.h"
#include "player/core/now_playing_animation.h"

#include "common/product.h"
#include "player/core/player_context.h"

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

}  // namespace

NowPlayingAnimation::NowPlayingAnimation(PlayerContext& context) : c(context) {}

void NowPlayingAnimation::timNowPlaying_Timer()
{
    LabelModel& line = c.display.lblNowPlaying;
    line.setAutoSize(true);
    const auto restoreBox = [&] {
        line.setAutoSize(false);
        line.setWidth(design::NowPlayingWidth);
        line.setLeft(design::NowPlayingLeft);
    };
    if (c.s.PlayerState == QLatin1String("PAUSE")) {
        play(line, kPausedFrames);
        restoreBox();
        line.setText(c.s.NowPlayingTitle);
        line.setToolTip(c.s.NowPlayingTitle);
    } else if (c.s.PlayerState == QLatin1String("STOPPED")) {
        play(line, kStoppedFrames);
        line.setText(QStringLiteral("Visit: ") + Product::website());
        restoreBox();
        line.setToolTip(QStringLiteral("Click to Enter Quorbel Player Tirk Official HomePage"));
    } else {
        play(line, kPlayingFrames);
        restoreBox();
        line.setText(c.s.NowPlayingTitle);
        line.setToolTip(c.s.NowPlayingTitle);
    }
    c.timNowPlaying.setInterval(0);
}

}  // namespace qpt
