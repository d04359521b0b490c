// "option.dat" as a real process in a temporary application folder: the
// first-run hand-over to the player (a stand-in that records its words),
// the single-instance rule, the close signal, and the question answered
// through QPT_DIALOG_ANSWERS.

#include "option/file_association.h"

#include "common/settings_store.h"
#include "tests/support/unwritable_folder.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <memory>

using namespace qpt;
using qpt::test::TestEnv;

namespace {

const QString kOption = QStringLiteral("option.dat");
const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");
const QStringList kKeys{"AutoFileAss", "TransPlayList", "FadeOutCD", "MinimizeSeparate", "AutosavePlayList", "OSOT"};

QStringList stored()
{
    QStringList values;
    for (const QString& key : kKeys)
        values << SettingsStore::read(key);
    return values;
}

std::unique_ptr<QProcess> startOption(const TestEnv& env, const QStringList& words,
                                      const QString& answers = QString())
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = env.processEnvironment();
    if (!answers.isNull())
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), answers);
    process->setProcessEnvironment(environment);
    process->start(env.app(kOption), words);
    return process;
}

bool finishes(QProcess& process)
{
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

QStringList loggedTitles(const TestEnv& env)
{
    return env.dialogTitles();
}

}  // namespace

class TestOptionPrograms : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY(m_env->installProgram(kOption));
        QVERIFY(m_env->installStandIn(kPlayer));
    }
    void cleanup() { m_env.reset(); }

    // "firsttimedefault": the defaults saved, the player started with "fto",
    // no window, no box.
    void firstTimeDefaultHandsOverToThePlayer()
    {
        auto option = startOption(*m_env, {"firsttimedefault"});
        QVERIFY(finishes(*option));
        QCOMPARE(stored(), (QStringList{"1", "1", "1", "2", "2", "2"}));
        QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));
        QVERIFY(qpt::test::waitUntil([&] { return !m_env->standInCalls(kPlayer).isEmpty(); }));
        QCOMPARE(m_env->standInCalls(kPlayer), QStringList{"fto"});
        QVERIFY(loggedTitles(*m_env).isEmpty());
        QCOMPARE(TestEnv::readFile(m_env->app("activeoption.inf")), QByteArray("Option Active...\r\n"));
    }

    // "firsttime": the dialog waits; when the player's exit deletes the
    // marker, the initial states are saved and the player started.
    void firstTimeSavesWhenTheMarkerGoes()
    {
        auto option = startOption(*m_env, {"firsttime"});
        QVERIFY(qpt::test::waitUntil([&] { return QFile::exists(m_env->app("activeoption.inf")); }, 30000));
        QVERIFY(!option->waitForFinished(700));
        QVERIFY(QFile::remove(m_env->app("activeoption.inf")));
        QVERIFY(finishes(*option));
        QCOMPARE(stored(), (QStringList{"1", "1", "1", "2", "2", "2"}));
        QVERIFY(qpt::test::waitUntil([&] { return !m_env->standInCalls(kPlayer).isEmpty(); }));
        QCOMPARE(m_env->standInCalls(kPlayer), QStringList{"fto"});
    }

    // A normal start with an empty store asks the question; "Yes" saves the
    // defaults and starts the player.
    void questionAnsweredYes()
    {
        auto option = startOption(*m_env, {}, QStringLiteral("Yes"));
        QVERIFY(finishes(*option));
        QCOMPARE(loggedTitles(*m_env), QStringList{"Option System Updatet"});
        QCOMPARE(stored(), (QStringList{"1", "1", "1", "2", "2", "2"}));
        QVERIFY(qpt::test::waitUntil([&] { return !m_env->standInCalls(kPlayer).isEmpty(); }));
        QCOMPARE(m_env->standInCalls(kPlayer), QStringList{"fto"});
    }

    // While a dialog is open a second normal start ends silently, but a
    // hidden "autofileass" start runs and registers; the dialog then closes
    // when its marker is deleted, writing nothing it was not asked to.
    void oneDialogAtATime()
    {
        const QStringList values{"1.0", "1", "1", "2", "2", "2"};
        for (int i = 0; i < kKeys.size(); ++i)
            SettingsStore::write(kKeys[i], values[i]);
        auto first = startOption(*m_env, {});
        QVERIFY(qpt::test::waitUntil([&] { return QFile::exists(m_env->app("activeoption.inf")); }, 30000));

        for (const QStringList& words : {QStringList{}, QStringList{"firsttimedefault"}, QStringList{"AUTOFILEASS"}}) {
            auto second = startOption(*m_env, words);
            QVERIFY(finishes(*second));
        }
        QCOMPARE(stored(), values);
        QVERIFY(m_env->standInCalls(kPlayer).isEmpty());
        QVERIFY(!QFile::exists(option::FileAssociation::desktopEntryPath()));

        auto hidden = startOption(*m_env, {"autofileass"});
        QVERIFY(finishes(*hidden));
        QVERIFY(QFile::exists(option::FileAssociation::desktopEntryPath()));
        QVERIFY(loggedTitles(*m_env).isEmpty());
        QCOMPARE(first->state(), QProcess::Running);

        QVERIFY(QFile::remove(m_env->app("activeoption.inf")));
        QVERIFY(finishes(*first));
        QCOMPARE(stored(), values);
        QVERIFY(m_env->standInCalls(kPlayer).isEmpty());
    }

    // An application folder the user cannot write: the Option program says
    // so once and stays open; nothing watches the marker it could not
    // write, so it neither saves options nobody chose nor starts a player,
    // and it asks no question of an update.
    void folderThatCannotBeWritten()
    {
        const QStringList values{"2", "1", "1", "2", "2", "1"};
        for (int i = 0; i < kKeys.size(); ++i)
            SettingsStore::write(kKeys[i], values[i]);
        qpt::test::UnwritableFolder folder(*m_env);
        if (!folder.unavailable().isEmpty())
            QSKIP(qPrintable(folder.unavailable()));
        const QString calls = folder.writableFolder() + QStringLiteral("/player-calls");
        QVERIFY(TestEnv::writeFile(m_env->app(kPlayer), "#!/bin/sh\necho \"$*\" >> '" + calls.toLocal8Bit() + "'\n"));
        QVERIFY(qpt::test::UnwritableFolder::makeRunnable(m_env->app(kPlayer)));

        QProcessEnvironment answers;
        answers.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QStringLiteral("OK,No,No"));
        auto option = folder.start(kOption, {}, answers);
        QVERIFY(qpt::test::waitUntil([&] { return !loggedTitles(*m_env).isEmpty(); }, 30000));
        // Longer than two looks of the close signal.
        QTest::qWait(1500);
        QCOMPARE(option->state(), QProcess::Running);
        QCOMPARE(loggedTitles(*m_env), QStringList{"Quorbel Player Tirk Option"});
        const QJsonObject box = QJsonDocument::fromJson(TestEnv::readFile(m_env->dialogLog()).trimmed()).object();
        QVERIFY(box.value(QStringLiteral("text")).toString().contains(m_env->appDir()));
        QCOMPARE(stored(), values);
        QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));
        QVERIFY(!QFile::exists(calls));
        QVERIFY(!QFile::exists(m_env->app("activeoption.inf")));
        option->kill();
        QVERIFY(option->waitForFinished(10000));
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_GUILESS_MAIN(TestOptionPrograms)
#include "test_option_programs.moc"
