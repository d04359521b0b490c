// Length texts, what a measurement gives for what cannot be measured, the
// known lengths within a run and across runs (the cache file), and file
// layouts built byte by byte whose lengths are known from how they are built.

#include "player/core/length/length_probe.h"
#include "player/core/length/song_length_service.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

using namespace qpt;
using qpt::test::TestEnv;

namespace {

QByteArray bytes(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (const quint32 v : values)
        out += char(v & 0xFF);
    return out;
}

QByteArray be32(quint32 v)
{
    return bytes({v >> 24, v >> 16, v >> 8, v});
}

QByteArray le32(quint32 v)
{
    return bytes({v, v >> 8, v >> 16, v >> 24});
}

QByteArray le16(quint16 v)
{
    return bytes({v, quint32(v) >> 8});
}

QByteArray varLen(quint32 n)
{
    QByteArray out(1, char(n & 0x7F));
    while (n >>= 7)
        out.prepend(char((n & 0x7F) | 0x80));
    return out;
}

QByteArray tempoEvent(quint32 delta, quint32 microsPerQuarter)
{
    return varLen(delta) + bytes({0xFF, 0x51, 0x03, microsPerQuarter >> 16, microsPerQuarter >> 8, microsPerQuarter});
}

QByteArray noteEvent(quint32 delta, bool on)
{
    return varLen(delta) + bytes({on ? 0x90u : 0x80u, 60, on ? 100u : 0u});
}

QByteArray endOfTrack(quint32 delta)
{
    return varLen(delta) + bytes({0xFF, 0x2F, 0x00});
}

QByteArray track(const QByteArray& events)
{
    return "MTrk" + be32(quint32(events.size())) + events;
}

QByteArray smf(quint16 format, quint16 tracks, quint16 division, const QByteArray& body)
{
    return "MThd" + be32(6) + bytes({quint32(format) >> 8, format, quint32(tracks) >> 8, tracks,
                                     quint32(division) >> 8, division})
         + body;
}

// 16-bit stereo PCM at 44.1 kHz; `dataBytes` in the data chunk's header.
QByteArray pcmWav(quint32 frames, quint32 declaredFrames)
{
    const QByteArray fmt = le16(1) + le16(2) + le32(44100) + le32(44100 * 4) + le16(4) + le16(16);
    const QByteArray data = QByteArray(int(frames * 4), '\0');
    const QByteArray body = "WAVEfmt " + le32(16) + fmt + "data" + le32(declaredFrames * 4) + data;
    return "RIFF" + le32(quint32(body.size())) + body;
}

// A 417-byte MPEG-1 Layer III frame (128 kbit/s, 44.1 kHz, stereo).
QByteArray l3Frame()
{
    return bytes({0xFF, 0xFB, 0x90, 0x00}) + QByteArray(413, '\0');
}

// What a worker thread makes of the song line.
length::LengthResult measured(SongLengthService& service, const QByteArray& line)
{
    length::LengthJob job;
    job.path = line;
    return service.measure(job);
}

QString lengthText(SongLengthService& service, const QString& path)
{
    return measured(service, QFile::encodeName(path)).length.text();
}

void setModificationTime(const QString& path, const timespec& time)
{
    const timespec times[2] = {time, time};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

// What lengthNow says once a worker has found out.
SongLength answerOf(SongLengthService& service, const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (!QTest::qWaitFor([&] { return service.lengthNow(bytes).has_value(); }, 10000))
        return SongLength::pending();
    return service.lengthNow(bytes).value_or(SongLength::pending());
}

}  // namespace

class TestLengthService : public QObject {
    Q_OBJECT
private slots:
    void formatLength_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0:00";
        QTest::newRow("59.499 s") << qint64(59499) << "0:59";
        QTest::newRow("59.5 s halves to even 60") << qint64(59500) << "1:00";
        QTest::newRow("60.5 s halves to even 60") << qint64(60500) << "1:00";
        QTest::newRow("61.5 s halves to even 62") << qint64(61500) << "1:02";
        QTest::newRow("60.501 s") << qint64(60501) << "1:01";
        QTest::newRow("65 s") << qint64(65000) << "1:05";
        QTest::newRow("9:59.499") << qint64(599499) << "9:59";
        QTest::newRow("just below an hour rounds up") << qint64(3599500) << "1:0:00";
        QTest::newRow("1 h 2 min 5 s: minutes unpadded") << qint64(3725000) << "1:2:05";
        QTest::newRow("10 h 11 min") << qint64(36660000) << "10:11:00";
        QTest::newRow("32-bit maximum") << qint64(2147483647) << "596:31:24";
    }

    void formatLength()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(SongLength::formatMilliseconds(ms), text);
    }

    void formatLengthRefusesWhatIsNot32BitMilliseconds()
    {
        QVERIFY(!SongLength::formatMilliseconds(qint64(2147483648)));
        QVERIFY(!SongLength::formatMilliseconds(-1));
    }

    void linesAndAddresses()
    {
        TestEnv env;
        SongLengthService service;
        const QString tone = qpt::test::testDataDir() + QStringLiteral("/tone.wav");
        // Blanks around the line are not part of the path; the media
        // component's address may be a file URI.
        QCOMPARE(measured(service, "  " + QFile::encodeName(tone) + " ").length.text(), QStringLiteral("0:03"));
        QCOMPARE(measured(service, QUrl::fromLocalFile(tone).toEncoded()).length.text(), QStringLiteral("0:03"));
        // What the supervision asks is found out by a worker (the window
        // thread never looks at the file): a known file is not read again,
        // an unknown one once, however often the ticks ask meanwhile.
        const auto filesBefore = service.filesRead();
        QCOMPARE(answerOf(service, tone).text(), QStringLiteral("0:03"));
        QCOMPARE(service.filesRead(), filesBefore);
        const QString other = env.root() + QStringLiteral("/other.wav");
        QVERIFY(QFile::copy(tone, other));
        QVERIFY(!service.lengthNow(QFile::encodeName(other)));
        QVERIFY(!service.lengthNow(QFile::encodeName(other)));  // the next tick: the same request
        QCOMPARE(answerOf(service, other).text(), QStringLiteral("0:03"));
        QCOMPARE(service.filesRead() - filesBefore, 1);  // measured once
        QCOMPARE(service.pending(), 0);                  // not one of the playlist's
    }

    // No box either: the core cannot show one, it links no window library.
    void unplayableInputsMeasureZeroWithoutBox()
    {
        TestEnv env;
        SongLengthService service;
        const QString fifo = env.root() + QStringLiteral("/pipe.mp3");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        TestEnv::writeFile(env.root() + QStringLiteral("/one.mp3"), l3Frame().left(300));
        QDir().mkpath(env.root() + QStringLiteral("/dir.wav"));
        for (const QString& name : {QString(), QStringLiteral("   "), env.root() + QStringLiteral("/missing.wav"),
                                    env.root() + QStringLiteral("/dir.wav"), fifo,
                                    env.root() + QStringLiteral("/one.mp3"), QStringLiteral("http://host/a.mp3")}) {
            QCOMPARE(lengthText(service, name), QStringLiteral("0:00"));
            QVERIFY(answerOf(service, name).showsZero());
        }
    }

    void lengthBeyond32BitIsReported()
    {
        TestEnv env;
        SongLengthService service;
        // 2^28 ticks of a 16.7 s quarter note at one tick per quarter: ages.
        const QString path = env.root() + QStringLiteral("/endless.mid");
        TestEnv::writeFile(path, smf(0, 1, 1, track(tempoEvent(0, 0xFFFFFF) + endOfTrack(0x0FFFFFFF))));
        const length::LengthResult result = measured(service, QFile::encodeName(path));
        QVERIFY(result.tooLong);
        QCOMPARE(result.length.text(), QString());
    }

    // Within a run and across runs: an unchanged file (same size and
    // modification time) is not read again, a changed one is.
    void knownLengthsFollowTheFile()
    {
        TestEnv env;
        const QString cache = env.cacheDir() + QStringLiteral("/quorbel-player-tirk/lengths.cache");
        const QString path = env.root() + QStringLiteral("/song.wav");
        TestEnv::writeFile(path, pcmWav(44100 * 3, 44100 * 3));
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        const auto claimOneSecond = [&] {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(40);
            file.write(le32(44100 * 4));  // the data chunk now claims one second
            file.close();
            setModificationTime(path, before.st_mtim);
        };
        {
            SongLengthService service;
            service.setCacheFile(cache);
            QCOMPARE(lengthText(service, path), QStringLiteral("0:03"));
            // Same size and time, other content: still the known length,
            // which shows the file was not read again.
            claimOneSecond();
            QCOMPARE(lengthText(service, path), QStringLiteral("0:03"));
            QVERIFY(service.saveCache());
        }
        {
            // The next run knows it from the cache file.
            SongLengthService service;
            service.setCacheFile(cache);
            QCOMPARE(lengthText(service, path), QStringLiteral("0:03"));
            QCOMPARE(service.filesRead(), 0);
            // A new modification time: measured afresh.
            setModificationTime(path, {before.st_mtim.tv_sec + 5, 0});
            QCOMPARE(lengthText(service, path), QStringLiteral("0:01"));
            // A new size: measured afresh too.
            TestEnv::writeFile(path, pcmWav(44100 * 7, 44100 * 7));
            QCOMPARE(lengthText(service, path), QStringLiteral("0:07"));
            QVERIFY(service.saveCache());
        }
        SongLengthService service;
        service.setCacheFile(cache);
        QCOMPARE(lengthText(service, path), QStringLiteral("0:07"));
        QCOMPARE(service.filesRead(), 0);
    }

    // A cache file that is damaged, cut short, foreign or of another
    // version is not trusted: the files are measured, and the cache file
    // is written afresh at the end of the run.
    void damagedCacheIsIgnoredAndRebuilt_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("one byte changed") << 0;
        QTest::newRow("cut short") << 1;
        QTest::newRow("another version") << 2;
        QTest::newRow("not a cache at all") << 3;
        QTest::newRow("a folder") << 4;
        QTest::newRow("a pipe, not waited on") << 5;
    }

    void damagedCacheIsIgnoredAndRebuilt()
    {
        QFETCH(int, damage);
        TestEnv env;
        const QString cache = env.cacheDir() + QStringLiteral("/quorbel-player-tirk/lengths.cache");
        const QString path = env.root() + QStringLiteral("/song.wav");
        TestEnv::writeFile(path, pcmWav(44100 * 3, 44100 * 3));
        {
            SongLengthService service;
            service.setCacheFile(cache);
            QCOMPARE(lengthText(service, path), QStringLiteral("0:03"));
            QVERIFY(service.saveCache());
        }
        QByteArray bytes = TestEnv::readFile(cache);
        QVERIFY(bytes.size() > 40);
        switch (damage) {
        case 0: {
            // The stored length of the one song, 3000 ms, becomes 9000 ms:
            // only the sum tells.
            const qsizetype at = bytes.indexOf(QByteArray::fromRawData("\xb8\x0b\0\0\0\0\0\0", 8));
            QVERIFY(at > 0);
            bytes[at] = char(0x28);
            bytes[at + 1] = char(0x23);
            break;
        }
        case 1:
            bytes.chop(5);
            break;
        case 2:
            bytes[6] = char(bytes[6] + 1);  // a version this build does not know
            break;
        case 3:
            bytes = QByteArray(bytes.size(), 'x');
            break;
        case 4:
            bytes.clear();
            QVERIFY(QFile::remove(cache));
            QVERIFY(QDir().mkpath(cache));
            break;
        case 5:
            QVERIFY(QFile::remove(cache));
            QCOMPARE(::mkfifo(QFile::encodeName(cache).constData(), 0600), 0);
            break;
        }
        if (damage != 4 && damage != 5)
            QVERIFY(TestEnv::writeFile(cache, bytes));

        SongLengthService service;
        service.setCacheFile(cache);
        QCOMPARE(lengthText(service, path), QStringLiteral("0:03"));
        QCOMPARE(service.filesRead(), 1);  // measured, not taken from the damaged cache
        if (damage == 4)
            return;  // a folder in its place: nothing can be written there
        QVERIFY(service.saveCache());
        SongLengthService next;
        next.setCacheFile(cache);
        QCOMPARE(lengthText(next, path), QStringLiteral("0:03"));
        QCOMPARE(next.filesRead(), 0);
    }

    // A few good frames, then megabytes of a header pattern that never
    // confirms: every byte of the file is read a bounded number of times,
    // however many candidates the scan has to look at.
    void frameScanReadsEachByteBoundedTimes()
    {
        const QByteArray file = l3Frame().repeated(10) + QByteArray("\xFF\xFB\x90\x64", 4).repeated(1 << 20);
        length::ProbeFile probe;
        probe.openMemory(length::Bytes(reinterpret_cast<const std::uint8_t*>(file.constData()), file.size()));
        QVERIFY(length::LengthProbe::measureFile(probe));  // from memory: nothing counted

        TestEnv env;
        const QString path = env.root() + QStringLiteral("/crafted.mp3");
        QVERIFY(TestEnv::writeFile(path, file));
        length::LengthProbe counted;
        QVERIFY(counted.measure(QFile::encodeName(path)).has_value());
        QVERIFY2(counted.bytesRead() <= 3 * file.size(), qPrintable(QString::number(counted.bytesRead())));
        QVERIFY(counted.bytesRead() >= file.size());
    }

    void builtFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("ms");

        // Format 2: independent sequences, one after the other, each with
        // its own tempo: 960 ticks at 0.5 s + 480 ticks at 0.25 s.
        QTest::newRow("midi format 2 adds its sequences")
            << smf(2, 2, 480, track(noteEvent(0, true) + noteEvent(960, false) + endOfTrack(0))
                                  + track(tempoEvent(0, 250000) + endOfTrack(480)))
            << qint64(1250);
        // Tempo changes at the same tick in two tracks: the later track's
        // is in force. 480 ticks at 0.5 s, then 480 at 1.0 s.
        QTest::newRow("midi same-tick tempo changes")
            << smf(1, 2, 480, track(tempoEvent(480, 2000000) + endOfTrack(0))
                                  + track(tempoEvent(480, 1000000) + endOfTrack(480)))
            << qint64(1500);
        // A chunk of another kind between the tracks is skipped; a last
        // track cut off inside an event ends at its last whole event; the
        // header promises more tracks than there are.
        QTest::newRow("midi alien chunk and cut-off track")
            << smf(1, 5, 100, track(noteEvent(0, true) + endOfTrack(150)) + "XFIH" + be32(3) + "abc"
                                  + "MTrk" + be32(100) + noteEvent(330, true) + noteEvent(10, false).left(2))
            << qint64(1650);
        // A tempo change after the End of Track does not count, nor do
        // bytes after it.
        QTest::newRow("midi events after end of track")
            << smf(0, 1, 96, track(noteEvent(96, true) + endOfTrack(96) + tempoEvent(0, 100) + noteEvent(5000, false)))
            << qint64(1000);
        // A header frame whose frame count cannot be true for the bytes
        // that follow is not believed: the frames are counted.
        QByteArray xing = l3Frame();
        xing.replace(36, 12, "Xing" + be32(1) + be32(100000));
        QTest::newRow("mpeg implausible Xing count") << xing + l3Frame().repeated(50) << qint64(50 * 1152 * 1000 / 44100);
        // A frame header every 417 bytes, broken off: the cut-off frame is
        // not played.
        QTest::newRow("mpeg cut-off last frame") << l3Frame().repeated(40) + l3Frame().left(200) << qint64(40 * 1152 * 1000 / 44100);
        // The format chunk after the data chunk.
        const QByteArray fmt = le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
        const QByteArray body = "WAVEdata" + le32(16000 * 3 + 200) + QByteArray(16000 * 3 + 200, '\0') + "fmt "
                              + le32(16) + fmt;
        QTest::newRow("wav fmt after data") << "RIFF" + le32(quint32(body.size())) + body << qint64(3012);
    }

    void builtFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, ms);
        TestEnv env;
        SongLengthService service;
        const QByteArray path = QFile::encodeName(env.root() + QStringLiteral("/built.bin"));
        QVERIFY(TestEnv::writeFile(QFile::decodeName(path), bytes));
        QCOMPARE(measured(service, path).length.milliseconds().value_or(-1), ms);
    }
};

QTEST_MAIN(TestLengthService)
#include "test_length_service.moc"
