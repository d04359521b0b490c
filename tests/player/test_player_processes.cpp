// The player as a real process in a temporary application folder: single
// instance, "Running.chk", the first-run hand-over and the close request.

#include "common/settings_store.h"
#include "common/single_instance.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace qpt;
using namespace qpt::test;

namespace {
const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");
}

class TestPlayerProcesses : public QObject {
    Q_OBJECT

    // Starts the player from the temporary folder; answers are the dialog
    // answers to give (empty: none expected).
    QProcess* startPlayer(TestEnv& env, const QStringList& arguments, const QString& answers = QString())
    {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = env.processEnvironment();
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), answers);
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(env.appDir());
        process->start(env.app(kPlayer), arguments);
        process->waitForStarted();
        return process;
    }
    static void configured()
    {
        SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("2"));
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("2"));
        SettingsStore::write(QStringLiteral("FadeOutCD"), QStringLiteral("2"));
    }
    static void stop(QProcess* process)
    {
        process->kill();
        process->waitForFinished(5000);
    }

private slots:
    void singleInstanceAndFto()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        configured();
        QProcess* first = startPlayer(env, {});
        QVERIFY(waitUntil([&] { return !SettingsStore::read(QStringLiteral("AppPath")).isEmpty(); }));

        // Without "fto" a second player ends at once and touches nothing.
        QFile::remove(env.app(QStringLiteral("Running.chk")));
        const QByteArray settingsBefore = TestEnv::readFile(SettingsStore::filePath());
        QProcess* second = startPlayer(env, {});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QProcess* upper = startPlayer(env, {QStringLiteral("FTO")});
        QVERIFY(upper->waitForFinished(10000));
        QCOMPARE(TestEnv::readFile(SettingsStore::filePath()), settingsBefore);
        QVERIFY(first->state() == QProcess::Running);

        // With "fto" it runs beside the first.
        QProcess* beside = startPlayer(env, {QStringLiteral("fto")});
        QVERIFY(!beside->waitForFinished(1500));
        QVERIFY(beside->state() == QProcess::Running);
        stop(beside);
        stop(first);
    }

    // A start while a player is ending waits for it and comes up once it
    // lets go; one that does not let go within 2 s is named, and the start
    // ends. This process plays the ending player.
    void startWaitsForAnEndingPlayer()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        configured();
        const QString running = env.app(QStringLiteral("Running.chk"));
        QVERIFY(!SingleInstance::anotherIsRunning(kPlayer));
        SingleInstance::markEnding(kPlayer);
        QProcess* waiting = startPlayer(env, {});
        QVERIFY(!waiting->waitForFinished(800));
        QVERIFY2(!QFile::exists(running), "started beside a player that still runs");
        SingleInstance::release();
        QVERIFY(waitUntil([&] { return QFile::exists(running); }, 2000));
        QCOMPARE(waiting->state(), QProcess::Running);
        QVERIFY(env.dialogTitles().isEmpty());
        stop(waiting);
        QFile::remove(running);

        QVERIFY(!SingleInstance::anotherIsRunning(kPlayer));
        SingleInstance::markEnding(kPlayer);
        QElapsedTimer clock;
        clock.start();
        QProcess* refused = startPlayer(env, {}, QStringLiteral("OK"));
        QVERIFY(refused->waitForFinished(8000));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(env.dialogTitles(), QStringList{QStringLiteral("Quorbel Player Tirk")});
        QVERIFY(TestEnv::readFile(env.dialogLog()).contains("still closing"));
        QVERIFY(!QFile::exists(running));
        SingleInstance::release();
    }

    void runningMarkerLivesUntilTheExitSequence()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        configured();
        QProcess* player = startPlayer(env, {});
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }));
        QFile::remove(env.app(QStringLiteral("Running.chk")));
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }, 2000));
        // The Online System's close request ends the player through its exit.
        TestEnv::writeFile(env.app(QStringLiteral("shutdown.os")), QByteArray());
        QVERIFY(player->waitForFinished(10000));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("Running.chk"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("shutdown.os"))));
    }

    // Every orderly end saves the playlist as Alt+F4 does: the Online
    // System's close request, the end of a session, a kill.
    void orderlyExitsSaveThePlaylist_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("shutdown.os") << "shutdown.os";
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGHUP") << "SIGHUP";
    }

    void orderlyExitsSaveThePlaylist()
    {
        QFETCH(QString, how);
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        configured();
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        QProcess* player = startPlayer(env, {});
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }));
        // Added while the player runs, as the executer adds a song.
        TestEnv::writeFile(env.app(QStringLiteral("opened.sng")), "/m/added.mp3\r\n/m/second.wav\r\n");
        QVERIFY(waitUntil([&] { return !QFile::exists(env.app(QStringLiteral("opened.sng"))); }, 8000));
        if (how == QLatin1String("shutdown.os"))
            TestEnv::writeFile(env.app(QStringLiteral("shutdown.os")), QByteArray());
        else
            ::kill(pid_t(player->processId()), how == QLatin1String("SIGTERM") ? SIGTERM : SIGHUP);
        QVERIFY(player->waitForFinished(10000));
        QCOMPARE(player->exitStatus(), QProcess::NormalExit);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))),
                 QByteArray("/m/added.mp3\r\n/m/second.wav\r\n\r\n"));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("Running.chk"))));
    }

    // Closes soon after the start, in order or not, at moments before,
    // during and after the saved list's first pick-up: the saved list
    // comes back exactly once.
    void quickClosesNeverDoubleTheSavedList_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<int>("songs");
        QTest::addColumn<int>("closes");
        QTest::newRow("SIGKILL at 0.3 s") << int(SIGKILL) << 300 << 5 << 1;
        QTest::newRow("SIGKILL at 1.0 s") << int(SIGKILL) << 1000 << 5 << 1;
        QTest::newRow("SIGKILL at 1.7 s, 10000 songs") << int(SIGKILL) << 1700 << 10000 << 1;
        QTest::newRow("SIGTERM at 0.3 s") << int(SIGTERM) << 300 << 5 << 1;
        QTest::newRow("SIGTERM at 0.8 s, twice") << int(SIGTERM) << 800 << 5 << 2;
        QTest::newRow("SIGTERM at 2.5 s, 10000 songs") << int(SIGTERM) << 2500 << 10000 << 1;
    }
    void quickClosesNeverDoubleTheSavedList()
    {
        QFETCH(int, signal);
        QFETCH(int, afterMs);
        QFETCH(int, songs);
        QFETCH(int, closes);
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        configured();
        SettingsStore::write(QStringLiteral("AutosavePlayList"), QStringLiteral("1"));
        QByteArray saved;
        for (int i = 0; i < songs; ++i)
            saved += "/m/song " + QByteArray::number(i) + ".mp3\r\n";
        saved += "\r\n";
        const QString autosave = env.app(QStringLiteral("autosavedlist.aut"));
        TestEnv::writeFile(autosave, saved);
        for (int round = 0; round < closes; ++round) {
            QProcess* player = startPlayer(env, {});
            QTest::qWait(afterMs);
            ::kill(pid_t(player->processId()), signal);
            QVERIFY(player->waitForFinished(10000));
        }
        // A start that takes the list up, then an orderly end: what it
        // saves is what it loaded.
        QProcess* player = startPlayer(env, {});
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }));
        QVERIFY(waitUntil([&] { return QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files).isEmpty(); },
                          15000));
        ::kill(pid_t(player->processId()), SIGTERM);
        QVERIFY(player->waitForFinished(10000));
        QCOMPARE(TestEnv::readFile(autosave).size(), saved.size());
        QCOMPARE(TestEnv::readFile(autosave), saved);
        QCOMPARE(QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files), QStringList());
    }

    void firstRunHandsOverToTheOptionProgram_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("word");
        QTest::newRow("No") << "No" << "firsttime";
        QTest::newRow("Yes") << "Yes" << "firsttimedefault";
    }

    void firstRunHandsOverToTheOptionProgram()
    {
        QFETCH(QString, answer);
        QFETCH(QString, word);
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        QVERIFY(env.installStandIn(QStringLiteral("option.dat")));
        QProcess* player = startPlayer(env, {}, answer);
        QVERIFY(player->waitForFinished(15000));
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{word});
        QCOMPARE(SettingsStore::read(QStringLiteral("PlayerVer")), QStringLiteral("Quorbel Player Tirk v1.00"));
        QCOMPARE(SettingsStore::read(QStringLiteral("AppPath")), env.appDir());
        const QByteArray log = TestEnv::readFile(env.dialogLog());
        QVERIFY(log.contains("You Only Get This Message Once!!!"));
    }

    // A settings file that cannot be written (a folder in its place): one
    // message and a player on the default options, not a loop of welcome
    // questions and programs starting each other.
    void unwritableSettingsStartOnce()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        QVERIFY(env.installStandIn(QStringLiteral("option.dat")));
        QVERIFY(QDir().mkpath(SettingsStore::filePath()));
        QProcess* player = startPlayer(env, {}, QStringLiteral("OK"));
        QVERIFY(waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }, 15000));
        QVERIFY(!player->waitForFinished(2000));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QStringLiteral("autofileass")});
        QCOMPARE(env.dialogTitles(), QStringList{QStringLiteral("Settings Not Saved")});
        stop(player);
    }

    void missingOptionProgramKeepsThePlayerRunning()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        QProcess* player = startPlayer(env, {}, QStringLiteral("Yes,OK"));
        QVERIFY(waitUntil([&] { return env.dialogTitles().contains(QStringLiteral("Option Not Found")); }, 15000));
        QVERIFY(!player->waitForFinished(1000));
        stop(player);
    }
};

QTEST_MAIN(TestPlayerProcesses)
#include "test_player_processes.moc"
