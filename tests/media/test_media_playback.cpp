// The GStreamer media component playing generated test audio into the sink
// named by QPT_AUDIO_SINK (fakesink synchronised to the clock).

#include "player/core/media/gst_media_component.h"
#include "tests/support/test_env.h"
#include "tests/support/wav_bytes.h"

#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

using namespace qpt;
using qpt::test::testDataDir;
using qpt::test::waitUntil;
namespace ps = qpt::playstate;

namespace {

struct Recorder {
    explicit Recorder(MediaComponent& media)
    {
        QObject::connect(&media, &MediaComponent::playStateChanged, [this](int state) { states << state; });
    }
    QList<int> states;
};

QByteArray data(const char* name)
{
    return QFile::encodeName(testDataDir() + QLatin1Char('/') + QLatin1String(name));
}

// An MPEG-1 Layer I stream (no encoder for it is installed): mono, 48 kHz,
// 64 kbit/s, one subband carrying a square wave; 250 frames of 8 ms.
QByteArray mp1Stream()
{
    QByteArray stream;
    for (int frame = 0; frame < 250; ++frame) {
        QByteArray bytes(64, '\0');
        int bit = 0;
        auto put = [&](unsigned value, int width) {
            for (int i = width - 1; i >= 0; --i, ++bit)
                if ((value >> i) & 1)
                    bytes[bit / 8] = char(bytes[bit / 8] | (0x80 >> (bit % 8)));
        };
        put(0xFFFF24, 24);                   // sync, MPEG-1, Layer I, no CRC, 64 kbit/s, 48 kHz
        put(0xC0, 8);                        // mono
        for (int subband = 0; subband < 32; ++subband)
            put(subband == 1 ? 3 : 0, 4);    // 4-bit samples in subband 1 only
        put(20, 6);                          // its scale factor
        for (int sample = 0; sample < 12; ++sample)
            put(sample % 2 ? 0xE : 0x1, 4);
        stream += bytes;
    }
    return stream;
}

// 16-bit stereo at 44.1 kHz: a tone around a raised middle line, so that
// no sample is ever zero, with a first frame of its own that marks where
// the song begins.
QByteArray toneWav(quint32 frames, int frequency, qint16 marker)
{
    QByteArray samples;
    for (quint32 i = 0; i < frames; ++i) {
        const auto value = i == 0 ? marker : qint16(9000 + 6000 * std::sin(2 * M_PI * frequency * i / 44100.0));
        samples += qpt::test::littleEndian(quint16(value), 2).repeated(2);
    }
    return qpt::test::pcmWav(44100, 2, 16, samples);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class TestMediaPlayback : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString temp(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    // A name that is not UTF-8 (a Latin-1 "caf\xe9.wav"), as bytes.
    QByteArray latin1Name() const { return QFile::encodeName(m_dir.path()) + "/caf\xe9.wav"; }

private slots:
    void initTestCase()
    {
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
        QVERIFY(QFile::exists(data("tone.wav")));
        QVERIFY(writeFile(temp("tone.mp1"), mp1Stream()));
        QVERIFY(QFile::copy(data("short.wav"), temp("Ünïcode song #1 (50%).wav")));
        QVERIFY(qpt::test::TestEnv::writeNative(latin1Name(), qpt::test::TestEnv::readFile(QFile::decodeName(data("short.wav")))));
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.mp3")).constData(), 0600), 0);
        QVERIFY(writeFile(temp("broken.mp3"), QByteArray("this is not audio\n").repeated(200)));
    }

    void playsEachFormatToTheEnd_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<double>("length");
        QTest::addColumn<QString>("status");
        QTest::newRow("wav") << data("tone.wav") << 3.2 << "1411 kbps";
        QTest::newRow("adpcm wav") << data("adpcm.wav") << 3.2 << "358 kbps";
        QTest::newRow("mp3") << data("cbr.mp3") << 3.2 << "kbps";
        QTest::newRow("mp2") << data("tone.mp2") << 3.2 << "192 kbps";
        QTest::newRow("mp1") << QFile::encodeName(temp("tone.mp1")) << 2.0 << "kbps";
        QTest::newRow("wma") << data("tone.wma") << 3.2 << "128 kbps";
        QTest::newRow("midi") << data("format0.mid") << 2.0 << "Playing";
        QTest::newRow("flac") << data("tone.flac") << 3.2 << "kbps";
        QTest::newRow("ogg vorbis") << data("tone.ogg") << 3.2 << "kbps";
        QTest::newRow("flac in ogg") << data("tone.oga") << 3.2 << "kbps";
        QTest::newRow("opus") << data("tone.opus") << 3.2 << "Playing";  // no bitrate tag
        QTest::newRow("m4a") << data("tone.m4a") << 3.2 << "kbps";
        QTest::newRow("path with blanks and non-ASCII") << QFile::encodeName(temp("Ünïcode song #1 (50%).wav"))
                                                        << 1.5 << "kbps";
        QTest::newRow("name that is not UTF-8") << latin1Name() << 1.5 << "kbps";
    }

    void playsEachFormatToTheEnd()
    {
        QFETCH(QByteArray, path);
        QFETCH(double, length);
        QFETCH(QString, status);
        GstMediaComponent media;
        Recorder recorder(media);
        media.setUrl(path);
        QCOMPARE(media.currentPosition(), 0.0);
        QVERIFY(waitUntil([&] { return recorder.states.contains(ps::Playing); }));
        QCOMPARE(recorder.states, QList<int>({ps::Transitioning, ps::Playing}));
        const double start = media.currentPosition();
        QVERIFY(waitUntil([&] { return media.currentPosition() > start + 0.3; }));
        waitUntil([&] { return qAbs(media.duration() - length) < 0.1; });
        QVERIFY2(qAbs(media.duration() - length) < 0.1, qPrintable(QString::number(media.duration())));
        waitUntil([&] { return media.status().endsWith(status); });
        QVERIFY2(media.status().endsWith(status) && media.status().size() <= 12, qPrintable(media.status()));
        QVERIFY(!media.isCdTrack());

        // Jump close to the end and play it out.
        media.setCurrentPosition(length - 0.4);
        QVERIFY(waitUntil([&] { return recorder.states.contains(ps::MediaEnded); }));
        QVERIFY(waitUntil([&] { return recorder.states.size() == 4; }));
        QCOMPARE(recorder.states, QList<int>({ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Stopped}));
        QCOMPARE(media.currentPosition(), 0.0);
        QCOMPARE(media.status(), QStringLiteral("Stopped"));
        QCOMPARE(media.url(), path);
    }

    // Gapless: the next song handed over ahead of time follows the current
    // one on the very next sample. Recorded by the sink into a file, the
    // two songs are there whole, one after the other, with not one sample
    // of silence between them (a restarted pipeline would have started the
    // file again).
    void nextSongFollowsOnTheNextSample()
    {
        const QString recording = temp("recorded.raw");
        const QByteArray sink = "audioconvert ! audio/x-raw,format=S16LE,channels=2,rate=44100 ! filesink location="
                              + QFile::encodeName(recording);
        qputenv("QPT_AUDIO_SINK", sink);
        const quint32 firstFrames = 44100 + 123;  // not a whole number of any block
        const quint32 secondFrames = 30000;
        QVERIFY(writeFile(temp("first.wav"), toneWav(firstFrames, 440, 1111)));
        QVERIFY(writeFile(temp("second.wav"), toneWav(secondFrames, 660, 2222)));
        {
            GstMediaComponent media;
            Recorder recorder(media);
            QList<quint64> advances;
            connect(&media, &MediaComponent::advanced, this, [&](quint64 token) { advances << token; });
            media.open({QFile::encodeName(temp("first.wav")), 1}, {QFile::encodeName(temp("second.wav")), 42});
            QVERIFY(waitUntil([&] { return recorder.states.contains(ps::MediaEnded); }, 10000));
            QCOMPARE(advances, QList<quint64>{42});
            QCOMPARE(media.url(), QFile::encodeName(temp("second.wav")));
            QCOMPARE(recorder.states, QList<int>({ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Stopped}));
        }
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
        const QByteArray raw = qpt::test::TestEnv::readFile(recording);
        QCOMPARE(quint32(raw.size()), (firstFrames + secondFrames) * 4);
        const auto sample = [&](quint32 frame) { return qint16(quint8(raw[frame * 4]) | (quint8(raw[frame * 4 + 1]) << 8)); };
        QCOMPARE(sample(0), qint16(1111));
        QCOMPARE(sample(firstFrames), qint16(2222));  // the second song's first frame, right after the last
        for (quint32 frame = 0; frame < firstFrames + secondFrames; ++frame) {
            if (sample(frame) == 0)
                QFAIL(qPrintable(QStringLiteral("silence at frame %1").arg(frame)));
        }
    }

    // The end of a song is never lost, however busy the thread that hears
    // it: 25 short songs, each started from the end of the one before,
    // while a timer keeps the event loop full (as a desktop client reading
    // the media controls without pause does).
    void songEndsArriveUnderALoadedEventLoop()
    {
        GstMediaComponent media;
        int ended = 0;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == ps::MediaEnded && ++ended < 25)
                media.setUrl(QFile::encodeName(temp("tone.mp1")));
        });
        QTimer busy;
        busy.setInterval(0);
        connect(&busy, &QTimer::timeout, this, [] {
            volatile double spin = 0;
            for (int i = 0; i < 20000; ++i)
                spin = spin + i;
        });
        busy.start();
        media.setUrl(QFile::encodeName(temp("tone.mp1")));
        media.setCurrentPosition(1.8);
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == ps::Playing)
                media.setCurrentPosition(1.8);  // 0.2 s before the end
        });
        QVERIFY2(waitUntil([&] { return ended >= 25; }, 60000), qPrintable(QString::number(ended)));
    }

    // Continuous play: the handler of "media ended" assigns the next file
    // and yields; that file's notifications arrive during the yield.
    void nextFileStartsFromTheEndNotification()
    {
        GstMediaComponent media;
        Recorder recorder(media);
        bool seenDuringYield = false;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state != ps::MediaEnded || media.url() != data("short.wav"))
                return;
            media.setUrl(data("tone.wav"));
            seenDuringYield = waitUntil([&] { return recorder.states.last() == ps::Playing; });
        });
        media.setUrl(data("short.wav"));
        QVERIFY(waitUntil([&] { return recorder.states.contains(ps::Playing); }));
        media.setCurrentPosition(1.1);
        QVERIFY(waitUntil([&] { return seenDuringYield; }));
        QCOMPARE(recorder.states,
                 QList<int>({ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Transitioning, ps::Playing}));
        QCOMPARE(media.url(), data("tone.wav"));
        QVERIFY(waitUntil([&] { return media.currentPosition() > 0.2; }));
    }

    void pauseSeekStopAndUnload()
    {
        GstMediaComponent media;
        Recorder recorder(media);
        QCOMPARE(media.currentPosition(), -1.0);
        QVERIFY(!media.setCurrentPosition(1));
        media.play();
        media.pause();
        media.stop();

        // A seek before playback starts is kept until the media is ready.
        media.setUrl(data("tone.wav"));
        media.setCurrentPosition(2.0);
        QVERIFY(waitUntil([&] { return recorder.states.contains(ps::Playing); }));
        QVERIFY(media.currentPosition() >= 1.95);
        media.setCurrentPosition(0.5);
        QVERIFY(waitUntil([&] { return media.currentPosition() >= 0.5 && media.currentPosition() < 1.5; }));

        media.pause();
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Paused; }));
        QCOMPARE(media.status(), QStringLiteral("Paused"));
        const double pausedAt = media.currentPosition();
        QTest::qWait(300);
        QVERIFY(qAbs(media.currentPosition() - pausedAt) < 0.05);
        media.play();
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Playing; }));
        QVERIFY(waitUntil([&] { return media.currentPosition() > pausedAt + 0.2; }));

        media.stop();
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Stopped; }));
        QCOMPARE(media.currentPosition(), 0.0);
        QVERIFY(qAbs(media.duration() - 3.2) < 0.1);
        media.play();
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Playing; }));
        QVERIFY(media.currentPosition() < 1.0);

        media.setUrl(QByteArray());
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Stopped; }));
        QCOMPARE(media.currentPosition(), -1.0);
        QCOMPARE(media.duration(), 0.0);
        QCOMPARE(media.url(), QByteArray());
        QVERIFY(!media.setCurrentPosition(1));
    }

    // The position shown moves with the sound between the session's
    // queries: read every 40 ms it never steps back, changes at every
    // reading, and keeps pace with the clock the sink plays by.
    void positionMovesWithTheSound()
    {
        GstMediaComponent media;
        Recorder recorder(media);
        media.setUrl(data("tone.wav"));
        QVERIFY(waitUntil([&] { return recorder.states.contains(ps::Playing); }));
        QElapsedTimer clock;
        clock.start();
        const double first = media.currentPosition();
        double last = first;
        int changes = 0;
        int readings = 0;
        while (clock.elapsed() < 1500) {
            QTest::qWait(40);
            const double now = media.currentPosition();
            QVERIFY2(now >= last - 0.01, qPrintable(QStringLiteral("%1 after %2").arg(now).arg(last)));
            changes += now > last ? 1 : 0;
            ++readings;
            last = now;
        }
        QVERIFY2(changes >= readings - 2, qPrintable(QStringLiteral("%1 of %2").arg(changes).arg(readings)));
        const double elapsed = clock.elapsed() / 1000.0;
        QVERIFY2(qAbs((last - first) - elapsed) < 0.15, qPrintable(QStringLiteral("%1 in %2 s").arg(last - first).arg(elapsed)));
    }

    void volumeRefusesNegativeValues()
    {
        GstMediaComponent media;
        QCOMPARE(media.volume(), 100);
        media.setVolume(52);
        QVERIFY(!media.setVolume(-1));
        QCOMPARE(media.volume(), 52);
        media.setVolume(103);  // plays as 100 and reads back so
        QCOMPARE(media.volume(), 100);
        media.setVolume(0);
        media.setUrl(data("short.wav"));
        QCOMPARE(media.volume(), 0);
    }

    void unplayableMediaFailsQuietly_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("not audio") << temp("broken.mp3");
        QTest::newRow("missing") << temp("missing.wav");
        QTest::newRow("pipe, never opened") << temp("pipe.mp3");
        QTest::newRow("cd track without a drive") << QStringLiteral("/media/cdrom/Track03.cda");
        QTest::newRow("no track number") << QStringLiteral("/media/cdrom/Track.cda");
    }

    void unplayableMediaFailsQuietly()
    {
        QFETCH(QString, path);
        GstMediaComponent media;
        Recorder recorder(media);
        media.setUrl(QFile::encodeName(path));
        QVERIFY(waitUntil([&] { return media.status() == QStringLiteral("Cannot play"); }));
        QTest::qWait(100);
        QCOMPARE(recorder.states, QList<int>({ps::Transitioning, ps::Stopped}));
        QCOMPARE(media.currentPosition(), -1.0);
        QCOMPARE(media.url(), QFile::encodeName(path));
        QCOMPARE(media.isCdTrack(), path.endsWith(QLatin1String(".cda")));
        QVERIFY(!media.setCurrentPosition(1));

        // The component is not stuck: the next file plays.
        media.setUrl(data("short.wav"));
        QVERIFY(!media.isCdTrack());
        QVERIFY(waitUntil([&] { return recorder.states.last() == ps::Playing; }));
    }

    void destroyedWhilePlaying()
    {
        auto* media = new GstMediaComponent;
        media->setUrl(data("tone.wav"));
        QVERIFY(waitUntil([&] { return media->currentPosition() > 0.1; }));
        delete media;

        // Also from inside its own notification.
        media = new GstMediaComponent;
        connect(media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == ps::Playing) {
                delete media;
                media = nullptr;
            }
        });
        media->setUrl(data("short.wav"));
        QVERIFY(waitUntil([&] { return media == nullptr; }));
    }
};

QTEST_GUILESS_MAIN(TestMediaPlayback)
#include "test_media_playback.moc"
