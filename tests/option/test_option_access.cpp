// The Option program without a mouse: what a screen reader learns of every
// control of its three windows, Press doing what a click does, the Tab
// order, Space and Return on the label buttons, and Escape as Cancel.

#include "option/file_association.h"
#include "option/file_association_window.h"
#include "option/info_window.h"
#include "option/option_dialog.h"
#include "skin/focus_ring.h"
#include "skin/label_button.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/options.h"
#include "common/settings_store.h"
#include "tests/support/test_env.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

using namespace qpt;
using namespace qpt::option;
using qpt::test::TestEnv;

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object)
{
    return accessible(object)->text(QAccessible::Name);
}

bool act(QObject* object, const QString& action)
{
    QAccessibleActionInterface* actions = accessible(object)->actionInterface();
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

bool press(QObject* object)
{
    return act(object, QAccessibleActionInterface::pressAction());
}

// Every control a keyboard can reach has a name and a role of its own, and
// every label button a Press action.
void checkEveryControl(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(window) || !(control->focusPolicy() & Qt::TabFocus))
            continue;
        QAccessibleInterface* iface = accessible(control);
        QVERIFY2(iface, qPrintable(control->objectName()));
        QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
        QVERIFY2(iface->role() != QAccessible::Client, control->metaObject()->className());
        if (qobject_cast<LabelButton*>(control)) {
            QCOMPARE(iface->role(), QAccessible::Button);
            QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        }
    }
}

bool activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// The widgets Tab visits from the one with the focus, one per press, until
// it comes back (or after 20 presses).
QList<QWidget*> tabRound(Qt::Key key = Qt::Key_Tab)
{
    QList<QWidget*> visited;
    QWidget* start = QApplication::focusWidget();
    for (int i = 0; i < 20 && start; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        visited << QApplication::focusWidget();
        if (visited.last() == start)
            break;
    }
    return visited;
}

void store(const QStringList& values)
{
    for (int i = 0; i < values.size(); ++i)
        SettingsStore::write(QLatin1String(kOptionDefaults[i].key), values[i]);
}

QStringList stored()
{
    QStringList values;
    for (const OptionDefault& option : kOptionDefaults)
        values << SettingsStore::read(QLatin1String(option.key));
    return values;
}

const QStringList kDefaults{"1", "1", "1", "2", "2", "2"};

}  // namespace

class TestOptionAccess : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY(m_env->installStandIn(QLatin1String(programs::Player)));
        store(kDefaults);
    }
    void cleanup() { m_env.reset(); }

    void everyControlHasANameARoleAndItsAction()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QCOMPARE(accessible(&dialog)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&dialog), QStringLiteral("Quorbel Player Tirk Option"));
        const QStringList boxNames{"Auto FileAssociate",     "Transparent PlayList",   "Fade Out When Closing Down",
                                   "Minimize Separate",      "AutoSave/Load PlayList", "Online System On Top"};
        QStringList names;
        for (QCheckBox* box : dialog.optionBoxes()) {
            QCOMPARE(accessible(box)->role(), QAccessible::CheckBox);
            names << nameOf(box);
        }
        QCOMPARE(names, boxNames);
        QCOMPARE(nameOf(dialog.okButton), QStringLiteral("OK"));
        QCOMPARE(nameOf(dialog.cancelButton), QStringLiteral("Cancel"));
        QCOMPARE(nameOf(dialog.fileAssociationButton), QStringLiteral("File Association"));
        QCOMPARE(nameOf(dialog.infoButton), QStringLiteral("Info"));
        checkEveryControl(&dialog);

        press(dialog.fileAssociationButton);
        FileAssociationWindow& association = *dialog.fileAssociationWindow;
        QCOMPARE(accessible(&association)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&association), QStringLiteral("File Association"));
        QCOMPARE(accessible(association.availableTypesList)->role(), QAccessible::List);
        QCOMPARE(nameOf(association.availableTypesList), QStringLiteral("Available file types"));
        QCOMPARE(nameOf(association.chosenTypesList), QStringLiteral("File types to associate"));
        // The texts beside the lists say how to use them.
        QVERIFY(accessible(association.availableTypesList)->text(QAccessible::Description).contains("double-click"));
        QVERIFY(accessible(association.chosenTypesList)->text(QAccessible::Description).contains("remove"));
        // The types are the list's items.
        QAccessibleInterface* available = accessible(association.availableTypesList);
        QStringList items;
        for (int i = 0; i < available->childCount(); ++i)
            items << available->child(i)->text(QAccessible::Name);
        for (const QString& type : FileAssociation::offeredExtensions())
            QVERIFY2(items.contains(type), qPrintable(type));
        checkEveryControl(&association);
        press(association.cancelButton);

        press(dialog.infoButton);
        InfoWindow& info = *dialog.infoWindow;
        QCOMPARE(accessible(&info)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&info), QStringLiteral("Quorbel Player Tirk Option Info"));
        QCOMPARE(nameOf(info.okButton), QStringLiteral("OK"));
        checkEveryControl(&info);
    }

    // A screen reader's Press is the click: the same windows open, the
    // disabled dialog does nothing, and OK saves what the boxes say.
    void pressDoesWhatAClickDoes()
    {
        OptionDialog dialog;
        dialog.startUp(QString());

        QVERIFY(press(dialog.infoButton));
        QVERIFY(dialog.infoWindow);
        QVERIFY(dialog.infoWindow->isVisible());
        QVERIFY(!dialog.isEnabled());
        QVERIFY(press(dialog.okButton));  // behind the info window: nothing
        QVERIFY(!dialog.hasEnded());
        QVERIFY(press(dialog.infoWindow->okButton));
        QVERIFY(!dialog.infoWindow);
        QVERIFY(dialog.isEnabled());

        QVERIFY(press(dialog.fileAssociationButton));
        FileAssociationWindow* association = dialog.fileAssociationWindow;
        QVERIFY(association && association->isVisible());
        QVERIFY(press(association->defaultButton));
        QCOMPARE(association->chosenTypesList->count(), FileAssociation::defaultExtensions().size());
        QVERIFY(press(association->infoButton));
        QCOMPARE(dialog.infoWindow->text(), FileAssociationWindow::infoText());
        QVERIFY(press(dialog.infoWindow->okButton));
        QVERIFY(press(association->cancelButton));
        QVERIFY(!dialog.fileAssociationWindow);
        QVERIFY(dialog.isEnabled());

        // A box toggled through its own action counts as the user's change.
        QVERIFY(act(dialog.optionBoxes()[3], QAccessibleActionInterface::toggleAction()));
        QVERIFY(dialog.optionBoxes()[3]->isChecked());
        QVERIFY(press(dialog.okButton));
        QVERIFY(dialog.hasEnded());
        QCOMPARE(stored(), (QStringList{"1", "1", "1", "1", "2", "2"}));
    }

    // Tab visits every control of each window in the order they are laid
    // out and comes back round; Shift+Tab the other way.
    void tabReachesEveryControl()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QVERIFY(activate(&dialog));
        const QList<QCheckBox*>& boxes = dialog.optionBoxes();
        boxes.first()->setFocus(Qt::TabFocusReason);
        QList<QWidget*> expected(boxes.begin() + 1, boxes.end());
        expected << dialog.okButton << dialog.cancelButton << dialog.fileAssociationButton << dialog.infoButton
                 << boxes.first();
        QCOMPARE(tabRound(), expected);
        QList<QWidget*> backwards(expected.rbegin() + 1, expected.rend());
        backwards << boxes.first();
        QCOMPARE(tabRound(Qt::Key_Backtab), backwards);
        // The ring went with the keys.
        QCOMPARE(dialog.focusRing()->target(), boxes.first());

        QTest::keyClick(boxes.first(), Qt::Key_Space);  // the box's own key
        QVERIFY(!boxes.first()->isChecked());

        dialog.openFileAssociation();
        FileAssociationWindow& association = *dialog.fileAssociationWindow;
        QVERIFY(activate(&association));
        QCOMPARE(QApplication::focusWidget(), association.availableTypesList);
        QCOMPARE(tabRound(), (QList<QWidget*>{association.chosenTypesList, association.okButton,
                                              association.cancelButton, association.defaultButton,
                                              association.infoButton, association.availableTypesList}));
        association.unload();

        dialog.openInfo();
        InfoWindow& info = *dialog.infoWindow;
        QVERIFY(activate(&info));
        QCOMPARE(QApplication::focusWidget(), info.textView);
        QCOMPARE(tabRound(), (QList<QWidget*>{info.okButton, info.textView}));
    }

    // Space and Return press the focused label button; Escape is Cancel in
    // each window, and in the dialog it ends the program unsaved.
    void keysPressAndEscapeCancels()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QVERIFY(activate(&dialog));
        QTest::mouseClick(dialog.optionBoxes()[4], Qt::LeftButton);  // something to save

        dialog.infoButton->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.infoButton, Qt::Key_Space);
        QVERIFY(dialog.infoWindow);
        QTest::keyClick(dialog.infoWindow->textView, Qt::Key_Escape);
        QVERIFY(!dialog.infoWindow);
        QVERIFY(dialog.isEnabled());

        QVERIFY(activate(&dialog));
        dialog.fileAssociationButton->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.fileAssociationButton, Qt::Key_Return);
        FileAssociationWindow* association = dialog.fileAssociationWindow;
        QVERIFY(association);
        // Return in the list adds the type, as a double-click does.
        association->availableTypesList->setCurrentRow(FileAssociation::offeredExtensions().indexOf("mp3"));
        QTest::keyClick(association->availableTypesList, Qt::Key_Return);
        QCOMPARE(association->chosenTypesList->count(), 2);
        QTest::keyClick(association->chosenTypesList, Qt::Key_Escape);
        QVERIFY(!dialog.fileAssociationWindow);
        QVERIFY(Dialogs::records().isEmpty());  // nothing registered, nothing said
        QVERIFY(!dialog.hasEnded());

        QTest::keyClick(dialog.optionBoxes()[0], Qt::Key_Escape);
        QVERIFY(dialog.hasEnded());
        QCOMPARE(stored(), kDefaults);
    }

    // The information window names the keys that drive the player without
    // a mouse, before its closing paragraph.
    void informationListsThePlayersKeys()
    {
        const QString text = InfoWindow::builtInText();
        for (const char* key : {"Stop", "seek", "back / forward", "Menu key", "Shift+F10", "Tab", "Space", "Return",
                                "Arrows", "Escape"})
            QVERIFY2(text.contains(QLatin1String(key)), key);
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        const qsizetype keys = lines.indexOf(InfoWindow::playerKeyLines().first());
        QVERIFY(keys > lines.indexOf(QStringLiteral(" screen when it's running.")));
        QVERIFY(keys < lines.indexOf(QStringLiteral(" All options are saved in the Registry ")));
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_MAIN(TestOptionAccess)
#include "test_option_access.moc"
