// internet.dat and osupdater.dat as real processes in a temporary
// installation, talking to a real update host.

#include "internet/online_files.h"
#include "local_servers.h"
#include "tests/support/unwritable_folder.h"
#include "tests/support/test_env.h"
#include "tools/updater/updater.h"

#include "common/settings_store.h"
#include "common/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace qpt;
using qpt::test::LocalUpdateHost;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

// Leaves a downloaded Online System where the updater looks for it.
bool placeImage(const QByteArray& bytes)
{
    return TestEnv::writeFile(internet::imagePath(), bytes);
}

struct Installation {
    TestEnv env;
    LocalUpdateHost host;
    QString system = env.root() + QStringLiteral("/system");

    Installation()
    {
        QDir().mkpath(system);
        TestEnv::writeFile(system + QStringLiteral("/osplinfo.dll"), QByteArray());
        host.putPages();
        env.installProgram(QStringLiteral("internet.dat"));
        env.installProgram(QStringLiteral("osupdater.dat"));
        env.installProgram(QStringLiteral("loading.ifo"));
        SettingsStore::write(QStringLiteral("PlayerVer"), QStringLiteral("Quorbel Player Tirk v1.00"));
        SettingsStore::write(QStringLiteral("Option"), QStringLiteral("v1.00"));
        SettingsStore::write(QStringLiteral("AppPath"), env.appDir());
    }

    // Runs internet.dat with the given scripted answers until it ends.
    int runOnlineSystem(const QString& answers, const QString& updateUrl = QString())
    {
        QProcess process;
        QProcessEnvironment environment = env.processEnvironment();
        environment.insert(QStringLiteral("QPT_SYSTEM_DIR"), system);
        environment.insert(QStringLiteral("QPT_UPDATE_URL"), updateUrl.isEmpty() ? host.url() : updateUrl);
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), answers);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(env.appDir());
        process.start(env.app(QStringLiteral("internet.dat")), QStringList());
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
};

}  // namespace

class TestPrograms : public QObject {
    Q_OBJECT
private slots:
    void onlineSystemUpdatesItself()
    {
        Installation installation;
        TestEnv& env = installation.env;
        const QByteArray image = "#!/bin/sh\n# \xff\xfe new Online System\nprintf 'started %s\\n' \"$*\" >> '"
                                 + env.app(QStringLiteral("new-os.log")).toLocal8Bit() + "'";
        installation.host.put(QStringLiteral("mainpage/os/Tirk/download/Internet.dat"), image);
        installation.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.00", "OSV=v1.01", "Update=x"});

        QCOMPARE(installation.runOnlineSystem(QStringLiteral("Yes")), 0);
        QCOMPARE(env.dialogTitles(), QStringList{"A Newer Version Of OS Available"});
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));

        // The updater waits for the end, puts the image in place and starts it.
        // (The shell creates the log before it writes the line into it.)
        QVERIFY(waitUntil([&] { return TestEnv::readFile(env.app(QStringLiteral("new-os.log"))).endsWith('\n'); }, 20000));
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("internet.dat"))), image);
        QVERIFY(QFileInfo(env.app(QStringLiteral("internet.dat"))).isExecutable());
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("new-os.log"))), QByteArray("started \n"));
        QVERIFY(!QFile::exists(internet::imagePath()));
    }

    void noConnectionRetryThenCancel()
    {
        Installation installation;
        const QString nowhere = QStringLiteral("http://127.0.0.1:%1").arg(qpt::test::closedPort());
        QCOMPARE(installation.runOnlineSystem(QStringLiteral("Retry,Cancel"), nowhere), 0);
        const QList<QByteArray> boxes = TestEnv::readFile(installation.env.dialogLog()).trimmed().split('\n');
        QCOMPARE(boxes.size(), 2);
        for (const QByteArray& line : boxes) {
            const QJsonObject box = QJsonDocument::fromJson(line).object();
            QCOMPARE(box.value(QStringLiteral("title")).toString(), QStringLiteral("No Internet Connection"));
            QCOMPARE(box.value(QStringLiteral("text")).toString(),
                     QStringLiteral("You Have No Connection To The Internet\r\nPress Retry, or Cancel to Exit OS"));
            QCOMPARE(box.value(QStringLiteral("icon")).toString(), QStringLiteral("information"));
            QCOMPARE(box.value(QStringLiteral("buttons")).toString(), QStringLiteral("RetryCancel"));
        }
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
    }

    // An application folder the user cannot write: the Online System says so
    // once and runs on; an update it is asked for fails before anything is
    // closed or changed.
    void folderThatCannotBeWritten()
    {
        Installation installation;
        TestEnv& env = installation.env;
        const QString player = env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        TestEnv::writeFile(player, "#!/bin/sh\necho old player\n");
        qpt::test::UnwritableFolder::makeRunnable(player);
        installation.host.put(QStringLiteral("mainpage/os/Tirk/download/QuorbelPlayerTirk.exe"), "#!/bin/sh\necho new\n");
        installation.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        qpt::test::UnwritableFolder folder(env);
        if (!folder.unavailable().isEmpty())
            QSKIP(qPrintable(folder.unavailable()));
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("QPT_SYSTEM_DIR"), installation.system);
        extra.insert(QStringLiteral("QPT_UPDATE_URL"), installation.host.url());

        // Yes to the update, Cancel to the error.
        extra.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QStringLiteral("OK,Yes,Cancel"));
        auto online = folder.start(QStringLiteral("internet.dat"), {}, extra);
        QVERIFY(online->waitForFinished(60000));
        QCOMPARE(online->exitCode(), 0);
        const QString notice = QStringLiteral("Quorbel Player Tirk Online System");
        QCOMPARE(env.dialogTitles(), (QStringList{notice, "Newer Player Version Available", "Error"}));
        const QJsonObject box = QJsonDocument::fromJson(TestEnv::readFile(env.dialogLog()).split('\n').first()).object();
        QVERIFY(box.value(QStringLiteral("text")).toString().contains(env.appDir()));
        QCOMPARE(TestEnv::readFile(player), QByteArray("#!/bin/sh\necho old player\n"));
        QCOMPARE(QDir(env.appDir()).entryList(QDir::Files | QDir::Hidden).size(), 4);

        // Up to date: said once, and the Online System stays open.
        TestEnv::writeFile(env.dialogLog(), QByteArray());
        installation.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        extra.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QStringLiteral("OK"));
        online = folder.start(QStringLiteral("internet.dat"), {}, extra);
        QVERIFY(waitUntil([&] { return !env.dialogTitles().isEmpty(); }, 30000));
        QVERIFY(!online->waitForFinished(1500));
        QCOMPARE(env.dialogTitles(), QStringList{notice});
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("YES"));
        online->kill();
        QVERIFY(online->waitForFinished(10000));
    }

    void updaterWaitsForTheOnlineSystem()
    {
        TestEnv env;
        QVERIFY(env.installStandIn(QStringLiteral("internet.dat")));
        QVERIFY(placeImage("#!/bin/sh\nexit 0\n"));
        // An Online System that does not end.
        QVERIFY(!SingleInstance::anotherIsRunning(QStringLiteral("internet.dat")));
        updater::Updater waiting(env.appDir());
        waiting.setWaitLimit(100);
        waiting.setPollInterval(10);
        const updater::Outcome outcome = waiting.run();
        QVERIFY(outcome.waitedOut);
        QVERIFY(outcome.replaced);
        QVERIFY(!outcome.started);  // a second one would only end again
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("internet.dat"))), QByteArray("#!/bin/sh\nexit 0\n"));

        // Without an image, or with one that is no program, nothing is
        // replaced; the installed one starts.
        for (const QByteArray& image : {QByteArray(), QByteArray("<html><body>Log in</body></html>")}) {
            TestEnv other;
            QVERIFY(other.installStandIn(QStringLiteral("internet.dat")));
            if (!image.isEmpty())
                QVERIFY(placeImage(image));
            const QByteArray before = TestEnv::readFile(other.app(QStringLiteral("internet.dat")));
            const updater::Outcome plain = updater::Updater(other.appDir()).run();
            QVERIFY(!plain.replaced);
            QVERIFY(plain.started);
            QCOMPARE(TestEnv::readFile(other.app(QStringLiteral("internet.dat"))), before);
            QVERIFY(waitUntil([&] { return other.standInCalls(QStringLiteral("internet.dat")) == QStringList{""}; }));
        }
    }
};

QTEST_MAIN(TestPrograms)
#include "test_programs.moc"
