// internet.dat and osupdater.dat as real processes in a temporary
// installation, talking to a real update host (http and https).

#include "internet/update/online_files.h"
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
#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace qpt;
using qpt::test::LocalUpdateHost;
using qpt::test::ReleaseSigner;
using qpt::test::TestCertificates;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

// Leaves a downloaded Online System where the updater looks for it, with
// the signed manifest (and signature) that vouch for it when given, and the
// version of the Online System that kept it.
bool placeImage(const QByteArray& bytes, const QByteArray& manifest = {}, const QByteArray& signature = {},
                const QByteArray& replaces = "v1.00")
{
    const internet::KeptUpdate kept = *internet::keptUpdate();
    return TestEnv::writeFile(kept.image, bytes) && (manifest.isNull() || TestEnv::writeFile(kept.manifest, manifest))
        && (signature.isNull() || TestEnv::writeFile(kept.signature, signature))
        && (replaces.isNull() || TestEnv::writeFile(kept.replaces, replaces));
}

// Nothing of an update is kept in the private folder.
bool nothingKept()
{
    const internet::KeptUpdate kept = *internet::keptUpdate();
    return !QFile::exists(kept.image) && !QFile::exists(kept.manifest) && !QFile::exists(kept.signature)
        && !QFile::exists(kept.replaces);
}

// The updater's run to its end.
updater::Outcome runUpdater(updater::Updater& updater)
{
    QSignalSpy finished(&updater, &updater::Updater::finished);
    updater.start();
    if (finished.isEmpty())
        finished.wait(30000);
    return finished.isEmpty() ? updater::Outcome{} : finished.first().first().value<updater::Outcome>();
}

struct Installation {
    TestEnv env;
    TestCertificates certificates;
    LocalUpdateHost host;
    ReleaseSigner signer;
    QString system = env.root() + QStringLiteral("/system");

    // Over https unless told otherwise (http still works where it is named).
    explicit Installation(bool tls = true) : host(tls ? &certificates : nullptr)
    {
        signer.trustIn(env.appDir());
        qpt::test::trustAuthorityIn(env.appDir(), certificates);
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

    QProcessEnvironment environment(const QString& answers, const QString& updateUrl = QString()) const
    {
        QProcessEnvironment environment = env.processEnvironment();
        environment.insert(QStringLiteral("QPT_SYSTEM_DIR"), system);
        environment.insert(QStringLiteral("QPT_UPDATE_URL"), updateUrl.isEmpty() ? host.url() : updateUrl);
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), answers);
        return environment;
    }

    // Runs internet.dat with the given scripted answers until it ends; its
    // standard error goes to `errors` where given, else to the test's own.
    int runOnlineSystem(const QString& answers, const QString& updateUrl = QString(),
                        const QProcessEnvironment& extra = {}, QString* errors = nullptr)
    {
        QProcess process;
        QProcessEnvironment all = environment(answers, updateUrl);
        all.insert(extra);
        process.setProcessEnvironment(all);
        process.setWorkingDirectory(env.appDir());
        // Its warnings land in the test's output, where a failure is read.
        process.setProcessChannelMode(errors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
        process.start(env.app(QStringLiteral("internet.dat")), QStringList());
        const bool ended = process.waitForFinished(60000);
        if (errors)
            *errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (!ended) {
            qWarning() << "internet.dat did not end; its boxes:" << env.dialogTitles();
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
        QVERIFY(installation.certificates.isReady());
        const QByteArray image = "#!/bin/sh\n# \xff\xfe new Online System\nprintf 'started %s\\n' \"$*\" >> '"
                                 + env.app(QStringLiteral("new-os.log")).toLocal8Bit() + "'";
        installation.signer.publish(installation.host, {{QStringLiteral("Internet.dat"), {QStringLiteral("v1.01"), image}}});
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
        QVERIFY(nothingKept());
        // Over https, every file of the host.
        QVERIFY(installation.host.url().startsWith(QStringLiteral("https://")));
    }

    // An https host whose certificate does not hold is said to be one that
    // could not prove its identity, not a missing connection; the TLS error
    // goes to standard error; nothing is taken from the host (and http is
    // not tried instead). An authority that only the environment names is
    // not trusted.
    void hostThatCannotProveItsIdentity_data()
    {
        QTest::addColumn<QString>("kind");  // "" = signed by an authority nobody trusts
        QTest::addColumn<QString>("logged");
        // (Every kind of failing certificate is a row of test_download.)
        QTest::newRow("another authority") << QString() << "issuer certificate";
        QTest::newRow("expired") << "expired" << "expired";
    }
    void hostThatCannotProveItsIdentity()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        Installation installation;
        TestCertificates stranger;
        TestCertificates& certificates = kind.isEmpty() ? stranger : installation.certificates;
        if (!kind.isEmpty())
            QVERIFY(certificates.reissue(kind));
        LocalUpdateHost impostor(&certificates);
        impostor.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("QPT_EXTRA_CA_FILE"), stranger.caFile());
        environment.insert(QStringLiteral("SSL_CERT_FILE"), stranger.caFile());
        QString errors;
        QCOMPARE(installation.runOnlineSystem(QStringLiteral("Retry,Cancel"), impostor.url(), environment, &errors), 0);
        QCOMPARE(installation.env.dialogTitles(), (QStringList{"Update Host Not Verified", "Update Host Not Verified"}));
        const QJsonObject box = QJsonDocument::fromJson(TestEnv::readFile(installation.env.dialogLog()).split('\n').first()).object();
        QCOMPARE(box.value(QStringLiteral("text")).toString(),
                 QStringLiteral("The update host could not prove its identity.\r\nNothing has been taken from it.\r\n"
                                "Press Retry, or Cancel to Exit OS"));
        QCOMPARE(box.value(QStringLiteral("icon")).toString(), QStringLiteral("exclamation"));
        QCOMPARE(box.value(QStringLiteral("buttons")).toString(), QStringLiteral("RetryCancel"));
        QVERIFY(impostor.requests().isEmpty());
        QVERIFY2(errors.contains(QStringLiteral("127.0.0.1 could not prove its identity")), qPrintable(errors));
        QVERIFY2(errors.contains(logged, Qt::CaseInsensitive), qPrintable(errors));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
    }

    // SIGTERM, SIGHUP or SIGINT while a program image arrives: the Online
    // System ends as if closed, and leaves the folders and settings as they
    // were.
    void terminationLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void terminationLeavesNothingBehind()
    {
        QFETCH(int, signal);
        Installation installation;
        TestEnv& env = installation.env;
        const QString player = env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        TestEnv::writeFile(player, "installed");
        const QByteArray image(64 * 1024, 'p');
        installation.signer.publish(installation.host, {{QStringLiteral("QuorbelPlayerTirk.exe"), {QStringLiteral("v1.01"), image}}});
        installation.host.put(QStringLiteral("mainpage/os/Tirk/download/QuorbelPlayerTirk.exe.mode"), "trickle 20");
        installation.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        QProcess process;
        process.setProcessEnvironment(installation.environment(QStringLiteral("Yes")));
        process.setWorkingDirectory(env.appDir());
        process.start(env.app(QStringLiteral("internet.dat")), QStringList());
        QVERIFY(process.waitForStarted(10000));
        // The image is on its way: part of it lies in the private folder.
        const QDir privateFolder(env.runtimeDir() + QStringLiteral("/quorbel-player-tirk"));
        QVERIFY(waitUntil([&] {
            const QStringList files = privateFolder.entryList(QDir::Files);
            return !files.isEmpty() && QFileInfo(privateFolder.filePath(files.first())).size() > 0;
        }, 30000));
        QVERIFY(QFile::exists(env.app(QStringLiteral("inet-version.tmp"))));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("YES"));

        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(privateFolder.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        QVERIFY(!QFile::exists(env.app(QStringLiteral("inet-version.tmp"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("shutdown.os"))));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
        QCOMPARE(TestEnv::readFile(player), QByteArray("installed"));
        QCOMPARE(QDir(env.appDir()).entryList(QStringList{QStringLiteral(".*")}, QDir::Files | QDir::Hidden), QStringList());
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
        Installation installation(false);
        TestEnv& env = installation.env;
        const QString player = env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        TestEnv::writeFile(player, "#!/bin/sh\necho old player\n");
        qpt::test::UnwritableFolder::makeRunnable(player);
        installation.signer.publish(installation.host,
                                    {{QStringLiteral("QuorbelPlayerTirk.exe"), {QStringLiteral("v1.01"), "#!/bin/sh\necho new\n"}}});
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
        QCOMPARE(QDir(env.appDir()).entryList(QDir::Files | QDir::Hidden).size(), 5);  // with product.ini

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
        ReleaseSigner signer;
        signer.trustIn(env.appDir());
        QVERIFY(env.installStandIn(QStringLiteral("internet.dat")));
        const QByteArray image("#!/bin/sh\nexit 0\n");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QByteArray manifest = signer.manifest({{QStringLiteral("Internet.dat"), {QStringLiteral("v1.01"), image}}},
                                                    now.addSecs(-60).addMSecs(-now.time().msec()), now.addDays(1));
        QVERIFY(placeImage(image, manifest, signer.signatureFile(manifest)));
        // An Online System that does not end.
        QVERIFY(!SingleInstance::anotherIsRunning(QStringLiteral("internet.dat")));
        updater::Updater waiting(env.appDir());
        waiting.setWaitLimit(100);
        waiting.setPollInterval(10);
        const updater::Outcome outcome = runUpdater(waiting);
        QVERIFY(outcome.waitedOut);
        QVERIFY(outcome.replaced);
        QVERIFY(!outcome.started);  // a second one would only end again
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("internet.dat"))), image);
        QVERIFY(nothingKept());
    }

    // What the updater finds is put in place only as the release key signed
    // it, and only when it is newer than the Online System that kept it
    // (which an earlier update may have made newer than this updater knows);
    // otherwise the installed Online System starts as it was.
    void updaterRefusesWhatIsNotSigned_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("vouching");
        QTest::addColumn<QByteArray>("replaces");  // the version beside the image
        const QByteArray script("#!/bin/sh\nexit 0\n");
        QTest::newRow("no image") << QByteArray() << "signed" << QByteArray("v1.00");
        QTest::newRow("no manifest") << script << "none" << QByteArray("v1.00");
        QTest::newRow("another image") << QByteArray("<html><body>Log in</body></html>") << "signed" << QByteArray("v1.00");
        QTest::newRow("another key") << script << "another key" << QByteArray("v1.00");
        QTest::newRow("not newer") << script << "v1.00" << QByteArray("v1.00");
        QTest::newRow("older than the one that kept it") << script << "signed" << QByteArray("v1.02");
        QTest::newRow("as old as the one that kept it") << script << "signed" << QByteArray("v1.01");
        QTest::newRow("no version beside it") << script << "signed" << QByteArray();
        QTest::newRow("no version in what is beside it") << script << "signed" << QByteArray("latest");
    }
    void updaterRefusesWhatIsNotSigned()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, vouching);
        QFETCH(QByteArray, replaces);
        TestEnv env;
        ReleaseSigner signer;
        ReleaseSigner stranger;
        signer.trustIn(env.appDir());
        QVERIFY(env.installStandIn(QStringLiteral("internet.dat")));
        const QByteArray signedImage("#!/bin/sh\nexit 0\n");
        const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(-60);
        const ReleaseSigner& by = vouching == QLatin1String("another key") ? stranger : signer;
        const QString version = vouching == QLatin1String("v1.00") ? vouching : QStringLiteral("v1.01");
        const QByteArray manifest = by.manifest({{QStringLiteral("Internet.dat"), {version, signedImage}}},
                                                now.addMSecs(-now.time().msec()), now.addDays(1));
        if (!image.isEmpty())
            QVERIFY(vouching == QLatin1String("none")
                        ? placeImage(image, {}, {}, replaces)
                        : placeImage(image, manifest, by.signatureFile(manifest), replaces.isEmpty() ? QByteArray() : replaces));
        const QByteArray before = TestEnv::readFile(env.app(QStringLiteral("internet.dat")));
        updater::Updater updater(env.appDir());
        const updater::Outcome outcome = runUpdater(updater);
        QVERIFY(!outcome.replaced);
        QVERIFY(outcome.started);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("internet.dat"))), before);
        QVERIFY(waitUntil([&] { return env.standInCalls(QStringLiteral("internet.dat")) == QStringList{""}; }));
        QVERIFY(nothingKept());
    }
};

QTEST_MAIN(TestPrograms)
#include "test_programs.moc"
