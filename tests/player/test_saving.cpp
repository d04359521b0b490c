// Save PlayList and the autosave: the exact bytes, cancelling, the dialog,
// the music stopping on the command timer.

#include "common/dialogs.h"
#include "common/settings_store.h"
#include "player/shell/now_saving_window.h"
#include "player/shell/popup_menu.h"
#include "tests/player/app_fixture.h"
#include "common/app_folder.h"
#include "tests/support/small_disk.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace qpt;
using namespace qpt::test;

class TestSaving : public QObject {
    Q_OBJECT
private slots:
    void savesExactBytesAndStopsTheMusic()
    {
        TestEnv env;
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/two 2.wav"), QStringLiteral("/m/3.mid")});
        p.engine.play();
        const QString target = env.root() + QStringLiteral("/mine.VYX");
        Dialogs::scriptAnswers({target});
        p.app.commands().resumeWhenReloaded();
        p.app.windows().openPopupMenuAtCursor();
        p.app.actions().savePlaylist(true);
        // The music stops a moment later, on the command timer.
        QCOMPARE(p.app.commands().mainTimer.interval(), 10);
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        p.app.commands().mainTimer.tick();
        QCOMPARE(p.engine.state(), PlayerState::Stopped);
        p.engine.play();
        p.app.commands().mainTimer.tick();  // once
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QVERIFY(waitUntil([&] { return QFile::exists(target); }));
        QCOMPARE(TestEnv::readFile(target), QByteArray("/m/1.mp3\r\n/m/two 2.wav\r\n/m/3.mid\r\n\r\n"));
        QVERIFY(!p.app.commands().sortUnderWay());
        QCOMPARE(p.playlist.currentRow(), 1);  // the playing song stays the current one
        QVERIFY(!p.app.windows().nowSavingWindow());
        QVERIFY(!p.app.windows().popupMenu()->isVisible());
        QVERIFY(p.app.windows().mainWindow().isEnabled());
        const DialogRecord& dialog = Dialogs::records().last();
        QCOMPARE(dialog.kind, QStringLiteral("save"));
        QCOMPARE(dialog.title, QStringLiteral("Save PlayList"));
        QCOMPARE(dialog.text, QStringLiteral("Quorbel PlayList|*.VYX|All Files|*.*"));

        // One song: the path and the empty last line. The name is used as given.
        p.playlist.clear();
        p.addSongs({QStringLiteral("/m/only.mp3")});
        Dialogs::scriptAnswers({env.root() + QStringLiteral("/noext")});
        p.app.actions().savePlaylist(true);
        QVERIFY(waitUntil([&] { return QFile::exists(env.root() + QStringLiteral("/noext")); }));
        QCOMPARE(TestEnv::readFile(env.root() + QStringLiteral("/noext")), QByteArray("/m/only.mp3\r\n\r\n"));
    }

    void cancellingWritesNothing()
    {
        TestEnv env;
        {
            AppFixture p;  // the dialog cancelled
            p.addSongs({QStringLiteral("/m/1.mp3")});
            Dialogs::scriptAnswers({QString()});
            p.app.actions().savePlaylist(true);
            QCoreApplication::processEvents();
            QCOMPARE(QDir(env.root()).entryList({QStringLiteral("*.VYX")}, QDir::Files).size(), 0);
        }
        {
            AppFixture p;  // the right button only clears the resume request
            p.addSongs({QStringLiteral("/m/1.mp3")});
            p.app.commands().resumeWhenReloaded();
            Dialogs::records().clear();
            p.app.actions().savePlaylist(false);
            QVERIFY(!p.app.commands().sortUnderWay());
            QVERIFY(!p.app.windows().nowSavingWindow() && Dialogs::records().isEmpty());
        }
        AppFixture p;  // nothing to save
        Dialogs::scriptAnswers({});
        p.app.actions().savePlaylist(true);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("NO MUSIC TO SAVE"));
        QCOMPARE(Dialogs::records().last().text, QStringLiteral("No music in PlayList"));
    }

    void autosaveReplacesOnlyWithSongsAndAlwaysQuits()
    {
        TestEnv env;
        const QString autosave = env.app(QStringLiteral("autosavedlist.aut"));
        TestEnv::writeFile(autosave, "/old/list.mp3\r\n\r\n");
        {
            AppFixture p;  // empty playlist: the old file stays
            p.app.actions().autosaveAndQuit();
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
            QCOMPARE(TestEnv::readFile(autosave), QByteArray("/old/list.mp3\r\n\r\n"));
        }
        {
            AppFixture p;
            p.addSongs({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")});
            p.app.actions().autosaveAndQuit();
            QVERIFY(!p.app.windows().mainWindow().isVisible());
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
            QCOMPARE(TestEnv::readFile(autosave), QByteArray("/m/a.mp3\r\n/m/b.mp3\r\n\r\n"));
            p.app.actions().autosaveAndQuit();  // a second quit while ending: nothing more
            QTest::qWait(50);
            QCOMPARE(p.terminated, 1);
        }
        {
            // Quit while a large batch file is half read: the saved list
            // holds all of it, and the file is gone, so nothing comes back
            // twice at the next start.
            AppFixture p;
            QByteArray lines;
            for (int i = 0; i < 2 * BatchLoader::kRowsPerStep; ++i)
                lines += "/m/" + QByteArray::number(i) + ".mp3\r\n";
            TestEnv::writeFile(env.app(QStringLiteral("big.sng")), lines);
            p.app.loader().tick();
            QVERIFY(p.app.loader().isLoading());
            p.app.actions().autosaveAndQuit();
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
            QCOMPARE(TestEnv::readFile(autosave), lines + "\r\n");
            QVERIFY(!QFile::exists(env.app(QStringLiteral("big.sng"))));
        }
        // A write that cannot be done (something in the way) still quits.
        QFile::remove(autosave);
        QDir().mkpath(autosave + QStringLiteral("/blocked"));
        AppFixture p;
        p.addSongs({QStringLiteral("/m/a.mp3")});
        p.app.actions().autosaveAndQuit();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QVERIFY(QFileInfo(autosave + QStringLiteral("/blocked")).isDir());
        QVERIFY(QDir(env.appDir()).entryList({QStringLiteral("autosavedlist.aut.*")}, QDir::Files).isEmpty());
    }

    // A full disk: Save PlayList, the sort and the exit's autosave each leave
    // the old file byte for byte, nothing beside it, and one box that names
    // the file and the cause; the exit ends once the box is answered.
    void fullDiskKeepsEveryOldFileAndSaysSo()
    {
        TestEnv env;
        SmallDisk disk(64);
        if (!disk.isMounted())
            QSKIP("a small tmpfs cannot be mounted here");
        AppFolder::overrideForTests(disk.path());
        QStringList songs;
        for (int i = 0; i < 400; ++i)
            songs << QStringLiteral("/music/some album/song number %1.mp3").arg(i);
        const QByteArray old = "/old/one.mp3\r\n/old/two.mp3\r\n\r\n";
        const QString mine = disk.file(QStringLiteral("mine.vyx"));
        const QString autosave = disk.file(QStringLiteral("autosavedlist.aut"));
        TestEnv::writeFile(mine, old);
        TestEnv::writeFile(autosave, old);
        disk.fill(0);
        const QStringList before = disk.names();

        AppFixture p;
        p.addSongs(songs);
        Dialogs::scriptAnswers({mine});
        p.app.actions().savePlaylist(true);
        QVERIFY(waitUntil([&] { return Dialogs::records().last().title == QStringLiteral("PlayList Not Saved"); }));
        QVERIFY(Dialogs::records().last().text.contains(mine));
        QVERIFY(Dialogs::records().last().text.contains(QStringLiteral("No space left on device")));
        QCOMPARE(TestEnv::readFile(mine), old);
        QCOMPARE(disk.names(), before);

        // The sort: the playlist stays as it was.
        Dialogs::records().clear();
        p.app.actions().sortNow();
        QVERIFY(waitUntil([&] { return !Dialogs::records().isEmpty(); }));
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("PlayList Not Saved"));
        QVERIFY(Dialogs::records().last().text.contains(QStringLiteral("sorted.sng")));
        QCOMPARE(p.playlist.count(), 400);
        QCOMPARE(disk.names(), before);

        Dialogs::records().clear();
        p.app.actions().autosaveAndQuit();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("PlayList Not Saved"));
        QVERIFY(Dialogs::records().last().text.contains(autosave));
        QCOMPARE(TestEnv::readFile(autosave), old);
        QCOMPARE(disk.names(), before);
        AppFolder::overrideForTests(env.appDir());
    }

    // The exit keeps the batch files not taken up yet in the saved list and
    // deletes them: the saved list's own unread copy comes back once, a
    // song handed over at the last moment after the playlist.
    void exitFoldsWaitingBatchFilesIntoTheSavedList()
    {
        TestEnv env;
        const QString autosave = env.app(QStringLiteral("autosavedlist.aut"));
        TestEnv::writeFile(autosave, "/m/1.mp3\r\n/m/2.mp3\r\n\r\n");
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.sng")), "/m/1.mp3\r\n/m/2.mp3\r\n\r\n");
        TestEnv::writeFile(env.app(QStringLiteral("0-opened.sng")), "/m/new.mp3\r\n/m/notes.txt\r\n");
        {
            AppFixture p;  // closed before the first pick-up
            p.app.actions().autosaveAndQuit();
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
            QCOMPARE(TestEnv::readFile(autosave), QByteArray("/m/1.mp3\r\n/m/2.mp3\r\n/m/new.mp3\r\n\r\n"));
            QCOMPARE(QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files), QStringList());
        }
        AppFixture p;  // with songs in the playlist
        p.addSongs({QStringLiteral("/m/a.mp3")});
        TestEnv::writeFile(env.app(QStringLiteral("executer-x.sng")), "/m/late.mp3\r\n");
        p.app.actions().autosaveAndQuit();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QCOMPARE(TestEnv::readFile(autosave), QByteArray("/m/a.mp3\r\n/m/late.mp3\r\n\r\n"));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("executer-x.sng"))));
    }
};

QTEST_MAIN(TestSaving)
#include "test_saving.moc"
