// Addresses to playbin URIs: local paths, URIs and audio-CD track files.

#include "player/core/media/media_address.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qpt::media;

class TestMediaAddress : public QObject {
    Q_OBJECT
private slots:
    void localPathsAreEscapedFileUris()
    {
        QCOMPARE(mediaUri(QByteArray("/music/My Song #1 50%.mp3")),
                 QStringLiteral("file:///music/My%20Song%20%231%2050%25.mp3"));
        QCOMPARE(mediaUri(QByteArray("/music/Bj\xc3\xb6rk.mp3")), QStringLiteral("file:///music/Bj%C3%B6rk.mp3"));
        QVERIFY(mediaUri(QByteArray("relative.wav")).endsWith(QStringLiteral("/relative.wav")));
        QCOMPARE(mediaUri(QByteArray("http://host/a%20b.mp3")), QStringLiteral("http://host/a%20b.mp3"));
        QCOMPARE(mediaUri(QByteArray()), QString());
    }

    void cdTrackFilesMapToTracks()
    {
        QCOMPARE(mediaUri(QByteArray("/media/cdrom/Track03.cda")), QStringLiteral("cdda://3"));
        QCOMPARE(mediaUri(QByteArray("D:\\Track12.CDA")), QStringLiteral("cdda://12"));
        QCOMPARE(cdTrackUri(QByteArray("/media/cdrom/Track07.cda"), QStringLiteral("/dev/sr0")),
                 QStringLiteral("cdda:///dev/sr0#7"));
        // No track number: nothing to play.
        for (const char* name : {"/cd/Track.cda", "/cd/Track00.cda", "/cd/Track100.cda"})
            QCOMPARE(mediaUri(QByteArray(name)), QString());
        QVERIFY(isCdTrackAddress(QByteArray("cdda://4")));
        QVERIFY(!isCdTrackAddress(QByteArray("/music/Track01.cda.mp3")));
        // Only an optical disc's mount names the drive.
        QTemporaryDir dir;
        QCOMPARE(opticalDeviceAt(QFile::encodeName(dir.path())), QString());
        QCOMPARE(opticalDeviceAt(QByteArray("D:")), QString());
    }
};

QTEST_GUILESS_MAIN(TestMediaAddress)
#include "test_media_address.moc"
