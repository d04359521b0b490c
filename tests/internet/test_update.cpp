// The version check and the three updates against a real update host
// that publishes signed release manifests.

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/update/online_files.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "common/settings_store.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <thread>

using namespace qpt;
using namespace qpt::internet;
using qpt::test::LocalUpdateHost;
using qpt::test::ReleaseSigner;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

const QStringList kUpToDate = {"PlayVer=v1.00", "OptiVer=v1.00", "OSV=v1.00", "Update=12-07-2026"};

QString kUpToDateStatus()
{
    return QStringLiteral("Your Player Ver.: v1.00, Latest Player Ver.: v1.00\r\n"
                          "Your Option Ver.: v1.00, Latest Option Ver.: v1.00\r\n"
                          "Your OnSys Ver.: v1.00, Latest OnSys Ver.: v1.00");
}

// A temporary installation whose start message is switched off, talking to
// a local update host.
struct World {
    TestEnv env;
    LocalUpdateHost host;
    ReleaseSigner signer;

    World()
    {
        signer.trustIn(env.appDir());
        const QString system = env.root() + QStringLiteral("/system");
        QDir().mkpath(system);
        TestEnv::writeFile(system + QStringLiteral("/osplinfo.dll"), QByteArray());
        qputenv("QPT_SYSTEM_DIR", system.toLocal8Bit());
        qputenv("QPT_UPDATE_URL", host.url().toLocal8Bit());
        host.putPages();
        TestEnv::writeFile(env.app(QStringLiteral("loading.ifo")), "<html><body>Loading</body></html>");
        SettingsStore::write(QStringLiteral("PlayerVer"), QStringLiteral("Quorbel Player Tirk v1.00"));
        SettingsStore::write(QStringLiteral("Option"), QStringLiteral("v1.00"));
        SettingsStore::write(QStringLiteral("AppPath"), env.appDir());
        // Current release information that offers nothing newer.
        signer.publish(host, {{QStringLiteral("option.dat"), {QStringLiteral("v1.00"), "installed option"}}});
    }
    ~World()
    {
        qunsetenv("QPT_SYSTEM_DIR");
        qunsetenv("QPT_UPDATE_URL");
    }

    QString hostPage(const char* name) const
    {
        return host.url() + QStringLiteral("/mainpage/os/Tirk/") + QLatin1String(name);
    }
    void serveImage(const char* name, const QByteArray& bytes) const
    {
        host.put(QStringLiteral("mainpage/os/Tirk/download/") + QLatin1String(name), bytes);
    }
    // The image as the release key signs it, at version v1.01.
    void publish(const char* name, const QByteArray& bytes) const
    {
        signer.publish(host, {{QLatin1String(name), {QStringLiteral("v1.01"), bytes}}});
    }
    // Runs the Online System until its pass is done or it has ended.
    static bool run(OnlineSystem& os)
    {
        os.start();
        return waitUntil([&] { return os.hasEnded() || !os.mainWindow()->updateCheck().isBusy(); }, 60000);
    }
    static QStringList titles()
    {
        QStringList list;
        for (const DialogRecord& record : Dialogs::records())
            list << record.title;
        return list;
    }
};

// A program image: a script that notes its start in a log beside itself.
// High bytes and a missing final line end make byte-exactness visible.
QByteArray recordingScript(const QString& log)
{
    return "#!/bin/sh\n# \xff\x80\xfe image\r\nprintf '%s\\n' \"started $*\" >> '" + log.toLocal8Bit() + "'";
}

bool isExecutable(const QString& path)
{
    return QFileInfo(path).isExecutable();
}

}  // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void upToDate()
    {
        World world;
        world.host.putVersionFile(kUpToDate);
        Dialogs::scriptAnswers({});
        OnlineSystem os;
        QVERIFY(World::run(os));
        OnlineWindow& main = *os.mainWindow();

        QVERIFY(!os.hasEnded());
        QVERIFY(Dialogs::records().isEmpty());
        QCOMPARE(main.windowTitle(),
                 QStringLiteral("Quorbel Player Tirk Online System v1.00 (Latest Online Update: 12-07-2026)"));
        QCOMPARE(main.statusLabel->caption(), kUpToDateStatus());
        QCOMPARE(main.browser->location().toString(), world.hostPage("index.txt"));
        QVERIFY(main.isVisible());
        QVERIFY(!os.progress()->isVisible());
        QVERIFY(!main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));  // "OSOT" missing: not on top
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("YES"));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("inet-version.tmp"))));
        QVERIFY(world.host.requests().first().startsWith(QStringLiteral("/mainpage/os/Tirk/version.txt cache-control=no-cache")));
        // The release information is looked at although nothing is new,
        // and remembered as the latest seen.
        QCOMPARE(world.host.requests().filter(QStringLiteral("/release.manifest")).size(), 2);
        QVERIFY(!SettingsStore::read(QStringLiteral("LatestReleaseIssued")).isEmpty());
        QVERIFY(waitUntil([&] { return !main.browser->isBusy(); }));
        QVERIFY(main.browser->toPlainText().contains(QStringLiteral("index")));

        // Closing the main window ends the program.
        main.close();
        QVERIFY(os.hasEnded());
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
    }

    void onTopAndVersionsNotPublished()
    {
        World world;
        SettingsStore::write(QStringLiteral("OSOT"), QStringLiteral("1"));
        SettingsStore::write(QStringLiteral("PlayerVer"), QString());  // never ran: "v"
        world.host.putVersionFile({"PlayVer=", "OptiVer=v1.00", "OSV=N/A", "Update=today"});
        Dialogs::scriptAnswers({});
        OnlineSystem os;
        QVERIFY(World::run(os));
        OnlineWindow& main = *os.mainWindow();
        // Neither a player nor an Online System that is not published is
        // offered (nor a box about what no manifest could back).
        QVERIFY(Dialogs::records().isEmpty());
        QVERIFY(main.statusLabel->caption().startsWith(QStringLiteral("Your Player Ver.: v, Latest Player Ver.: N/A\r\n")));
        QVERIFY(main.statusLabel->caption().endsWith(QStringLiteral("Latest OnSys Ver.: N/A")));
        QVERIFY(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(main.windowTitle().endsWith(QStringLiteral("(Latest Online Update: N/A)")));
    }

    // "OSOT" puts the window on top only where it reads as the number 1.
    void onTopOnlyWhenOne_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("1.0") << "1.0" << true;
        QTest::newRow("off (2)") << "2" << false;
        QTest::newRow("not a number") << "on" << false;
    }
    void onTopOnlyWhenOne()
    {
        QFETCH(QString, stored);
        QFETCH(bool, onTop);
        World world;
        world.host.putVersionFile(kUpToDate);
        SettingsStore::write(QStringLiteral("OSOT"), stored);
        Dialogs::scriptAnswers({});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QCOMPARE(os.mainWindow()->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    }

    // The release information is fetched and checked on every pass, also
    // when nothing is new: a host that freezes updates (serving the
    // installed versions beside release information that has run out) or
    // fakes them is noticed in one box, and the pass ends as usual. Trusted,
    // current information says nothing, and only it is remembered.
    void releaseInformationOnEveryPass_data()
    {
        QTest::addColumn<QString>("manifest");
        QTest::addColumn<QString>("title");  // of the one box; empty: none
        QTest::newRow("current") << "current" << QString();
        QTest::newRow("expired") << "expired" << "Update Information Out Of Date";
        QTest::newRow("older than one seen") << "replayed" << "Old Update Information";
        QTest::newRow("missing") << "missing" << "Update Information Not Verified";
        QTest::newRow("signed by another key") << "another key" << "Update Information Not Verified";
        QTest::newRow("issued two days ahead of the clock") << "ahead" << "Check The Clock";
    }
    void releaseInformationOnEveryPass()
    {
        QFETCH(QString, manifest);
        QFETCH(QString, title);
        World world;
        world.host.putVersionFile(kUpToDate);
        const QMap<QString, ReleaseSigner::Image> images{{QStringLiteral("option.dat"), {QStringLiteral("v1.00"), "o"}}};
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (manifest == QLatin1String("expired")) {
            world.signer.publish(world.host, images, now.addDays(-40), now.addDays(-10));
        } else if (manifest == QLatin1String("replayed")) {
            SettingsStore::write(QStringLiteral("LatestReleaseIssued"), release::manifestTime(now.addSecs(-60)));
            world.signer.publish(world.host, images, now.addDays(-3));
        } else if (manifest == QLatin1String("missing")) {
            world.host.remove(QStringLiteral("mainpage/os/Tirk/release.manifest"));
        } else if (manifest == QLatin1String("another key")) {
            ReleaseSigner().publish(world.host, images);
        } else if (manifest == QLatin1String("ahead")) {
            world.signer.publish(world.host, images, now.addDays(2), now.addDays(20));
        }
        const QString seenBefore = SettingsStore::read(QStringLiteral("LatestReleaseIssued"));
        Dialogs::scriptAnswers({"OK"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QCOMPARE(World::titles(), title.isEmpty() ? QStringList() : QStringList{title});
        if (!title.isEmpty()) {
            const DialogRecord& box = Dialogs::records().first();
            QCOMPARE(box.icon, QStringLiteral("exclamation"));
            QCOMPARE(box.buttons, QStringLiteral("OK"));
            if (manifest == QLatin1String("expired"))
                QCOMPARE(box.text, QStringLiteral("The update information is out of date"));
        }
        OnlineWindow& main = *os.mainWindow();
        QVERIFY(!os.hasEnded());
        QVERIFY(main.isVisible());
        QCOMPARE(main.statusLabel->caption(), kUpToDateStatus());
        QVERIFY(main.windowTitle().endsWith(QStringLiteral("(Latest Online Update: 12-07-2026)")));
        QCOMPARE(SettingsStore::read(QStringLiteral("LatestReleaseIssued")) != seenBefore, title.isEmpty());
    }

    void everythingNewerAllAnsweredNo()
    {
        World world;
        world.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.01", "OSV=v1.01", "Update=later"});
        world.signer.publish(world.host, {{"QuorbelPlayerTirk.exe", {"v1.01", "p"}},
                                          {"option.dat", {"v1.01", "o"}},
                                          {"Internet.dat", {"v1.01", "i"}}});
        Dialogs::scriptAnswers({"No", "No", "No"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        OnlineWindow& main = *os.mainWindow();
        QCOMPARE(World::titles(), (QStringList{"Newer Player Version Available", "A Newer Version Of Option Available",
                                               "A Newer Version Of OS Available"}));
        const QVector<DialogRecord>& records = Dialogs::records();
        QCOMPARE(records[0].text, QStringLiteral("There's a newer version of Quorbel Player Tirk available now.\r\n"
                                                 "Do you wan't to auto update your player now?\r\n"
                                                 "Press YES for auto update and NO for update later."));
        QCOMPARE(records[1].text, QStringLiteral("There's a newer version of Option available.\r\n"
                                                 "Do you wan't to Auto update it now?\r\n"
                                                 "Press YES for auto update now and press NO for manual update later."));
        QCOMPARE(records[2].text, QStringLiteral("There's a newer version of the OS (Online System) available.\r\n"
                                                 "Do you wan't to Auto update it now?\r\n"
                                                 "Press YES for auto update now and press NO for manual update later."));
        for (const DialogRecord& record : records) {
            QCOMPARE(record.icon, QStringLiteral("information"));
            QCOMPARE(record.buttons, QStringLiteral("YesNo"));
        }
        QCOMPARE(main.browser->location().toString(), world.hostPage("notuptodate.txt"));
        QVERIFY(main.isVisible());
        QVERIFY(!os.hasEnded());
        QCOMPARE(main.statusLabel->caption(),
                 QStringLiteral("Your Player Ver.: v1.00, Latest Player Ver.: v1.01\r\n"
                                "Your Option Ver.: v1.00, Latest Option Ver.: v1.01\r\n"
                                "Your OnSys Ver.: v1.00, Latest OnSys Ver.: v1.01"));
    }

    // Whatever the host answers instead of a version file, the answer is
    // "no connection": never an update offer, never "An error occur".
    void noVersionFileMeansNoConnection_data()
    {
        QTest::addColumn<QByteArray>("file");  // served as version.txt; empty = missing
        QTest::addColumn<QString>("mode");     // its .mode, "portal" or empty
        const QByteArray newer("PlayVer=v1.01\r\nOptiVer=v1.01\r\nOSV=v1.01\r\nUpdate=x\r\n");
        QTest::newRow("line shorter than its prefix") << QByteArray("PlayVe\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=x") << "";
        QTest::newRow("date line shorter than its prefix")
            << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpd") << "";
        QTest::newRow("three lines") << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00") << "";
        QTest::newRow("missing file") << QByteArray() << "";
        QTest::newRow("captive portal") << newer << "portal";
        QTest::newRow("no length, closed early") << newer << "nolength-cut";
        QTest::newRow("endless body") << newer << "endless";
        QTest::newRow("slow trickle") << newer << "trickle 1500";
        QTest::newRow("redirect loop") << newer << "redirect-loop";
    }
    void noVersionFileMeansNoConnection()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, mode);
        World world;
        if (!file.isEmpty())
            world.host.put(QStringLiteral("mainpage/os/Tirk/version.txt"), file);
        if (mode == QLatin1String("portal"))
            world.host.put(QStringLiteral("PORTAL"), "on");
        else if (!mode.isEmpty())
            world.host.put(QStringLiteral("mainpage/os/Tirk/version.txt.mode"), mode.toLatin1());
        Dialogs::scriptAnswers({"Retry", "Cancel"});
        OnlineSystem os;
        os.mainWindow()->updateCheck().setLimits({kMaxVersionFileBytes, 400, 2000, 2000, 10000});
        QVERIFY(World::run(os));
        QCOMPARE(World::titles(), (QStringList{"No Internet Connection", "No Internet Connection"}));
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.text, QStringLiteral("You Have No Connection To The Internet\r\nPress Retry, or Cancel to Exit OS"));
        QCOMPARE(box.icon, QStringLiteral("information"));
        QCOMPARE(box.buttons, QStringLiteral("RetryCancel"));
        QVERIFY(os.hasEnded());
        // Nothing that is not a version file is kept as one.
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("inet-version.tmp"))));
    }

    void playerUpdateClosesTheRunningPlayer()
    {
        World world;
        const QString player = world.env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        // A stand-in for the running player: holds the player's lock, keeps
        // "Running.chk" and closes when "shutdown.os" appears.
        TestEnv::writeFile(player,
                           "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n"
                           "exec 9>\"$XDG_RUNTIME_DIR/quorbel-Quorbel-Player-Tirk.exe.lock\"\n"
                           "flock -s 9\n: > Running.chk\ni=0\n"
                           "while [ ! -e shutdown.os ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                           "rm -f shutdown.os\necho closed >> old-player.log\nrm -f Running.chk\n");
        QFile::setPermissions(player, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QProcess::startDetached(player, {}, world.env.appDir()));
        QVERIFY(waitUntil([&] { return QFile::exists(world.env.app(QStringLiteral("Running.chk"))); }));

        // Links planted at the names of the markers lead nowhere they point.
        const QString planted = world.env.root() + QStringLiteral("/planted-");
        for (const char* marker : {"shutdown.os", "inet-version.tmp"})
            QVERIFY(QFile::link(planted + QLatin1String(marker), world.env.app(QLatin1String(marker))));

        const QByteArray image = recordingScript(world.env.app(QStringLiteral("new-player.log")));
        world.publish("QuorbelPlayerTirk.exe", image);
        world.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes", "No"});
        OnlineSystem os;
        QVERIFY(World::run(os));

        QCOMPARE(TestEnv::readFile(world.env.app(QStringLiteral("old-player.log"))), QByteArray("closed\n"));
        for (const char* marker : {"shutdown.os", "inet-version.tmp"})
            QVERIFY2(!QFileInfo::exists(planted + QLatin1String(marker)), marker);
        QCOMPARE(TestEnv::readFile(player), image);
        QVERIFY(isExecutable(player));
        QVERIFY(waitUntil([&] { return QFile::exists(world.env.app(QStringLiteral("new-player.log"))); }));
        QCOMPARE(TestEnv::readFile(world.env.app(QStringLiteral("new-player.log"))), QByteArray("started \n"));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("shutdown.os"))));
        QVERIFY(!QFile::exists(keptUpdate()->image));
        // START ran again and asked again (the stand-in does not publish a version).
        QCOMPARE(World::titles(), (QStringList{"Newer Player Version Available", "Newer Player Version Available"}));
        QVERIFY(!os.hasEnded());
        QCOMPARE(world.host.requests().filter(QStringLiteral("version.txt")).size(), 2);
    }

    // A folder that cannot take the copy of the version file (here a folder
    // holds its name) is said once per run; the check goes on from memory.
    void folderThatCannotBeWritten()
    {
        World world;
        QVERIFY(QDir().mkpath(world.env.app(QStringLiteral("inet-version.tmp"))));
        world.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=12-07-2026"});
        // Yes to an update whose image is missing: "Error", Retry, and the
        // second pass does not say it again.
        world.publish("QuorbelPlayerTirk.exe", "p");
        world.host.remove(QStringLiteral("mainpage/os/Tirk/download/QuorbelPlayerTirk.exe"));
        Dialogs::scriptAnswers({"OK", "Yes", "Retry", "No"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QCOMPARE(World::titles(), (QStringList{"Quorbel Player Tirk Online System", "Newer Player Version Available",
                                               "Error", "Newer Player Version Available"}));
        const DialogRecord& notice = Dialogs::records().first();
        QCOMPARE(notice.text, UpdateCheck::folderNotWritableText(world.env.appDir()));
        QVERIFY(notice.text.contains(world.env.appDir()));
        QCOMPARE(notice.icon, QStringLiteral("exclamation"));
        QCOMPARE(notice.buttons, QStringLiteral("OK"));
        QVERIFY(!os.hasEnded());
        QVERIFY(os.mainWindow()->isVisible());
        QVERIFY(os.mainWindow()->windowTitle().endsWith(QStringLiteral("(Latest Online Update: 12-07-2026)")));
        QVERIFY(os.mainWindow()->statusLabel->caption().endsWith(QStringLiteral("Latest OnSys Ver.: v1.00")));
    }

    void staleRunningMarkerDoesNotHoldTheUpdate()
    {
        World world;
        const QString player = world.env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        TestEnv::writeFile(player, "old");
        // Left by a player that crashed: no process holds the player's lock.
        TestEnv::writeFile(world.env.app(QStringLiteral("Running.chk")), QByteArray());
        const QByteArray image = recordingScript(world.env.app(QStringLiteral("new-player.log")));
        world.publish("QuorbelPlayerTirk.exe", image);
        world.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes", "No"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QCOMPARE(TestEnv::readFile(player), image);
        QVERIFY(isExecutable(player));
        // The request nobody took is gone, so the new player stays open.
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("shutdown.os"))));
        QVERIFY(waitUntil([&] { return QFile::exists(world.env.app(QStringLiteral("new-player.log"))); }));
    }

    // An accepted Option program replaces the open one only after it has
    // saved and closed, so that the new one's "updatet" start is not ended
    // by the single-instance rule.
    void optionUpdate_data()
    {
        QTest::addColumn<QString>("mode");  // how the host sends the image
        QTest::newRow("plain") << QString();
        QTest::newRow("chunked") << "chunked";
    }
    void optionUpdate()
    {
        QFETCH(QString, mode);
        World world;
        const QString option = world.env.app(QStringLiteral("option.dat"));
        const QString log = world.env.app(QStringLiteral("option.log"));
        // The open Option dialog: holds the Option program's lock, keeps its
        // marker and closes a moment after the marker is gone.
        TestEnv::writeFile(option,
                           "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n"
                           "exec 9>\"$XDG_RUNTIME_DIR/quorbel-option.dat.lock\"\n"
                           "flock -s 9\nprintf 'Option Active...\\r\\n' > activeoption.inf\ni=0\n"
                           "while [ -e activeoption.inf ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                           "sleep 0.3\necho closed >> option.log\n");
        QFile::setPermissions(option, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QProcess::startDetached(option, {}, world.env.appDir()));
        QVERIFY(waitUntil([&] { return QFile::exists(world.env.app(QStringLiteral("activeoption.inf"))); }));

        const QByteArray image = "#!/bin/sh\nprintf '%s\\n' \"new $*\" >> '" + log.toLocal8Bit() + "'\n";
        world.publish("option.dat", image);
        if (!mode.isEmpty())
            world.serveImage("option.dat.mode", mode.toLatin1());
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.01", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes", "No"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("activeoption.inf"))));
        QCOMPARE(TestEnv::readFile(option), image);
        QVERIFY(isExecutable(option));
        QVERIFY(waitUntil([&] { return TestEnv::readFile(log).count('\n') == 2; }));
        QCOMPARE(TestEnv::readFile(log), QByteArray("closed\nnew updatet\n"));
        QCOMPARE(World::titles(), (QStringList{"A Newer Version Of Option Available", "A Newer Version Of Option Available"}));
        QCOMPARE(QDir(privateTempFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void badDownloadNeverReplacesAProgram_data()
    {
        QTest::addColumn<QByteArray>("bytes");  // what the host serves; null: nothing
        QTest::addColumn<QString>("announce");  // Content-Length promised, or empty
        QTest::addColumn<QString>("appPath");   // "" = the test folder
        QTest::newRow("empty") << QByteArray("") << QString() << QString();
        QTest::newRow("truncated") << QByteArray(3000, 'n') << "8000" << QString();
        QTest::newRow("missing on the host") << QByteArray() << QString() << QString();
        QTest::newRow("no player folder") << QByteArray(8000, 'n') << QString() << "-";
    }
    void badDownloadNeverReplacesAProgram()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, announce);
        QFETCH(QString, appPath);
        World world;
        const QString player = world.env.app(QStringLiteral("Quorbel Player Tirk.exe"));
        TestEnv::writeFile(player, "installed");
        // The key signs 8000 bytes of "n"; the host serves what the row says.
        world.publish("QuorbelPlayerTirk.exe", QByteArray(8000, 'n'));
        const QString image = QStringLiteral("mainpage/os/Tirk/download/QuorbelPlayerTirk.exe");
        if (bytes.isNull())
            world.host.remove(image);
        else
            world.host.put(image, bytes);
        if (!announce.isEmpty())
            world.host.put(image + QStringLiteral(".announce"), announce.toLatin1());
        if (appPath == QLatin1String("-"))
            SettingsStore::write(QStringLiteral("AppPath"), QString());
        world.host.putVersionFile({"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes", "Cancel"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        QCOMPARE(World::titles(), (QStringList{"Newer Player Version Available", "Error"}));
        QVERIFY(os.hasEnded());
        QCOMPARE(TestEnv::readFile(player), QByteArray("installed"));
        QVERIFY(!QFile::exists(QStringLiteral("/Quorbel Player Tirk.exe")));
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("inet-version.tmp"))));
    }

    // An Online System killed between keeping an update and starting the
    // updater left it in the private folder: the next start removes it.
    void staleKeptUpdateGoesAtStart()
    {
        World world;
        world.host.putVersionFile(kUpToDate);
        const KeptUpdate kept = *keptUpdate();
        for (const QString& file : {kept.image, kept.manifest, kept.signature, kept.replaces})
            QVERIFY(TestEnv::writeFile(file, "left behind"));
        OnlineSystem os;
        QVERIFY(World::run(os));
        QVERIFY(Dialogs::records().isEmpty());
        QCOMPARE(QDir(privateTempFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    }

    // A termination while the window thread does not answer: what the
    // program made goes from the watcher's thread alone (here the test's
    // own, while the window thread waits for it), and "OSRunning" is set
    // back.
    void leftoversGoFromAnyThread()
    {
        World world;
        const QString option = world.env.app(QStringLiteral("option.dat"));
        TestEnv::writeFile(option, "installed");
        world.publish("option.dat", QByteArray(64 * 1024, 'o'));
        world.serveImage("option.dat.mode", "trickle 20");
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.01", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes"});
        OnlineSystem os;
        os.start();
        const QDir privateFolder(privateTempFolder());
        QVERIFY(waitUntil([&] {
            const QStringList files = privateFolder.entryList(QDir::Files);
            return !files.isEmpty() && QFileInfo(privateFolder.filePath(files.first())).size() > 0;
        }, 30000));
        QVERIFY(QFile::exists(world.env.app(QStringLiteral("inet-version.tmp"))));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("YES"));

        std::thread watcher([&os] { os.removeLeftoversFromAnyThread(); });
        watcher.join();
        QCOMPARE(privateFolder.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        QVERIFY(!QFile::exists(world.env.app(QStringLiteral("inet-version.tmp"))));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
        QCOMPARE(TestEnv::readFile(option), QByteArray("installed"));
        QCOMPARE(QDir(world.env.appDir()).entryList(QStringList{QStringLiteral(".*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // The newest release information seen and the versions installed are
    // remembered beside the installation as well: a settings store that is
    // reset (a new user, a new settings file) neither lets a replayed older
    // manifest pass nor makes the installed Option program older than it is.
    void rollbackAfterTheSettingsAreReset_data()
    {
        QTest::addColumn<QString>("replay");
        QTest::addColumn<QString>("title");  // of the one box after the reset
        QTest::newRow("older manifest, older program") << "older manifest" << "Old Update Information";
        QTest::newRow("newer manifest, older program") << "newer manifest" << "No Newer Version";
    }
    void rollbackAfterTheSettingsAreReset()
    {
        QFETCH(QString, replay);
        QFETCH(QString, title);
        World world;
        const QString option = world.env.app(QStringLiteral("option.dat"));
        TestEnv::writeFile(option, "#!/bin/sh\nexit 0\n");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QByteArray newest("#!/bin/sh\n# v1.02\nexit 0\n");
        world.signer.publish(world.host, {{QStringLiteral("option.dat"), {QStringLiteral("v1.02"), newest}}}, now.addDays(-1));
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.02", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"Yes", "No"});
        {
            OnlineSystem os;
            QVERIFY(World::run(os));
        }
        QCOMPARE(TestEnv::readFile(option), newest);
        // (Asked again: the settings still hold the version of before.)
        QCOMPARE(World::titles(), (QStringList{"A Newer Version Of Option Available", "A Newer Version Of Option Available"}));
        QVERIFY(TestEnv::readFile(world.env.app(QStringLiteral("inet-release.inf"))).contains("installed option.dat v1.02\n"));

        // Another user: a fresh settings store (the player wrote its own keys
        // again, the Option program has not run since) and a runtime folder
        // of its own (where this process's Online System left its lock).
        QVERIFY(QFile::remove(world.env.configDir() + QStringLiteral("/Quorbel Player Tirk.ini")));
        const QString otherRuntime = world.env.root() + QStringLiteral("/other-runtime");
        QVERIFY(QDir().mkpath(otherRuntime));
        QFile::setPermissions(otherRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", otherRuntime.toLocal8Bit());
        SettingsStore::write(QStringLiteral("PlayerVer"), QStringLiteral("Quorbel Player Tirk v1.00"));
        SettingsStore::write(QStringLiteral("AppPath"), world.env.appDir());
        // Issued 5 days ago (still valid), or an hour ago (after the one seen).
        const QDateTime issued = replay == QLatin1String("older manifest") ? now.addDays(-5) : now.addSecs(-3600);
        world.signer.publish(world.host, {{QStringLiteral("option.dat"), {QStringLiteral("v1.01"), "#!/bin/sh\n# v1.01\n"}}},
                             issued);
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.01", "OSV=v1.00", "Update=x"});
        Dialogs::scriptAnswers({"OK", "Yes", "No"});
        const qsizetype before = Dialogs::records().size();
        OnlineSystem os;
        const bool ran = World::run(os);
        qputenv("XDG_RUNTIME_DIR", world.env.runtimeDir().toLocal8Bit());
        QVERIFY(ran);
        QCOMPARE(World::titles().mid(before), QStringList{title});
        QCOMPARE(TestEnv::readFile(option), newest);
    }

    // Neither the settings nor the folder can keep the newest release
    // information seen: the user hears it once a run, and the check goes on.
    void markThatCannotBeKept()
    {
        World world;
        world.host.putVersionFile(kUpToDate);
        QVERIFY(QDir().mkpath(world.env.app(QStringLiteral("inet-release.inf"))));
        const QString store = world.env.configDir() + QStringLiteral("/Quorbel Player Tirk.ini");
        QVERIFY(QFile::remove(store));
        QVERIFY(QDir().mkpath(store));
        Dialogs::scriptAnswers({"OK", "OK", "OK"});
        OnlineSystem os;
        QVERIFY(World::run(os));
        // First, and once (the versions the settings cannot give are then
        // not offered either).
        QCOMPARE(World::titles().first(), QStringLiteral("Quorbel Player Tirk Online System"));
        QCOMPARE(World::titles().count(QStringLiteral("Quorbel Player Tirk Online System")), 1);
        QCOMPARE(Dialogs::records().first().text, UpdateCheck::markNotKeptText());
        QVERIFY(!os.hasEnded());
        QVERIFY(os.mainWindow()->isVisible());
    }

    // Without a runtime folder and with no private folder to be had in the
    // cache folder either, the update ends in a box that names the cause.
    void noPrivateFolderIsNamed()
    {
        World world;
        const QString option = world.env.app(QStringLiteral("option.dat"));
        TestEnv::writeFile(option, "installed");
        world.publish("option.dat", "#!/bin/sh\nexit 0\n");
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.01", "OSV=v1.00", "Update=x"});
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString cached = world.env.cacheDir() + QStringLiteral("/quorbel-player-tirk");
        QVERIFY(QDir().mkpath(world.env.cacheDir()));
        QVERIFY(TestEnv::writeFile(cached, "a file"));
        Dialogs::scriptAnswers({"Yes", "Cancel"});
        OnlineSystem os;
        const bool ran = World::run(os);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QVERIFY(ran);
        QCOMPARE(World::titles(), (QStringList{"A Newer Version Of Option Available", "Error"}));
        const QString text = Dialogs::records().last().text;
        QCOMPARE(text, UpdateCheck::noPrivateFolderText(cached + QStringLiteral(" is not a folder (a link or a file has its name)")));
        QCOMPARE(TestEnv::readFile(option), QByteArray("installed"));
    }

    // The user's own Cancel on the progress window is said as what it was.
    void cancelIsNoLostConnection()
    {
        World world;
        world.host.putVersionFile(kUpToDate);
        world.host.put(QStringLiteral("mainpage/os/Tirk/version.txt.mode"), "trickle 200");
        Dialogs::scriptAnswers({"Cancel"});
        OnlineSystem os;
        os.start();
        QVERIFY(waitUntil([&] { return os.progress()->cancelButton->isEnabled(); }));
        os.progress()->cancelButton->click();
        QVERIFY(waitUntil([&] { return os.hasEnded(); }));
        QCOMPARE(World::titles(), QStringList{"Download Cancelled"});
        QCOMPARE(Dialogs::records().first().text, QStringLiteral("The download was cancelled.\r\nPress Retry, or Cancel to Exit OS"));
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QStringLiteral("NO"));
    }

    // The caption takes one short line of the version file's date, without
    // the characters that would turn it around or break it.
    void captionOfAHostileDate()
    {
        World world;
        world.host.putVersionFile({"PlayVer=v1.00", "OptiVer=v1.00", "OSV=v1.00",
                                   QStringLiteral("Update=\u202e\u2028\u2029") + QString(60000, QLatin1Char('d'))});
        OnlineSystem os;
        QVERIFY(World::run(os));
        const QString title = os.mainWindow()->windowTitle();
        QVERIFY(title.size() < 120);
        for (const QChar hidden : {QChar(0x202e), QChar(0x2028), QChar(0x2029)})
            QVERIFY(!title.contains(hidden));
        QVERIFY(title.endsWith(QString(39, QLatin1Char('d')) + QChar(0x2026) + QLatin1Char(')')));
    }
};

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
