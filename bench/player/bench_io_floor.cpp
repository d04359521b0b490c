// qpt-bench-io-floor: the I/O floor of a list of song files.
//
//   qpt-bench-io-floor LIST_FILE
//
// LIST_FILE names one song file a line. The floor is open, read the first
// 64 KiB of and close every file, the same measure the loader benchmark
// compares with: one untimed pass brings those 64 KiB into the page cache
// (reading the files in full would take seconds for a library of hard
// links and change nothing), then the best of three timed passes counts.
// The library benchmark divides its rounds by it.
//
// Figures ("name value" lines): files, wall and CPU seconds of the best
// pass, files per second by wall clock.

#include "bench/player/bench_world.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qpt::bench;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: qpt-bench-io-floor LIST_FILE\n", stderr);
        return 2;
    }
    const std::optional<std::vector<QByteArray>> listed = readPathList(argv[1]);
    if (!listed)
        return 1;
    const std::vector<QByteArray>& paths = *listed;
    if (paths.empty() || !readFiles(paths, 64 * 1024)) {
        std::fprintf(stderr, "cannot read the files named in %s\n", argv[1]);
        return 1;
    }
    double wall = 1e9, cpu = 1e9;
    for (int pass = 0; pass < 3; ++pass) {
        const double wall0 = wallSeconds(), cpu0 = processCpuSeconds();
        readFiles(paths, 64 * 1024);
        wall = std::min(wall, wallSeconds() - wall0);
        cpu = std::min(cpu, processCpuSeconds() - cpu0);
    }
    figure("floor.files", std::int64_t(paths.size()));
    figure("floor.wall_s", wall);
    figure("floor.cpu_s", cpu);
    figure("floor.files_per_s_wall", double(paths.size()) / wall);
    return 0;
}
