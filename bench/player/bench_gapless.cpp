// qpt-bench-gapless: the silence a track change inserts.
//
//   qpt-bench-gapless [--songs N] [--seconds S] [--rounds R]
//
// Plays N songs of S seconds each (16-bit stereo WAV at 44.1 kHz, a tone
// whose samples are never zero, written here) through the player's core
// and GStreamer media component into "fakesink sync=true", which renders
// in real time. From the moment the first song is heard until the list
// wraps round to its first song again, the songs themselves take exactly
// N x S seconds; whatever the clock shows beyond that is what the N - 1
// track changes inserted. Prints the silence per change in milliseconds,
// one line per round, then the median.

#include "common/app_folder.h"
#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "tests/support/wav_bytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace qpt;

namespace {

constexpr int kRate = 44100;

// A tone around a raised middle line: no sample is ever zero, so a gap of
// silence could not hide inside the music.
QByteArray toneWav(double seconds, double frequency)
{
    const quint32 frames = quint32(std::lround(seconds * kRate));
    QByteArray samples;
    samples.reserve(int(frames * 4));
    for (quint32 i = 0; i < frames; ++i) {
        const auto value = qint16(8000 + 6000 * std::sin(2 * M_PI * frequency * i / kRate));
        samples += qpt::test::littleEndian(quint16(value), 2).repeated(2);
    }
    return qpt::test::pcmWav(kRate, 2, 16, samples);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int songs = 8;
    double seconds = 1.0;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--songs" && i + 1 < argc)
            songs = std::max(2, std::atoi(argv[++i]));
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::max(0.2, std::atof(argv[++i]));
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else {
            std::fputs("usage: qpt-bench-gapless [--songs N] [--seconds S] [--rounds R]\n", stderr);
            return 2;
        }
    }
    qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    AppFolder::overrideForTests(folder.path());
    QStringList paths;
    for (int i = 0; i < songs; ++i) {
        const QString path = folder.filePath(QStringLiteral("song%1.wav").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(toneWav(seconds, 330 + 40 * i)) < 0)
            return 1;
        paths << path;
    }

    std::vector<double> perChange;
    for (int round = 0; round < rounds; ++round) {
        GstMediaComponent media;
        PlayerCore core(media);
        for (const QString& path : paths)
            core.playlist.append(QFile::encodeName(path), QString());
        QElapsedTimer clock;
        bool heard = false;
        bool wrapped = false;
        QObject::connect(&media, &MediaComponent::playStateChanged, [&](int state) {
            if (state == playstate::Playing && !heard) {
                heard = true;
                clock.start();
            }
        });
        QObject::connect(&core.engine, &PlaybackEngine::songStarted, [&] {
            if (qEnvironmentVariableIsSet("QPT_BENCH_TRACE") && heard)
                std::printf("  row %d at %.1f ms\n", core.playlist.currentRow(), double(clock.nsecsElapsed()) / 1e6);
            if (heard && core.playlist.currentRow() == 1 && !wrapped) {
                wrapped = true;
                const double extraMs = double(clock.nsecsElapsed()) / 1e6 - songs * seconds * 1000;
                perChange.push_back(extraMs / (songs - 1));
                std::printf("round %d: %.1f ms of silence per track change (%d changes)\n", round + 1,
                            perChange.back(), songs - 1);
                QCoreApplication::quit();
            }
        });
        core.engine.play();
        QTimer::singleShot(int(songs * seconds * 1000 + 20000), &application, &QCoreApplication::quit);
        application.exec();
        if (!wrapped) {
            std::fputs("the list did not come round in time\n", stderr);
            return 1;
        }
    }
    std::printf("median: %.1f ms of silence per track change\n", median(perChange));
    return 0;
}
