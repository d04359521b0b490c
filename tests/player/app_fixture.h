#pragma once
// The whole player with its windows on the offscreen platform, on the fake
// media component; its end is counted instead of ending the test.

#include "tests/support/fake_media_component.h"
#include "player/shell/main_window.h"
#include "player/shell/player_app.h"
#include "player/shell/playlist_window.h"
#include "tests/support/test_env.h"

#include <QFile>

namespace qpt::test {

struct AppFixture {
    FakeMediaComponent* media = new FakeMediaComponent;
    PlayerApp app{std::unique_ptr<MediaComponent>(media)};
    PlaylistModel& playlist = app.core().playlist;
    PlaybackEngine& engine = app.core().engine;
    int terminated = 0;

    AppFixture()
    {
        app.exit().onTerminate = [this] { ++terminated; };
        app.windows().createPlaylistWindowHidden();
        app.windows().mainWindow().move(100, 100);
        app.windows().mainWindow().show();
    }
    int playlistButtonFrame() { return app.display().playlistButtonFrame(); }
    void addSongs(const QStringList& paths)
    {
        for (const QString& path : paths)
            playlist.append(QFile::encodeName(path), path.section(QLatin1Char('/'), -1).chopped(4));
    }
};

}  // namespace qpt::test
