// "Quorbel Tirk Executer.exe": the batch file it hands to the player, and
// the program itself as the desktop starts it, with and without a running
// player (a stand-in that records how it was started).

#include "tools/executer/hand_over.h"

#include "common/app_folder.h"
#include "common/music_files.h"
#include "common/single_instance.h"
#include "tests/support/test_env.h"
#include "tests/support/unwritable_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

using namespace qpt;
using namespace qpt::executer;
using qpt::test::TestEnv;
using qpt::test::UnwritableFolder;

namespace {

const QString kExecuter = QStringLiteral("Quorbel Tirk Executer.exe");
const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");

QStringList batchFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.sng")}, QDir::Files, QDir::Name);
}

QStringList otherFiles(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    names.removeAll(kExecuter);
    names.removeAll(kPlayer);
    for (const QString& batch : batchFiles(folder))
        names.removeAll(batch);
    return names;
}

// Runs the executer as the desktop does and waits for it.
int runExecuter(const TestEnv& env, const QStringList& files)
{
    QProcess process;
    process.setProcessEnvironment(env.processEnvironment());
    process.setWorkingDirectory(env.root());
    process.start(env.app(kExecuter), files);
    if (!process.waitForFinished(30000))
        return -1;
    return process.exitCode();
}

}  // namespace

class TestOptionExecuter : public QObject {
    Q_OBJECT
private slots:
    // A playlist file's lines go over as they stand (any line end); any
    // other file goes over as its absolute path.
    void batchLines()
    {
        TestEnv env;
        const QString list = env.root() + "/Mix.VYX";
        QVERIFY(TestEnv::writeFile(list, "/m/a.mp3\r\n/m/b.wav\r/m/c d.mid\n\n/m/e.wma\r\n"));
        QCOMPARE(batchLinesFor(QFile::encodeName(list)),
                 (QList<QByteArray>{"/m/a.mp3", "/m/b.wav", "/m/c d.mid", "", "/m/e.wma"}));
        QCOMPARE(batchLinesFor(QFile::encodeName(env.root() + "/song.mp3")), QList<QByteArray>{QFile::encodeName(env.root() + "/song.mp3")});
        QVERIFY(QDir::setCurrent(env.root()));
        QCOMPARE(batchLinesFor("sub/../Tune.MP3"), QList<QByteArray>{QFile::encodeName(env.root() + "/Tune.MP3")});
        QVERIFY(batchLinesFor(QFile::encodeName(env.root() + "/missing.vyx")).isEmpty());
    }

    // The batch file appears under a ".sng" name only when complete, and
    // never takes the place of a batch file that is still waiting.
    void batchFileAppearsWhole()
    {
        TestEnv env;
        const QString folder = env.appDir();
        QVERIFY(TestEnv::writeFile(folder + "/waiting.sng", "/x/old.mp3\r\n"));

        QString clash;
        const QString written = writeBatchFile(folder, {"/m/a.mp3", "/m/b c.mp3"}, [&](const QString& temporary) {
            QVERIFY(!temporary.endsWith(".sng"));
            QCOMPARE(batchFiles(folder), QStringList{"waiting.sng"});
            QCOMPARE(TestEnv::readFile(temporary), QByteArray("/m/a.mp3\r\n/m/b c.mp3\r\n"));
            // Another batch file takes the name this one would get.
            clash = folder + '/' + QFileInfo(temporary).completeBaseName() + ".sng";
            QVERIFY(TestEnv::writeFile(clash, "/x/other.mp3\r\n"));
        });
        QVERIFY(!written.isEmpty());
        QVERIFY(written != clash);
        QVERIFY(written.endsWith(".sng"));
        QCOMPARE(TestEnv::readFile(written), QByteArray("/m/a.mp3\r\n/m/b c.mp3\r\n"));
        QCOMPARE(TestEnv::readFile(clash), QByteArray("/x/other.mp3\r\n"));
        QCOMPARE(TestEnv::readFile(folder + "/waiting.sng"), QByteArray("/x/old.mp3\r\n"));
        QCOMPARE(batchFiles(folder).size(), 3);
        QCOMPARE(otherFiles(folder), QStringList());
    }

    // With a player running, every file of one opening arrives in one batch
    // file, in order, and the player is not started again.
    void handsFilesToARunningPlayer()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kExecuter));
        QVERIFY(env.installStandIn(kPlayer));
        QVERIFY(!SingleInstance::anotherIsRunning(kPlayer));  // this process plays the running player

        const QString list = env.root() + "/list.vyx";
        QVERIFY(TestEnv::writeFile(list, "/m/1.mp3\n/m/2.mp3\n"));
        QVERIFY(TestEnv::writeFile(env.root() + "/song.mp3", "x"));
        QCOMPARE(runExecuter(env, {"song.mp3", list, "/m/3 three.wma"}), 0);

        const QStringList batches = batchFiles(env.appDir());
        QCOMPARE(batches.size(), 1);
        QCOMPARE(TestEnv::readFile(env.app(batches.first())),
                 QFile::encodeName(env.root() + "/song.mp3") + "\r\n/m/1.mp3\r\n/m/2.mp3\r\n/m/3 three.wma\r\n");
        QCOMPARE(otherFiles(env.appDir()), QStringList());
        QTest::qWait(300);
        QVERIFY(env.standInCalls(kPlayer).isEmpty());

        // Several openings at once: nothing is lost.
        QList<QProcess*> runs;
        for (int i = 0; i < 6; ++i) {
            auto* process = new QProcess(this);
            process->setProcessEnvironment(env.processEnvironment());
            process->start(env.app(kExecuter), {QStringLiteral("/m/parallel%1.mp3").arg(i)});
            runs << process;
        }
        for (QProcess* process : runs) {
            QVERIFY(process->waitForFinished(30000));
            QCOMPARE(process->exitCode(), 0);
            delete process;
        }
        QByteArray all;
        for (const QString& batch : batchFiles(env.appDir()))
            all += TestEnv::readFile(env.app(batch));
        for (int i = 0; i < 6; ++i)
            QVERIFY(all.contains(QStringLiteral("/m/parallel%1.mp3\r\n").arg(i).toUtf8()));
        QCOMPARE(batchFiles(env.appDir()).size(), 7);

        // A name that is not UTF-8, as the desktop hands it over: its exact
        // bytes reach the batch file.
        QProcess shell;
        shell.setProcessEnvironment(env.processEnvironment());
        shell.setWorkingDirectory(env.root());
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf 'caf\\351.mp3')\""), env.app(kExecuter)});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 0);
        all.clear();
        for (const QString& batch : batchFiles(env.appDir()))
            all += TestEnv::readFile(env.app(batch));
        QVERIFY(all.contains(QFile::encodeName(env.root()) + "/caf\xe9.mp3\r\n"));
    }

    // A name with a line break is left out whole, with one message naming
    // it: today's batch would have made two entries of its pieces. The
    // other files of the same opening still go over.
    void lineBreakNameIsRefusedWhole()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kExecuter));
        QVERIFY(env.installStandIn(kPlayer));
        QProcessEnvironment environment = env.processEnvironment();
        environment.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QStringLiteral("OK"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(env.app(kExecuter), {QStringLiteral("/m/name\n.wav"), QStringLiteral("/m/fine.mp3")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QStringList batches = batchFiles(env.appDir());
        QCOMPARE(batches.size(), 1);
        QCOMPARE(TestEnv::readFile(env.app(batches.first())), QByteArray("/m/fine.mp3\r\n"));
        QCOMPARE(env.dialogTitles(), QStringList{QStringLiteral("File Not Added")});
    }

    // An application folder the user cannot write: one clear message naming
    // it, instead of a line on a terminal nobody sees.
    void unwritableFolderIsNamed()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kExecuter));
        QVERIFY(env.installStandIn(kPlayer));
        UnwritableFolder folder(env);
        if (!folder.unavailable().isEmpty())
            QSKIP(qPrintable(folder.unavailable()));
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("QPT_DIALOG_ANSWERS"), QStringLiteral("OK"));
        const auto run = folder.start(kExecuter, {QStringLiteral("/m/song.mp3")}, extra);
        QVERIFY(run->waitForFinished(30000));
        QCOMPARE(run->exitCode(), 1);
        QCOMPARE(env.dialogTitles(), QStringList{QStringLiteral("Folder Not Writable")});
        QVERIFY(TestEnv::readFile(env.dialogLog()).contains(env.appDir().toUtf8()));
        QCOMPARE(batchFiles(env.appDir()), QStringList());
    }

    // No player running: the file is queued and the player started (with
    // no word), from the executer's folder. Without files the executer only
    // starts the player.
    void startsThePlayerWhenNoneRuns()
    {
        TestEnv env;
        QVERIFY(env.installProgram(kExecuter));
        QVERIFY(env.installStandIn(kPlayer));
        QCOMPARE(runExecuter(env, {"/m/song.mp3"}), 0);
        QCOMPARE(batchFiles(env.appDir()).size(), 1);
        QVERIFY(qpt::test::waitUntil([&] { return !env.standInCalls(kPlayer).isEmpty(); }));
        QCOMPARE(env.standInCalls(kPlayer), QStringList{""});

        QCOMPARE(runExecuter(env, {}), 0);
        QVERIFY(qpt::test::waitUntil([&] { return env.standInCalls(kPlayer).size() == 2; }));
        QCOMPARE(batchFiles(env.appDir()).size(), 1);
    }

    // The menu entry of the README's install notes: valid, and it starts
    // the player through the executer.
    void menuEntryStartsThePlayer()
    {
        if (QStandardPaths::findExecutable("gio").isEmpty())
            QSKIP("gio is not installed");
        TestEnv env;
        QVERIFY(env.installProgram(kExecuter));
        QVERIFY(env.installStandIn(kPlayer));
        QProcess install;
        install.setProcessEnvironment(env.processEnvironment());
        install.start(QStringLiteral(QPT_SOURCE_DIR "/tools/executer/install-desktop-entry"), {env.appDir()});
        QVERIFY(install.waitForFinished(30000));
        QCOMPARE(install.exitCode(), 0);
        const QString entry = env.dataDir() + "/applications/quorbel-player-tirk.desktop";
        if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
            QCOMPARE(QProcess::execute("desktop-file-validate", {entry}), 0);
        // "Open With" offers the player for every song type the desktop knows.
        const QString text = QString::fromUtf8(TestEnv::readFile(entry));
        const QStringList listed = text.section(QStringLiteral("MimeType="), 1).section(QLatin1Char('\n'), 0, 0)
                                       .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QByteArray& extension : music::songExtensions()) {
            const QStringList types = music::mimeTypesFor(QString::fromLatin1(extension));
            if (types.size() == 1 && music::isOwnMimeType(types[0]))
                continue;  // only the Option program's own types name it
            const bool offered =
                std::any_of(types.begin(), types.end(), [&](const QString& type) { return listed.contains(type); });
            QVERIFY2(offered, extension.constData());
        }
        // The desktop offers the player when an audio CD is put in.
        QVERIFY(listed.contains(QStringLiteral("x-content/audio-cdda")));
        // ... and for cue sheets, which the player reads into their tracks.
        QVERIFY(listed.contains(QStringLiteral("application/x-cue")));

        QProcess launch;
        launch.setProcessEnvironment(env.processEnvironment());
        launch.start("gio", {"launch", entry, "/m/from the menu.flac"});
        QVERIFY(launch.waitForFinished(30000));
        QVERIFY(qpt::test::waitUntil([&] { return !env.standInCalls(kPlayer).isEmpty(); }));
        QCOMPARE(env.standInCalls(kPlayer), QStringList{""});
        QCOMPARE(TestEnv::readFile(env.app(batchFiles(env.appDir()).value(0))), QByteArray("/m/from the menu.flac\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestOptionExecuter)
#include "test_option_executer.moc"
