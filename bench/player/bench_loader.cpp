// qpt-bench-loader: how fast the batch loader fills the playlist.
//
//   qpt-bench-loader [--songs N] [--data DIR] [--hardlinks] [--fake-media] [--hidden]
//
// Makes N distinct song files (copies of the test audio in every format the
// player plays, see songSources), writes one batch file naming them all,
// builds the whole player (PlayerApp with the GStreamer media component, the
// start sequence run, the playlist window shown on the current platform,
// offscreen unless chosen otherwise; "--hidden" leaves it hidden, to see the
// view's share) and runs one batch loader tick, timed
// until it returns and the list view has caught up: by then every row holds
// its Length. The loader yields to events after every song, so the main
// window, the list view and the player's timers all run meanwhile.
//
// In the same run, the I/O floor: open, read the first 64 KiB of and close
// the same files. All files are read once in full beforehand (untimed), so
// that both the loader and the floor find them in the page cache.
//
// Figures ("name value" lines): songs loaded, wall and CPU seconds of the
// tick and of the floor, songs per second and the ratio of the loader's time
// to the floor's (both by wall and by CPU time).

#include "bench/player/bench_player.h"

#include "player/core/length/song_length_service.h"
#include "tests/support/fake_media_component.h"
#include "player/core/media/gst_media_component.h"
#include "player/shell/playlist_window.h"
#include "player/shell/player_app.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qpt;
using namespace qpt::bench;

namespace {

struct Options {
    int songs = 10000;
    QString data = QStringLiteral(QPT_BENCH_TEST_DATA);
    CopyKind kind = CopyKind::Copy;
    bool fakeMedia = false;
    bool hidden = false;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--songs" && i + 1 < argc)
            options.songs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--data" && i + 1 < argc)
            options.data = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--hardlinks")
            options.kind = CopyKind::HardLink;
        else if (arg == "--fake-media")
            options.fakeMedia = true;
        else if (arg == "--hidden")
            options.hidden = true;
        else
            return false;
    }
    return true;
}

struct Span {
    double wall = 0;
    double cpu = 0;
};

template <typename F>
Span timed(F&& work)
{
    const double wall = wallSeconds();
    const double cpu = processCpuSeconds();
    work();
    return {wallSeconds() - wall, processCpuSeconds() - cpu};
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs("usage: qpt-bench-loader [--songs N] [--data DIR] [--hardlinks] [--fake-media] [--hidden]\n", stderr);
        return 2;
    }
    BenchApplication bench(argc, argv);
    if (!bench.isValid())
        return 1;
    const BenchWorld& world = bench.world();
    QStringList sources;
    const QStringList songs = world.prepareSongs(options.data, options.songs, options.kind, &sources);
    if (songs.isEmpty())
        return 1;
    // The Length each source must get, measured on its own.
    QHash<QString, QString> expected;
    {
        SongLengthService service;
        for (const QString& source : sources) {
            length::LengthJob job;
            job.path = QFile::encodeName(source);
            expected.insert(QFileInfo(source).fileName(), service.measure(job).length.text());
        }
    }
    std::vector<QByteArray> paths;
    paths.reserve(songs.size());
    for (const QString& song : songs)
        paths.push_back(QFile::encodeName(song));
    readFiles(paths, -1);  // warm-up: every file in the page cache

    std::unique_ptr<MediaComponent> media;
    if (options.fakeMedia)
        media = std::make_unique<FakeMediaComponent>();
    else
        media = std::make_unique<GstMediaComponent>();
    const std::unique_ptr<PlayerApp> player = startPlayer(std::move(media), options.hidden);
    if (!player)
        return 1;
    PlayerApp& app = *player;

    if (!world.writeBatchFile(QStringLiteral("bench.sng"), songs)) {
        std::fputs("cannot write the batch file\n", stderr);
        return 1;
    }
    // Until the last row has its length, not only until the rows are in.
    const Span loader = timed([&] { loadUntilMeasured(app); });

    // Every row has the Length its source measures as.
    const PlaylistModel& rows = app.core().playlist;
    if (rows.count() != songs.size() || QFile::exists(world.appDir() + QStringLiteral("/bench.sng"))) {
        std::fprintf(stderr, "loaded %d of %lld songs\n", rows.count(), static_cast<long long>(songs.size()));
        return 1;
    }
    for (int row = 1; row <= rows.count(); ++row) {
        const QString source = QFileInfo(sources[(row - 1) % sources.size()]).fileName();
        const QString length = rows.length(row).value_or(QString());
        if (length.isEmpty() || length != expected.value(source)) {
            std::fprintf(stderr, "row %d: Length \"%s\", expected \"%s\"\n", row, qPrintable(length),
                         qPrintable(expected.value(source)));
            return 1;
        }
    }
    if (!options.hidden && !app.windows().playlistWindow().list->isVisible()) {
        std::fputs("the list view was not visible\n", stderr);
        return 1;
    }

    // The floor: the best of three passes.
    Span floor{1e9, 1e9};
    for (int pass = 0; pass < 3; ++pass) {
        const Span one = timed([&] { readFiles(paths, 64 * 1024); });
        floor.wall = std::min(floor.wall, one.wall);
        floor.cpu = std::min(floor.cpu, one.cpu);
    }

    const double n = double(songs.size());
    std::printf("# %lld songs (%s), media component: %s, platform: %s, playlist window %s\n",
                static_cast<long long>(songs.size()), options.kind == CopyKind::Copy ? "copies" : "hard links",
                options.fakeMedia ? "fake" : "GStreamer", qPrintable(QGuiApplication::platformName()),
                options.hidden ? "hidden" : "shown");
    figure("loader.songs", std::int64_t(songs.size()));
    figure("loader.wall_s", loader.wall);
    figure("loader.cpu_s", loader.cpu);
    figure("loader.songs_per_s_wall", n / loader.wall);
    figure("loader.songs_per_s_cpu", n / std::max(loader.cpu, 1e-6));
    figure("floor.wall_s", floor.wall);
    figure("floor.cpu_s", floor.cpu);
    figure("floor.songs_per_s_wall", n / floor.wall);
    figure("loader.ratio_to_floor_wall", loader.wall / floor.wall);
    figure("loader.ratio_to_floor_cpu", loader.cpu / std::max(floor.cpu, 1e-6));
    return 0;
}
