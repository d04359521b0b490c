#include "bench/player/bench_world.h"

#include "common/app_folder.h"
#include "common/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace qpt::bench {

BenchWorld::BenchWorld() : m_root(QDir::tempPath() + QStringLiteral("/qpt-bench-XXXXXX"))
{
    if (!m_root.isValid())
        return;
    const QString config = root() + QStringLiteral("/config");
    const QString runtime = root() + QStringLiteral("/runtime");
    const QString cache = root() + QStringLiteral("/cache");  // lengths from earlier runs would skew every figure
    for (const QString& dir : {appDir(), musicDir(), config, runtime, cache})
        QDir().mkpath(dir);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cache.toLocal8Bit());
    qputenv("QPT_DIALOG_LOG", dialogLog().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QPT_AUDIO_SINK"))
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
}

BenchWorld::~BenchWorld()
{
    AppFolder::overrideForTests(QString());
}

QStringList BenchWorld::prepareSongs(const QString& testDataDir, int count, CopyKind kind, QStringList* sources) const
{
    configurePlayer();
    QString error;
    const QStringList made = songSources(testDataDir, root(), &error);
    const QStringList songs =
        made.isEmpty() ? QStringList() : makeSongs(made, count, musicDir(), kind, &error);
    if (songs.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    if (sources)
        *sources = made;
    return songs;
}

void BenchWorld::configurePlayer() const
{
    AppFolder::overrideForTests(appDir());
    const char* const options[][2] = {
        {keys::AutoFileAss, "2"},      {keys::AutosavePlayList, "2"}, {keys::FadeOutCD, "2"},
        {keys::TransPlayList, "1"},    {keys::MinimizeSeparate, "2"}, {keys::OSOT, "2"},
    };
    for (const auto& option : options)
        SettingsStore::write(QLatin1String(option[0]), QLatin1String(option[1]));
}

bool BenchWorld::writeBatchFile(const QString& name, const QStringList& paths) const
{
    QByteArray bytes;
    bytes.reserve(paths.size() * 96);
    for (const QString& path : paths)
        bytes += QFile::encodeName(path) + "\r\n";
    QFile file(appDir() + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

namespace {

// MPEG-1 Layer I, 48 kHz, 128 kbit/s: 1234 frames of 384 samples (9.9 s).
bool writeLayerOne(const QString& path)
{
    const quint32 header = (0x7FFu << 21) | (3u << 19) | (3u << 17) | (1u << 16) | (4u << 12) | (1u << 10);
    QByteArray frame(128, '\0');
    for (int i = 0; i < 4; ++i)
        frame[i] = char(header >> (24 - 8 * i));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 0; i < 1234; ++i)
        if (file.write(frame) != frame.size())
            return false;
    return true;
}

}  // namespace

QStringList songSources(const QString& testDataDir, const QString& scratchDir, QString* error)
{
    // Twelve songs: six MP3 (three VBR without header, two CBR, one VBR
    // with a Xing header), then one of each other format.
    const char* const names[] = {"vbr_noheader.mp3", "cbr.mp3",   "vbr_noheader.mp3", "vbr_xing.mp3",
                                 "vbr_noheader.mp3", "cbr.mp3",   "tone.mp2",         "tone.wma",
                                 "tone.wav",         "adpcm.wav", "format0.mid",      nullptr};
    QStringList sources;
    for (const char* name : names) {
        if (!name) {
            const QString mp1 = scratchDir + QStringLiteral("/silence.mp1");
            if (!writeLayerOne(mp1)) {
                *error = QStringLiteral("cannot write ") + mp1;
                return {};
            }
            sources << mp1;
            continue;
        }
        const QString path = QDir(testDataDir).absoluteFilePath(QLatin1String(name));
        if (!QFileInfo(path).isFile()) {
            *error = QStringLiteral("missing test audio ") + path
                   + QStringLiteral(" (build the qpt_testdata target)");
            return {};
        }
        sources << path;
    }
    return sources;
}

QStringList makeSongs(const QStringList& sources, int count, const QString& folder, CopyKind kind, QString* error)
{
    QStringList songs;
    songs.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString& source = sources[i % sources.size()];
        const QString album = QStringLiteral("%1/Artist %2/Album %3").arg(folder).arg(i / 1000).arg(i / 100 % 10);
        if (i % 100 == 0 && !QDir().mkpath(album)) {
            *error = QStringLiteral("cannot create ") + album;
            return {};
        }
        const QString song = QStringLiteral("%1/%2 Track of the album.%3")
                                 .arg(album)
                                 .arg(i % 100 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(QFileInfo(source).suffix());
        const QByteArray from = QFile::encodeName(source);
        const QByteArray to = QFile::encodeName(song);
        std::error_code failure;
        // A plain copy: QFile::copy would also sync every file to disk.
        const bool made = kind == CopyKind::HardLink
                              ? ::link(from.constData(), to.constData()) == 0
                              : std::filesystem::copy_file(from.constData(), to.constData(), failure);
        if (!made) {
            *error = QStringLiteral("cannot make ") + song;
            return {};
        }
        songs << song;
    }
    return songs;
}

std::optional<std::vector<QByteArray>> readPathList(const char* listFile)
{
    QFile list(QString::fromLocal8Bit(listFile));
    if (!list.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", listFile);
        return std::nullopt;
    }
    std::vector<QByteArray> paths;
    for (const QByteArray& line : list.readAll().split('\n')) {
        if (!line.isEmpty())
            paths.push_back(line);
    }
    return paths;
}

bool readFiles(const std::vector<QByteArray>& paths, long limit)
{
    static char buffer[64 * 1024];
    for (const QByteArray& path : paths) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        long left = limit < 0 ? -1 : limit;
        while (left != 0) {
            const ssize_t got = ::read(fd, buffer, left < 0 ? sizeof buffer : std::min<long>(left, sizeof buffer));
            if (got <= 0)
                break;
            if (left > 0)
                left -= got;
        }
        ::close(fd);
    }
    return true;
}

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

std::int64_t statusKb(const char* field)
{
    return statusKbOf("/proc/self/status", field);
}

std::int64_t statusKbOf(const char* file, const char* field)
{
    FILE* status = std::fopen(file, "r");
    if (!status)
        return -1;
    char line[256];
    std::int64_t kb = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            kb = std::strtoll(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kb;
}

void figure(const char* name, double value)
{
    std::printf("%s %.6g\n", name, value);
    std::fflush(stdout);
}

void figure(const char* name, std::int64_t value)
{
    std::printf("%s %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

}  // namespace qpt::bench
