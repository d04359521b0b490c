// The shared layer's boxes as automated runs see them: answered from a
// script, logged, and never left waiting for a person.

#include "common/dialogs.h"
#include "tests/support/test_env.h"

#include <QTest>

using namespace qpt;
using qpt::test::TestEnv;

class TestScriptedDialogs : public QObject {
    Q_OBJECT
private slots:
    void scriptedDialogsAreLogged()
    {
        TestEnv env;
        Dialogs::scriptAnswers({QStringLiteral("No")});
        QCOMPARE(Dialogs::message(QStringLiteral("T"), QStringLiteral("a\r\nb"), MsgIcon::Information,
                                  MsgButtons::YesNo),
                 MsgAnswer::No);
        // Exhausted: the first button, never a blocking dialog.
        QCOMPARE(Dialogs::message(QStringLiteral("U"), QString(), MsgIcon::None, MsgButtons::RetryCancel),
                 MsgAnswer::Retry);
        QCOMPARE(env.dialogTitles(), (QStringList{QStringLiteral("T"), QStringLiteral("U")}));
        QVERIFY(TestEnv::readFile(env.dialogLog()).contains("\"text\":\"a\\r\\nb\""));
        QCOMPARE(Dialogs::filterGroups(QStringLiteral("Quorbel PlayList|*.VYX|All Files|*.*")),
                 (QStringList{QStringLiteral("Quorbel PlayList (*.VYX)"), QStringLiteral("All Files (*.*)")}));
    }

    // The window half of the test support empties the script and the
    // records in every new world: answers left over from one test never
    // answer the next one's boxes.
    void everyWorldStartsWithoutBoxes()
    {
        {
            TestEnv first;
            Dialogs::scriptAnswers({QStringLiteral("No"), QStringLiteral("No")});
            QCOMPARE(Dialogs::message(QStringLiteral("A"), QString(), MsgIcon::Question, MsgButtons::YesNo),
                     MsgAnswer::No);
            QCOMPARE(Dialogs::records().size(), 1);
        }
        TestEnv second;
        QVERIFY(Dialogs::records().isEmpty());
        QCOMPARE(Dialogs::message(QStringLiteral("B"), QString(), MsgIcon::Question, MsgButtons::YesNo),
                 MsgAnswer::Yes);
        QCOMPARE(second.dialogTitles(), QStringList{QStringLiteral("B")});
    }
};

QTEST_MAIN(TestScriptedDialogs)
#include "test_scripted_dialogs.moc"
