// Drops of real files and folders, and the Open Music dialog's batch files.

#include "common/dialogs.h"
#include "player/shell/popup_menu.h"
#include "tests/player/app_fixture.h"
#include "tests/player/player_fixture.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

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
        DisplayFixture p;
        const QString top = env.root() + QStringLiteral("/music");
        QDir().mkpath(top + QStringLiteral("/sub/deeper"));
        TestEnv::writeFile(top + QStringLiteral("/a.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/c.txt"), "x");
        TestEnv::writeFile(top + QStringLiteral("/.hidden.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/sub/b.mp3"), "x");
        TestEnv::writeFile(top + QStringLiteral("/sub/deeper/d.WAV"), "x");
        QFile::link(top, top + QStringLiteral("/sub/loop"));  // a link back to the top
        for (int i = 1; i <= 8; ++i)
            p.addSongs({QStringLiteral("/m/%1.mp3").arg(i)});
        p.engine.playRow(7);  // the drop's batch number is the playing song's

        p.dropOnPlaylist(native({top}));

        QCOMPARE(batchFiles(env), QStringList{QStringLiteral("dragdrop7.sng")});
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop7.sng"))),
                 (top + QStringLiteral("/a.mp3\r\n") + top + QStringLiteral("/sub/b.mp3\r\n") + top
                  + QStringLiteral("/sub/deeper/d.WAV\r\n"))
                     .toLocal8Bit());
        QVERIFY(!p.drops.hasQueued());
        QCOMPARE(p.animation.timer.interval(), 100);
        QVERIFY(p.display.nowPlayingLabel.text().startsWith(QLatin1String(DropIntake::kAdding)));
    }

    // A name that is not UTF-8 goes into the batch file byte for byte, and
    // a dropped playlist's relative lines are made absolute against its
    // own folder. Special files never hold the drop up: a pipe named like a
    // playlist, a link to an endless device and a line longer than any path
    // are passed over at once.
    void dropKeepsBytesAndNeverBlocks()
    {
        TestEnv env;
        DisplayFixture p;
        const QByteArray root = QFile::encodeName(env.root());
        const QByteArray latin1 = root + "/caf\xe9.mp3";
        QDir().mkpath(env.root() + QStringLiteral("/sub"));
        QVERIFY(TestEnv::writeFile(env.root() + QStringLiteral("/sub/list.vyx"),
                                   "song.mp3\r\n\r\n" + QByteArray(10 << 20, 'x') + "\r\n/abs/b.wav\r\n"));
        QCOMPARE(::mkfifo(root + "/pipe.vyx", 0600), 0);
        QCOMPARE(::symlink("/dev/zero", root + "/zero.vyx"), 0);
        QElapsedTimer clock;
        clock.start();
        p.dropOnPlaylist({latin1, root + "/pipe.vyx", root + "/zero.vyx", root + "/sub/list.vyx"});
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop0.sng"))), latin1 + "\r\n");
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdropvyx0.sng"))),
                 root + "/sub/song.mp3\r\n\r\n/abs/b.wav\r\n");
    }

    void nonMusicDropLeavesNothing()
    {
        TestEnv env;
        DisplayFixture p;
        TestEnv::writeFile(env.root() + QStringLiteral("/notes.txt"), "x");
        TestEnv::writeFile(env.root() + QStringLiteral("/cover.jpg"), "x");
        p.dropOnPlaylist(native({env.root() + QStringLiteral("/notes.txt"), env.root() + QStringLiteral("/cover.jpg")}));
        QVERIFY(batchFiles(env).isEmpty());
        QCOMPARE(p.animation.timer.interval(), 100);
    }

    void songsBeforeAnEmptyFolderArePublished()
    {
        TestEnv env;
        DisplayFixture p;
        QDir().mkpath(env.root() + QStringLiteral("/empty"));
        TestEnv::writeFile(env.root() + QStringLiteral("/x.mp3"), "x");
        p.dropOnPlaylist(native({env.root() + QStringLiteral("/x.mp3"), env.root() + QStringLiteral("/empty")}));
        QCOMPARE(batchFiles(env), QStringList{QStringLiteral("dragdrop0.sng")});
    }

    void playlistDropAndMainWindowDrop()
    {
        TestEnv env;
        AppFixture p;
        const QString list = env.root() + QStringLiteral("/party.VYX");
        TestEnv::writeFile(list, "/m/1.mp3\r\n\r\n/m/2.mp3\n");
        TestEnv::writeFile(env.root() + QStringLiteral("/z.mp2"), "x");

        p.app.actions().dropOnMainWindow(native({list, env.root() + QStringLiteral("/z.mp2")}));
        QCOMPARE(p.app.commands().playlistTimer.interval(), 50);
        QVERIFY(batchFiles(env).isEmpty());  // nothing until the playlist timer ticks
        // A sort asked for meanwhile waits: the drop goes first.
        p.app.commands().post(Command::SortPlaylist);
        p.app.commands().playlistTimer.tick();
        QCOMPARE(p.app.commands().queued(), QList<Command>{Command::SortPlaylist});
        QVERIFY(waitUntil([&] { return !p.app.drops().isWalking(); }));
        QCOMPARE(batchFiles(env), (QStringList{QStringLiteral("dragdrop0.sng"), QStringLiteral("dragdropvyx0.sng")}));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdropvyx0.sng"))),
                 QByteArray("/m/1.mp3\r\n\r\n/m/2.mp3\r\n"));
    }

    void twoDropsWithTheSameNumberKeepBothBatches()
    {
        TestEnv env;
        DisplayFixture p;
        TestEnv::writeFile(env.root() + QStringLiteral("/one.mp3"), "x");
        TestEnv::writeFile(env.root() + QStringLiteral("/two.mp3"), "x");
        p.dropOnPlaylist(native({env.root() + QStringLiteral("/one.mp3")}));
        p.dropOnPlaylist(native({env.root() + QStringLiteral("/two.mp3")}));  // before the loader read the first
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop0.sng"))),
                 (env.root() + QStringLiteral("/one.mp3\r\n") + env.root() + QStringLiteral("/two.mp3\r\n")).toLocal8Bit());
    }

    // A name with a line break cannot travel in a one-path-a-line file: at
    // each route in it is refused whole with one message naming it, and no
    // entry is made of its pieces; the other files go in as usual.
    void lineBreakNamesAreRefusedWhole()
    {
        TestEnv env;
        Dialogs::scriptAnswers({});
        AppFixture p;
        const QByteArray root = QFile::encodeName(env.root());
        QDir().mkpath(env.root() + QStringLiteral("/folder"));
        QVERIFY(TestEnv::writeNative(root + "/folder/inside\nname.wav", "x"));
        QVERIFY(TestEnv::writeNative(root + "/folder/fine.wav", "x"));
        QVERIFY(TestEnv::writeNative(root + "/dropped\rname.mp3", "x"));

        p.app.actions().dropOnPlaylist({root + "/dropped\rname.mp3", root + "/folder"});
        QVERIFY(waitUntil([&] { return !p.app.drops().isWalking(); }));
        QCoreApplication::processEvents();
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdrop0.sng"))), root + "/folder/fine.wav\r\n");
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("File Not Added"));
        QVERIFY(Dialogs::records().last().text.contains(QStringLiteral("dropped\u21b5name.mp3")));
        QVERIFY(Dialogs::records().last().text.contains(QStringLiteral("inside\u21b5name.wav")));

        Dialogs::scriptAnswers({env.root() + QStringLiteral("/two\nlines.mp3|/m/ok.mp3")});
        p.app.actions().openMusic();
        QVERIFY(waitUntil([&] { return Dialogs::records().size() == 3; }));
        QVERIFY(waitUntil([&] { return p.app.playlistFilesIdle(); }));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))), QByteArray("/m/ok.mp3\r\n"));
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("File Not Added"));
    }

    void openMusicWritesTheBatchFiles()
    {
        TestEnv env;
        AppFixture p;
        const QString list = env.root() + QStringLiteral("/mix.vyx");
        TestEnv::writeFile(list, "/m/p1.mp3\r\n\r\n/m/p2.wma\r\n");
        const auto openFromTheMenu = [&] {
            p.app.windows().openPopupMenuAtCursor();
            const qsizetype shown = Dialogs::records().size();
            p.app.actions().openMusic();
            // The menu went before the dialog came (it would cover it).
            QVERIFY(!p.app.windows().popupMenu() || !p.app.windows().popupMenu()->isVisible());
            // The choice arrives from the event loop, and its files are
            // written by then.
            QVERIFY(Dialogs::records().size() == shown + 1);
            QCoreApplication::processEvents();
            QVERIFY(waitUntil([&] { return p.app.playlistFilesIdle(); }));
        };

        Dialogs::scriptAnswers({QString()});  // cancelled
        openFromTheMenu();
        QVERIFY(batchFiles(env).isEmpty());
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("Open Music"));
        QCOMPARE(Dialogs::filterGroups(Dialogs::records().last().text).first(),
                 QStringLiteral("Music Files (*.WMA *.MP3 *.MID *.VYX *.MP1 *.MP2 *.WAV *.CDA *.FLAC *.OGG *.OGA "
                                "*.OPUS *.M4A *.CUE)"));

        Dialogs::scriptAnswers({QStringLiteral("/m/a.mp3|/m/b.wav|/m/c.mid")});
        openFromTheMenu();
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))),
                 QByteArray("/m/a.mp3\r\n/m/b.wav\r\n/m/c.mid\r\n"));
        QFile::remove(env.app(QStringLiteral("opening.sng")));

        Dialogs::scriptAnswers({list + QStringLiteral("|/m/x.mp3|/m/y.mp3")});
        openFromTheMenu();
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("playlist.sng"))),
                 QByteArray("/m/p1.mp3\r\n\r\n/m/p2.wma\r\n"));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))), QByteArray("/m/x.mp3\r\n/m/y.mp3\r\n"));

        // One more song chosen before the loader read the earlier ones: the
        // earlier ones stay.
        Dialogs::scriptAnswers({QStringLiteral("/m/z.mp3")});
        openFromTheMenu();
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("opening.sng"))),
                 QByteArray("/m/x.mp3\r\n/m/y.mp3\r\n/m/z.mp3\r\n"));
    }

    // While the loader runs, the songs chosen in Open Music and the songs
    // dropped come in as soon as their batch files are written, not at the
    // loader's next tick.
    void ownBatchFilesComeWithoutATick()
    {
        TestEnv env;
        AppFixture p;
        p.app.loader().timer.setInterval(60 * 60 * 1000);  // running, but no tick in this test
        Dialogs::scriptAnswers({QStringLiteral("/m/a.mp3|/m/b.wav")});
        p.app.actions().openMusic();
        QVERIFY(waitUntil([&] { return p.playlist.count() == 2; }));
        TestEnv::writeFile(env.root() + QStringLiteral("/c.mp3"), "x");
        p.app.actions().dropOnPlaylist(native({env.root() + QStringLiteral("/c.mp3")}));
        QVERIFY(waitUntil([&] { return p.playlist.count() == 3; }));
        QCOMPARE(p.playlist.paths(),
                 (QList<QByteArray>{"/m/a.mp3", "/m/b.wav", QFile::encodeName(env.root() + QStringLiteral("/c.mp3"))}));
        QVERIFY(waitUntil([&] { return batchFiles(env).isEmpty(); }));
    }

    // FLAC, Ogg, Opus and M4A files come in as songs by the drop walk and
    // the lines of batch and playlist files (Open Music's filter offers
    // them, above), titled with their whole extension left off, with their
    // lengths.
    void laterFormatsComeInByEveryRoute()
    {
        TestEnv env;
        const QStringList names{QStringLiteral("Side A.flac"), QStringLiteral("Side B.OGG"),
                                QStringLiteral("Side C.oga"), QStringLiteral("Side D.opus"),
                                QStringLiteral("Side E.m4a")};
        const QStringList sources{QStringLiteral("tone.flac"), QStringLiteral("tone.ogg"),
                                  QStringLiteral("tone.oga"), QStringLiteral("tone.opus"),
                                  QStringLiteral("tone.m4a")};
        const QString folder = env.root() + QStringLiteral("/album");
        QDir().mkpath(folder);
        QByteArray songLines;
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(QFile::copy(testDataDir() + QLatin1Char('/') + sources[i], folder + QLatin1Char('/') + names[i]));
            songLines += QFile::encodeName(folder + QLatin1Char('/') + names[i]) + "\r\n";
        }
        TestEnv::writeFile(folder + QStringLiteral("/notes.aac"), "x");  // not a format of ours
        TestEnv::writeFile(folder + QStringLiteral("/mix.vyx"), songLines);
        DisplayFixture p;

        p.dropOnPlaylist(native({folder}));
        QList<QByteArray> dropped = TestEnv::readFile(env.app(QStringLiteral("dragdrop0.sng"))).split('\n');
        dropped.removeAll(QByteArray());
        std::sort(dropped.begin(), dropped.end());
        QCOMPARE(dropped, songLines.split('\n').mid(0, names.size()));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("dragdropvyx0.sng"))), songLines);

        // The loader takes both batches: every song twice, each titled
        // without its extension, each with its length.
        QVERIFY(p.loadBatches());
        QCOMPARE(p.playlist.count(), 2 * names.size());
        QStringList titles;
        for (int row = 1; row <= p.playlist.count(); ++row) {
            titles << *p.playlist.title(row);
            QCOMPARE(*p.playlist.length(row), QStringLiteral("0:03"));
        }
        titles.sort();
        QCOMPARE(titles, (QStringList{"Side A", "Side A", "Side B", "Side B", "Side C", "Side C", "Side D",
                                      "Side D", "Side E", "Side E"}));
    }
};

QTEST_MAIN(TestAddingMusic)
#include "test_adding_music.moc"
