// The shared layer: settings store, marker files, program start, timers.

#include "common/poll_timer.h"
#include "common/marker_files.h"
#include "common/options.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/single_instance.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace qpt;
using qpt::test::TestEnv;

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void settingsMissingKeyAndConversion()
    {
        TestEnv env;
        QCOMPARE(SettingsStore::read(QStringLiteral("AutoFileAss")), QString());
        QVERIFY(!SettingsStore::readNumber(QStringLiteral("AutoFileAss")));
        SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("1"));
        QCOMPARE(SettingsStore::read(QStringLiteral("AutoFileAss")), QStringLiteral("1"));
        QCOMPARE(SettingsStore::readNumber(QStringLiteral("AutoFileAss")).value_or(-1), 1.0);
        SettingsStore::write(QStringLiteral("FadeOutCD"), QStringLiteral("yes"));
        QVERIFY(!SettingsStore::readNumber(QStringLiteral("FadeOutCD")));
        QCOMPARE(toNumber(QStringLiteral(" 2 ")).value_or(-1), 2.0);
        QVERIFY(!toNumber(QStringLiteral("1abc")));
        QVERIFY(!toNumber(QString()));
        // The file is where the other programs look, group [Option].
        QVERIFY(SettingsStore::filePath().startsWith(env.configDir()));
        QVERIFY(TestEnv::readFile(SettingsStore::filePath()).contains("[Option]"));
    }

    // What a stored text means for an option is settled in one place: on is
    // the number 1 alone; the Option program shows the stored states only
    // when all six are numbers.
    void optionsAsTheProgramsReadThem()
    {
        TestEnv env;
        Options options = Options::read();
        QVERIFY(options.firstRun());
        QVERIFY(!options.allSaved());
        QVERIFY(options.loadsSavedPlaylist() && !options.savesPlaylistOnExit());
        QVERIFY(options.playlistTranslucent() && !options.fadesOutOnExit());

        const char* const stored[][2] = {
            {keys::AutoFileAss, "1"},      {keys::TransPlayList, " 1 "},   {keys::FadeOutCD, "2"},
            {keys::MinimizeSeparate, "1.0"}, {keys::AutosavePlayList, "0"}, {keys::OSOT, "yes"},
        };
        for (const auto& [key, text] : stored)
            SettingsStore::write(QLatin1String(key), QLatin1String(text));
        options = Options::read();
        QVERIFY(!options.firstRun());
        QVERIFY(!options.allSaved());  // "yes" is not a number
        QVERIFY(options.isOn(keys::AutoFileAss) && options.isOn(keys::TransPlayList));
        QVERIFY(options.isOn(keys::MinimizeSeparate) && options.minimizesSeparately());
        QVERIFY(!options.isOn(keys::FadeOutCD) && !options.fadesOutOnExit());
        QVERIFY(!options.isOn(keys::AutosavePlayList) && !options.isOn(keys::OSOT));
        QVERIFY(!options.isOn("NoSuchOption"));
        QVERIFY(!options.loadsSavedPlaylist());  // 0: saved, and not on

        SettingsStore::write(QLatin1String(keys::OSOT), QStringLiteral("2"));
        QVERIFY(Options::read().allSaved());
    }

    void settingsSeeAnotherWriter()
    {
        TestEnv env;
        SettingsStore::write(QStringLiteral("OSOT"), QStringLiteral("2"));
        // Another process writes behind our back.
        {
            QSettings other(SettingsStore::filePath(), QSettings::IniFormat);
            other.setValue(QStringLiteral("Option/OSOT"), QStringLiteral("1"));
        }
        QCOMPARE(SettingsStore::read(QStringLiteral("OSOT")), QStringLiteral("1"));
    }

    void markerFiles()
    {
        TestEnv env;
        const QString path = env.app(QStringLiteral("activeoption.inf"));
        QVERIFY(MarkerFiles::createOrTruncate(path, QStringLiteral("Option Active...")));
        QCOMPARE(TestEnv::readFile(path), QByteArray("Option Active...\r\n"));
        QVERIFY(MarkerFiles::createOrTruncate(path));
        QCOMPARE(TestEnv::readFile(path), QByteArray());
        QVERIFY(MarkerFiles::exists(path));
        QVERIFY(!MarkerFiles::exists(env.app(QStringLiteral("ActiveOption.inf"))));
        MarkerFiles::remove(path);
        MarkerFiles::remove(path);  // absent: no error
        QVERIFY(!MarkerFiles::exists(path));

        QVERIFY(!MarkerFiles::copyOver(env.app(QStringLiteral("missing")), env.app(QStringLiteral("b"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("b"))));
        TestEnv::writeFile(env.app(QStringLiteral("a")), QByteArray("x\0y", 3));
        TestEnv::writeFile(env.app(QStringLiteral("b")), "old");
        QVERIFY(MarkerFiles::copyOver(env.app(QStringLiteral("a")), env.app(QStringLiteral("b"))));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("b"))), QByteArray("x\0y", 3));

        // A link planted at a fixed name is not followed.
        const QString victim = env.app(QStringLiteral("victim"));
        TestEnv::writeFile(victim, "keep");
        QFile::link(victim, env.app(QStringLiteral("planted")));
        QVERIFY(!MarkerFiles::writeNoFollow(env.app(QStringLiteral("planted")), "evil"));
        QCOMPARE(TestEnv::readFile(victim), QByteArray("keep"));
        // Nor is a pipe waited on.
        const QString pipe = env.app(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!MarkerFiles::writeNoFollow(pipe, "x"));
    }

    // Two users, one folder: a marker of another user's is not there for
    // this one, and is never removed by it.
    void anotherUsersMarkersAreNotOurs()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user takes root");
        TestEnv env;
        const QString request = env.app(QStringLiteral("shutdown.os"));
        QVERIFY(MarkerFiles::createNoFollow(request));
        QVERIFY(MarkerFiles::existsOwn(request));
        QCOMPARE(::lchown(QFile::encodeName(request).constData(), 4242, 4242), 0);
        QVERIFY(MarkerFiles::exists(request));
        QVERIFY(!MarkerFiles::existsOwn(request));
        MarkerFiles::removeOwn(request);
        QVERIFY(QFile::exists(request));
        QVERIFY(!MarkerFiles::existsOwn(env.app(QStringLiteral("missing"))));
        const QString mine = env.app(QStringLiteral("Running.chk"));
        QVERIFY(MarkerFiles::createNoFollow(mine));
        MarkerFiles::removeOwn(mine);
        QVERIFY(!QFile::exists(mine));
    }

    // An instance lets go before it has quite ended (a thread of it may
    // never come back from a share); between its first step towards the
    // end and that moment it says it is ending, and only then.
    void instanceLetsGoWhenItEnds()
    {
        TestEnv env;
        const QString name = QStringLiteral("instance test %1").arg(::getpid());
        QVERIFY(!SingleInstance::anotherIsRunning(name));
        QVERIFY(SingleInstance::isRunning(name));
        QVERIFY(!SingleInstance::isEnding(name));
        SingleInstance::markEnding(name);
        QVERIFY(SingleInstance::isEnding(name));
        QVERIFY(SingleInstance::isRunning(name));
        SingleInstance::release();
        QVERIFY(!SingleInstance::isRunning(name));
        QVERIFY(!SingleInstance::isEnding(name));
        QVERIFY(SingleInstance::takeOver(name));
        QVERIFY(SingleInstance::isRunning(name));
        SingleInstance::release();
    }

    void programStart()
    {
        TestEnv env;
        QVERIFY(!ProgramStarter::start(env.app(QStringLiteral("missing.dat"))));
        TestEnv::writeFile(env.app(QStringLiteral("plain.dat")), "not executable");
        QVERIFY(!ProgramStarter::start(env.app(QStringLiteral("plain.dat"))));
        QVERIFY(env.installStandIn(QStringLiteral("option.dat")));
        QVERIFY(ProgramStarter::start(env.app(QStringLiteral("option.dat")), QStringLiteral("autofileass"),
                                      WindowStyle::Hidden));
        QVERIFY(test::waitUntil([&] { return !env.standInCalls(QStringLiteral("option.dat")).isEmpty(); }));
        QCOMPARE(env.standInCalls(QStringLiteral("option.dat")), QStringList{QStringLiteral("autofileass")});
    }

    void pollTimerNeverReenters()
    {
        int runs = 0;
        PollTimer timer;
        timer.setHandler([&] {
            ++runs;
            timer.tick();  // a tick falling due while running is dropped
        });
        timer.tick();
        QCOMPARE(runs, 1);
        QVERIFY(!timer.isArmed());
        timer.setInterval(5);
        QVERIFY(timer.isArmed());
        timer.setInterval(0);
        QVERIFY(!timer.isArmed());
    }
};

QTEST_MAIN(TestCommon)
#include "test_settings_and_markers.moc"
