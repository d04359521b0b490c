// Audio-CD addresses in every form the desktop, GStreamer and the user give
// them, and what is no CD address at all (a song named like a track).

#include "common/cd_address.h"
#include "common/music_files.h"

#include <QTest>

using namespace qpt;
using namespace qpt::cd;

Q_DECLARE_METATYPE(std::optional<qpt::cd::CdAddress>)

class TestCdAddress : public QObject {
    Q_OBJECT
private slots:
    void formsOfOneTrackOrDisc_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<CdAddress>>("expected");
        const auto track = [](const char* device, int number) { return std::optional(CdAddress{device, number}); };
        const std::optional<CdAddress> none;
        QTest::newRow("GStreamer, default drive") << QByteArray("cdda://3") << track("", 3);
        QTest::newRow("GStreamer, named drive") << QByteArray("cdda:///dev/sr1#12") << track("/dev/sr1", 12);
        QTest::newRow("GStreamer, image with escapes")
            << QByteArray("cdda:///tmp/my%20disc.cue#2") << track("/tmp/my disc.cue", 2);
        QTest::newRow("scheme in capitals") << QByteArray("CDDA://7") << track("", 7);
        QTest::newRow("drive by short name") << QByteArray("cdda://sr0#4") << track("/dev/sr0", 4);
        QTest::newRow("file manager's track") << QByteArray("cdda://sr0/Track%201.wav") << track("/dev/sr0", 1);
        QTest::newRow("file manager's track, decoded")
            << QByteArray("cdda://sr0/Track 10.wav") << track("/dev/sr0", 10);
        QTest::newRow("file manager's disc") << QByteArray("cdda://sr0/") << track("/dev/sr0", 0);
        QTest::newRow("gvfs local view, track")
            << QByteArray("/run/user/1000/gvfs/cdda:host=sr1/Track 2.wav") << track("/dev/sr1", 2);
        QTest::newRow("gvfs local view, disc")
            << QByteArray("/run/user/1000/gvfs/cdda:host=sr0") << track("/dev/sr0", 0);
        QTest::newRow("device path") << QByteArray("/dev/sr0") << track("/dev/sr0", 0);
        QTest::newRow("device path, symbolic name") << QByteArray("/dev/cdrom") << track("/dev/cdrom", 0);
        QTest::newRow("whole default disc") << QByteArray("cdda://") << track("", 0);
        QTest::newRow("whole disc of an image") << QByteArray("cdda:///tmp/a.cue") << track("/tmp/a.cue", 0);
        // Not CD addresses: beyond the tracks a CD has, other devices,
        // songs that merely look like tracks.
        QTest::newRow("track 0") << QByteArray("cdda://0") << none;
        QTest::newRow("track 100") << QByteArray("cdda://100") << none;
        QTest::newRow("no track after #") << QByteArray("cdda:///dev/sr0#") << none;
        QTest::newRow("unknown short name") << QByteArray("cdda://sda#1") << none;
        QTest::newRow("other file in the disc's view") << QByteArray("cdda://sr0/cover.jpg") << none;
        QTest::newRow("a disk, not a drive") << QByteArray("/dev/sda") << none;
        QTest::newRow("a song called Track") << QByteArray("/music/Track 1.wav") << none;
        QTest::newRow("a folder under /dev") << QByteArray("/dev/sr0/x") << none;
        QTest::newRow("http") << QByteArray("http://host/3") << none;
    }

    void formsOfOneTrackOrDisc()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<CdAddress>, expected);
        const auto parsed = parse(line);
        QCOMPARE(parsed.has_value(), expected.has_value());
        if (expected) {
            QCOMPARE(parsed->device, expected->device);
            QCOMPARE(parsed->track, expected->track);
        }
        // The loader, drops and the media controls take exactly these.
        QCOMPARE(music::kindOf(line) == music::Kind::CdAudio, expected.has_value());
    }

    // What a row keeps reads back as the same track, also for a device
    // whose path needs escaping; the default drive stays unnamed.
    void rowLinesReadBackAsTheirTrack()
    {
        for (const QByteArray& device : {QByteArray(), QByteArray("/dev/sr0"), QByteArray("/tmp/a #b%.cue")}) {
            for (const int track : {1, 9, 99}) {
                const auto parsed = parse(trackLine(device, track));
                QVERIFY(parsed);
                QCOMPARE(parsed->device, device);
                QCOMPARE(parsed->track, track);
            }
            const auto disc = parse(discLine(device));
            QVERIFY(disc && disc->isWholeDisc());
            QCOMPARE(disc->device, device);
        }
        QCOMPARE(trackLine(QByteArray(), 3), QByteArray("cdda://3"));
        QCOMPARE(trackTitle(3), QByteArray("Track 03"));
        // The default drive is the one the user named.
        qputenv("QPT_CD_DEVICE", "/tmp/image.cue");
        QCOMPARE(deviceOf(*parse("cdda://2")), QByteArray("/tmp/image.cue"));
        QCOMPARE(deviceOf(*parse("cdda:///dev/sr1#2")), QByteArray("/dev/sr1"));
        qunsetenv("QPT_CD_DEVICE");
        // Windows track files stay what they were.
        QCOMPARE(music::kindOf("D:\\Track03.cda"), music::Kind::CdTrack);
    }

    // Dropped URLs: local files as paths, CD tracks as they stand, the rest
    // left out.
    void droppedUrls()
    {
        const QList<QByteArray> paths = pathsOfUrls({QUrl(QStringLiteral("file:///m/a%20b.mp3")),
                                                     QUrl(QStringLiteral("cdda://sr0/Track%201.wav")),
                                                     QUrl(QStringLiteral("http://host/x.mp3"))});
        QCOMPARE(paths, (QList<QByteArray>{"/m/a b.mp3", "cdda://sr0/Track%201.wav"}));
    }
};

QTEST_GUILESS_MAIN(TestCdAddress)
#include "test_cd_address.moc"
