// Songs of different sample rates, channel counts and sample formats follow
// one another through a real sound server (a private PulseAudio with a null
// sink, recorded from its monitor), as they would on a desktop: the sound
// server's stream must not be set up anew at the change, which would drop
// what it still held of the outgoing song. Each song holds one constant
// level, so the recording tells how much of each was heard.

#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "tests/support/test_env.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cmath>
#include <cstring>

using namespace qpt;
using namespace qpt::test;

namespace {

constexpr int kServerRate = 48000;

// A PulseAudio of the test's own, on a socket in a temporary folder, with a
// null sink whose monitor a `parec` records; both are killed at the end.
class PrivatePulse {
public:
    explicit PrivatePulse(const QString& folder) : m_folder(folder)
    {
        QDir().mkpath(folder + QStringLiteral("/run"));
        m_socket = folder + QStringLiteral("/socket");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder + QStringLiteral("/run"));
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_server.setProcessEnvironment(environment);
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        // The time limit of the whole server: a hang fails this test only.
        m_server.start(QStringLiteral("timeout"),
                       {QStringLiteral("60"), QStringLiteral("pulseaudio"), QStringLiteral("-n"),
                        QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                        QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                        QStringLiteral("module-null-sink sink_name=out rate=%1 channels=2").arg(kServerRate),
                        QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + m_socket});
        m_recorder.setProcessEnvironment(environment);
    }
    ~PrivatePulse()
    {
        // `timeout` hands the signal on to the program it runs.
        for (QProcess* process : {&m_recorder, &m_server}) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
        }
    }
    QByteArray address() const { return "unix:" + QFile::encodeName(m_socket); }

    bool waitReady()
    {
        return waitUntil(
            [&] {
                QProcess info;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(address()));
                info.setProcessEnvironment(environment);
                info.start(QStringLiteral("timeout"), {QStringLiteral("5"), QStringLiteral("pactl"), QStringLiteral("info")});
                return info.waitForFinished(6000) && info.exitCode() == 0;
            },
            10000);
    }

    // Records the null sink's monitor as 16-bit stereo at the server's rate.
    void record(const QString& file)
    {
        QProcessEnvironment environment = m_recorder.processEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(address()));
        m_recorder.setProcessEnvironment(environment);
        m_recorder.setStandardOutputFile(file);
        m_recorder.setStandardErrorFile(QProcess::nullDevice());
        m_recorder.start(QStringLiteral("timeout"),
                         {QStringLiteral("60"), QStringLiteral("parec"), QStringLiteral("--raw"),
                          QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kServerRate),
                          QStringLiteral("--channels=2"), QStringLiteral("--device=out.monitor")});
    }
    void stopRecording()
    {
        m_recorder.terminate();
        m_recorder.waitForFinished(3000);
    }

private:
    QString m_folder;
    QString m_socket;
    QProcess m_server;
    QProcess m_recorder;
};

struct Song {
    const char* name;
    int rate;
    int channels;
    int bits;  // 16, or 32 for float samples
    double seconds;
    double level;  // of full scale
};

// A WAV of one constant level in every channel.
QByteArray levelWav(const Song& song)
{
    const int frames = int(std::lround(song.seconds * song.rate));
    QByteArray sample;
    if (song.bits == 16) {
        sample = littleEndian(quint16(qint16(std::lround(song.level * 32767))), 2);
    } else {
        const float value = float(song.level);
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        sample = littleEndian(bits, 4);
    }
    QByteArray wav = pcmWav(song.rate, song.channels, song.bits, sample.repeated(frames * song.channels));
    if (song.bits == 32)
        wav[20] = 3;  // IEEE float
    return wav;
}

// How many frames of the recording sit at each song's level (the left
// channel). Counted rather than cut into stretches: a sound server that
// runs late on a busy machine inserts silence, which loses nothing.
QList<int> framesAtLevels(const QByteArray& raw, const QList<Song>& songs)
{
    QList<int> frames(songs.size(), 0);
    for (qsizetype at = 0; at + 4 <= raw.size(); at += 4) {
        const double value = qint16(quint8(raw[at]) | (quint8(raw[at + 1]) << 8)) / 32767.0;
        for (int i = 0; i < songs.size(); ++i) {
            if (std::abs(value - songs[i].level) < 0.01)
                ++frames[i];
        }
    }
    return frames;
}

}  // namespace

class TestFormatChanges : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
            QFAIL("pulseaudio and parec are needed (scripts/install-deps installs them)");
    }

    void everySongIsHeardWholeAcrossFormatChanges()
    {
        TestEnv env;
        PrivatePulse pulse(env.root() + QStringLiteral("/pulse"));
        QVERIFY(pulse.waitReady());
        qputenv("PULSE_SERVER", pulse.address());
        qputenv("QPT_AUDIO_SINK", "pulsesink");
        const QString recording = env.root() + QStringLiteral("/heard.raw");
        pulse.record(recording);

        // Rate, channels and sample format each change at some boundary.
        const QList<Song> songs = {
            {"cd", 44100, 2, 16, 1.0, 0.20},     {"studio", 48000, 2, 16, 1.0, 0.30},
            {"mono", 22050, 1, 16, 1.0, 0.40},   {"float", 44100, 2, 32, 1.0, 0.50},
            {"hires", 96000, 2, 16, 1.0, 0.60},  {"surround", 48000, 6, 16, 1.0, 0.70},
            {"end", 44100, 2, 16, 1.0, 0.80},
        };
        {
            GstMediaComponent media;
            PlayerCore core(media);
            for (const Song& song : songs) {
                const QString path = env.root() + QLatin1Char('/') + QLatin1String(song.name) + QStringLiteral(".wav");
                TestEnv::writeFile(path, levelWav(song));
                core.playlist.append(QFile::encodeName(path), QLatin1String(song.name));
            }
            QTest::qWait(300);  // the recorder is listening
            core.engine.playRow(1);
            QVERIFY(waitUntil([&] { return core.engine.nowPlayingTitle() == QLatin1String("end"); }, 20000));
            QVERIFY(waitUntil([&] { return media.currentPosition() > 0.5; }, 5000));
            // What the sound server still holds reaches the recorder.
            QTest::qWait(1000);
            core.engine.stop();
            QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        }
        pulse.stopRecording();
        qunsetenv("PULSE_SERVER");
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");

        const QList<int> frames = framesAtLevels(TestEnv::readFile(recording), songs);
        // Each song between the first and the last comes in by a change of
        // format and goes out by one: heard whole. The resampler may smear
        // a few milliseconds at each edge; what a sound server drops when
        // it sets its stream up anew is a tenth of a second.
        for (int i = 1; i + 1 < songs.size(); ++i) {
            const double heardMs = frames[i] * 1000.0 / kServerRate;
            QVERIFY2(std::abs(heardMs - songs[i].seconds * 1000) < 15,
                     qPrintable(QStringLiteral("%1: %2 ms heard").arg(QLatin1String(songs[i].name)).arg(heardMs)));
        }
    }

};

QTEST_MAIN(TestFormatChanges)
#include "test_format_changes.moc"
