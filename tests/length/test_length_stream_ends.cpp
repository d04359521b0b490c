// Where a stream's timeline starts and where its audio ends, whatever
// surrounds it: Ogg streams whose granule positions start late (recorded
// from the middle of a broadcast), bytes that are no audio after the last
// page or frame, and fragmented MP4 with and without its index or cut
// short. Each variant is made from a file of the test corpus and measured
// against the length of the file it was made from.

#include "player/core/length/checksums.h"
#include "player/core/length/length_probe.h"
#include "player/core/length/ogg_stream_start.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace qpt;
using namespace qpt::length;

namespace {

QByteArray corpusFile(const QString& name)
{
    QFile f(qpt::test::testDataDir() + QStringLiteral("/length/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("the corpus has not been generated: %s", qPrintable(name));
    return f.readAll();
}

std::optional<std::int64_t> measure(const QByteArray& bytes)
{
    ProbeFile file;
    file.openMemory(Bytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    return LengthProbe::measureFile(file);
}

// Every page with a granule position moved on by `delta`, its CRC renewed.
QByteArray shiftGranules(QByteArray ogg, qint64 delta)
{
    auto* d = reinterpret_cast<std::uint8_t*>(ogg.data());
    for (qsizetype at = 0; at + 27 <= ogg.size();) {
        const int segments = d[at + 26];
        qsizetype size = 27 + segments;
        for (int i = 0; i < segments; ++i)
            size += d[at + 27 + i];
        qint64 granule = 0;
        std::memcpy(&granule, d + at + 6, 8);
        if (granule > 0) {
            granule += delta;
            std::memcpy(d + at + 6, &granule, 8);
            std::memset(d + at + 22, 0, 4);
            const std::uint32_t crc = crc32(Bytes(d + at, std::size_t(size)));
            for (int i = 0; i < 4; ++i)
                d[at + 22 + i] = std::uint8_t(crc >> (8 * i));
        }
        at += size;
    }
    return ogg;
}

// Pages of the video stream repeated to `bytes`: a film that goes on
// after its sound has ended.
QByteArray moreVideo(const QByteArray& ogg, qsizetype bytes)
{
    const auto* d = reinterpret_cast<const std::uint8_t*>(ogg.constData());
    std::uint32_t video = 0;
    bool found = false;
    for (qsizetype at = 0; at + 27 <= ogg.size();) {
        const int segments = d[at + 26];
        qsizetype size = 27 + segments;
        for (int i = 0; i < segments; ++i)
            size += d[at + 27 + i];
        std::uint32_t serial = 0;
        std::memcpy(&serial, d + at + 14, 4);
        if (ogg.mid(at + 27 + segments, 7) == QByteArray("\x80theora"))
            video = serial, found = true;
        else if (found && serial == video && !(d[at + 5] & 0x06) && size > 200)
            return ogg.mid(at, size).repeated(int(bytes / size) + 1);
        at += size;
    }
    qFatal("no video page");
}

QByteArray noise(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator rng(27);
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

}  // namespace

class TestLengthStreamEnds : public QObject {
    Q_OBJECT
private slots:
    // A stream recorded from the middle of another counts from its first
    // sample, however far into the other it began. Opus drops its pre-skip
    // only where that lies on the stream's own timeline, as GStreamer does:
    // from a start past it, nothing.
    void oggStartingLate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("delta");
        QTest::addColumn<qint64>("preSkip");
        for (const char* file : {"vorbis_44k_stereo.ogg", "vorbis_8k_mono.ogg", "vorbis_chained.ogg", "theora_vorbis.ogg"}) {
            for (const qint64 delta : {qint64(1), qint64(441000), qint64(86400) * 44100, qint64(1) << 40})
                QTest::addRow("%s +%lld", file, delta) << file << delta << qint64(0);
        }
        for (const qint64 delta : {qint64(100), qint64(312), qint64(480000), qint64(86400) * 48000})
            QTest::addRow("opus +%lld", delta) << "opus_stereo.opus" << delta << qint64(312);
    }

    void oggStartingLate()
    {
        QFETCH(QString, file);
        QFETCH(qint64, delta);
        QFETCH(qint64, preSkip);
        const QByteArray original = corpusFile(file);
        const auto plain = measure(original);
        QVERIFY(plain);
        const auto shifted = measure(shiftGranules(original, delta));
        QVERIFY(shifted);
        // Opus at 48 kHz: the part of the pre-skip before the new start plays.
        const qint64 kept = std::min(delta, preSkip) * 1000 / 48000;
        QVERIFY2(qAbs(*shifted - (*plain + kept)) <= 1,
                 qPrintable(QStringLiteral("%1 ms, unshifted %2 ms").arg(*shifted).arg(*plain)));
    }

    // Opus packets name their samples in the first byte (and the second for
    // a count of frames).
    void opusPacketSamples_data()
    {
        QTest::addColumn<int>("toc");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("samples");
        QTest::newRow("SILK 10 ms") << (0 << 3) << 0 << 480;
        QTest::newRow("SILK 60 ms") << (3 << 3) << 0 << 2880;
        QTest::newRow("hybrid 20 ms, two frames") << ((13 << 3) | 1) << 0 << 1920;
        QTest::newRow("CELT 2.5 ms") << (16 << 3) << 0 << 120;
        QTest::newRow("CELT 20 ms, two of different sizes") << ((31 << 3) | 2) << 0 << 1920;
        QTest::newRow("CELT 20 ms, counted: 3") << ((31 << 3) | 3) << (0x80 | 3) << 2880;
        QTest::newRow("CELT 5 ms, counted: 48") << ((17 << 3) | 3) << 48 << 11520;
    }

    void opusPacketSamples()
    {
        QFETCH(int, toc);
        QFETCH(int, second);
        QFETCH(int, samples);
        const std::uint8_t packet[] = {std::uint8_t(toc), std::uint8_t(second)};
        QCOMPARE(int(length::opusPacketSamples(Bytes(packet, 2))), samples);
    }

    // Zeros, noise, or noise holding the capture pattern of a page after the
    // last page or frame change nothing.
    void bytesAfterTheAudio_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("after");
        const QByteArray pattern = QByteArray("OggS").repeated(1000) + noise(70000);
        for (const char* file : {"flac_no_total.flac", "flac_44k_stereo.flac", "vorbis_8k_mono.ogg", "opus_8k_mono.opus",
                                 "chained_vorbis_opus.ogg"}) {
            QTest::addRow("%s, 100 KB of zeros", file) << file << QByteArray(100 * 1024, '\0');
            QTest::addRow("%s, 3 MB of zeros", file) << file << QByteArray(3 * 1024 * 1024, '\0');
            QTest::addRow("%s, 5 MB of noise", file) << file << noise(5 * 1024 * 1024);
            QTest::addRow("%s, capture patterns", file) << file << pattern.repeated(20);
        }
    }

    void bytesAfterTheAudio()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, after);
        const QByteArray original = corpusFile(file);
        const auto plain = measure(original);
        QVERIFY(plain && *plain > 1000);
        QCOMPARE(measure(original + after), plain);
    }

    // The sound of a film ends 3 MB of video pages before the file does.
    void videoLongerThanSound()
    {
        const QByteArray film = corpusFile(QStringLiteral("theora_vorbis.ogg"));
        const auto plain = measure(film);
        QVERIFY(plain && *plain > 6000);
        QCOMPARE(measure(film + moreVideo(film, 3 * 1024 * 1024)), plain);
        QCOMPARE(measure(film + moreVideo(film, 40 * 1024 * 1024)), plain);
    }

    // Behind 3 MB of noise the end is found without reading the file whole.
    void bytesAfterTheAudioAreNotRead()
    {
        QTemporaryDir dir;
        for (const char* file : {"flac_no_total.flac", "vorbis_8k_mono.ogg"}) {
            const QString path = dir.filePath(QString::fromLatin1(file));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(corpusFile(file) + noise(3 * 1024 * 1024));
            out.close();
            LengthProbe probe;
            const auto m = probe.measure(QFile::encodeName(path));
            QVERIFY(m && m->ms);
            QVERIFY2(probe.bytesRead() < 1024 * 1024, qPrintable(QString::number(probe.bytesRead())));
        }
    }

    // A FLAC stream of noise behind a valid header plays nothing.
    void flacFramesOfNoise()
    {
        const QByteArray flac = corpusFile(QStringLiteral("flac_44k_stereo.flac"));
        // The metadata blocks: the last one has the top bit of its type set.
        qsizetype at = 4;
        bool last = false;
        while (!last) {
            last = quint8(flac[at]) & 0x80;
            at += 4 + ((quint8(flac[at + 1]) << 16) | (quint8(flac[at + 2]) << 8) | quint8(flac[at + 3]));
        }
        QVERIFY(measure(flac));
        QVERIFY(!measure(flac.left(at) + noise(flac.size() - at)));
        QVERIFY(!measure(flac.left(at) + noise(5 * 1024 * 1024)));
    }

    // A fragmented file measures the same without its index, with an index
    // that points nowhere, and less the more of it is cut off.
    void fragments()
    {
        const QByteArray indexed = corpusFile(QStringLiteral("aac_fragments_indexed.m4a"));
        const auto full = measure(indexed);
        QVERIFY(full && *full > 9000);
        QCOMPARE(measure(corpusFile(QStringLiteral("aac_fragments_no_index.m4a"))), full);
        // The last entry of the index (version 1, one-byte numbers) before
        // the 16 bytes of mfro: its fragment's offset is 8 bytes before the
        // three numbers.
        QByteArray wrongIndex = indexed;
        QVERIFY(wrongIndex.lastIndexOf("tfra") > 0);
        wrongIndex.replace(wrongIndex.size() - 27, 8, QByteArray("\0\0\0\0\0\0\x30\x39", 8));
        QCOMPARE(measure(wrongIndex), full);
        std::int64_t before = 0;
        for (int percent = 5; percent <= 100; percent += 5) {
            const auto cut = measure(indexed.left(indexed.size() * percent / 100));
            QVERIFY(cut);
            QVERIFY2(*cut >= before && *cut <= *full, qPrintable(QStringLiteral("%1 %: %2 ms").arg(percent).arg(*cut)));
            before = *cut;
        }
        QCOMPARE(before, *full);
    }
};

QTEST_MAIN(TestLengthStreamEnds)
#include "test_length_stream_ends.moc"
