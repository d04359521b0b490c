// Where one song meets the next, through the real media component: what
// the sink records (a file sink, each song one constant level) shows which
// songs were heard, whole or cut, and whether a new pipeline was started
// between them.

#include "player/core/media/gst_media_component.h"
#include "tests/support/test_env.h"
#include "tests/support/level_runs.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace qpt;
using qpt::test::waitUntil;
namespace ps = qpt::playstate;

namespace {

constexpr int kRate = 44100;

// 16-bit stereo at 44.1 kHz holding one level throughout.
QByteArray levelWav(quint32 frames, qint16 level)
{
    return qpt::test::pcmWav(kRate, 2, 16, qpt::test::littleEndian(quint16(level), 2).repeated(2 * int(frames)));
}

using Run = qpt::test::LevelRun;

// Runs ffmpeg under a time limit; false when it is missing, fails, or
// lacks an encoder.
bool ffmpeg(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                                        QStringLiteral("error"), QStringLiteral("-y")}
                                                + arguments);
    if (!process.waitForStarted(5000))
        return false;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

class TestSongBoundaries : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_recording;

    QByteArray path(const QString& name) const { return QFile::encodeName(m_dir.filePath(name)); }
    QByteArray song(const QString& name, quint32 frames, qint16 level) const
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(levelWav(frames, level)) < 0)
            qFatal("cannot write %s", qPrintable(name));
        return path(name);
    }
    // Records into m_recording; `sync`: at the pace of the clock, so that
    // sound is still queued as a song's data runs out.
    void recordThrough(bool sync)
    {
        QFile::remove(m_recording);
        qputenv("QPT_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE,channels=2,rate=44100 ! filesink sync="
                                      + QByteArray(sync ? "true" : "false") + " location=" + QFile::encodeName(m_recording));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_recording = m_dir.filePath(QStringLiteral("recorded.raw"));
    }

    void cleanup() { qputenv("QPT_AUDIO_SINK", "fakesink sync=true"); }

    // Very short songs (0.05 s, 0.5 s) go on on the same pipeline: each
    // song's next is known before its data can run out, however quickly
    // the sink takes it (an unsynchronised sink takes it at once).
    void shortSongsFollowOnOnePipeline()
    {
        const QList<QPair<quint32, qint16>> songs{
            {kRate / 2, 1000}, {kRate / 20, 2000}, {kRate / 20, 3000}, {kRate / 2, 4000}, {kRate / 5, 5000}};
        QList<QByteArray> paths;
        for (int i = 0; i < songs.size(); ++i)
            paths << song(QStringLiteral("short%1.wav").arg(i), songs[i].first, songs[i].second);
        for (int round = 0; round < 3; ++round) {
            recordThrough(false);
            QList<int> states;
            QList<quint64> advances;
            {
                GstMediaComponent media;
                connect(&media, &MediaComponent::playStateChanged, this, [&](int state) { states << state; });
                // As the player does: the song after the one now heard.
                connect(&media, &MediaComponent::advanced, this, [&](quint64 token) {
                    advances << token;
                    const int next = int(token) + 1;
                    if (next < paths.size())
                        media.setNext(paths[next], quint64(next));
                });
                media.open({paths[0], 0}, {paths[1], 1});
                QVERIFY(waitUntil([&] { return states.contains(ps::Stopped); }, 15000));
            }
            QCOMPARE(advances, (QList<quint64>{1, 2, 3, 4}));
            QCOMPARE(states, (QList<int>{ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Stopped}));
            const QList<Run> runs = qpt::test::levelRuns(qpt::test::TestEnv::readFile(m_recording));
            QList<Run> expected;
            for (const auto& [frames, level] : songs)
                expected << Run{level, frames};
            QVERIFY2(runs == expected, qPrintable(qpt::test::describeRuns(runs)));
        }
    }

    // A next entry that cannot be played never costs the song before it
    // its end: one that is missing or unreadable is not handed over, and
    // one that fails once handed over is told only after the song before
    // has played out. Recorded at the clock's pace, as a sound card takes it.
    void songBeforeABadNextIsHeardWhole_data()
    {
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("failureTold");
        QTest::newRow("missing") << QStringLiteral("missing.wav") << false;
        QTest::newRow("unreadable") << QStringLiteral("unreadable.wav") << false;
        QTest::newRow("a folder") << QStringLiteral("folder.wav") << false;
        QTest::newRow("not audio") << QStringLiteral("corrupt.mp3") << true;
    }

    void songBeforeABadNextIsHeardWhole()
    {
        QFETCH(QString, next);
        QFETCH(bool, failureTold);
        QFile corrupt(m_dir.filePath(QStringLiteral("corrupt.mp3")));
        QVERIFY(corrupt.open(QIODevice::WriteOnly));
        corrupt.write(QByteArray("this is not audio\n").repeated(200));
        corrupt.close();
        song(QStringLiteral("unreadable.wav"), kRate, 500);
        QFile::setPermissions(m_dir.filePath(QStringLiteral("unreadable.wav")), QFileDevice::Permissions());
        QDir(m_dir.path()).mkpath(QStringLiteral("folder.wav"));
        if (next == QLatin1String("unreadable.wav") && ::geteuid() == 0)
            QSKIP("root reads any file");

        const quint32 frames = kRate + 321;
        const QByteArray before = song(QStringLiteral("before.wav"), frames, 1500);
        recordThrough(true);
        QList<int> states;
        QList<quint64> advances;
        QString error;
        {
            GstMediaComponent media;
            connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
                states << state;
                if (state == ps::Stopped)
                    error = media.lastError();
            });
            connect(&media, &MediaComponent::advanced, this, [&](quint64 token) { advances << token; });
            media.open({before, 1}, {path(next), 2});
            QVERIFY(waitUntil([&] { return states.contains(ps::Stopped); }, 15000));
        }
        const QList<Run> runs = qpt::test::levelRuns(qpt::test::TestEnv::readFile(m_recording));
        QVERIFY2(runs == (QList<Run>{{1500, frames}}), qPrintable(qpt::test::describeRuns(runs)));
        if (failureTold) {
            // The failure names the entry that failed, after the song before.
            QCOMPARE(advances, QList<quint64>{2});
            QVERIFY(!error.isEmpty());
        } else {
            // The song before simply ends; the player meets the bad entry
            // when it opens it.
            QVERIFY(advances.isEmpty());
            QCOMPARE(states, (QList<int>{ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Stopped}));
        }
    }

    // Files that hold video beside the sound play their sound to the end
    // and never open a video output; a cover picture is as harmless.
    void soundBesideVideoPlaysToTheEnd_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("encoding");
        const auto words = [](const QString& text) { return text.split(QLatin1Char(' ')); };
        const QString video = QStringLiteral("-f lavfi -i testsrc=duration=1.5:size=160x120:rate=10 ");
        const QString sound = QStringLiteral("-f lavfi -i sine=frequency=440:duration=1.5 ");
        QTest::newRow("theora and vorbis in ogg")
            << QStringLiteral("video.ogg") << words(video + sound + QLatin1String("-c:v libtheora -c:a libvorbis"));
        QTest::newRow("h.264 and aac in m4a")
            << QStringLiteral("video.m4a") << words(video + sound + QLatin1String("-c:v libx264 -c:a aac -f mp4"));
        QTest::newRow("mp3 with a cover picture")
            << QStringLiteral("cover.mp3")
            << words(sound + QLatin1String("-f lavfi -i testsrc=size=64x64:duration=0.1:rate=1 -map 0 -map 1 "
                                         "-frames:v 1 -c:a libmp3lame -c:v mjpeg -disposition:v attached_pic"));
    }

    void soundBesideVideoPlaysToTheEnd()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, encoding);
        if (!ffmpeg(encoding + QStringList{m_dir.filePath(name)}))
            QSKIP("ffmpeg or one of its encoders is missing");
        GstMediaComponent media;
        QList<int> states;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) { states << state; });
        media.setUrl(path(name));
        QVERIFY(waitUntil([&] { return states.contains(ps::Stopped); }, 15000));
        QCOMPARE(states, (QList<int>{ps::Transitioning, ps::Playing, ps::MediaEnded, ps::Stopped}));
        QVERIFY(media.lastError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSongBoundaries)
#include "test_song_boundaries.moc"
