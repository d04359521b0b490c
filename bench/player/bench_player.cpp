#include "bench/player/bench_player.h"

#include "common/app_start.h"
#include "player/core/media/media_component.h"
#include "player/shell/player_app.h"
#include "player/shell/playlist_window.h"

#include <cstdio>

namespace qpt::bench {

BenchApplication::BenchApplication(int& argc, char** argv) : m_application(argc, argv)
{
    prepareApplication();
}

bool BenchApplication::isValid() const
{
    if (!m_world.isValid())
        std::fputs("cannot create a temporary folder\n", stderr);
    return m_world.isValid();
}

std::unique_ptr<PlayerApp> startPlayer(std::unique_ptr<MediaComponent> media, bool hidden)
{
    auto app = std::make_unique<PlayerApp>(std::move(media));
    app->exit().onTerminate = [] {};
    if (!app->start()) {
        std::fputs("the player did not start (first-run question?)\n", stderr);
        return nullptr;
    }
    if (!hidden)
        app->windows().playlistWindow().show();
    QCoreApplication::processEvents();
    return app;
}

int loadUntilMeasured(PlayerApp& app)
{
    app.loader().tick();
    while (app.loader().isLoading() || app.core().lengths.pending() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return app.core().playlist.count();
}

}  // namespace qpt::bench
