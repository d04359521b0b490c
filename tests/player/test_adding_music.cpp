// Drops of real files and folders, and the Open Music dialog's batch files.

#include "common/dialogs.h"
#include "player/playlist/drop_processing.h"
#include "player/playlist/open_music.h"
#include "player/playlist/playlist_editing.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

class TestAddingMusic : public QObject {
    Q_OBJECT

    static QStringList batchFiles(const TestEnv& env)
    {
        return QDir(env.appDir()).entryList({QStringLiteral("*.sng"), QStringLiteral("*.drg")}, QDir::Files,
                                            QDir::Name);
    }

private slots:
    void droppedTreeIsWalkedLevelByLevel()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        const QString top = env.root() + QStringLiteral("/music");
        QDir().mkpath(top + QStringLiteral("/sub/deeper"));
        TestEnv::writeFile(top + QStringLiteral("/a.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/c.txt"), "x");
        TestEnv::writeFile(top + QStringLiteral("/.hidden.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/sub/b.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/sub/deeper/d.WAV"), "x");
        QFile::link(top, top + QStringLiteral("/sub/loop"));  // a link back to the top
        p.c.s.CurrentIndex = 7;

        drops.dropOnPlaylist({top});

        QCOMPARE(batchFiles(env), QStringList{QStringLiteral("dragdrop7.sng")});
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop7.sng"))),
                 (top + QStringLiteral("/a.mp3\r\n") + top + QStringLiteral("/sub/b.mp3\r\n") + top
                  + QStringLiteral("/sub/deeper/d.WAV\r\n"))
                     .toLocal8Bit());
        QVERIFY(p.c.playlist.lstDragDropDirSup.isEmpty() && p.c.playlist.lstDrapDropDirs.isEmpty());
        QCOMPARE(p.c.timNowPlaying.interval(), 100);
        QVERIFY(p.c.display.lblNowPlaying.text().startsWith(QLatin1String(DropProcessing::kAdding)));
    }

    void nonMusicDropLeavesNothing()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        TestEnv::writeFile(env.root() + QStringLiteral("/notes.txt"), "x");
        TestEnv::writeFile(env.root() + QStringLiteral("/cover.jpg"), "x");
        drops.dropOnPlaylist({env.root() + QStringLiteral("/notes.txt"), env.root() + QStringLiteral("/cover.jpg")});
        QVERIFY(batchFiles(env).isEmpty());
        QCOMPARE(p.c.timNowPlaying.interval(), 100);
    }

    void songsBeforeAnEmptyFolderArePublished()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        QDir().mkpath(env.root() + QStringLiteral("/empty"));
        TestEnv::writeFile(env.root() + QStringLiteral("/x.mp3"), "x");
        drops.dropOnPlaylist({env.root() + QStringLiteral("/x.mp3"), env.root() + QStringLiteral("/empty")});
        QCOMPARE(batchFiles(env), QStringList{QStringLiteral("dragdrop0.sng")});
    }

    void playlistDropAndMainWindowDrop()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        PlaylistEditing editing(p.c, drops);
        p.c.timPlayListFocus.setHandler([&] { editing.timPlayListFocus_Timer(); });
        const QString list = env.root() + QStringLiteral("/party.VYX");
        TestEnv::writeFile(list, "/m/1.mp3\r\n\r\n/m/2.mp3\n");
        TestEnv::writeFile(env.root() + QStringLiteral("/z.mp2"), "x");

        drops.dropOnMainWindow({list, env.root() + QStringLiteral("/z.mp2")});
        QCOMPARE(p.c.s.DropPending, QStringLiteral("DRAG"));
        QCOMPARE(p.c.timPlayListFocus.interval(), 50);
        QVERIFY(batchFiles(env).isEmpty());  // nothing until the focus timer ticks
        // A sort posted meanwhile waits: the drop goes first.
        p.c.s.PendingCommand = QStringLiteral("SORTING");
        p.c.timPlayListFocus.tick();
        QCOMPARE(p.c.s.DropPending, QString());
        QCOMPARE(p.c.s.PendingCommand, QStringLiteral("SORTING"));
        QCOMPARE(batchFiles(env), (QStringList{QStringLiteral("dragdrop0.sng"), QStringLiteral("dragdropvyx0.sng")}));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdropvyx0.sng"))),
                 QByteArray("/m/1.mp3\r\n\r\n/m/2.mp3\r\n"));
    }

    void twoDropsWithTheSameNumberKeepBothBatches()
    {
        TestEnv env;
        FakePlayer p;
        DropProcessing drops(p.c);
        TestEnv::writeFile(env.root() + QStringLiteral("/one.mp3"), "x");
        TestEnv::writeFile(env.root() + QStringLiteral("/two.mp3"), "x");
        drops.dropOnPlaylist({env.root() + QStringLiteral("/one.mp3")});
        drops.dropOnPlaylist({env.root() + QStringLiteral("/two.mp3")});  // before the loader read the first
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop0.sng"))),
                 (env.root() + QStringLiteral("/one.mp3\r\n") + env.root() + QStringLiteral("/two.mp3\r\n")).toLocal8Bit());
    }

    void openMusicWritesTheBatchFiles()
    {
        TestEnv env;
        const QString list = env.root() + QStringLiteral("/mix.vyx");
        TestEnv::writeFile(list, "/m/p1.mp3\r\n\r\n/m/p2.wma\r\n");
        int hidden = 0;
        const auto hide = [&] { ++hidden; };

        Dialogs::scriptAnswers({QString()});  // cancelled
        OpenMusic::run(hide);
        QCOMPARE(hidden, 1);
        QVERIFY(QDir(env.appDir()).entryList(QDir::Files).isEmpty());
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("Open Music"));
        QCOMPARE(Dialogs::filterGroups(Dialogs::records().last().text).first(),
                 QStringLiteral("Music Files (*.WMA *.MP3 *.MID *.VYX *.MP1 *.MP2 *.WAV *.CDA)"));

        Dialogs::scriptAnswers({QStringLiteral("/m/a.mp3|/m/b.wav|/m/c.mid")});
        OpenMusic::run(hide);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))),
                 QByteArray("/m/a.mp3\r\n/m/b.wav\r\n/m/c.mid\r\n"));
        QFile::remove(env.app(QStringLiteral("opening.sng")));

        Dialogs::scriptAnswers({list + QStringLiteral("|/m/x.mp3|/m/y.mp3")});
        OpenMusic::run(hide);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("playlist.sng"))), QByteArray("/m/p1.mp3\r\n\r\n/m/p2.wma\r\n"));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))), QByteArray("/m/x.mp3\r\n/m/y.mp3\r\n"));

        // One more song chosen before the loader read the earlier ones: the
        // earlier ones stay.
        Dialogs::scriptAnswers({QStringLiteral("/m/z.mp3")});
        OpenMusic::run(hide);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))),
                 QByteArray("/m/x.mp3\r\n/m/y.mp3\r\n/m/z.mp3\r\n"));
        QCOMPARE(hidden, 4);
    }
};

QTEST_MAIN(TestAddingMusic)
#include "test_adding_music.moc"
