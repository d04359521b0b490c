// Save PlayList and the autosave: the exact bytes, cancelling, the dialog,
// and the command timer's dispatch of stop and resume requests.

#include "common/dialogs.h"
#include "common/settings_store.h"
#include "player/shell/command_dispatch.h"
#include "tests/player/fake_shell.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace qpt;
using namespace qpt::test;

namespace {
class FakeSavingWindows : public SavingWindows {
public:
    QStringList calls;
    void showNowSaving() override { calls << QStringLiteral("show"); }
    void unloadNowSaving() override { calls << QStringLiteral("unload"); }
    void hidePopupMenu() override { calls << QStringLiteral("hideMenu"); }
};
}  // namespace

class TestSaving : public QObject {
    Q_OBJECT
private slots:
    void savesExactBytesAndStopsTheMusic()
    {
        TestEnv env;
        FakePlayer p;
        CommandDispatch dispatch(p.core);
        p.c.timSavePlayList.setHandler([&] { dispatch.timSavePlayList_Timer(); });
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/two 2.wav"), QStringLiteral("/m/3.mid")});
        p.core.engine.PlaySong();
        const QString target = env.root() + QStringLiteral("/mine.VYX");
        Dialogs::scriptAnswers({target});
        FakeSavingWindows windows;
        p.c.s.ResumeAfterReload = QStringLiteral("STOP");
        p.core.saving.SavePlayList(true, windows);
        QCOMPARE(TestEnv::readFile(target), QByteArray("/m/1.mp3\r\n/m/two 2.wav\r\n/m/3.mid\r\n\r\n"));
        QCOMPARE(windows.calls, (QStringList{QStringLiteral("show"), QStringLiteral("unload"), QStringLiteral("hideMenu")}));
        QCOMPARE(p.c.s.ResumeAfterReload, QString());
        QCOMPARE(p.c.playlist.lstPlayListSource.ListIndex(), 2);  // left on the last entry
        const DialogRecord& dialog = Dialogs::records().last();
        QCOMPARE(dialog.kind, QStringLiteral("save"));
        QCOMPARE(dialog.title, QStringLiteral("Save PlayList"));
        QCOMPARE(dialog.text, QStringLiteral("Quorbel PlayList|*.VYX|All Files|*.*"));
        QCOMPARE(p.c.s.StopRequest, QStringLiteral("STOP"));
        QCOMPARE(p.c.timSavePlayList.interval(), 10);
        p.c.timSavePlayList.tick();
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("STOPPED"));
        QCOMPARE(p.c.s.StopRequest, QString());

        // One song: the path and the empty last line. The name is used as given.
        FakePlayer q;
        q.addSongs({QStringLiteral("/m/only.mp3")});
        Dialogs::scriptAnswers({env.root() + QStringLiteral("/noext")});
        q.core.saving.SavePlayList(true, windows);
        QCOMPARE(TestEnv::readFile(env.root() + QStringLiteral("/noext")), QByteArray("/m/only.mp3\r\n\r\n"));
    }

    void cancellingWritesNothing()
    {
        TestEnv env;
        FakeSavingWindows windows;
        {
            FakePlayer p;  // the X during collection: no dialog, no file, menu stays
            p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3")});
            QTimer::singleShot(0, [&] { p.c.s.SaveCancelRequest = QStringLiteral("STOP"); });
            p.core.saving.SavePlayList(true, windows);
            QVERIFY(Dialogs::records().isEmpty());
            QCOMPARE(windows.calls, QStringList{QStringLiteral("show")});
            QCOMPARE(p.c.s.SaveCancelRequest, QString());
            QCOMPARE(p.c.s.PlaylistText, QString());
        }
        {
            FakePlayer p;  // the dialog cancelled
            p.addSongs({QStringLiteral("/m/1.mp3")});
            Dialogs::scriptAnswers({QString()});
            p.core.saving.SavePlayList(true, windows);
            QCOMPARE(QDir(env.root()).entryList({QStringLiteral("*.VYX")}, QDir::Files).size(), 0);
        }
        {
            FakePlayer p;  // the right button only clears the resume request
            p.addSongs({QStringLiteral("/m/1.mp3")});
            p.c.s.ResumeAfterReload = QStringLiteral("STOP");
            windows.calls.clear();
            Dialogs::records().clear();
            p.core.saving.SavePlayList(false, windows);
            QCOMPARE(p.c.s.ResumeAfterReload, QString());
            QVERIFY(windows.calls.isEmpty() && Dialogs::records().isEmpty());
        }
        FakePlayer p;  // nothing to save
        windows.calls.clear();
        Dialogs::scriptAnswers({});
        p.core.saving.SavePlayList(true, windows);
        QCOMPARE(windows.calls, QStringList{QStringLiteral("hideMenu")});
        QCOMPARE(Dialogs::records().last().title, QStringLiteral("NO MUSIC TO SAVE"));
        QCOMPARE(Dialogs::records().last().text, QStringLiteral("No music in PlayList"));
    }

    void autosaveReplacesOnlyWithSongsAndAlwaysQuits()
    {
        TestEnv env;
        const QString autosave = env.app(QStringLiteral("autosavedlist.aut"));
        TestEnv::writeFile(autosave, "/old/list.mp3\r\n\r\n");
        {
            FakePlayer p;  // empty playlist: the old file stays
            p.core.saving.autosaveAndQuit();
            QCOMPARE(TestEnv::readFile(autosave), QByteArray("/old/list.mp3\r\n\r\n"));
            QCOMPARE(p.shell.calls, QStringList{QStringLiteral("unload")});
        }
        {
            FakePlayer p;
            p.addSongs({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")});
            p.core.saving.autosaveAndQuit();
            QCOMPARE(TestEnv::readFile(autosave), QByteArray("/m/a.mp3\r\n/m/b.mp3\r\n\r\n"));
            QCOMPARE(p.shell.calls, (QStringList{QStringLiteral("hideMain"), QStringLiteral("unload")}));
        }
        // A write that cannot be done (something in the way) still quits.
        QFile::remove(autosave);
        QDir().mkpath(autosave + QStringLiteral("/blocked"));
        FakePlayer p;
        p.addSongs({QStringLiteral("/m/a.mp3")});
        p.core.saving.autosaveAndQuit();
        QCOMPARE(p.shell.calls.last(), QStringLiteral("unload"));
        QVERIFY(QFileInfo(autosave + QStringLiteral("/blocked")).isDir());
        QVERIFY(QDir(env.appDir()).entryList({QStringLiteral("autosavedlist.aut.*")}, QDir::Files).isEmpty());
    }

    void commandTimerDispatchesTheFirstMatch()
    {
        TestEnv env;
        FakePlayer p;
        CommandDispatch dispatch(p.core);
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        p.c.s.PendingCommand = QStringLiteral("PLAYPAUSE");
        p.c.s.StopRequest = QStringLiteral("STOP");
        p.c.timSavePlayList.setInterval(1);
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.c.timSavePlayList.interval(), 0);
        QCOMPARE(p.media.url(), QStringLiteral("/m/1.mp3"));  // Play, since Play was enabled
        QCOMPARE(p.c.s.StopRequest, QStringLiteral("STOP"));   // only the first match ran
        QCOMPARE(p.shell.calls, QStringList{QStringLiteral("focusSeekDot")});
        p.c.s.PendingCommand = QStringLiteral("PLAYPAUSE");
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("PAUSE"));
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.c.s.PlayerState, QStringLiteral("STOPPED"));
        p.c.s.PendingCommand = QStringLiteral("MINI");
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.shell.calls.last(), QStringLiteral("tray"));
        // A word of another timer is left alone.
        p.c.s.PendingCommand = QStringLiteral("OP");
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.c.s.PendingCommand, QStringLiteral("OP"));
        dispatch.timShortKeys_Timer();
        QCOMPARE(p.shell.calls.last(), QStringLiteral("option"));
        // AUTOSAVE with the option on: saved, then unloaded.
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        p.c.s.PendingCommand = QStringLiteral("AUTOSAVE");
        dispatch.timSavePlayList_Timer();
        QCOMPARE(p.shell.calls.last(), QStringLiteral("unload"));
        QVERIFY(QFile::exists(env.app(QStringLiteral("autosavedlist.aut"))));
    }
};

QTEST_MAIN(TestSaving)
#include "test_saving.moc"
