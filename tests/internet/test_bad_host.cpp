// An update host that misbehaves the way real networks do, or that is not
// the product's at all, never costs the user anything: whatever it sends
// instead of a program the release key signed, every installed program
// stays byte for byte as it was, keeps its execute bit, nothing of the
// host's is started, and the player and an open Option dialog (the real
// programs, running) keep running. The Online System runs in this process,
// one run per case.

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/update/online_files.h"
#include "internet/update/release_crypto.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "common/settings_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <memory>

#include <sys/stat.h>

using namespace qpt;
using namespace qpt::internet;
using qpt::test::LocalUpdateHost;
using qpt::test::ReleaseSigner;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");
const QStringList kPrograms{kPlayer, QStringLiteral("option.dat"), QStringLiteral("internet.dat")};

// The three updates: the image on the host, the version file that offers
// it, and the question that offers it.
struct Update {
    const char* image;
    QStringList versionFile;
    const char* question;
};

const Update kUpdates[] = {
    {"QuorbelPlayerTirk.exe", {"PlayVer=v1.01", "OptiVer=v1.00", "OSV=v1.00", "Update=x"},
     "Newer Player Version Available"},
    {"option.dat", {"PlayVer=v1.00", "OptiVer=v1.01", "OSV=v1.00", "Update=x"}, "A Newer Version Of Option Available"},
    {"Internet.dat", {"PlayVer=v1.00", "OptiVer=v1.00", "OSV=v1.01", "Update=x"}, "A Newer Version Of OS Available"},
};

// A program image as the host would publish it, so that only the way it
// is sent can make it fail: a script that leaves a mark if it ever runs.
QByteArray goodLookingImage(const QString& mark)
{
    return "#!/bin/sh\n: > '" + mark.toLocal8Bit() + "'\n#" + QByteArray(6000, 'i') + "\n";
}

QStringList titles()
{
    QStringList list;
    for (const DialogRecord& record : Dialogs::records())
        list << record.title;
    return list;
}

std::unique_ptr<QProcess> startProgram(const TestEnv& env, const QString& program)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env.processEnvironment());
    process->setWorkingDirectory(env.appDir());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(env.app(program), QStringList());
    process->waitForStarted(10000);
    return process;
}

// Ends a program the test started: politely, then by force.
void stop(QProcess& process, const std::function<void()>& askToClose)
{
    if (process.state() == QProcess::NotRunning)
        return;
    askToClose();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace

class TestBadHost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        TestEnv& env = *m_env;
        for (const QString& program : kPrograms)
            QVERIFY(env.installProgram(program));
        QVERIFY(env.installStandIn(QStringLiteral("osupdater.dat")));
        TestEnv::writeFile(env.app(QStringLiteral("loading.ifo")), "<html><body>Loading</body></html>");
        QVERIFY(m_signer.trustIn(env.appDir()));
        // Options that keep the player quiet: no association run, no fade.
        for (const char* key : {"AutoFileAss", "TransPlayList", "FadeOutCD", "MinimizeSeparate", "AutosavePlayList", "OSOT"})
            SettingsStore::write(QLatin1String(key), QStringLiteral("2"));
        m_system = env.root() + QStringLiteral("/system");
        QDir().mkpath(m_system);
        TestEnv::writeFile(m_system + QStringLiteral("/osplinfo.dll"), QByteArray());
        qputenv("QPT_SYSTEM_DIR", m_system.toLocal8Bit());

        m_player = startProgram(env, kPlayer);
        m_option = startProgram(env, QStringLiteral("option.dat"));
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }, 20000));
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("activeoption.inf"))); }, 20000));
        QVERIFY(waitUntil([&] { return SettingsStore::read(QStringLiteral("AppPath")) == env.appDir(); }, 20000));

        for (const QString& program : kPrograms) {
            m_bytes << TestEnv::readFile(env.app(program));
            m_permissions << QFile::permissions(env.app(program));
        }
    }

    // Each case starts without a manifest seen before (by the settings or
    // by the installation).
    void init()
    {
        SettingsStore::write(QStringLiteral("LatestReleaseIssued"), QString());
        QFile::remove(m_env->app(QStringLiteral("inet-release.inf")));
    }

    void cleanupTestCase()
    {
        qunsetenv("QPT_SYSTEM_DIR");
        qunsetenv("QPT_UPDATE_URL");
        TestEnv& env = *m_env;
        if (m_option)
            stop(*m_option, [&] { QFile::remove(env.app(QStringLiteral("activeoption.inf"))); });
        if (m_player)
            stop(*m_player, [&] { TestEnv::writeFile(env.app(QStringLiteral("shutdown.os")), QByteArray()); });
        m_env.reset();
    }

    void badImageChangesNothing_data()
    {
        QTest::addColumn<int>("update");   // index into kUpdates
        QTest::addColumn<QString>("mode");  // how the image is sent
        const QStringList modes{"missing file", "HTML page", "no length, closed early", "wrong announced length",
                                "endless body", "slow trickle", "chunked, closed early", "one byte changed"};
        for (int update = 0; update < 3; ++update) {
            for (const QString& mode : modes)
                QTest::addRow("%s, %s", kUpdates[update].image, qPrintable(mode)) << update << mode;
        }
    }
    void badImageChangesNothing()
    {
        QFETCH(int, update);
        QFETCH(QString, mode);
        const Update& offered = kUpdates[update];
        LocalUpdateHost host;
        host.putPages();
        host.putVersionFile(offered.versionFile);
        const QString image = QStringLiteral("mainpage/os/Tirk/download/") + QLatin1String(offered.image);
        const QByteArray bytes = goodLookingImage(hostCodeMark());
        m_signer.publish(host, {{QLatin1String(offered.image), {QStringLiteral("v1.01"), bytes}}});
        host.remove(image);
        if (mode == QLatin1String("HTML page"))
            host.put(image, "<!DOCTYPE html>\n<html><body><h1>Log in to the hotel network</h1></body></html>\n");
        else if (mode != QLatin1String("missing file"))
            host.put(image, bytes);
        if (mode == QLatin1String("no length, closed early"))
            host.put(image + QStringLiteral(".mode"), "nolength-cut");
        else if (mode == QLatin1String("wrong announced length"))
            host.put(image + QStringLiteral(".announce"), QByteArray::number(bytes.size() + 100));
        else if (mode == QLatin1String("endless body"))
            host.put(image + QStringLiteral(".mode"), "endless");
        else if (mode == QLatin1String("slow trickle"))
            host.put(image + QStringLiteral(".mode"), "trickle 1500");
        else if (mode == QLatin1String("chunked, closed early"))
            host.put(image + QStringLiteral(".mode"), "chunked-cut");
        else if (mode == QLatin1String("one byte changed")) {
            QByteArray changed = bytes;
            changed[100] = 'j';
            host.put(image, changed);
            // The host's own digest of what it serves proves nothing.
            host.put(image + QStringLiteral(".sha256"), release::sha256(changed).toHex());
        }

        QVERIFY(runOnlineSystem(host, {"Yes", "Cancel"}));
        QCOMPARE(titles(), (QStringList{QLatin1String(offered.question), QStringLiteral("Error")}));
        const DialogRecord& error = Dialogs::records().last();
        QCOMPARE(error.text, QStringLiteral("An error occur\r\nPress Retry, or Cancel to Exit OS"));
        QCOMPARE(error.icon, QStringLiteral("critical"));
        verifyNothingChanged();
    }

    // A captive portal answers the version file too: no connection, and
    // nothing is offered.
    void captivePortal()
    {
        LocalUpdateHost host;
        host.put(QStringLiteral("PORTAL"), "on");
        QVERIFY(runOnlineSystem(host, {"Cancel"}));
        QCOMPARE(titles(), QStringList{"No Internet Connection"});
        verifyNothingChanged();
    }

    // Cancel on the progress window ends a transfer that would take for
    // ever, and says so.
    void cancelOnTheProgressWindow()
    {
        LocalUpdateHost host;
        host.putPages();
        host.putVersionFile(kUpdates[0].versionFile);
        const QString image = QStringLiteral("mainpage/os/Tirk/download/QuorbelPlayerTirk.exe");
        m_signer.publish(host, {{QStringLiteral("QuorbelPlayerTirk.exe"), {QStringLiteral("v1.01"), goodLookingImage(hostCodeMark())}}});
        host.put(image + QStringLiteral(".mode"), "trickle 200");

        QElapsedTimer clock;
        clock.start();
        QVERIFY(runOnlineSystem(host, {"Yes", "Cancel"}, [](OnlineSystem& os) {
            ProgressWindow& progress = *os.progress();
            if (progress.isVisible() && progress.message().startsWith(QLatin1String("Updating"))
                && progress.cancelButton->isEnabled() && os.mainWindow()->updateCheck().isTransferring())
                QTest::mouseClick(progress.cancelButton, Qt::LeftButton);
        }));
        QCOMPARE(titles(), (QStringList{"Newer Player Version Available", "Download Cancelled"}));
        QVERIFY(clock.elapsed() < 20000);
        verifyNothingChanged();
    }

    // What the release key did not sign, or signed for an earlier time, is
    // not even offered: one box says why (about the release information,
    // or about the one offer), and the pass goes on.
    void unsignedOffersAreRefused_data()
    {
        QTest::addColumn<int>("update");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("title");  // of the one box
        const QStringList modes{"unsigned image with a correct .sha256", "manifest signed by another key",
                                "manifest cut short", "signature cut short", "expired manifest",
                                "older manifest replayed", "older version signed"};
        for (int update = 0; update < 3; ++update) {
            for (const QString& mode : modes) {
                const char* title = mode.contains(QLatin1String("expired"))         ? "Update Information Out Of Date"
                                  : mode.contains(QLatin1String("replayed"))        ? "Old Update Information"
                                  : mode.contains(QLatin1String("older version"))   ? "No Newer Version"
                                                                                    : "Update Information Not Verified";
                QTest::addRow("%s, %s", kUpdates[update].image, qPrintable(mode)) << update << mode << title;
            }
        }
    }
    void unsignedOffersAreRefused()
    {
        QFETCH(int, update);
        QFETCH(QString, mode);
        QFETCH(QString, title);
        const Update& offered = kUpdates[update];
        const QString name = QLatin1String(offered.image);
        const QString image = QStringLiteral("mainpage/os/Tirk/download/") + name;
        const QByteArray bytes = goodLookingImage(hostCodeMark());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        LocalUpdateHost host;
        host.putPages();
        QStringList versionFile = offered.versionFile;

        if (mode == QLatin1String("older manifest replayed")) {
            // A newer manifest was seen before (answered No)...
            m_signer.publish(host, {{name, {QStringLiteral("v1.01"), bytes}}}, now.addSecs(-600));
            host.putVersionFile(versionFile);
            QVERIFY(runOnlineSystem(host, {"No"}, {}, false));
            QCOMPARE(titles(), QStringList{QLatin1String(offered.question)});
            // ...and now the host serves an earlier one, still valid, that
            // would allow the same version.
            m_signer.publish(host, {{name, {QStringLiteral("v1.01"), bytes}}}, now.addDays(-2));
        } else if (mode == QLatin1String("older version signed")) {
            for (QString& line : versionFile)
                line.replace(QStringLiteral("v1.01"), QStringLiteral("v0.99"));
            m_signer.publish(host, {{name, {QStringLiteral("v0.99"), bytes}}});
        } else if (mode == QLatin1String("expired manifest")) {
            m_signer.publish(host, {{name, {QStringLiteral("v1.01"), bytes}}}, now.addDays(-30), now.addSecs(-60));
        } else if (mode == QLatin1String("manifest signed by another key")) {
            ReleaseSigner().publish(host, {{name, {QStringLiteral("v1.01"), bytes}}});
        } else {
            m_signer.publish(host, {{name, {QStringLiteral("v1.01"), bytes}}});
        }
        const QString manifest = QStringLiteral("mainpage/os/Tirk/release.manifest");
        if (mode == QLatin1String("unsigned image with a correct .sha256")) {
            host.remove(manifest);
            host.remove(manifest + QStringLiteral(".sig"));
            host.put(image + QStringLiteral(".sha256"), release::sha256(bytes).toHex() + "  " + name.toLatin1() + "\n");
        } else if (mode == QLatin1String("manifest cut short")) {
            host.put(manifest, host.file(manifest).chopped(30));
        } else if (mode == QLatin1String("signature cut short")) {
            host.put(manifest + QStringLiteral(".sig"), host.file(manifest + QStringLiteral(".sig")).left(40));
        }
        host.putVersionFile(versionFile);

        QVERIFY(runOnlineSystem(host, {"OK"}, {}, false));
        QCOMPARE(titles(), QStringList{title});
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.icon, QStringLiteral("exclamation"));
        QCOMPARE(box.buttons, QStringLiteral("OK"));
        if (title == QLatin1String("Update Information Out Of Date"))
            QCOMPARE(box.text, QStringLiteral("The update information is out of date"));
        // Nothing was even fetched of the image.
        QCOMPARE(host.requests().filter(QStringLiteral("/download/")).size(), 0);
        verifyNothingChanged();
    }

    // An endless news page is cut off, not kept.
    void endlessPage()
    {
        LocalUpdateHost host;
        host.put(QStringLiteral("index.txt"), "<html><body>" + QByteArray(60000, 'n') + "</body></html>");
        host.put(QStringLiteral("index.txt.mode"), "endless");
        WebBrowser browser;
        browser.navigate(host.url() + QStringLiteral("/index.txt"));
        QVERIFY(waitUntil([&] { return !browser.isBusy(); }, 20000));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("too large")));
    }

    // A page from the network that points into this computer's files: the
    // pictures are not read (an endless device, a pipe that never answers),
    // and a click on such a link opens nothing.
    void networkPageReachesNoLocalFile()
    {
        LocalUpdateHost host;
        const QString fifo = m_env->root() + QStringLiteral("/pipe.png");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        host.put(QStringLiteral("index.txt"),
                 "<html><body><p>news</p><img src=\"file:///dev/zero\"><img src=\"file://" + QFile::encodeName(fifo)
                     + "\"><a href=\"file:///etc/hostname\">local</a></body></html>");
        WebBrowser browser;
        browser.navigate(host.url() + QStringLiteral("/index.txt"));
        QVERIFY(waitUntil([&] { return !browser.isBusy(); }, 20000));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("news")));
        browser.document()->setTextWidth(400);
        QVERIFY(browser.document()->size().height() > 0);  // laid out: the pictures were asked for
        emit browser.anchorClicked(QUrl(QStringLiteral("file:///etc/hostname")));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("news")));
    }

private:
    // One run of the Online System against the host, with a lock folder of
    // its own (the lock of an Online System is held for the life of its
    // process) and short limits; `whileRunning` is called every 20 ms.
    // True when it ended as `ending` says (or finished its pass shown).
    bool runOnlineSystem(const LocalUpdateHost& host, const QStringList& answers,
                         const std::function<void(OnlineSystem&)>& whileRunning = {}, bool ending = true)
    {
        bool asExpected = false;
        const QString runtime = m_env->root() + QStringLiteral("/runtime-%1").arg(++m_runs);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("QPT_UPDATE_URL", host.url().toLocal8Bit());
        Dialogs::resetForTests();
        Dialogs::scriptAnswers(answers);
        {
            OnlineSystem os;
            os.mainWindow()->updateCheck().setLimits({kMaxVersionFileBytes, 500, 10000, 10000, 10000});
            QTimer watcher;
            if (whileRunning) {
                QObject::connect(&watcher, &QTimer::timeout, [&] { whileRunning(os); });
                watcher.start(20);
            }
            os.start();
            const bool done = waitUntil(
                [&] { return os.hasEnded() || !os.mainWindow()->updateCheck().isBusy(); }, 60000);
            asExpected = done && os.hasEnded() == ending;
        }
        // Nothing of the refused image is left in the private folder.
        const QStringList left = QDir(privateTempFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        qputenv("XDG_RUNTIME_DIR", m_env->runtimeDir().toLocal8Bit());
        return asExpected && left.isEmpty();
    }

    QString hostCodeMark() const { return m_env->root() + QStringLiteral("/host-code-ran"); }

    void verifyNothingChanged()
    {
        TestEnv& env = *m_env;
        for (int i = 0; i < kPrograms.size(); ++i) {
            QVERIFY2(TestEnv::readFile(env.app(kPrograms[i])) == m_bytes[i], qPrintable(kPrograms[i]));
            QCOMPARE(QFile::permissions(env.app(kPrograms[i])), m_permissions[i]);
        }
        // No leftovers beside them either.
        const QStringList hidden = QDir(env.appDir()).entryList(QStringList{QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(hidden, QStringList());
        QVERIFY(!QFile::exists(env.app(QStringLiteral("shutdown.os"))));
        QVERIFY(env.standInCalls(QStringLiteral("osupdater.dat")).isEmpty());
        QVERIFY(!QFile::exists(hostCodeMark()));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("inet-version.tmp"))));
        // The player and the Option dialog still run, and the player still
        // keeps its marker fresh.
        QCOMPARE(m_player->state(), QProcess::Running);
        QCOMPARE(m_option->state(), QProcess::Running);
        QVERIFY(QFile::exists(env.app(QStringLiteral("activeoption.inf"))));
        QFile::remove(env.app(QStringLiteral("Running.chk")));
        QVERIFY(waitUntil([&] { return QFile::exists(env.app(QStringLiteral("Running.chk"))); }, 5000));
    }

    std::unique_ptr<TestEnv> m_env;
    ReleaseSigner m_signer;
    QString m_system;
    std::unique_ptr<QProcess> m_player;
    std::unique_ptr<QProcess> m_option;
    QList<QByteArray> m_bytes;
    QList<QFile::Permissions> m_permissions;
    int m_runs = 0;
};

QTEST_MAIN(TestBadHost)
#include "test_bad_host.moc"
