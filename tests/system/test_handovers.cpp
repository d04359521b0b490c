// The three programs together as real processes: the first-run hand-over
// from the player to the Option program and back, and an online update of a
// running player.

#include "common/settings_store.h"
#include "common/single_instance.h"
#include "tests/internet/local_servers.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");

bool playerRunning()
{
    return SingleInstance::isRunning(kPlayer);
}

QProcess* startProgram(TestEnv& env, const QString& program, const QStringList& arguments,
                       const QString& answers, const QList<QPair<QString, QString>>& extra = {})
{
    auto* process = new QProcess;
    QProcessEnvironment environment = env.processEnvironment();
    environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), answers);
    for (const auto& [name, value] : extra)
        environment.insert(name, value);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(env.appDir());
    process->start(env.app(program), arguments);
    process->waitForStarted();
    return process;
}

// Asks the running player to close the way the Online System does.
bool closePlayer(TestEnv& env)
{
    TestEnv::writeFile(env.app(QStringLiteral("shutdown.os")), QByteArray());
    return waitUntil([] { return !playerRunning(); }, 10000);
}

QStringList boxTitles(const TestEnv& env)
{
    return env.dialogTitles();
}

}  // namespace

class TestHandovers : public QObject {
    Q_OBJECT
private slots:
    void firstRunWithDefaults()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        QVERIFY(env.installProgram(QStringLiteral("option.dat")));
        std::unique_ptr<QProcess> first(startProgram(env, kPlayer, {}, QStringLiteral("Yes")));
        QVERIFY(first->waitForFinished(15000));  // the first player hands over and ends

        // option.dat firsttimedefault saved the defaults and started "fto".
        QVERIFY(waitUntil([] { return playerRunning(); }, 15000));
        const QStringList keys = {QStringLiteral("AutoFileAss"), QStringLiteral("TransPlayList"),
                                  QStringLiteral("FadeOutCD"), QStringLiteral("MinimizeSeparate"),
                                  QStringLiteral("AutosavePlayList"), QStringLiteral("OSOT")};
        QStringList values;
        for (const QString& key : keys)
            values << SettingsStore::read(key);
        QCOMPARE(values.join(QLatin1Char(',')), QStringLiteral("1,1,1,2,2,2"));
        QCOMPARE(SettingsStore::read(QStringLiteral("Option")), QStringLiteral("v1.00"));
        // The second player asks nothing and refreshes the associations.
        QVERIFY(waitUntil([&] {
            return QFile::exists(env.dataDir() + QStringLiteral("/applications/MyApp.Document.desktop"));
        }, 15000));
        QCOMPARE(boxTitles(env), QStringList{QStringLiteral("You Only Get This Message Once!!!")});
        QVERIFY(closePlayer(env));
    }

    void firstRunWithOwnChoices()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kPlayer));
        QVERIFY(env.installProgram(QStringLiteral("option.dat")));
        std::unique_ptr<QProcess> first(startProgram(env, kPlayer, {}, QStringLiteral("No")));
        QVERIFY(first->waitForFinished(15000));
        // The Option dialog waits in first-run mode; nothing is saved yet.
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("activeoption.inf"))); }, 15000));
        QTest::qWait(300);
        QVERIFY(SettingsStore::read(QStringLiteral("AutoFileAss")).isEmpty());
        QVERIFY(!playerRunning());
        // Its close signal confirms: the six options are saved and the player starts.
        QFile::remove(env.app(QStringLiteral("activeoption.inf")));
        QVERIFY(waitUntil([] { return playerRunning(); }, 15000));
        QCOMPARE(SettingsStore::read(QStringLiteral("AutosavePlayList")), QStringLiteral("2"));
        QCOMPARE(SettingsStore::read(QStringLiteral("AutoFileAss")), QStringLiteral("1"));
        QCOMPARE(boxTitles(env), QStringList{QStringLiteral("You Only Get This Message Once!!!")});
        QVERIFY(closePlayer(env));
    }

    void onlineUpdateReplacesARunningPlayer()
    {
        TestEnv env;
        LocalUpdateHost host;
        QVERIFY(host.isListening());
        host.putPages();
        QVERIFY(env.installProgram(kPlayer));
        QVERIFY(env.installProgram(QStringLiteral("internet.dat")));
        QVERIFY(env.installProgram(QStringLiteral("osupdater.dat")));
        QVERIFY(env.installProgram(QStringLiteral("loading.ifo")));
        const QString system = env.root() + QStringLiteral("/system");
        QDir().mkpath(system);
        TestEnv::writeFile(system + QStringLiteral("/osplinfo.dll"), QByteArray());
        for (const char* key : {"AutoFileAss", "AutosavePlayList", "FadeOutCD", "OSOT"})
            SettingsStore::write(QLatin1String(key), QStringLiteral("2"));
        SettingsStore::write(QStringLiteral("Option"), QStringLiteral("v1.00"));

        // The new player: the same program with a few more bytes, so that the
        // replacement can be told apart byte for byte, signed by a release
        // key the installation trusts.
        QByteArray image = TestEnv::readFile(env.app(kPlayer));
        image += QByteArray("\n\xff\x00 new build\n", 13);
        ReleaseSigner signer;
        QVERIFY(signer.trustIn(env.appDir()));
        signer.publish(host, {{QStringLiteral("QuorbelPlayerTirk.exe"), {QStringLiteral("v1.01"), image}}});
        host.putVersionFile({QStringLiteral("PlayVer=v1.01"), QStringLiteral("OptiVer=v1.00"), QStringLiteral("OSV=v1.00"),
                             QStringLiteral("Update=07 December 2026")});

        std::unique_ptr<QProcess> oldPlayer(startProgram(env, kPlayer, {}, QString()));
        QVERIFY(waitUntil([] { return playerRunning(); }, 10000));
        QVERIFY(waitUntil([&] { return !SettingsStore::read(QStringLiteral("AppPath")).isEmpty(); }, 10000));

        // Yes to the player update; the check that follows finds the same
        // version text again and is answered No.
        std::unique_ptr<QProcess> online(startProgram(env, QStringLiteral("internet.dat"), {}, QStringLiteral("Yes,No"),
                                                      {{QStringLiteral("QPT_UPDATE_URL"), host.url()},
                                                       {QStringLiteral("QPT_SYSTEM_DIR"), system}}));
        QVERIFY(oldPlayer->waitForFinished(20000));  // closed through "shutdown.os"
        QVERIFY(waitUntil([&] { return TestEnv::readFile(env.app(kPlayer)) == image; }, 20000));
        QVERIFY(QFileInfo(env.app(kPlayer)).isExecutable());
        QVERIFY(waitUntil([] { return playerRunning(); }, 15000));  // the new one runs
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }, 5000));
        QVERIFY(waitUntil([&] { return boxTitles(env).size() >= 2; }, 20000));
        QCOMPARE(boxTitles(env), (QStringList{QStringLiteral("Newer Player Version Available"),
                                              QStringLiteral("Newer Player Version Available")}));
        online->kill();
        online->waitForFinished();
        QVERIFY(closePlayer(env));
    }
};

QTEST_MAIN(TestHandovers)
#include "test_handovers.moc"
