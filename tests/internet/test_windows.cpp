// The start message, the progress window and the main window's frame.

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/windows/bug_report_form.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "internet/windows/start_message_window.h"
#include "local_servers.h"
#include "tests/internet/offline_world.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "common/settings_store.h"
#include "common/single_instance.h"
#include "common/twips.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTest>

using namespace qpt;
using namespace qpt::internet;
using qpt::test::Offline;
using qpt::test::TestEnv;

namespace {


}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void startMessageFirstAndStop()
    {
        Offline world;
        OnlineSystem os;
        os.start();
        StartMessageWindow& msg = *os.startMessage();
        QVERIFY(msg.isVisible());
        QCOMPARE(msg.windowTitle(), QStringLiteral("Instructions before you connect to Quorbel Player Tirk OS"));
        const QStringList lines = StartMessageWindow::messageText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.at(0), QStringLiteral(" Welcome to Quorbel Player Tirk Online System"));
        QCOMPARE(lines.at(1), QString());
        QCOMPARE(lines.at(2), QStringLiteral(" This Online System will give you access to Player "));
        QCOMPARE(lines.at(11), QStringLiteral(" Warning:"));
        QCOMPARE(lines.at(18), QStringLiteral(" button, else press the Connect button."));
        QCOMPARE(lines.at(19), QStringLiteral(" "));
        QCOMPARE(lines.at(20), QStringLiteral(" Have a nice time!"));
        QCOMPARE(lines.at(21), QStringLiteral(" "));
        QVERIFY(lines.size() > 22);  // the publisher's notice follows
        QCOMPARE(msg.messageView->toPlainText().split(QLatin1Char('\n')), lines);
        QVERIFY(!msg.dontShowBox->isChecked());
        QCOMPARE(msg.dontShowLabel->caption(), QStringLiteral("Don't Show This Message Again"));
        QCOMPARE(msg.connectButton->caption(), QStringLiteral("Connect"));
        QCOMPARE(msg.stopButton->caption(), QStringLiteral("STOP"));

        // The label text toggles the box; twice leaves it as it was.
        msg.toggleDontShow();
        QVERIFY(msg.dontShowBox->isChecked());
        msg.toggleDontShow();
        QVERIFY(!msg.dontShowBox->isChecked());

        msg.stopButton->click();
        QVERIFY(os.hasEnded());
        QVERIFY(!os.mainWindow()->isLoaded());  // no network, no main window
        QVERIFY(Dialogs::records().isEmpty());
        QVERIFY(!QFile::exists(world.marker()));
    }

    void connectRemembersTheChoice()
    {
        Offline world;
        {
            OnlineSystem os;
            os.start();
            os.startMessage()->connectButton->click();  // box unchecked
            QVERIFY(os.mainWindow()->isLoaded());
            QVERIFY(!os.startMessage()->isVisible());
            QVERIFY(!QFile::exists(world.marker()));
            // On to the version check, which finds no connection.
            QVERIFY(qpt::test::waitUntil([] { return !Dialogs::records().isEmpty(); }));
            QCOMPARE(Dialogs::records().last().title, QStringLiteral("No Internet Connection"));
        }
        Dialogs::scriptAnswers({"Cancel"});
        {
            OnlineSystem os;
            os.start();
            QVERIFY(os.startMessage()->isVisible());  // shown again
            os.startMessage()->dontShowBox->setChecked(true);
            os.startMessage()->connectButton->click();
            QCOMPARE(TestEnv::readFile(world.marker()), QByteArray("The Message will not be shown anymore!\r\n"));
        }
        Dialogs::scriptAnswers({"Cancel"});
        {
            OnlineSystem os;
            os.start();  // straight to the main window
            QVERIFY(!os.startMessage()->isVisible());
            QVERIFY(os.mainWindow()->isLoaded());
        }
    }

    void markerThatCannotBeWritten()
    {
        Offline world;
        // The folder cannot exist: a file stands where it would be.
        TestEnv::writeFile(world.env.root() + QStringLiteral("/blocked"), "file");
        qputenv("QPT_SYSTEM_DIR", (world.env.root() + QStringLiteral("/blocked/system")).toLocal8Bit());
        OnlineSystem os;
        os.start();
        os.startMessage()->dontShowBox->setChecked(true);
        os.startMessage()->connectButton->click();
        QVERIFY(os.mainWindow()->isLoaded());  // on to the main window all the same

        // A link planted at the marker's name is not followed.
        Offline again;
        const QString target = again.env.root() + QStringLiteral("/planted-target");
        QVERIFY(QFile::link(target, again.marker()));
        OnlineSystem second;
        second.start();  // a dangling link is no marker
        QVERIFY(second.startMessage()->isVisible());
        second.startMessage()->dontShowBox->setChecked(true);
        second.startMessage()->connectButton->click();
        QVERIFY(!QFile::exists(target));
    }

    void progressWindow()
    {
        ProgressWindow window;
        window.open();
        QVERIFY(window.isVisible());
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.message(), QStringLiteral("Downloading Data... Please Wait..."));
        // The skin is on it: a dark frame around a light panel, and the icon.
        const QImage shot = window.grab().toImage();
        QVERIFY(shot.pixelColor(3, shot.height() / 2).lightness() < 100);
        QVERIFY(shot.pixelColor(20, shot.height() - 20).lightness() > 180);
        QVERIFY(!window.windowIcon().isNull());
        window.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
        QCOMPARE(window.textLabel->caption(), QStringLiteral("Updating Option...\r\nPlease Wait..."));
        QCOMPARE(window.shadowLabel->caption(), window.textLabel->caption());
        QCOMPARE(window.textLabel->text(), QStringLiteral("Updating Option...\nPlease Wait..."));
        // The shadow: 120 twips right and below, the same size.
        QCOMPARE(window.shadowLabel->geometry(),
                 window.textLabel->geometry().translated(twipsToPx(120), twipsToPx(120)));
        QCOMPARE(window.textLabel->size(), QSize(twipsToPx(6150), twipsToPx(525)));
        // Closed and shown again, it starts afresh.
        window.unload();
        QVERIFY(!window.isVisible());
        window.open();
        QCOMPARE(window.message(), QStringLiteral("Downloading Data... Please Wait..."));
        QCOMPARE(window.shadowLabel->caption(), window.message());
    }

    void mainWindowFrame()
    {
        Offline world;
        OnlineSystem os;
        OnlineWindow& main = *os.mainWindow();
        QCOMPARE(main.statusLabel->caption(), QStringLiteral("Getting Information... Please Wait..."));
        main.resize(700, 560);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const auto expected = [&] {
            return twipsRect(5, 10, pxToTwips(main.width()) - 10, pxToTwips(main.height()) - 660);
        };
        QCOMPARE(main.browser->geometry(), expected());
        main.resize(820, 600);
        QCOMPARE(main.browser->geometry(), expected());
        QCOMPARE(main.reportForm->geometry(), main.browser->geometry());
        QVERIFY(main.statusLabel->geometry().top() > main.browser->geometry().bottom());

        // Away to the tray (or, with no tray, minimized) by Alt+M, as in the
        // player, and back.
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_M, Qt::AltModifier);
        QVERIFY(!main.isVisible() || main.isMinimized());
        main.onTrayActivated();
        QVERIFY(main.isVisible());
        QVERIFY(!main.isMinimized());
        QVERIFY(!main.trayIcon->isVisible());
    }

    void secondInstanceEndsSilently()
    {
        Offline world;
        TestEnv::writeFile(world.marker(), QByteArray());
        // Another Online System holds the lock.
        QVERIFY(!SingleInstance::anotherIsRunning(QStringLiteral("internet.dat")));
        OnlineSystem os;
        os.start();
        QVERIFY(os.hasEnded());
        QVERIFY(Dialogs::records().isEmpty());
        QCOMPARE(SettingsStore::read(QStringLiteral("OSRunning")), QString());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
