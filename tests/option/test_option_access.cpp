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
#include "tests/support/access_probe.h"
#include "tests/option/stored_options.h"
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
using namespace qpt::test;

namespace {

// Every control a keyboard can reach has a name and a role of its own, and
// every label button a Press action.
void checkEveryControl(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(window) || !(control->focusPolicy() & Qt::TabFocus))
            continue;
        QAccessibleInterface* iface = accessibleOf(control);
        QVERIFY2(iface, qPrintable(control->objectName()));
        QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
        QVERIFY2(iface->role() != QAccessible::Client, control->metaObject()->className());
        if (qobject_cast<LabelButton*>(control)) {
            QCOMPARE(iface->role(), QAccessible::Button);
            QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        }
    }
}




}  // namespace

class TestOptionAccess : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY(m_env->installStandIn(QLatin1String(programs::Player)));
        storeOptions(kDefaultOptions);
    }
    void cleanup() { m_env.reset(); }

    void everyControlHasANameARoleAndItsAction()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QCOMPARE(accessibleOf(&dialog)->role(), QAccessible::Dialog);
        QCOMPARE(accessibleName(&dialog), QStringLiteral("Quorbel Player Tirk Option"));
        const QStringList boxNames{"Auto FileAssociate",     "Transparent PlayList",   "Fade Out When Closing Down",
                                   "Minimize Separate",      "AutoSave/Load PlayList", "Online System On Top"};
        QStringList names;
        for (QCheckBox* box : dialog.optionBoxes()) {
            QCOMPARE(accessibleOf(box)->role(), QAccessible::CheckBox);
            names << accessibleName(box);
        }
        QCOMPARE(names, boxNames);
        QCOMPARE(accessibleName(dialog.okButton), QStringLiteral("OK"));
        QCOMPARE(accessibleName(dialog.cancelButton), QStringLiteral("Cancel"));
        QCOMPARE(accessibleName(dialog.fileAssociationButton), QStringLiteral("File Association"));
        QCOMPARE(accessibleName(dialog.infoButton), QStringLiteral("Info"));
        checkEveryControl(&dialog);

        pressAccessible(dialog.fileAssociationButton);
        FileAssociationWindow& association = *dialog.fileAssociationWindow;
        QCOMPARE(accessibleOf(&association)->role(), QAccessible::Dialog);
        QCOMPARE(accessibleName(&association), QStringLiteral("File Association"));
        QCOMPARE(accessibleOf(association.availableTypesList)->role(), QAccessible::List);
        QCOMPARE(accessibleName(association.availableTypesList), QStringLiteral("Available file types"));
        QCOMPARE(accessibleName(association.chosenTypesList), QStringLiteral("File types to associate"));
        // The texts beside the lists say how to use them.
        QVERIFY(accessibleOf(association.availableTypesList)->text(QAccessible::Description).contains("double-click"));
        QVERIFY(accessibleOf(association.chosenTypesList)->text(QAccessible::Description).contains("remove"));
        // The types are the list's items.
        QAccessibleInterface* available = accessibleOf(association.availableTypesList);
        QStringList items;
        for (int i = 0; i < available->childCount(); ++i)
            items << available->child(i)->text(QAccessible::Name);
        for (const QString& type : FileAssociation::offeredExtensions())
            QVERIFY2(items.contains(type), qPrintable(type));
        checkEveryControl(&association);
        pressAccessible(association.cancelButton);

        pressAccessible(dialog.infoButton);
        InfoWindow& info = *dialog.infoWindow;
        QCOMPARE(accessibleOf(&info)->role(), QAccessible::Dialog);
        QCOMPARE(accessibleName(&info), QStringLiteral("Quorbel Player Tirk Option Info"));
        QCOMPARE(accessibleName(info.okButton), QStringLiteral("OK"));
        checkEveryControl(&info);
    }

    // A screen reader's Press is the click: the same windows open, the
    // disabled dialog does nothing, and OK saves what the boxes say.
    void pressDoesWhatAClickDoes()
    {
        OptionDialog dialog;
        dialog.startUp(QString());

        QVERIFY(pressAccessible(dialog.infoButton));
        QVERIFY(dialog.infoWindow);
        QVERIFY(dialog.infoWindow->isVisible());
        QVERIFY(!dialog.isEnabled());
        QVERIFY(pressAccessible(dialog.okButton));  // behind the info window: nothing
        QVERIFY(!dialog.hasEnded());
        QVERIFY(pressAccessible(dialog.infoWindow->okButton));
        QVERIFY(!dialog.infoWindow);
        QVERIFY(dialog.isEnabled());

        QVERIFY(pressAccessible(dialog.fileAssociationButton));
        FileAssociationWindow* association = dialog.fileAssociationWindow;
        QVERIFY(association && association->isVisible());
        QVERIFY(pressAccessible(association->defaultButton));
        QCOMPARE(association->chosenTypesList->count(), FileAssociation::defaultExtensions().size());
        QVERIFY(pressAccessible(association->infoButton));
        QCOMPARE(dialog.infoWindow->text(), FileAssociationWindow::infoText());
        QVERIFY(pressAccessible(dialog.infoWindow->okButton));
        QVERIFY(pressAccessible(association->cancelButton));
        QVERIFY(!dialog.fileAssociationWindow);
        QVERIFY(dialog.isEnabled());

        // A box toggled through its own action counts as the user's change.
        QVERIFY(doAccessibleAction(dialog.optionBoxes()[3], QAccessibleActionInterface::toggleAction()));
        QVERIFY(dialog.optionBoxes()[3]->isChecked());
        QVERIFY(pressAccessible(dialog.okButton));
        QVERIFY(dialog.hasEnded());
        QCOMPARE(storedOptions(), (QStringList{"1", "1", "1", "1", "2", "2"}));
    }

    // Tab visits every control of each window in the order they are laid
    // out and comes back round; Shift+Tab the other way.
    void tabReachesEveryControl()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QVERIFY(activateForKeys(&dialog));
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
        QCOMPARE(FocusRing::target(), boxes.first());

        QTest::keyClick(boxes.first(), Qt::Key_Space);  // the box's own key
        QVERIFY(!boxes.first()->isChecked());

        dialog.openFileAssociation();
        FileAssociationWindow& association = *dialog.fileAssociationWindow;
        QVERIFY(activateForKeys(&association));
        QCOMPARE(QApplication::focusWidget(), association.availableTypesList);
        QCOMPARE(tabRound(), (QList<QWidget*>{association.chosenTypesList, association.okButton,
                                              association.cancelButton, association.defaultButton,
                                              association.infoButton, association.availableTypesList}));
        association.unload();

        dialog.openInfo();
        InfoWindow& info = *dialog.infoWindow;
        QVERIFY(activateForKeys(&info));
        QCOMPARE(QApplication::focusWidget(), info.textView);
        QCOMPARE(tabRound(), (QList<QWidget*>{info.okButton, info.textView}));
    }

    // Space and Return press the focused label button; Escape is Cancel in
    // each window, and in the dialog it ends the program unsaved.
    void keysPressAndEscapeCancels()
    {
        OptionDialog dialog;
        dialog.startUp(QString());
        QVERIFY(activateForKeys(&dialog));
        QTest::mouseClick(dialog.optionBoxes()[4], Qt::LeftButton);  // something to save

        dialog.infoButton->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.infoButton, Qt::Key_Space);
        QVERIFY(dialog.infoWindow);
        QTest::keyClick(dialog.infoWindow->textView, Qt::Key_Escape);
        QVERIFY(!dialog.infoWindow);
        QVERIFY(dialog.isEnabled());

        QVERIFY(activateForKeys(&dialog));
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
        QCOMPARE(storedOptions(), kDefaultOptions);
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
