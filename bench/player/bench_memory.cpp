// qpt-bench-memory: the resident size of the player holding a full playlist.
//
//   qpt-bench-memory [--songs N] [--data DIR] [--settle SECONDS]
//
// Builds the whole player (PlayerApp with the GStreamer media component,
// start sequence, playlist window shown; offscreen unless another platform
// is chosen), lets the batch loader load one batch file of N songs (default
// 30000, the playlist's cap) with distinct paths in a music-library layout
// (hard links to the test audio), then runs the event loop for a few
// seconds with all timers running (the song supervision starts the first
// song, which plays into the sink of QPT_AUDIO_SINK, "fakesink sync=true"
// unless set) and reads VmRSS and VmHWM from /proc/self/status.

#include "bench/player/bench_player.h"

#include "player/core/media/gst_media_component.h"
#include "player/shell/player_app.h"

#include <QTimer>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

using namespace qpt;
using namespace qpt::bench;

int main(int argc, char** argv)
{
    int count = 30000;
    double settle = 3.0;
    QString data = QStringLiteral(QPT_BENCH_TEST_DATA);
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--songs" && i + 1 < argc) {
            count = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--data" && i + 1 < argc) {
            data = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--settle" && i + 1 < argc) {
            settle = std::atof(argv[++i]);
        } else {
            std::fputs("usage: qpt-bench-memory [--songs N] [--data DIR] [--settle SECONDS]\n", stderr);
            return 2;
        }
    }
    BenchApplication bench(argc, argv);
    if (!bench.isValid())
        return 1;
    const BenchWorld& world = bench.world();
    QStringList songs = world.prepareSongs(data, count, CopyKind::HardLink);
    if (songs.isEmpty())
        return 1;
    if (!world.writeBatchFile(QStringLiteral("bench.sng"), songs)) {
        std::fputs("cannot write the batch file\n", stderr);
        return 1;
    }
    // The player holds its own copy of every path: give the list's memory
    // back, so that it does not count as the player's.
    songs = QStringList();
    ::malloc_trim(0);
    const std::int64_t before = statusKb("VmRSS");

    const std::unique_ptr<PlayerApp> player = startPlayer(std::make_unique<GstMediaComponent>());
    if (!player)
        return 1;
    const std::int64_t started = statusKb("VmRSS");

    const int loaded = loadUntilMeasured(*player);
    if (loaded != count) {
        std::fprintf(stderr, "loaded %d of %d songs\n", loaded, count);
        return 1;
    }
    // Not quit(): that closes the windows first, and the playlist window
    // refuses to close.
    QTimer::singleShot(int(settle * 1000), &bench.application(), [] { QCoreApplication::exit(0); });
    bench.application().exec();

    std::printf("# %d songs, %s after %.1f s of running; before the player: %lld kB, started: %lld kB\n", loaded,
                qPrintable(player->media().url().isEmpty() ? QStringLiteral("nothing playing") : QStringLiteral("playing")),
                settle, static_cast<long long>(before), static_cast<long long>(started));
    figure("memory.songs", std::int64_t(loaded));
    figure("memory.vmrss_kb", statusKb("VmRSS"));
    figure("memory.vmhwm_kb", statusKb("VmHWM"));
    return 0;
}
