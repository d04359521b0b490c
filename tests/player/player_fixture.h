#pragma once
// The player without windows but with what its main window would show:
// the core fixture, plus the display models, the now-playing animation and
// the playlist's status line, wired as the program wires them.

#include "player/shell/main_display.h"
#include "player/shell/now_playing_animation.h"
#include "player/shell/playlist_status_line.h"
#include "tests/player/core_fixture.h"

namespace qpt::test {

struct DisplayFixture : CoreFixture {
    MainDisplay display{core};
    NowPlayingAnimation animation{display.nowPlayingLabel, engine};
    PlaylistStatusLine statusLine{engine, media};

    DisplayFixture()
    {
        // As the program wires them.
        QObject::connect(&drops, &DropIntake::progress, &display.nowPlayingLabel, &LabelModel::setText);
        QObject::connect(&drops, &DropIntake::finished, &animation,
                         [this] { animation.arm(Announcement::DropFinished); });
    }
};

}  // namespace qpt::test
