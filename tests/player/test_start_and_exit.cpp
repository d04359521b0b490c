// The start sequence, the first-run hand-over and the exit sequence, in this
// process with the fake media component.

#include "common/dialogs.h"
#include "common/marker_files.h"
#include "common/settings_store.h"
#include "player/shell/exit_sequence.h"
#include "player/shell/start_sequence.h"
#include "tests/player/app_fixture.h"
#include "tests/player/player_fixture.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

class FakeStartWindows : public StartWindows {
public:
    QStringList calls;
    void createPlaylistWindowHidden() override { calls << QStringLiteral("playlist"); }
    void sizeMainWindow(double w, double h) override { calls << QStringLiteral("size %1x%2").arg(w).arg(h); }
    QString mainWindowCaption() const override { return QStringLiteral("Quorbel Player Tirk v1.00"); }
    void showMainWindow() override { calls << QStringLiteral("show"); }
};

}  // namespace

class TestStartAndExit : public QObject {
    Q_OBJECT
private slots:
    void firstStartAsksTheWelcomeQuestion()
    {
        TestEnv env;
        env.installStandIn(QStringLiteral("option.dat"));
        Dialogs::scriptAnswers({QStringLiteral("No")});
        DisplayFixture p;
        FakeStartWindows windows;
        const bool keepRunning = StartSequence(windows, p.loader, p.animation).run();
        QVERIFY(!keepRunning);
        QCOMPARE(SettingsStore::read(QStringLiteral("PlayerVer")), QStringLiteral("Quorbel Player Tirk v1.00"));
        QCOMPARE(SettingsStore::read(QStringLiteral("AppPath")), env.appDir());
        QCOMPARE(p.display.nowPlayingLabel.text(), QStringLiteral("Loading AutoSaved PlayList..."));
        QCOMPARE(p.animation.timer.interval(), 4000);
        QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
        QCOMPARE(windows.calls, (QStringList{QStringLiteral("playlist"), QStringLiteral("size 4950x2865"),
                                             QStringLiteral("show")}));
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.title, QStringLiteral("You Only Get This Message Once!!!"));
        QCOMPARE(box.text, QStringLiteral("Welcome To Quorbel Player Tirk\r\n\r\nYou need to make a few options.\r\n"
                                          "Press YES if you wanna use Default options.\r\n"
                                          "Press NO if you wanna setup your own options.\r\n\r\nENJOY"));
        QCOMPARE(box.icon, QStringLiteral("information"));
        QCOMPARE(box.buttons, QStringLiteral("YesNo"));
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QStringLiteral("firsttime")});
    }

    void missingOptionProgramIsReportedAndThePlayerRuns()
    {
        TestEnv env;
        Dialogs::scriptAnswers({QStringLiteral("Yes"), QStringLiteral("OK")});
        DisplayFixture p;
        FakeStartWindows windows;
        QVERIFY(StartSequence(windows, p.loader, p.animation).run());
        QCOMPARE(Dialogs::records().size(), 2);
        QCOMPARE(Dialogs::records()[1].title, QStringLiteral("Option Not Found"));
        QVERIFY(Dialogs::records()[1].text.startsWith(QStringLiteral("Option.dat not found... Please Visit http")));
        QVERIFY(Dialogs::records()[1].text.endsWith(QStringLiteral(" for the File")));
    }

    // Opening a song from the file manager while the player is closed
    // leaves a batch file waiting at its start: the saved playlist still
    // loads, first, with the new song after it, and songs of an earlier
    // saved playlist are never loaded beside it a second time.
    void savedPlaylistLoadsFirstWithBatchesWaiting()
    {
        TestEnv env;
        env.installStandIn(QStringLiteral("option.dat"));
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("1"));
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.aut")), "/m/1.mp3\r\n/m/2.mp3\r\n\r\n");
        // An older copy: the saved list written after it holds its songs.
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.sng")), "/m/rest.mp3\r\n");
        TestEnv::writeFile(env.app(QStringLiteral("0-opened.sng")), "/m/new.mp3\r\n");
        for (int run = 0; run < 2; ++run) {
            DisplayFixture p;
            FakeStartWindows windows;
            QVERIFY(StartSequence(windows, p.loader, p.animation).run());
            QCOMPARE(p.display.nowPlayingLabel.text(), QStringLiteral("Loading AutoSaved PlayList..."));
            QVERIFY(Dialogs::records().isEmpty());
            QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
            QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QStringLiteral("autofileass")});
            QVERIFY(p.pickUp());
            QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/1.mp3", "/m/2.mp3", "/m/new.mp3"}));
            QCOMPARE(QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files), QStringList());
            if (run == 1)
                break;
            // The copy a run killed before its first pick-up left: loaded once.
            QFile::copy(env.app(QStringLiteral("autosavedlist.aut")), env.app(QStringLiteral("autosavedlist.sng")));
            TestEnv::writeFile(env.app(QStringLiteral("0-opened.sng")), "/m/new.mp3\r\n");
            Dialogs::records().clear();
            QFile::remove(env.app(QStringLiteral("option.dat.args")));
        }
        // "2": nothing is loaded and the window is not shown early.
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("2"));
        DisplayFixture p;
        FakeStartWindows windows;
        QVERIFY(StartSequence(windows, p.loader, p.animation).run());
        QVERIFY(!windows.calls.contains(QStringLiteral("show")));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("autosavedlist.sng"))));
    }

    // In a folder where nothing can be written (here: directories where the
    // marker and the batch copy would go) the player says so once and still
    // loads the saved playlist, reading it where it is.
    void unwritableFolderStillLoadsTheSavedPlaylist()
    {
        TestEnv env;
        env.installStandIn(QStringLiteral("option.dat"));
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("2"));
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.aut")), "/m/1.mp3\r\n/m/2.mp3\r\n\r\n");
        QVERIFY(QDir().mkpath(env.app(QStringLiteral("Running.chk"))));
        QVERIFY(QDir().mkpath(env.app(QStringLiteral("autosavedlist.sng"))));
        Dialogs::scriptAnswers({});
        DisplayFixture p;
        FakeStartWindows windows;
        QVERIFY(StartSequence(windows, p.loader, p.animation).run());
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records().first().title, QStringLiteral("Folder Not Writable"));
        QVERIFY(Dialogs::records().first().text.contains(env.appDir()));
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/1.mp3", "/m/2.mp3"}));
        QVERIFY(QFile::exists(env.app(QStringLiteral("autosavedlist.aut"))));
        QVERIFY(p.pickUp());  // read once only
        QCOMPARE(p.playlist.count(), 2);
    }

    // A settings file that cannot be written: no welcome question (its
    // answer could not be kept), one message naming the file, and the
    // player runs with the default options.
    void unwritableSettingsRunWithDefaults()
    {
        TestEnv env;
        env.installStandIn(QStringLiteral("option.dat"));
        QVERIFY(QDir().mkpath(SettingsStore::filePath()));  // a folder in the file's place
        Dialogs::scriptAnswers({});
        DisplayFixture p;
        FakeStartWindows windows;
        QVERIFY(StartSequence(windows, p.loader, p.animation).run());
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records().first().title, QStringLiteral("Settings Not Saved"));
        QVERIFY(Dialogs::records().first().text.contains(SettingsStore::filePath()));
        QCOMPARE(SettingsStore::read(QLatin1String(keys::FadeOutCD)), QStringLiteral("1"));
        QCOMPARE(SettingsStore::read(QLatin1String(keys::AutosavePlayList)), QStringLiteral("2"));
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QStringLiteral("autofileass")});
    }

    void fadeOutOnExit_data()
    {
        QTest::addColumn<QString>("fadeSetting");
        QTest::addColumn<double>("position");
        QTest::addColumn<bool>("fades");
        QTest::newRow("on") << "1" << 3.0 << true;
        QTest::newRow("off") << "2" << 3.0 << false;
        QTest::newRow("missing") << "" << 3.0 << false;
        QTest::newRow("no media") << "1" << -1.0 << false;
    }

    void fadeOutOnExit()
    {
        QFETCH(QString, fadeSetting);
        QFETCH(double, position);
        QFETCH(bool, fades);
        TestEnv env;
        if (!fadeSetting.isEmpty())
            SettingsStore::write(QStringLiteral("FadeOutCD"), fadeSetting);
        MarkerFiles::createOrTruncate(env.app(QStringLiteral("Running.chk")));
        MarkerFiles::createOrTruncate(env.app(QStringLiteral("activeoption.inf")), QStringLiteral("Option Active..."));
        DisplayFixture p;
        p.media.setVolume(50);
        p.media.volumeWrites.clear();
        p.media.position = position;
        QStringList calls;
        ExitSequence exit(p.core, [&] { calls << QStringLiteral("hideMain"); },
                          [&] { calls << QStringLiteral("terminate"); });
        exit.run();
        if (fades) {
            // The first step at once, then one per 90 ms tick; the end
            // comes a tick after the thirteenth.
            QVERIFY(p.core.fade.isRunning());
            QCOMPARE(p.media.volumeWrites, QVector<int>{42});
            QVERIFY(QFile::exists(env.app(QStringLiteral("Running.chk"))));
            QCOMPARE(calls, QStringList{QStringLiteral("hideMain")});
            for (int step = 2; step <= VolumeFade::kSteps; ++step)
                p.core.fade.tick();
            QCOMPARE(p.media.volumeWrites, (QVector<int>{42, 34, 26, 18, 10, 2}));
            QCOMPARE(p.media.volume(), 2);
            QCOMPARE(calls, QStringList{QStringLiteral("hideMain")});
            p.core.fade.tick();
            QVERIFY(!p.core.fade.isRunning());
        } else {
            QVERIFY(p.media.volumeWrites.isEmpty());
            QVERIFY(!p.core.fade.isRunning());
        }
        QCOMPARE(calls, (QStringList{QStringLiteral("hideMain"), QStringLiteral("terminate")}));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("Running.chk"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("activeoption.inf"))));
    }

    void closeByTimeDisplay()
    {
        TestEnv env;
        {
            AppFixture p;  // autosave missing: counts as off
            p.addSongs({QStringLiteral("/m/1.mp3")});
            p.app.exit().closeFromTimeDisplay();
            QVERIFY(!p.app.windows().mainWindow().isVisible() && !p.app.windows().playlistWindow().isVisible());
            QCOMPARE(p.terminated, 1);
            QVERIFY(!QFile::exists(env.app(QStringLiteral("autosavedlist.aut"))));
        }
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        {
            AppFixture p;  // empty playlist: nothing written
            p.app.exit().closeFromTimeDisplay();
            QVERIFY(waitUntil([&] { return p.terminated == 1; }));
            QVERIFY(!QFile::exists(env.app(QStringLiteral("autosavedlist.aut"))));
        }
        AppFixture p;
        p.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2 two.wav")});
        p.app.exit().closeFromTimeDisplay();
        QVERIFY(waitUntil([&] { return p.terminated == 1; }));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))),
                 QByteArray("/m/1.mp3\r\n/m/2 two.wav\r\n\r\n"));
    }
};

QTEST_MAIN(TestStartAndExit)
#include "test_start_and_exit.moc"
