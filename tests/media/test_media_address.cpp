// Addresses to playbin URIs: local paths, URIs and audio-CD track files.

#include "player/core/media/media_address.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qpt::media;

class TestMediaAddress : public QObject {
    Q_OBJECT
private slots:
    void localPathsAreEscapedFileUris()
    {
        QCOMPARE(mediaUri(QStringLiteral("/music/My Song #1 50%.mp3")),
                 QStringLiteral("file:///music/My%20Song%20%231%2050%25.mp3"));
        QCOMPARE(mediaUri(QStringLiteral("/music/Bj\u00f6rk.mp3")), QStringLiteral("file:///music/Bj%C3%B6rk.mp3"));
        QVERIFY(mediaUri(QStringLiteral("relative.wav")).endsWith(QStringLiteral("/relative.wav")));
        QCOMPARE(mediaUri(QStringLiteral("http://host/a%20b.mp3")), QStringLiteral("http://host/a%20b.mp3"));
        QCOMPARE(mediaUri(QString()), QString());
    }

    void cdTrackFilesMapToTracks()
    {
        QCOMPARE(mediaUri(QStringLiteral("/media/cdrom/Track03.cda")), QStringLiteral("cdda://3"));
        QCOMPARE(mediaUri(QStringLiteral("D:\\Track12.CDA")), QStringLiteral("cdda://12"));
        QCOMPARE(cdTrackUri(QStringLiteral("/media/cdrom/Track07.cda"), QStringLiteral("/dev/sr0")),
                 QStringLiteral("cdda:///dev/sr0#7"));
        // No track number: nothing to play.
        for (const char* name : {"/cd/Track.cda", "/cd/Track00.cda", "/cd/Track100.cda"})
            QCOMPARE(mediaUri(QString::fromLatin1(name)), QString());
        QVERIFY(isCdTrackAddress(QStringLiteral("cdda://4")));
        QVERIFY(!isCdTrackAddress(QStringLiteral("/music/Track01.cda.mp3")));
        // Only an optical disc's mount names the drive.
        QTemporaryDir dir;
        QCOMPARE(opticalDeviceAt(dir.path()), QString());
        QCOMPARE(opticalDeviceAt(QStringLiteral("D:")), QString());
    }
};

QTEST_GUILESS_MAIN(TestMediaAddress)
#include "test_media_address.moc"
