// Audio CDs, with a BIN/CUE image made here by sox standing in for the
// drive (QPT_CD_DEVICE): the disc's rows with their CD-Text titles and
// exact lengths from its table of contents, its tracks heard through the
// real media component exactly as the image holds them, one after the
// other without a gap; and a drive without a disc, whose rows cannot play,
// said once, with the window thread never waiting on it.

#include "common/cd_address.h"
#include "player/core/cd/audio_cd_watch.h"
#include "player/core/cd/disc_toc.h"
#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "tests/player/core_fixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

constexpr int kSectorBytes = 2352;

struct Tone {
    int sectors;
    int hertz;
};
// Three tones of their own pitch; the middle one of an odd length.
const QList<Tone> kTones{{75, 440}, {39, 660}, {60, 880}};

// Runs sox, within a time limit.
bool sox(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("sox"), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// "MM:SS:FF" of a sector.
QString msf(int sector)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sector / 75 / 60, 2, 10, QLatin1Char('0'))
        .arg(sector / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % 75, 2, 10, QLatin1Char('0'));
}

// disc.cue and disc.bin in the folder (raw 16-bit stereo little-endian at
// 44.1 kHz, tracks on whole sectors); CD-Text titles for the first two.
// The image's bytes, or empty when sox failed.
QByteArray makeImage(const QString& folder)
{
    QByteArray image;
    QString cue = QStringLiteral("TITLE \"Three Tones\"\nFILE \"disc.bin\" BINARY\n");
    const QStringList titles{QStringLiteral("Low"), QStringLiteral("Middle")};
    int start = 0;
    for (int i = 0; i < kTones.size(); ++i) {
        const QString raw = folder + QStringLiteral("/tone%1.raw").arg(i);
        const int samples = kTones[i].sectors * cd::kSamplesPerSector;
        if (!sox({"-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed", "-L", "-t", "raw", raw, "synth",
                  QStringLiteral("%1s").arg(samples), "sine", QString::number(kTones[i].hertz), "vol", "0.5"}))
            return QByteArray();
        image += TestEnv::readFile(raw);
        cue += QStringLiteral("  TRACK %1 AUDIO\n").arg(i + 1, 2, 10, QLatin1Char('0'));
        if (i < titles.size())
            cue += QStringLiteral("    TITLE \"%1\"\n").arg(titles[i]);
        cue += QStringLiteral("    INDEX 01 %1\n").arg(msf(start));
        start += kTones[i].sectors;
    }
    if (image.size() != start * kSectorBytes)
        return QByteArray();
    // libcdio finds the data beside the cue sheet under its base name.
    if (!TestEnv::writeFile(folder + QStringLiteral("/disc.bin"), image)
        || !TestEnv::writeFile(folder + QStringLiteral("/disc.cue"), cue.toUtf8()))
        return QByteArray();
    return image;
}

qint64 exactMs(int sectors)
{
    return (qint64(sectors) * cd::kSamplesPerSector * 1000 + cd::kSampleRate / 2) / cd::kSampleRate;
}

}  // namespace

class TestAudioCd : public QObject {
    Q_OBJECT

    QString m_folder;
    QByteArray m_image;
    QString m_recording;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
            QSKIP("sox is not installed");
        m_folder = QDir::tempPath() + QStringLiteral("/qpt-cd-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(m_folder);
        m_image = makeImage(m_folder);
        QVERIFY(!m_image.isEmpty());
    }

    void cleanupTestCase()
    {
        QDir(m_folder).removeRecursively();
    }

    void init()
    {
        qputenv("QPT_CD_DEVICE", QFile::encodeName(m_folder + QStringLiteral("/disc.cue")));
        cd::forgetRecentReads();
    }

    void cleanup()
    {
        qunsetenv("QPT_CD_DEVICE");
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
        if (!m_recording.isEmpty())
            QFile::remove(m_recording);
    }

    // Every way a disc or a track arrives as a batch line (the menu entry's
    // whole disc, GStreamer's and the file manager's tracks): one row per
    // track, titled as the disc says, its length exact to the sector.
    void rowsAndExactLengthsFromTheDisc()
    {
        TestEnv env;
        CoreFixture f;
        QSignalSpy errors(&f.loader, &BatchLoader::errorOccurred);
        const QByteArray image = QFile::encodeName(m_folder + QStringLiteral("/disc.cue"));
        QVERIFY(TestEnv::writeFile(env.app(QStringLiteral("a.sng")),
                                   "cdda://\r\n" + cd::trackLine(image, 3) + "\r\ncdda://2\r\n"));
        QVERIFY(f.loadBatches());
        QCOMPARE(f.playlist.paths(),
                 (QList<QByteArray>{"cdda://1", "cdda://2", "cdda://3", cd::trackLine(image, 3), "cdda://2"}));
        const QStringList titles{QStringLiteral("Low"), QStringLiteral("Middle"), QStringLiteral("Track 03"),
                                 QStringLiteral("Track 03"), QStringLiteral("Middle")};
        const QList<int> sectors{75, 39, 60, 60, 39};
        for (int row = 1; row <= 5; ++row) {
            QCOMPARE(f.playlist.title(row).value(), titles[row - 1]);
            QCOMPARE(f.playlist.songLength(row)->milliseconds().value_or(-1), exactMs(sectors[row - 1]));
        }
        QCOMPARE(errors.count(), 0);
        // The menu's look finds the image as a disc in a drive.
        AudioCdWatch watch;
        watch.look();
        QVERIFY(waitUntil([&] { return !watch.looking(); }));
        QCOMPARE(watch.drive(), image);
    }

    // Played from its first track, the disc is heard exactly as the image
    // holds it: each track whole, the next one from the sample after the
    // last, nothing between, nothing of one in the other.
    void tracksFollowWithoutAGap()
    {
        m_recording = m_folder + QStringLiteral("/heard.raw");
        QFile::remove(m_recording);
        qputenv("QPT_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE,channels=2,rate=44100 ! "
                                  "filesink sync=true buffer-mode=2 append=true location="
                                      + QFile::encodeName(m_recording));
        TestEnv env;
        QStringList heard;
        {
            GstMediaComponent media;
            PlayerCore core(media);
            connect(&core.engine, &PlaybackEngine::nowPlayingChanged, this, [&](const NowPlaying& now) {
                if (!now.isEmpty())
                    heard << now.title;
            });
            core.playlist.append("cdda://1", QStringLiteral("Low"));
            core.playlist.append("cdda://2", QStringLiteral("Middle"));
            core.playlist.append("cdda://3", QStringLiteral("Track 03"));
            core.engine.playRow(1);
            QVERIFY(waitUntil([&] { return heard.size() >= 3; }, 15000));
            // The last track plays out before the list begins again.
            QVERIFY(waitUntil([&] { return heard.size() >= 4; }, 15000));
            core.engine.stop();
            QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        }
        QCOMPARE(heard.mid(0, 3), (QStringList{"Low", "Middle", "Track 03"}));
        const QByteArray recording = TestEnv::readFile(m_recording);
        const qsizetype at = recording.indexOf(m_image.left(4 * kSectorBytes));
        QVERIFY2(at >= 0, "the first track was not heard from its start");
        QVERIFY(at % 4 == 0);
        QVERIFY(recording.size() >= at + m_image.size());
        // Byte for byte: a gap, a lost or a doubled sample would shift
        // everything after it.
        const QByteArray disc = recording.mid(at, m_image.size());
        for (int track = 0, offset = 0; track < kTones.size(); offset += kTones[track++].sectors * kSectorBytes) {
            const int bytes = kTones[track].sectors * kSectorBytes;
            QVERIFY2(disc.mid(offset, bytes) == m_image.mid(offset, bytes),
                     qPrintable(QStringLiteral("track %1 differs").arg(track + 1)));
        }
    }

    // An empty drive: a whole disc gives no rows, its tracks give rows that
    // cannot play, the other songs come in as ever, and it is said once.
    // Playing them never holds the window thread: the engine returns at
    // once, each track fails like a missing song, and the round of failures
    // stops with its one message.
    void emptyDriveIsSaidOnceAndItsRowsCannotPlay()
    {
        TestEnv env;
        const QByteArray nothing = QFile::encodeName(m_folder + QStringLiteral("/no-drive-here"));
        qputenv("QPT_CD_DEVICE", nothing);
        {
            CoreFixture f;
            QSignalSpy errors(&f.loader, &BatchLoader::errorOccurred);
            QVERIFY(TestEnv::writeFile(env.app(QStringLiteral("a.sng")),
                                       "cdda://\r\ncdda://2\r\n/m/song.mp3\r\n/dev/sr9\r\ncdda://3\r\n"));
            QVERIFY(f.loadBatches());
            QCOMPARE(f.playlist.paths(), (QList<QByteArray>{"cdda://2", "/m/song.mp3", "cdda://3"}));
            QCOMPARE(f.playlist.title(1).value(), QStringLiteral("Track 02"));
            QCOMPARE(f.playlist.songLength(1)->kind(), SongLength::Kind::Blank);
            // One message for each drive named, not one per line.
            QCOMPARE(errors.count(), 2);
            QCOMPARE(errors[0][0].value<PlayerError>(), PlayerError::NoAudioCd);
            QCOMPARE(errors[0][1].toString(), QString::fromLocal8Bit(nothing));
            QCOMPARE(errors[1][1].toString(), QStringLiteral("/dev/sr9"));
            AudioCdWatch watch;
            watch.look();
            QVERIFY(waitUntil([&] { return !watch.looking(); }));
            QVERIFY(!watch.holdsAudioCd());
        }
        GstMediaComponent media;
        PlayerCore core(media);
        QSignalSpy nothingPlayed(&core, &PlayerCore::nothingPlayed);
        core.playlist.append("cdda://1", QStringLiteral("Track 01"));
        core.playlist.append("cdda://2", QStringLiteral("Track 02"));
        QElapsedTimer clock;
        clock.start();
        core.engine.playRow(1);
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(waitUntil([&] { return nothingPlayed.count() == 1; }, 15000));
        QTest::qWait(300);
        QCOMPARE(nothingPlayed.count(), 1);
        core.engine.stop();
        QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
    }
};

QTEST_MAIN(TestAudioCd)
#include "test_audio_cd.moc"
