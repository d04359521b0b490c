// Audio-CD track lengths: the folder holding track01.cda stands for the
// drive, and the length comes from two bytes of a track file's header.

#include "player/core/length/song_length_service.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QTest>

using namespace qpt;
using qpt::test::TestEnv;

namespace {

// A 44-byte track file header with the length's minutes at 1-based
// position 43 and its seconds at 42.
QByteArray trackHeader(quint8 minutes, quint8 seconds)
{
    QByteArray h("RIFF\x24\x00\x00\x00" "CDDAfmt \x18\x00\x00\x00", 20);
    h += QByteArray(24, '\0');
    h[41] = char(seconds);
    h[42] = char(minutes);
    return h;
}

// The length a worker reads for track `track` of the CD found last.
QString cdTrackLength(SongLengthService& service, int track)
{
    length::LengthJob job;
    job.kind = length::LengthJob::Kind::CdTrack;
    job.cdFolder = service.cdFolder();
    job.cdTrack = track;
    return service.measure(job).length.text();
}

}  // namespace

class TestLengthCd : public QObject {
    Q_OBJECT
private slots:
    void nothingBeforeACdIsFound()
    {
        TestEnv env;
        SongLengthService service;
        QCOMPARE(cdTrackLength(service, 1), QString());
        // A folder without track01.cda is no CD.
        const QString folder = env.root() + QStringLiteral("/nocd");
        QDir().mkpath(folder);
        TestEnv::writeFile(folder + QStringLiteral("/track02.cda"), trackHeader(4, 35));
        service.prepareCdDrive(QFile::encodeName(folder + QStringLiteral("/track02.cda")));
        service.prepareCdDrive(QFile::encodeName(QString()));
        QCOMPARE(service.cdFolder(), QString());
        QCOMPARE(cdTrackLength(service, 2), QString());
    }

    void trackLengths_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("4 min 35 s") << 4 << 35 << "4:35";
        QTest::newRow("12 min 35 s") << 12 << 35 << "12:35";
        QTest::newRow("no length") << 0 << 0 << "N/A";
        QTest::newRow("3 min 0 s") << 3 << 0 << "3:00";
        // Two digits: which bytes they came from is known here.
        QTest::newRow("1 min 5 s") << 1 << 5 << "1:05";
        QTest::newRow("10 min 0 s") << 10 << 0 << "10:00";
        QTest::newRow("0 min 35 s") << 0 << 35 << "0:35";
        // Where joining the digits would lose the split, the bytes decide.
        QTest::newRow("0 min 5 s, not 5:00") << 0 << 5 << "0:05";
        QTest::newRow("12 min 5 s, not 1:25") << 12 << 5 << "12:05";
        QTest::newRow("100 min 0 s, not 1:00") << 100 << 0 << "100:00";
        QTest::newRow("damaged seconds carry") << 3 << 75 << "4:15";
    }

    void trackLengths()
    {
        QFETCH(int, minutes);
        QFETCH(int, seconds);
        QFETCH(QString, text);
        TestEnv env;
        const QString cd = env.root() + QStringLiteral("/cd");
        QDir().mkpath(cd);
        TestEnv::writeFile(cd + QStringLiteral("/Track01.cda"), trackHeader(quint8(minutes), quint8(seconds)));
        SongLengthService service;
        service.prepareCdDrive(QFile::encodeName(cd + QStringLiteral("/Track01.cda")));
        QCOMPARE(cdTrackLength(service, 1), text);
    }

    void trackFileNamesAndDrives()
    {
        TestEnv env;
        const QString cd = env.root() + QStringLiteral("/cd");
        const QString other = env.root() + QStringLiteral("/other");
        QDir().mkpath(cd);
        QDir().mkpath(other);
        TestEnv::writeFile(cd + QStringLiteral("/TRACK01.CDA"), trackHeader(2, 1));
        TestEnv::writeFile(cd + QStringLiteral("/Track09.cda"), trackHeader(9, 9));
        TestEnv::writeFile(cd + QStringLiteral("/track9.cda"), trackHeader(1, 11));
        TestEnv::writeFile(cd + QStringLiteral("/track10.cda"), trackHeader(10, 10));
        TestEnv::writeFile(cd + QStringLiteral("/track100.cda"), trackHeader(1, 40));
        TestEnv::writeFile(cd + QStringLiteral("/track11.cda"), QByteArray("RIFF", 4));  // too short
        TestEnv::writeFile(other + QStringLiteral("/track01.cda"), trackHeader(7, 7));

        SongLengthService service;
        // The song line's folder is the drive; the file it names need not
        // exist, track01.cda (any case) must.
        service.prepareCdDrive(QFile::encodeName(cd + QStringLiteral("/Track05.cda")));
        QCOMPARE(service.cdFolder(), cd);
        QCOMPARE(cdTrackLength(service, 1), QStringLiteral("2:01"));
        QCOMPARE(cdTrackLength(service, 9), QStringLiteral("9:09"));
        QCOMPARE(cdTrackLength(service, 10), QStringLiteral("10:10"));
        QCOMPARE(cdTrackLength(service, 100), QStringLiteral("1:40"));
        QCOMPARE(cdTrackLength(service, 11), QStringLiteral("N/A"));
        QCOMPARE(cdTrackLength(service, 12), QString());
        QCOMPARE(cdTrackLength(service, 0), QString());
        QCOMPARE(cdTrackLength(service, -3), QString());

        // A folder without track01.cda leaves the drive as it was; a folder
        // named itself becomes the drive.
        service.prepareCdDrive(QFile::encodeName(env.root() + QStringLiteral("/song.mp3")));
        QCOMPARE(service.cdFolder(), cd);
        service.prepareCdDrive(QFile::encodeName(other));
        QCOMPARE(cdTrackLength(service, 1), QStringLiteral("7:07"));
    }
};

QTEST_MAIN(TestLengthCd)
#include "test_length_cd.moc"
