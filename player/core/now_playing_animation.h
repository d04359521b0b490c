#pragma once
// The one-shot now-playing animation: a few frames spelled letter by letter
// in the now-playing line, then the title (or the web-site notice while
// stopped). It runs inside one tick and blocks with sleeps between frames.

namespace qpt {

struct PlayerContext;

class NowPlayingAnimation {
public:
    explicit NowPlayingAnimation(PlayerContext& context);
    void timNowPlaying_Timer();

private:
    PlayerContext& c;
};

}  // namespace qpt
