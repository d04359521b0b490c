// A dropped folder that holds an album as one file and its sheet adds the
// sheet's tracks (titled, with exact lengths), not the whole file beside
// them; other songs of the folder come as ever.

#include "common/cue_track_lines.h"
#include "tests/player/core_fixture.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestCueAdding : public QObject {
    Q_OBJECT

private slots:
    void droppedFolderAddsTheTracks()
    {
        TestEnv env;
        CoreFixture f;
        const QString top = env.root() + QStringLiteral("/music");
        QVERIFY(QDir().mkpath(top));
        // Two tracks of 1 s and 0.5 s, as frames of 1/75 s: 75 and 37.5.
        const QByteArray samples = littleEndian(1000, 2).repeated(2 * 44100) + littleEndian(2000, 2).repeated(44100);
        QVERIFY(TestEnv::writeFile(top + QStringLiteral("/Album.wav"), pcmWav(44100, 2, 16, samples)));
        QVERIFY(TestEnv::writeFile(top + QStringLiteral("/Album.cue"),
                                   "FILE \"Album.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                                   "TRACK 02 AUDIO\nINDEX 01 00:01:00\n"));
        QVERIFY(TestEnv::writeFile(top + QStringLiteral("/other.mp3"), "x"));

        QVERIFY(f.dropOnPlaylist({QFile::encodeName(top)}));
        QVERIFY(f.loadBatches());

        const NativePath sheet = QFile::encodeName(top + QStringLiteral("/Album.cue"));
        QCOMPARE(f.playlist.paths(), (QList<NativePath>{cuelines::lineOf(sheet, 1), cuelines::lineOf(sheet, 2),
                                                         QFile::encodeName(top + QStringLiteral("/other.mp3"))}));
        QCOMPARE(f.playlist.title(1), std::optional<QString>(QStringLiteral("One")));
        QCOMPARE(f.playlist.title(2), std::optional<QString>(QStringLiteral("Album 02")));
        QCOMPARE(f.playlist.songLength(1)->milliseconds(), std::optional<qint32>(1000));
        QCOMPARE(f.playlist.songLength(2)->milliseconds(), std::optional<qint32>(500));
    }
};

QTEST_GUILESS_MAIN(TestCueAdding)
#include "test_cue_adding.moc"
