// Albums kept as one file, through the real media component and loader:
// three levels (one per track, so the recording tells which track was
// heard, sample by sample) as one FLAC file with a sheet (made with sox),
// as a BIN/CUE disc image in both byte orders, and under a sheet that
// names a file since re-encoded. Each track is heard exactly: its own
// samples, none of its neighbours', no silence at the changes, also between
// a track and an ordinary song. Lengths are exact; a saved list of tracks
// loads back as the same rows; long, Latin-1 and broken sheets load.

#include "common/cue_track_lines.h"
#include "player/core/media/gst_media_component.h"
#include "player/core/player_core.h"
#include "player/playlist/batch_folder.h"
#include "tests/support/test_env.h"
#include "tests/support/level_runs.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

constexpr int kRate = 44100;
// The album: 75 frames (1 s), 111 frames (1.48 s), then a tail that is no
// whole number of frames.
constexpr quint32 kOne = 75 * 588;
constexpr quint32 kTwo = 111 * 588;
constexpr quint32 kThree = 50000;
constexpr qint16 kLevels[] = {1000, 2000, 3000};

QByteArray levelSamples(quint32 frames, qint16 level)
{
    return littleEndian(quint16(level), 2).repeated(2 * int(frames));
}

QByteArray albumSamples()
{
    return levelSamples(kOne, kLevels[0]) + levelSamples(kTwo, kLevels[1]) + levelSamples(kThree, kLevels[2]);
}

QByteArray swapped(QByteArray samples)
{
    for (qsizetype at = 0; at + 1 < samples.size(); at += 2)
        std::swap(samples[at], samples[at + 1]);
    return samples;
}

QByteArray sheet(const QByteArray& file, const QByteArray& type)
{
    return "REM made by the test\r\nPERFORMER \"Band\"\r\nTITLE \"Levels\"\r\nFILE \"" + file + "\" " + type
        + "\r\n  TRACK 01 AUDIO\r\n    TITLE \"Low\"\r\n    INDEX 01 00:00:00\r\n"
          "  TRACK 02 AUDIO\r\n    TITLE \"Middle\"\r\n    INDEX 00 00:00:50\r\n    INDEX 01 00:01:00\r\n"
          "  TRACK 03 AUDIO\r\n    TITLE \"High\"\r\n    INDEX 01 00:02:36\r\n";
}

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return false;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

using Run = qpt::test::LevelRun;

}  // namespace

class TestCuePlayback : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_recording;

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    NativePath native(const QString& name) const { return QFile::encodeName(path(name)); }
    NativePath track(const QString& sheetName, int number) const { return cuelines::lineOf(native(sheetName), number); }

    QByteArray song(const QString& name, double seconds, qint16 level)
    {
        TestEnv::writeFile(path(name), pcmWav(kRate, 2, 16, levelSamples(quint32(seconds * kRate), level)));
        return native(name);
    }

    // Plays the rows from the first until `heard` songs were heard, and
    // gives the recording.
    QList<Run> record(const QList<NativePath>& rows, int heard, QList<QString>* titles = nullptr)
    {
        QFile::remove(m_recording);
        QList<QString> named;
        {
            GstMediaComponent media;
            PlayerCore core(media);
            connect(&core.engine, &PlaybackEngine::nowPlayingChanged, this, [&](const NowPlaying& now) {
                if (!now.isEmpty())
                    named << now.title;
            });
            for (const NativePath& row : rows)
                core.playlist.append(row, QString::fromUtf8(nativepath::fileName(row)));
            core.engine.playRow(1);
            const bool done = waitUntil([&] { return named.size() > heard; }, 20000);
            core.engine.stop();
            waitUntil([&] { return media.endingSessions() == 0; }, 8000);
            if (!done)
                return {};
        }
        if (titles)
            *titles = named;
        return qpt::test::levelRuns(TestEnv::readFile(m_recording));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_recording = path(QStringLiteral("heard.raw"));
        qputenv("QPT_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE,channels=2,rate=44100 ! "
                                  "filesink sync=true buffer-mode=2 append=true location="
                                      + QFile::encodeName(m_recording));
        const QByteArray samples = albumSamples();
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("source.wav")), pcmWav(kRate, 2, 16, samples)));
        QVERIFY2(run(QStringLiteral("sox"), {path(QStringLiteral("source.wav")), path(QStringLiteral("album.flac"))}),
                 "sox could not make the FLAC album");
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("album.cue")), sheet("album.flac", "WAVE")));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("disc.bin")), samples));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("disc.cue")), sheet("disc.bin", "BINARY")));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("motorola.raw")), swapped(samples)));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("motorola.cue")), sheet("motorola.raw", "MOTOROLA")));
        // Ripped to WAV with its sheet, re-encoded to FLAC later.
        QVERIFY(QDir().mkpath(path(QStringLiteral("moved"))));
        QVERIFY(QFile::copy(path(QStringLiteral("album.flac")), path(QStringLiteral("moved/rip.flac"))));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("moved/rip.cue")), sheet("rip.wav", "WAVE")));
    }

    void cleanupTestCase() { qputenv("QPT_AUDIO_SINK", "fakesink sync=true"); }

    // Track after track of one file: each exactly its samples, no silence
    // between them, nothing of the next at the end of the one before.
    void tracksHeardExactly_data()
    {
        QTest::addColumn<QString>("sheetName");
        QTest::newRow("FLAC and cue") << QStringLiteral("album.cue");
        QTest::newRow("BIN/CUE image") << QStringLiteral("disc.cue");
        QTest::newRow("MOTOROLA image") << QStringLiteral("motorola.cue");
        QTest::newRow("re-encoded after the sheet") << QStringLiteral("moved/rip.cue");
    }

    void tracksHeardExactly()
    {
        QFETCH(QString, sheetName);
        QList<QString> titles;
        const QList<Run> runs =
            record({track(sheetName, 1), track(sheetName, 2), track(sheetName, 3)}, 3, &titles);
        QVERIFY2(runs.size() >= 3, qPrintable(qpt::test::describeRuns(runs)));
        const QList<Run> expected{{kLevels[0], kOne}, {kLevels[1], kTwo}, {kLevels[2], kThree}};
        QVERIFY2(runs.mid(0, 3) == expected, qPrintable(qpt::test::describeRuns(runs)));
        QCOMPARE(titles.size() >= 3, true);
    }

    // Gapless into a track from an ordinary song and out of it into
    // another: the middle track alone, whole, between them.
    void trackBetweenOrdinarySongs()
    {
        const NativePath before = song(QStringLiteral("before.wav"), 0.5, 500);
        const NativePath after = song(QStringLiteral("after.wav"), 0.5, 700);
        const QList<Run> runs = record({before, track(QStringLiteral("album.cue"), 2), after}, 3);
        QVERIFY2(runs.size() >= 3, qPrintable(qpt::test::describeRuns(runs)));
        const QList<Run> expected{{500, kRate / 2}, {kLevels[1], kTwo}, {700, kRate / 2}};
        QVERIFY2(runs.mid(0, 3) == expected, qPrintable(qpt::test::describeRuns(runs)));
    }

    // The track's own time: its length, a seek within it, and its end
    // where the next track starts.
    void positionAndSeekAreTheTracks()
    {
        QFile::remove(m_recording);
        const NativePath after = song(QStringLiteral("after.wav"), 0.5, 700);
        {
            GstMediaComponent media;
            PlayerCore core(media);
            core.playlist.append(track(QStringLiteral("album.cue"), 2), QStringLiteral("Middle"));
            core.playlist.append(after, QStringLiteral("after"));
            core.engine.playRow(1);
            QVERIFY(waitUntil([&] { return media.currentPosition() > 0.2 && media.duration() > 0; }, 8000));
            QVERIFY2(qAbs(media.duration() - kTwo / double(kRate)) < 0.002, qPrintable(QString::number(media.duration())));
            QVERIFY(media.currentPosition() < 1.0);
            QVERIFY(media.setCurrentPosition(1.2));
            QVERIFY(waitUntil([&] { return media.currentPosition() >= 1.2; }, 8000));
            QVERIFY(waitUntil([&] { return core.engine.nowPlayingTitle() == QStringLiteral("after"); }, 8000));
            QTest::qWait(700);  // heard out
            core.engine.stop();
            QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        }
        // The file sink starts its file again at the seek's flush: what it
        // holds is the rest of the track from 1.2 s, exactly, then the next
        // song.
        const QList<Run> runs = qpt::test::levelRuns(TestEnv::readFile(m_recording));
        const QList<Run> expected{{kLevels[1], kTwo - quint32(1.2 * kRate)}, {700, kRate / 2}};
        QVERIFY2(runs.mid(0, 2) == expected, qPrintable(qpt::test::describeRuns(runs)));
    }

    // Rows that cannot play fail as a missing song does, each with its
    // reason: the file is gone; a start before the one before.
    void brokenRowsFailClearly()
    {
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("missing.cue")), sheet("missing.flac", "WAVE")));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("backwards.cue")),
                                   "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:02:00\n"
                                   "TRACK 02 AUDIO\nINDEX 01 00:01:00\n"));
        GstMediaComponent media;
        PlayerCore core(media);
        QSet<QString> errors;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) {
            if (state == playstate::Stopped && !media.lastError().isEmpty())
                errors.insert(QString::fromUtf8(nativepath::fileName(nativepath::folder(media.url())))
                              + QStringLiteral(": ") + media.lastError());
        });
        core.playlist.append(track(QStringLiteral("missing.cue"), 1), QStringLiteral("Low"));
        core.playlist.append(track(QStringLiteral("backwards.cue"), 1), QStringLiteral("backwards 01"));
        core.engine.playRow(1);
        const QSet<QString> expected{QStringLiteral("missing.cue: file not found"),
                                     QStringLiteral("backwards.cue: no playable address")};
        QVERIFY(waitUntil([&] { return errors.contains(expected); }, 8000));
        core.engine.stop();
        QVERIFY(waitUntil([&] { return media.endingSessions() == 0; }, 8000));
        QCOMPARE(errors, expected);
    }

    // Exact lengths from the sheet; the last track to the file's end; a
    // track whose file is missing or that starts past the end has none.
    void exactLengths()
    {
        SongLengthService lengths;
        lengths.setCacheFile(QString());
        const auto ms = [&](const NativePath& line) {
            length::LengthJob job;
            job.entry = 1;
            job.path = line;
            return lengths.measure(job).length.milliseconds().value_or(-1);
        };
        // The whole file as the probe measures it, less the last track's
        // start: within a millisecond of its samples.
        const qint32 last = ms(native(QStringLiteral("album.flac"))) - 2480;
        QVERIFY2(qAbs(last - kThree * 1000.0 / kRate) < 1, qPrintable(QString::number(last)));
        for (const QString& name : {QStringLiteral("album.cue"), QStringLiteral("disc.cue"),
                                    QStringLiteral("motorola.cue"), QStringLiteral("moved/rip.cue")}) {
            QCOMPARE(ms(track(name, 1)), 1000);
            QCOMPARE(ms(track(name, 2)), 1480);
            QCOMPARE(ms(track(name, 3)), last);
        }
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("gone.cue")), sheet("gone.flac", "WAVE")));
        QCOMPARE(ms(track(QStringLiteral("gone.cue"), 1)), 0);
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("past.cue")),
                                   "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                   "TRACK 02 AUDIO\nINDEX 01 09:00:00\n"));
        QCOMPARE(ms(track(QStringLiteral("past.cue"), 2)), 0);
        QCOMPARE(ms(track(QStringLiteral("album.cue"), 4)), 0);
        // Raw audio that is no whole number of sectors: what is there.
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("odd.bin")), albumSamples() + "xyz"));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("odd.cue")), sheet("odd.bin", "BINARY")));
        QCOMPARE(ms(track(QStringLiteral("odd.cue"), 3)), ms(track(QStringLiteral("disc.cue"), 3)));
    }

    // Through the batch folder as every way in delivers: a sheet becomes
    // its rows; the rows saved as lines load back as the same rows; long,
    // Latin-1 and broken sheets, and a FLAC file with a sheet inside.
    void sheetsLoadAsRows()
    {
        TestEnv env;
        const QString folder = env.root();
        const auto load = [&](const QList<NativePath>& lines) {
            QByteArray text;
            for (const NativePath& line : lines)
                text += line + "\r\n";
            TestEnv::writeFile(folder + QStringLiteral("/in.sng"), text);
            BatchFolder batch;
            batch.begin(folder, true);
            QList<PlaylistModel::NewEntry> rows;
            for (int turns = 0; turns < 50; ++turns) {
                BatchFolder::Chunk chunk = batch.next(PlaylistModel::kCap);
                rows += chunk.rows;
                if (chunk.end != BatchFolder::Chunk::End::More)
                    break;
            }
            return rows;
        };
        const QList<PlaylistModel::NewEntry> rows = load({native(QStringLiteral("album.cue")), native(QStringLiteral("before.wav"))});
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].path, track(QStringLiteral("album.cue"), 1));
        QCOMPARE(rows[1].title, QStringLiteral("Middle"));
        QCOMPARE(rows[2].path, track(QStringLiteral("album.cue"), 3));
        QCOMPARE(rows[3].title, QStringLiteral("before"));
        QList<NativePath> saved;
        for (const auto& row : rows)
            saved << row.path;
        const QList<PlaylistModel::NewEntry> again = load(saved);
        QCOMPARE(again.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(again[i].path, rows[i].path);
            QCOMPARE(again[i].title, rows[i].title);
        }

        QByteArray many = "FILE \"album.flac\" WAVE\n";
        for (int i = 1; i <= 120; ++i)
            many += QStringLiteral("TRACK %1 AUDIO\nINDEX 01 00:%2:%3\n").arg(i).arg(i / 75, 2, 10, QLatin1Char('0'))
                        .arg(i % 75, 2, 10, QLatin1Char('0')).toLatin1();
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("many.cue")), many));
        const QList<PlaylistModel::NewEntry> long_ = load({native(QStringLiteral("many.cue"))});
        QCOMPARE(long_.size(), 120);
        QCOMPARE(long_.last().path, track(QStringLiteral("many.cue"), 120));
        QCOMPARE(long_.last().title, QStringLiteral("many 120"));

        QVERIFY(TestEnv::writeFile(path(QStringLiteral("latin.cue")),
                                   "PERFORMER \"Band\"\nFILE \"album.flac\" WAVE\nTRACK 01 AUDIO\n"
                                   "TITLE \"Caf\xe9\"\nPERFORMER \"Andr\xe9\"\nINDEX 01 00:00:00\n"));
        QCOMPARE(load({native(QStringLiteral("latin.cue"))}).value(0).title, QStringLiteral("André - Café"));

        // Garbage, and a file far larger than a sheet: one row each, which
        // cannot play; the rows around them stay.
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 7919) & 0xff);
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("garbage.cue")), garbage));
        QVERIFY(TestEnv::writeFile(path(QStringLiteral("huge.cue")), QByteArray(10 * 1024 * 1024, 'A')));
        const QList<PlaylistModel::NewEntry> bad = load({native(QStringLiteral("garbage.cue")), native(QStringLiteral("huge.cue")),
                                                         native(QStringLiteral("before.wav"))});
        QCOMPARE(bad.size(), 3);
        QCOMPARE(bad[0].path, native(QStringLiteral("garbage.cue")));
        QCOMPARE(bad[2].path, native(QStringLiteral("before.wav")));

        // A FLAC file with its sheet in a CUESHEET tag, offered as its tracks.
        const QByteArray tag = sheet("tagged.flac", "WAVE");
        QVERIFY2(run(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                                QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"),
                                                path(QStringLiteral("source.wav")), QStringLiteral("-metadata"),
                                                QStringLiteral("CUESHEET=") + QString::fromLatin1(tag),
                                                path(QStringLiteral("tagged.flac"))}),
                 "ffmpeg could not make the tagged FLAC file");
        const QList<PlaylistModel::NewEntry> inside = load({native(QStringLiteral("tagged.flac"))});
        QCOMPARE(inside.size(), 3);
        QCOMPARE(inside[2].path, track(QStringLiteral("tagged.flac"), 3));
        QCOMPARE(inside[2].title, QStringLiteral("High"));
    }
};

QTEST_GUILESS_MAIN(TestCuePlayback)
#include "test_cue_playback.moc"
