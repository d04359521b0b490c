// The Option dialog: start modes, what the confirm action writes, the close
// signal through "activeoption.inf", the question after an update, Alt+F4,
// and the windows it opens. The dialog runs in this process; the player is a
// stand-in that records the words it was started with.

#include "option/file_association_window.h"
#include "option/file_association.h"
#include "option/info_window.h"
#include "option/option_dialog.h"
#include "skin/label_button.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/settings_store.h"
#include "tests/option/stored_options.h"
#include "tests/support/test_env.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

using namespace qpt;
using namespace qpt::option;
using namespace qpt::test;

namespace {




QList<bool> states(const OptionDialog& dialog)
{
    QList<bool> result;
    for (QCheckBox* box : dialog.optionBoxes())
        result << box->isChecked();
    return result;
}

const QList<bool> kInitial{true, true, true, false, false, false};

bool onTop(const QWidget* window)
{
    return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

// The player stand-in has run with these command lines.
QStringList playerCalls(const TestEnv& env)
{
    return env.standInCalls(QLatin1String(programs::Player));
}

bool waitForPlayer(const TestEnv& env)
{
    return qpt::test::waitUntil([&] { return !playerCalls(env).isEmpty(); });
}

// Gives the stand-in a moment to have run, had it been started.
void settle()
{
    QTest::qWait(300);
}

}  // namespace

class TestOptionDialog : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY(m_env->installStandIn(QLatin1String(programs::Player)));
    }
    void cleanup() { m_env.reset(); }

    // Normal start: boxes follow the stored numbers (only 1 is on), the
    // markers and the version key are written, and a load that changed a
    // box leaves all six to be written even though the user did nothing.
    void normalStartLoadsAndWritesBackChangedState()
    {
        storeOptions({"1", "2", "0", "1", "2", "3"});
        OptionDialog dialog;
        dialog.startUp(QString());
        QVERIFY(!dialog.hasEnded());
        QVERIFY(dialog.isVisible());
        QVERIFY(onTop(&dialog));
        QCOMPARE(states(dialog), (QList<bool>{true, false, false, true, false, false}));
        QCOMPARE(TestEnv::readFile(OptionDialog::markerPath()), QByteArray("Option Active...\r\n"));
        QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));
        QVERIFY(dialog.markerCheckTimer.isArmed());

        dialog.okButton->click();
        QVERIFY(dialog.hasEnded());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(storedOptions(), (QStringList{"1", "2", "2", "1", "2", "2"}));
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
    }

    // Values that convert to the initial states but are not written the way
    // the dialog writes them: untouched OK and Cancel leave them as they
    // are; a box toggled twice still makes OK write all six.
    void writesOnlyWhatWasTouched()
    {
        const QStringList unusual{"1.0", " 1", "1e0", "2.0", " 2", "2e0"};
        storeOptions(unusual);
        {
            OptionDialog dialog;
            dialog.startUp(QString());
            QCOMPARE(states(dialog), kInitial);
            dialog.okButton->click();
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), unusual);
        }
        {
            OptionDialog dialog;
            dialog.startUp(QString());
            QTest::mouseClick(dialog.optionBox(keys::OSOT), Qt::LeftButton);
            QVERIFY(dialog.optionBox(keys::OSOT)->isChecked());
            dialog.cancelButton->click();
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), unusual);
        }
        {
            OptionDialog dialog;
            dialog.startUp(QString());
            QTest::mouseClick(dialog.optionBox(keys::TransPlayList), Qt::LeftButton);
            QTest::mouseClick(dialog.optionBox(keys::TransPlayList), Qt::LeftButton);
            QCOMPARE(states(dialog), kInitial);
            dialog.okButton->click();
            QCOMPARE(storedOptions(), kDefaultOptions);
        }
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
    }

    // A missing key or a non-numeric text asks the question; no box is
    // changed by a load that fails half-way.
    void questionAfterUpdate_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("answer");
        QTest::newRow("missing OSOT, No") << QStringList{"2", "2", "2", "1", "1"} << "No";
        QTest::newRow("\"yes\", No") << QStringList{"2", "2", "yes", "1", "1", "1"} << "No";
        QTest::newRow("empty store, Yes") << QStringList{} << "Yes";
        QTest::newRow("empty text, Yes") << QStringList{"2", "", "2", "1", "1", "1"} << "Yes";
    }
    void questionAfterUpdate()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, answer);
        storeOptions(values);
        Dialogs::scriptAnswers({answer});
        OptionDialog dialog;
        dialog.startUp(QString());

        QCOMPARE(Dialogs::records().size(), 1);
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.title, QStringLiteral("Option System Updatet"));
        QCOMPARE(box.text, QStringLiteral("Your Option System have been updatet\r\n\r\nYou need to make a few "
                                          "options.\r\nPress YES if you wanna use Default options.\r\nPress NO "
                                          "if you wanna setup your own options.\r\n\r\nENJOY"));
        QCOMPARE(box.icon, QStringLiteral("information"));
        QCOMPARE(box.buttons, QStringLiteral("YesNo"));

        if (answer == QLatin1String("Yes")) {
            QVERIFY(dialog.hasEnded());
            QVERIFY(!dialog.isVisible());
        } else {
            // First-run mode: the boxes as they start, not topmost; OK or
            // Cancel saves them and starts the player.
            QVERIFY(dialog.isVisible());
            QVERIFY(!onTop(&dialog));
            QCOMPARE(states(dialog), kInitial);
            QCOMPARE(storedOptions(), values.mid(0, 6) + QStringList(6 - qMin(6, int(values.size())), QString()));
            dialog.cancelButton->click();
            QVERIFY(dialog.hasEnded());
        }
        QCOMPARE(storedOptions(), kDefaultOptions);
        QVERIFY(waitForPlayer(*m_env));
        QCOMPARE(playerCalls(*m_env), QStringList{"fto"});
    }

    // The modes the player and the Online System start the program in.
    void startModes()
    {
        {
            OptionDialog dialog;
            dialog.startUp(QStringLiteral("firsttimedefault"));
            QVERIFY(dialog.hasEnded());
            QVERIFY(!dialog.isVisible());
            QCOMPARE(storedOptions(), kDefaultOptions);
            QVERIFY(waitForPlayer(*m_env));
            QCOMPARE(playerCalls(*m_env), QStringList{"fto"});
        }
        QFile::remove(m_env->app(QStringLiteral("Quorbel Player Tirk.exe.args")));
        {
            // After an update the user's choices give way to the defaults,
            // and the player is not started.
            storeOptions({"2", "2", "2", "1", "1", "1"});
            SettingsStore::write("Option", "v0.90");
            OptionDialog dialog;
            dialog.startUp(QStringLiteral("updatet"));
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), kDefaultOptions);
            QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));
        }
        {
            // The words are compared whole and case-sensitively.
            storeOptions({"2", "2", "2", "1", "1", "1"});
            OptionDialog dialog;
            dialog.startUp(QStringLiteral("UPDATET"));
            QVERIFY(!dialog.hasEnded());
            QCOMPARE(states(dialog), (QList<bool>{false, false, false, true, true, true}));
            dialog.unload();
        }
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
    }

    // Alt+F4 unloads without saving, even in first-run mode, from the
    // dialog or any of its boxes; the window manager's close does the same.
    void altF4EndsWithoutSaving()
    {
        {
            OptionDialog dialog;
            dialog.startUp(QStringLiteral("firsttime"));
            QVERIFY(dialog.isVisible());
            QVERIFY(!onTop(&dialog));
            dialog.optionBox(keys::FadeOutCD)->setFocus();
            QTest::keyClick(dialog.optionBox(keys::FadeOutCD), Qt::Key_F4, Qt::AltModifier);
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), QStringList(6, QString()));
        }
        {
            storeOptions(kDefaultOptions);
            OptionDialog dialog;
            dialog.startUp(QString());
            QTest::mouseClick(dialog.optionBox(keys::AutoFileAss), Qt::LeftButton);
            QTest::keyClick(dialog.optionBox(keys::AutoFileAss), Qt::Key_F4, Qt::ShiftModifier | Qt::AltModifier);
            QVERIFY(!dialog.hasEnded());
            dialog.close();
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), kDefaultOptions);
        }
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
    }

    // Deleting "activeoption.inf" closes the dialog on the next 600 ms
    // tick, saving only what was touched; in first-run mode it saves and
    // starts the player; with the file-association window open nothing is
    // registered.
    void closeSignal()
    {
        storeOptions(kDefaultOptions);
        {
            OptionDialog dialog;
            dialog.startUp(QString());
            dialog.markerCheckTimer.tick();
            QVERIFY(!dialog.hasEnded());
            QTest::mouseClick(dialog.optionBox(keys::MinimizeSeparate), Qt::LeftButton);
            QFile::remove(OptionDialog::markerPath());
            dialog.markerCheckTimer.tick();
            QVERIFY(dialog.hasEnded());
            QCOMPARE(storedOptions(), (QStringList{"1", "1", "1", "1", "2", "2"}));
            QVERIFY(!dialog.markerCheckTimer.isArmed());
        }
        {
            OptionDialog dialog;
            dialog.startUp(QString());
            dialog.fileAssociationButton->click();
            QVERIFY(dialog.fileAssociationWindow);
            dialog.fileAssociationWindow->useDefault();
            QFile::remove(OptionDialog::markerPath());
            dialog.markerCheckTimer.tick();
            QVERIFY(dialog.hasEnded());
            QVERIFY(!dialog.fileAssociationWindow->isVisible());
            QVERIFY(!QFile::exists(FileAssociation::desktopEntryPath()));
        }
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
        {
            OptionDialog dialog;
            dialog.startUp(QStringLiteral("firsttime"));
            QFile::remove(OptionDialog::markerPath());
            dialog.markerCheckTimer.tick();
            QVERIFY(dialog.hasEnded());
            QVERIFY(waitForPlayer(*m_env));
            QCOMPARE(playerCalls(*m_env), QStringList{"fto"});
        }
    }

    // The dialog takes no input while the file-association or information
    // window is open, and takes it again (topmost) when they close; the
    // information window closed from the file-association window leaves
    // both the association window and an enabled dialog.
    void windowsDisableTheDialog()
    {
        storeOptions(kDefaultOptions);
        OptionDialog dialog;
        dialog.startUp(QString());

        dialog.fileAssociationButton->click();
        QPointer<FileAssociationWindow> fileAss = dialog.fileAssociationWindow;
        QVERIFY(fileAss && fileAss->isVisible());
        QVERIFY(onTop(fileAss));
        QVERIFY(!onTop(&dialog));
        QVERIFY(!dialog.isEnabled());
        QVERIFY(!dialog.okButton->isEnabled());
        dialog.close();  // a close from outside waits for the window in front
        QVERIFY(!dialog.hasEnded());

        fileAss->infoButton->click();
        QPointer<InfoWindow> info = dialog.infoWindow;
        QVERIFY(info && info->isVisible());
        QVERIFY(onTop(info));
        QCOMPARE(info->text(), FileAssociationWindow::infoText());
        info->okButton->click();
        QVERIFY(!info->isVisible());
        QVERIFY(dialog.isEnabled());
        QVERIFY(onTop(&dialog));
        QVERIFY(fileAss->isVisible());

        // Alt+F4 in a list unloads the association window.
        QTest::keyClick(fileAss->availableTypesList, Qt::Key_F4, Qt::AltModifier);
        QTRY_VERIFY(!fileAss);
        QVERIFY(dialog.isEnabled());

        // Opened again from the dialog: the built-in text, a new window.
        dialog.infoButton->click();
        QVERIFY(dialog.infoWindow && dialog.infoWindow != info);
        QCOMPARE(dialog.infoWindow->text(), InfoWindow::builtInText());
        QVERIFY(!dialog.isEnabled());
        QTest::keyClick(dialog.infoWindow->textView, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(dialog.isEnabled());
        QVERIFY(!dialog.infoWindow);
        QVERIFY(!dialog.hasEnded());
    }

    // The marker is written without following a link planted at its name;
    // a marker that cannot be written at all (here a folder holds its name,
    // as good as a folder the user cannot write) is said once, and then
    // nothing watches for it: the dialog neither asks the question of an
    // update nor saves and starts a player by itself.
    void markerInTheApplicationFolder()
    {
        storeOptions({"2", "1", "1", "2", "2", "1"});
        {
            const QString target = m_env->root() + QStringLiteral("/planted-target");
            QVERIFY(QFile::link(target, OptionDialog::markerPath()));
            OptionDialog dialog;
            dialog.startUp(QString());
            QVERIFY(!QFileInfo::exists(target));
            QVERIFY(!QFileInfo(OptionDialog::markerPath()).isSymLink());
            QCOMPARE(TestEnv::readFile(OptionDialog::markerPath()), QByteArray("Option Active...\r\n"));
            QVERIFY(Dialogs::records().isEmpty());
            dialog.unload();
        }
        QFile::remove(OptionDialog::markerPath());
        QVERIFY(QDir().mkpath(OptionDialog::markerPath()));
        Dialogs::scriptAnswers({"OK", "No"});
        OptionDialog dialog;
        dialog.startUp(QString());
        QCOMPARE(Dialogs::records().size(), 1);
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.title, QStringLiteral("Quorbel Player Tirk Option"));
        QCOMPARE(box.text, OptionDialog::folderNotWritableText(AppFolder::path()));
        QVERIFY(box.text.contains(AppFolder::path()));
        QCOMPARE(box.icon, QStringLiteral("exclamation"));
        QVERIFY(!dialog.hasEnded());
        QVERIFY(dialog.isVisible());
        QCOMPARE(states(dialog), (QList<bool>{false, true, true, false, false, true}));
        QVERIFY(!dialog.markerCheckTimer.isArmed());
        dialog.markerCheckTimer.tick();
        QVERIFY(!dialog.hasEnded());
        QCOMPARE(storedOptions(), (QStringList{"2", "1", "1", "2", "2", "1"}));
        QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));
        // The user's own OK still saves.
        QTest::mouseClick(dialog.optionBox(keys::MinimizeSeparate), Qt::LeftButton);
        dialog.okButton->click();
        QVERIFY(dialog.hasEnded());
        QCOMPARE(storedOptions(), (QStringList{"2", "1", "1", "1", "2", "1"}));
        QCOMPARE(Dialogs::records().size(), 1);
        settle();
        QVERIFY(playerCalls(*m_env).isEmpty());
    }

    // The information text: spaces kept, and its closing paragraph names
    // the file that really holds the options.
    void informationText()
    {
        const QStringList lines = InfoWindow::builtInText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.first(), QStringLiteral(" Info About Quorbel Player Tirk Option v1.0"));
        QCOMPARE(lines[2], QStringLiteral(" Auto FileAssociate: This function will Auto "));
        QCOMPARE(lines[14], QStringLiteral(" Fade Out When Closing Down:  If this "));
        QCOMPARE(lines.mid(lines.size() - 6),
                 (QStringList{" All options are saved in the Registry ", " Database under:  ",
                              " " + SettingsStore::filePath() + " ", " in the group [Option] ", " ", ""}));
        QVERIFY(SettingsStore::filePath().startsWith(m_env->configDir()));
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_MAIN(TestOptionDialog)
#include "test_option_dialog.moc"
