// What is heard next is what the list says comes next, and the player names
// what is heard: the real media component plays songs of one constant
// sample value each into a file, so the recording tells exactly which song
// was heard when, and the edits come in a song's last moments, after the
// next song was already handed to GStreamer.

#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "tests/support/test_env.h"
#include "tests/support/level_runs.h"
#include "tests/support/wav_bytes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

constexpr int kRate = 44100;

// A song of `frames` stereo frames that all hold `value`.
QByteArray levelWav(quint32 frames, qint16 value)
{
    return pcmWav(kRate, 2, 16, littleEndian(quint16(value), 2).repeated(int(frames) * 2));
}

using Run = LevelRun;

// The recording as runs of one value, silence left out.
QList<Run> runsOf(const QByteArray& raw)
{
    return levelRuns(raw, /*keepSilence=*/false);
}

QList<qint16> valuesOf(const QList<Run>& runs)
{
    QList<qint16> values;
    for (const Run& run : runs)
        values << run.value;
    return values;
}

}  // namespace

class TestWhatIsHeard : public QObject {
    Q_OBJECT

    QString m_recording;

    // A song of the list with its own level.
    QByteArray song(const TestEnv& env, const QString& name, double seconds, qint16 value)
    {
        const QString path = env.root() + QLatin1Char('/') + name + QStringLiteral(".wav");
        TestEnv::writeFile(path, levelWav(quint32(seconds * kRate), value));
        return QFile::encodeName(path);
    }

    // Waits until the song heard is within `seconds` of its end.
    static bool nearTheEnd(const MediaComponent& media, double seconds)
    {
        return waitUntil([&] { return media.duration() > 0 && media.currentPosition() >= media.duration() - seconds; },
                         8000);
    }

private slots:
    void init()
    {
        m_recording = QDir::tempPath() + QStringLiteral("/qpt-heard-%1.raw").arg(QCoreApplication::applicationPid());
        QFile::remove(m_recording);
        // Every session appends to the one recording, in real time.
        qputenv("QPT_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE,channels=2,rate=44100 ! "
                                  "filesink sync=true buffer-mode=2 append=true location="
                                      + QFile::encodeName(m_recording));
    }

    void cleanup()
    {
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
        QFile::remove(m_recording);
    }

    // The two moments of the list changing under the song handed over: a
    // song added while the last one ends (the first was to wrap round), and
    // the next row removed while the one before it ends.
    void songHeardNextIsTheOneTheListSays_data()
    {
        QTest::addColumn<bool>("addWhileLastEnds");
        QTest::newRow("song added as the last ends") << true;
        QTest::newRow("next row removed as the song before ends") << false;
    }

    void songHeardNextIsTheOneTheListSays()
    {
        QFETCH(bool, addWhileLastEnds);
        TestEnv env;
        QList<QString> titles;
        qint16 expectedNext = 0;
        quint32 expectedNextFrames = 0;
        qint16 expectedFirst = 0;
        {
            GstMediaComponent media;
            PlayerCore core(media);
            connect(&core.engine, &PlaybackEngine::nowPlayingChanged, this, [&](const NowPlaying& now) {
                if (!now.isEmpty())
                    titles << now.title;
            });
            core.playlist.append(song(env, QStringLiteral("one"), 2.0, 1000), QStringLiteral("one"));
            core.playlist.append(song(env, QStringLiteral("two"), 2.0, 2000), QStringLiteral("two"));
            if (addWhileLastEnds) {
                core.engine.playRow(2);  // the last: the first is handed over to follow it
                QVERIFY(nearTheEnd(media, 0.35));
                core.playlist.append(song(env, QStringLiteral("three"), 1.0, 3000), QStringLiteral("three"));
                expectedFirst = 2000;
            } else {
                core.playlist.append(song(env, QStringLiteral("three"), 1.0, 3000), QStringLiteral("three"));
                core.engine.playRow(1);  // "two" is handed over to follow it
                QVERIFY(nearTheEnd(media, 0.35));
                core.playlist.removeRow(2);
                expectedFirst = 1000;
            }
            expectedNext = 3000;
            expectedNextFrames = kRate;
            QVERIFY(waitUntil([&] { return titles.size() >= 2; }, 8000));
            QCOMPARE(titles[1], QStringLiteral("three"));
            QCOMPARE(core.engine.nowPlayingTitle(), QStringLiteral("three"));
            QCOMPARE(core.engine.nowPlayingRow(), core.playlist.count() == 3 ? 3 : 2);
            // Played out, and on to the next one.
            QVERIFY(waitUntil([&] { return titles.size() >= 3; }, 8000));
            core.engine.stop();
            QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        }
        const QList<Run> runs = runsOf(TestEnv::readFile(m_recording));
        QVERIFY2(runs.size() >= 2, qPrintable(QString::number(runs.size())));
        QCOMPARE(valuesOf(runs).mid(0, 2), (QList<qint16>{expectedFirst, expectedNext}));
        QCOMPARE(runs[1].frames, expectedNextFrames);  // whole, from its first sample
        QCOMPARE(titles.mid(0, 2), (QList<QString>{expectedFirst == 1000 ? QStringLiteral("one") : QStringLiteral("two"),
                                                   QStringLiteral("three")}));
    }

    // The playing row removed: the song plays on under its own name, a
    // pause and a play resume it, and Next goes on with the row that
    // followed it.
    void removedPlayingRowPlaysOnUnderItsName()
    {
        TestEnv env;
        QByteArray second;
        {
            GstMediaComponent media;
            PlayerCore core(media);
            core.playlist.append(song(env, QStringLiteral("one"), 3.0, 1000), QStringLiteral("one"));
            second = song(env, QStringLiteral("two"), 3.0, 2000);
            core.playlist.append(second, QStringLiteral("two"));
            core.playlist.append(song(env, QStringLiteral("three"), 3.0, 3000), QStringLiteral("three"));
            core.engine.playRow(2);
            QVERIFY(waitUntil([&] { return media.currentPosition() > 0.5; }, 8000));
            core.playlist.removeRow(2);
            QTest::qWait(300);
            QCOMPARE(media.url(), second);
            QCOMPARE(core.engine.nowPlayingTitle(), QStringLiteral("two"));
            QCOMPARE(core.engine.nowPlaying().address, second);
            QVERIFY(media.currentPosition() > 0.5);
            core.engine.pause();
            QVERIFY(waitUntil([&] { return media.status() == QStringLiteral("Paused"); }, 5000));
            core.engine.play();
            QVERIFY(waitUntil([&] { return media.status() != QStringLiteral("Paused"); }, 5000));
            QCOMPARE(media.url(), second);
            QCOMPARE(core.engine.nowPlayingTitle(), QStringLiteral("two"));
            // Played out: the row that followed it comes next.
            QVERIFY(waitUntil([&] { return core.engine.nowPlayingTitle() == QStringLiteral("three"); }, 8000));
            QTest::qWait(400);
            core.engine.stop();
            QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        }
        const QList<Run> runs = runsOf(TestEnv::readFile(m_recording));
        QCOMPARE(valuesOf(runs).mid(0, 2), (QList<qint16>{2000, 3000}));
        QCOMPARE(runs[0].frames, quint32(3 * kRate));  // whole, through the pause
    }
};

QTEST_MAIN(TestWhatIsHeard)
#include "test_what_is_heard.moc"
