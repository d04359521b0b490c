// qpt-bench-cold-lengths: the length service alone over a list of song
// files, with a chosen way of reading them (bench/player/io-policies).
//
//   qpt-bench-cold-lengths LIST_FILE [--workers N] [--idle-io]
//                          [--readahead] [--no-walk-advice] [--keep-cached]
//
// LIST_FILE names one song file a line. Every song is requested at once, as
// the playlist does, and the service runs until every one has its length.
// The caller drops the kernel's caches first (or not, for a warm round) and
// may put this process in a throttled cgroup; nothing here needs root.
// The options change single parts of the read policy:
//   --readahead       the kernel's read-ahead stays on for header reads
//   --no-walk-advice  a walk through a file is not advised as sequential
//   --keep-cached     measured files stay in the page cache
//   --idle-io         the workers read with the idle I/O class
//
// Figures ("name value" lines): songs, wall and CPU seconds, bytes the
// process read from disk (/proc/self/io read_bytes, read-ahead included),
// bytes the probe read, and how much the page cache grew (Cached in
// /proc/meminfo, which other processes move too).

#include "bench/player/bench_world.h"

#include "player/core/length/song_length_service.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace qpt;
using namespace qpt::bench;

namespace {

std::int64_t readBytesFromDisk()
{
    std::ifstream io("/proc/self/io");
    std::string name;
    std::int64_t value = 0;
    while (io >> name >> value) {
        if (name == "read_bytes:")
            return value;
    }
    return -1;
}

int usage()
{
    std::fputs("usage: qpt-bench-cold-lengths LIST_FILE [--workers N] [--idle-io] [--readahead]"
               " [--no-walk-advice] [--keep-cached]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    SongLengthService::IoChoices io;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--workers") && i + 1 < argc)
            io.workers = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--idle-io"))
            io.idleIo = true;
        else if (!std::strcmp(argv[i], "--readahead"))
            io.reads.headerReadsOnly = false;
        else if (!std::strcmp(argv[i], "--no-walk-advice"))
            io.reads.sequentialWalk = false;
        else if (!std::strcmp(argv[i], "--keep-cached"))
            io.reads.dropWhenDone = false;
        else
            return usage();
    }
    QCoreApplication application(argc, argv);
    const std::optional<std::vector<QByteArray>> listed = readPathList(argv[1]);
    if (!listed)
        return 1;
    const std::vector<QByteArray>& paths = *listed;

    SongLengthService service;  // no cache file: every song is read
    service.setIoChoices(io);
    int zero = 0;
    QObject::connect(&service, &SongLengthService::measured, [&](const SongLengthService::Results& results) {
        for (const auto& result : results)
            zero += !result.length.milliseconds().value_or(0);
    });
    QObject::connect(&service, &SongLengthService::allMeasured, &application, &QCoreApplication::quit);

    const std::int64_t cached0 = statusKbOf("/proc/meminfo", "Cached");
    const std::int64_t disk0 = readBytesFromDisk();
    const double wall0 = wallSeconds(), cpu0 = processCpuSeconds();
    quint64 entry = 0;
    for (const QByteArray& path : paths)
        service.request(++entry, path);
    application.exec();
    const double wall = wallSeconds() - wall0, cpu = processCpuSeconds() - cpu0;
    const std::int64_t disk = readBytesFromDisk() - disk0;
    const std::int64_t cached = statusKbOf("/proc/meminfo", "Cached") - cached0;

    figure("cold.songs", std::int64_t(paths.size()));
    figure("cold.workers", std::int64_t(io.workers > 0 ? io.workers : SongLengthService::defaultWorkerCount()));
    figure("cold.wall_s", wall);
    figure("cold.cpu_s", cpu);
    figure("cold.disk_read_bytes", disk);
    figure("cold.probe_read_bytes", service.bytesRead());
    figure("cold.page_cache_growth_bytes", cached * 1024);
    figure("cold.without_length", std::int64_t(zero));
    return 0;
}
