// The Online System's windows without a mouse: what a screen reader learns
// of the start message, the progress window, the main window and the bug
// report form; Press doing what a click does; the Tab order; Escape.

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/windows/bug_report_form.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "internet/windows/start_message_window.h"
#include "local_servers.h"
#include "tests/support/access_probe.h"
#include "tests/internet/offline_world.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "skin/focus_ring.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace qpt;
using namespace qpt::internet;
using namespace qpt::test;

namespace {


}  // namespace

class TestWindowsAccess : public QObject {
    Q_OBJECT
private slots:
    void startMessageForAScreenReaderAndTheKeyboard()
    {
        Offline world;
        OnlineSystem os;
        os.start();
        StartMessageWindow& msg = *os.startMessage();
        QCOMPARE(accessibleOf(&msg)->role(), QAccessible::Dialog);
        QCOMPARE(accessibleName(&msg), QStringLiteral("Instructions before you connect to Quorbel Player Tirk OS"));
        QCOMPARE(accessibleOf(msg.connectButton)->role(), QAccessible::Button);
        QCOMPARE(accessibleName(msg.connectButton), QStringLiteral("Connect"));
        QCOMPARE(accessibleName(msg.stopButton), QStringLiteral("STOP"));
        QCOMPARE(accessibleOf(msg.dontShowBox)->role(), QAccessible::CheckBox);
        QCOMPARE(accessibleName(msg.dontShowBox), QStringLiteral("Don't Show This Message Again"));
        QVERIFY(!accessibleName(msg.messageView).isEmpty());

        // The text beside the box toggles it when pressed, as when clicked.
        QVERIFY(pressAccessible(msg.dontShowLabel));
        QVERIFY(msg.dontShowBox->isChecked());
        QVERIFY(pressAccessible(msg.dontShowLabel));
        QVERIFY(!msg.dontShowBox->isChecked());

        // Connect has the focus; Tab goes round the text, the box and the
        // two buttons.
        QVERIFY(activateForKeys(&msg));
        QCOMPARE(QApplication::focusWidget(), msg.connectButton);
        QCOMPARE(tabRound(),
                 (QList<QWidget*>{msg.stopButton, msg.messageView, msg.dontShowBox, msg.connectButton}));
        QCOMPARE(FocusRing::target(), msg.connectButton);

        // Escape is STOP: the program ends without going online.
        QTest::keyClick(msg.dontShowBox, Qt::Key_Escape);
        QVERIFY(os.hasEnded());
        QVERIFY(!os.mainWindow()->isLoaded());
    }

    void connectPressedByAScreenReader()
    {
        Offline world;
        OnlineSystem os;
        os.start();
        QVERIFY(pressAccessible(os.startMessage()->connectButton));
        QVERIFY(os.mainWindow()->isLoaded());
        QVERIFY(!os.startMessage()->isVisible());
    }

    void progressWindowCancelsOnlyWhileATransferRuns()
    {
        ProgressWindow window;
        window.open();
        QCOMPARE(accessibleOf(&window)->role(), QAccessible::Dialog);
        QCOMPARE(accessibleName(&window), QStringLiteral("Quorbel Player Tirk Online System"));
        QCOMPARE(accessibleName(window.cancelButton), QStringLiteral("Cancel"));
        // The message is read once: its shadow is passed over.
        window.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
        QCOMPARE(accessibleName(window.textLabel), QStringLiteral("Updating Option...\nPlease Wait..."));
        QVERIFY(!accessibleOf(window.textLabel)->state().invisible);
        QVERIFY(accessibleOf(window.shadowLabel)->state().invisible);
        QSignalSpy cancels(&window, &ProgressWindow::cancelRequested);
        QVERIFY(pressAccessible(window.cancelButton));
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 0);
        QVERIFY(accessibleOf(window.cancelButton)->state().disabled);

        window.setCancellable(true);
        QVERIFY(pressAccessible(window.cancelButton));
        QCOMPARE(cancels.size(), 1);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 2);
    }

    // The main window is a frame; the form's fields are named by their
    // labels; Tab walks the form and leaves the description; Escape is
    // the form's cancel button, and nothing while the browser covers it.
    void mainWindowAndBugReportForm()
    {
        Offline world;
        OnlineSystem os;
        OnlineWindow& main = *os.mainWindow();
        main.show();
        QCOMPARE(accessibleOf(&main)->role(), QAccessible::Window);
        QCOMPARE(accessibleName(&main), main.windowTitle());
        QVERIFY(accessibleName(&main).startsWith(QLatin1String(OnlineWindow::kCaption)));
        QVERIFY(!accessibleName(main.browser).isEmpty());

        BugReportForm& form = *main.reportForm;
        QCOMPARE(accessibleName(form.emailEdit), QStringLiteral("Your Em@il"));
        QCOMPARE(accessibleName(form.descriptionEdit), QStringLiteral("Bug description"));
        // A choice list on this desktop is known by its item, as Qt has it,
        // and labelled by the text beside it, which a screen reader reads.
        QCOMPARE(accessibleLabel(form.osChoice), QStringLiteral("Select OS Version:"));
        QCOMPARE(accessibleLabel(form.cpuChoice), QStringLiteral("Select CPU Speed for your system:"));
        QCOMPARE(accessibleLabel(form.frequencyChoice), QStringLiteral("Have you seen the problem often?"));
        QCOMPARE(accessibleOf(form.osChoice)->text(QAccessible::Value), QStringLiteral("Don't Know"));
        QCOMPARE(accessibleOf(form.sendButton)->role(), QAccessible::Button);
        QCOMPARE(accessibleName(form.sendButton), QStringLiteral("Send Report"));
        QCOMPARE(accessibleName(form.cancelButton), QStringLiteral("Cancel Report"));
        QCOMPARE(accessibleName(&form), QStringLiteral("Online System Bug Report"));

        // While the browser covers the form, Escape does nothing.
        QVERIFY(activateForKeys(&main));
        QTest::keyClick(&main, Qt::Key_Escape);
        QVERIFY(main.browser->isVisible());

        // The form revealed, as a page of the host does it.
        main.browser->hide();
        form.show();
        form.emailEdit->setFocus(Qt::TabFocusReason);
        QCOMPARE(tabRound(), (QList<QWidget*>{form.osChoice, form.cpuChoice, form.frequencyChoice,
                                              form.descriptionEdit, form.sendButton, form.cancelButton,
                                              form.emailEdit}));
        form.descriptionEdit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(form.descriptionEdit, QStringLiteral("It stops"));
        QTest::keyClick(form.descriptionEdit, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.sendButton);
        QCOMPARE(form.descriptionEdit->toPlainText(), QStringLiteral("It stops"));
        QCOMPARE(FocusRing::target(), form.sendButton);

        // Send Report pressed with no address: the form's own box.
        QVERIFY(pressAccessible(form.sendButton));
        QCOMPARE(Dialogs::records().last().text, QStringLiteral("You didn't write any email address."));

        // Escape: Cancel Report, back to the browser with the form cleared.
        QTest::keyClick(form.emailEdit, Qt::Key_Escape);
        QVERIFY(main.browser->isVisible());
        QVERIFY(!form.isVisible());
        QVERIFY(form.descriptionEdit->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestWindowsAccess)
#include "test_windows_access.moc"
