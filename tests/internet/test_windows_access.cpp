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
using qpt::test::TestEnv;

namespace {

// No update host and no marker: the start message shows; a connect finds
// no connection and its question is answered with Cancel.
struct Offline {
    TestEnv env;
    QString system = env.root() + QStringLiteral("/system");
    Offline()
    {
        QDir().mkpath(system);
        qputenv("QPT_SYSTEM_DIR", system.toLocal8Bit());
        qputenv("QPT_UPDATE_URL", QStringLiteral("http://127.0.0.1:%1").arg(qpt::test::closedPort()).toLocal8Bit());
        Dialogs::scriptAnswers({"Cancel"});
    }
    ~Offline()
    {
        qunsetenv("QPT_SYSTEM_DIR");
        qunsetenv("QPT_UPDATE_URL");
    }
};

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object)
{
    return accessible(object)->text(QAccessible::Name);
}

// The text of the label that labels the control.
QString labelOf(QObject* object)
{
    const auto labels = accessible(object)->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

bool press(QObject* object)
{
    QAccessibleActionInterface* actions = accessible(object)->actionInterface();
    if (!actions || !actions->actionNames().contains(QAccessibleActionInterface::pressAction()))
        return false;
    actions->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

bool activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

QList<QWidget*> tabRound()
{
    QList<QWidget*> visited;
    QWidget* start = QApplication::focusWidget();
    for (int i = 0; i < 20 && start; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
        if (visited.last() == start)
            break;
    }
    return visited;
}

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
        QCOMPARE(accessible(&msg)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&msg), QStringLiteral("Instructions before you connect to Quorbel Player Tirk OS"));
        QCOMPARE(accessible(msg.connectButton)->role(), QAccessible::Button);
        QCOMPARE(nameOf(msg.connectButton), QStringLiteral("Connect"));
        QCOMPARE(nameOf(msg.stopButton), QStringLiteral("STOP"));
        QCOMPARE(accessible(msg.dontShowBox)->role(), QAccessible::CheckBox);
        QCOMPARE(nameOf(msg.dontShowBox), QStringLiteral("Don't Show This Message Again"));
        QVERIFY(!nameOf(msg.messageView).isEmpty());

        // The text beside the box toggles it when pressed, as when clicked.
        QVERIFY(press(msg.dontShowLabel));
        QVERIFY(msg.dontShowBox->isChecked());
        QVERIFY(press(msg.dontShowLabel));
        QVERIFY(!msg.dontShowBox->isChecked());

        // Connect has the focus; Tab goes round the text, the box and the
        // two buttons.
        QVERIFY(activate(&msg));
        QCOMPARE(QApplication::focusWidget(), msg.connectButton);
        QCOMPARE(tabRound(),
                 (QList<QWidget*>{msg.stopButton, msg.messageView, msg.dontShowBox, msg.connectButton}));
        QCOMPARE(msg.focusRing()->target(), msg.connectButton);

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
        QVERIFY(press(os.startMessage()->connectButton));
        QVERIFY(os.mainWindow()->isLoaded());
        QVERIFY(!os.startMessage()->isVisible());
    }

    void progressWindowCancelsOnlyWhileATransferRuns()
    {
        ProgressWindow window;
        window.open();
        QCOMPARE(accessible(&window)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&window), QStringLiteral("Quorbel Player Tirk Online System"));
        QCOMPARE(nameOf(window.cancelButton), QStringLiteral("Cancel"));
        // The message is read once: its shadow is passed over.
        window.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
        QCOMPARE(nameOf(window.textLabel), QStringLiteral("Updating Option...\nPlease Wait..."));
        QVERIFY(!accessible(window.textLabel)->state().invisible);
        QVERIFY(accessible(window.shadowLabel)->state().invisible);
        QSignalSpy cancels(&window, &ProgressWindow::cancelRequested);
        QVERIFY(press(window.cancelButton));
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 0);
        QVERIFY(accessible(window.cancelButton)->state().disabled);

        window.setCancellable(true);
        QVERIFY(press(window.cancelButton));
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
        QCOMPARE(accessible(&main)->role(), QAccessible::Window);
        QCOMPARE(nameOf(&main), main.windowTitle());
        QVERIFY(nameOf(&main).startsWith(QLatin1String(OnlineWindow::kCaption)));
        QVERIFY(!nameOf(main.browser).isEmpty());

        BugReportForm& form = *main.reportForm;
        QCOMPARE(nameOf(form.emailEdit), QStringLiteral("Your Em@il"));
        QCOMPARE(nameOf(form.descriptionEdit), QStringLiteral("Bug description"));
        // A choice list on this desktop is known by its item, as Qt has it,
        // and labelled by the text beside it, which a screen reader reads.
        QCOMPARE(labelOf(form.osChoice), QStringLiteral("Select OS Version:"));
        QCOMPARE(labelOf(form.cpuChoice), QStringLiteral("Select CPU Speed for your system:"));
        QCOMPARE(labelOf(form.frequencyChoice), QStringLiteral("Have you seen the problem often?"));
        QCOMPARE(accessible(form.osChoice)->text(QAccessible::Value), QStringLiteral("Don't Know"));
        QCOMPARE(accessible(form.sendButton)->role(), QAccessible::Button);
        QCOMPARE(nameOf(form.sendButton), QStringLiteral("Send Report"));
        QCOMPARE(nameOf(form.cancelButton), QStringLiteral("Cancel Report"));
        QCOMPARE(nameOf(&form), QStringLiteral("Online System Bug Report"));

        // While the browser covers the form, Escape does nothing.
        QVERIFY(activate(&main));
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
        QCOMPARE(main.focusRing()->target(), form.sendButton);

        // Send Report pressed with no address: the form's own box.
        QVERIFY(press(form.sendButton));
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
