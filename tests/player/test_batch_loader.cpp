// The batch loader against real files on disk.

#include "common/dialogs.h"
#include "player/playlist/text_lines.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace qpt;
using namespace qpt::test;

class TestBatchLoader : public QObject {
    Q_OBJECT

    static QByteArray lines(const QStringList& list)
    {
        QByteArray bytes;
        for (const QString& line : list)
            bytes += line.toLocal8Bit() + "\r\n";
        return bytes;
    }
    static QByteArray cdHeader(int minutes, int seconds)
    {
        QByteArray header(44, '\0');
        header[41] = char(seconds);  // 1-based position 42
        header[42] = char(minutes);  // 1-based position 43
        return header;
    }

private slots:
    void classifiesTitlesAndMeasures()
    {
        TestEnv env;
        FakePlayer p;
        const QString cd = env.root() + QStringLiteral("/cd");
        QDir().mkpath(cd);
        TestEnv::writeFile(cd + QStringLiteral("/track01.cda"), cdHeader(3, 0));
        TestEnv::writeFile(cd + QStringLiteral("/Track03.cda"), cdHeader(4, 35));
        const QString wav = testDataDir() + QStringLiteral("/tone.wav");
        const QString upper = env.root() + QStringLiteral("/Loud.Mp3");
        QFile::copy(testDataDir() + QStringLiteral("/cbr.mp3"), upper);
        TestEnv::writeFile(env.app(QStringLiteral("batch.sng")),
                           lines({wav, QString(), QStringLiteral("/x/b.txt"), cd + QStringLiteral("/Track03.cda"),
                                  upper, QStringLiteral("/My.Folder/song"), QStringLiteral("/a.midi"),
                                  QStringLiteral("/lists/Party.vyx"), wav}));
        TestEnv::writeFile(env.app(QStringLiteral("dragdrop0.drg")), lines({wav}));
        p.c.s.ResumeAfterReload = QStringLiteral("STOP");

        p.core.loader.timPlaylstUpdate_Timer();

        const PlaylistRows& rows = p.c.playlist.lstPlayList;
        QCOMPARE(rows.count(), 5);
        QCOMPARE(p.c.playlist.lstPlayListSource.ListCount(), 5);
        QCOMPARE(rows.title(1), QStringLiteral("tone"));
        QCOMPARE(rows.length(1), QStringLiteral("0:03"));
        QCOMPARE(rows.title(2), QStringLiteral("Track03"));
        QCOMPARE(rows.length(2), QStringLiteral("4:35"));
        QCOMPARE(rows.title(3), QStringLiteral("Loud"));
        QCOMPARE(rows.length(3), QStringLiteral("0:03"));
        QCOMPARE(rows.title(4), QStringLiteral("Party"));
        QCOMPARE(rows.length(4), QStringLiteral("0:00"));  // cannot be measured: still listed
        QCOMPARE(p.c.playlist.lstPlayListSource.List(4), wav);  // duplicates are kept
        QVERIFY(!QFile::exists(env.app(QStringLiteral("batch.sng"))));
        QVERIFY(QFile::exists(env.app(QStringLiteral("dragdrop0.drg"))));  // never loaded
        QCOMPARE(p.c.s.PlayerState, QString());
        QCOMPARE(p.c.timSavePlayList.interval(), 500);
        QVERIFY(Dialogs::records().isEmpty());
    }

    void filesInNameOrderAndAnyLineEnding()
    {
        TestEnv env;
        FakePlayer p;
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), "/m/3.mp3\n/m/4.mp3");
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), "/m/1.mp3\r/m/2.mp3\r\n");
        p.c.s.PlayerState = QStringLiteral("PAUSE");
        p.core.loader.timPlaylstUpdate_Timer();
        QCOMPARE(p.c.playlist.lstPlayListSource.items(),
                 (QStringList{QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3"),
                              QStringLiteral("/m/4.mp3")}));
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("PAUSE"));  // paused stays paused
        QCOMPARE(p.c.timSavePlayList.interval(), 0);
    }

    void lengthFindsItsRowAfterRowsAboveAreRemoved()
    {
        TestEnv env;
        FakePlayer p;
        p.c.playlist.lstPlayListSource.AddItem(QStringLiteral("/m/old.mp3"));
        p.c.playlist.lstPlayList.addRow(QStringLiteral("old"));
        const QString wav = testDataDir() + QStringLiteral("/tone.wav");
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({wav, wav}));
        // The user deletes the old row while the first song is measured.
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            if (p.c.playlist.lstPlayList.count() == 2 && p.c.playlist.lstPlayList.title(1) == QLatin1String("old")) {
                p.c.playlist.lstPlayList.removeRow(1);
                p.c.playlist.lstPlayListSource.RemoveItem(0);
            }
        });
        user.start(0);
        p.core.loader.timPlaylstUpdate_Timer();
        QCOMPARE(p.c.playlist.lstPlayList.count(), 2);
        QCOMPARE(p.c.playlist.lstPlayList.length(1), QStringLiteral("0:03"));
        QCOMPARE(p.c.playlist.lstPlayList.length(2), QStringLiteral("0:03"));
    }

    void stateIsLoadingWhileTheTickRuns()
    {
        TestEnv env;
        FakePlayer p;
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({QStringLiteral("/m/1.mp3")}));
        QStringList seen;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] { seen << p.c.s.PlayerState; });
        watcher.start(0);
        p.core.loader.timPlaylstUpdate_Timer();
        QVERIFY(seen.contains(QStringLiteral("LOADING")));
        QCOMPARE(p.c.s.PlayerState, QString());
    }

    void capLeavesTheFileForLater()
    {
        TestEnv env;
        FakePlayer p;
        for (int i = 0; i < 29999; ++i) {
            p.c.playlist.lstPlayListSource.AddItem(QStringLiteral("/m/x.mp3"));
            p.c.playlist.lstPlayList.addRow(QStringLiteral("x"));
        }
        TestEnv::writeFile(env.app(QStringLiteral("more.sng")),
                           lines({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3")}));
        p.core.loader.timPlaylstUpdate_Timer();
        QCOMPARE(p.c.playlist.lstPlayList.count(), 30000);
        QVERIFY(QFile::exists(env.app(QStringLiteral("more.sng"))));
        QCOMPARE(p.c.s.PlayerState, QString());
        // The file was released: it can be replaced and is read again later.
        QVERIFY(QFile::remove(env.app(QStringLiteral("more.sng"))));
        TestEnv::writeFile(env.app(QStringLiteral("more.sng")), lines({QStringLiteral("/m/d.mp3")}));
        p.core.loader.timPlaylstUpdate_Timer();  // at the cap: nothing happens
        QCOMPARE(p.c.playlist.lstPlayList.count(), 30000);
        p.c.playlist.lstPlayListSource.RemoveItem(0);
        p.c.playlist.lstPlayList.removeRow(1);
        p.core.loader.timPlaylstUpdate_Timer();
        QCOMPARE(p.c.playlist.lstPlayListSource.List(29999), QStringLiteral("/m/d.mp3"));
    }

    void errorInFirstFileIsReportedOnceLaterOnesAreSkipped()
    {
        TestEnv env;
        Dialogs::scriptAnswers({});
        {
            FakePlayer p;
            TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({QStringLiteral("/m/1.mp3")}));
            TestEnv::writeFile(env.app(QStringLiteral("b.sng")), lines({QStringLiteral("/m/2.mp3")}));
            // The first file vanishes between the listing and its opening.
            QTimer::singleShot(0, [&] { QFile::remove(env.app(QStringLiteral("a.sng"))); });
            p.core.loader.timPlaylstUpdate_Timer();
            QCOMPARE(Dialogs::records().size(), 1);
            QCOMPARE(Dialogs::records().first().title, QStringLiteral("Error 15"));
            QCOMPARE(Dialogs::records().first().icon, QStringLiteral("critical"));
            QCOMPARE(p.c.playlist.lstPlayList.count(), 0);
            QVERIFY(QFile::exists(env.app(QStringLiteral("b.sng"))));  // waits for the next tick
            QCOMPARE(p.c.s.PlayerState, QString());
            p.core.loader.timPlaylstUpdate_Timer();
            QCOMPARE(p.c.playlist.lstPlayList.count(), 1);
        }
        Dialogs::records().clear();
        {
            FakePlayer p;
            TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({QStringLiteral("/m/1.mp3")}));
            TestEnv::writeFile(env.app(QStringLiteral("b.sng")), lines({QStringLiteral("/m/2.mp3")}));
            QTimer::singleShot(0, [&] { QFile::remove(env.app(QStringLiteral("b.sng"))); });
            p.core.loader.timPlaylstUpdate_Timer();
            QVERIFY(Dialogs::records().isEmpty());
            QCOMPARE(p.c.playlist.lstPlayList.count(), 1);
            QVERIFY(!QFile::exists(env.app(QStringLiteral("a.sng"))));
        }
    }

    void lineReaderSeesLinesAppendedWhileOpen()
    {
        TestEnv env;
        const QString path = env.app(QStringLiteral("grow.sng"));
        TestEnv::writeFile(path, "/m/1.mp3\r");
        LineReader reader(path);
        reader.open();
        QString line;
        QVERIFY(reader.next(line));
        QCOMPARE(line, QStringLiteral("/m/1.mp3"));
        QVERIFY(!reader.next(line));
        // The LF completes the CR LF that was cut at the end: no empty line.
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n/m/2.mp3\r\n");
        file.close();
        QVERIFY(reader.next(line));
        QCOMPARE(line, QStringLiteral("/m/2.mp3"));
        QVERIFY(!reader.next(line));
    }
};

QTEST_MAIN(TestBatchLoader)
#include "test_batch_loader.moc"
