// The file-association window and the registration with the desktop, in a
// private XDG_DATA_HOME and XDG_CONFIG_HOME, checked with the desktop's own
// tools (xdg-mime, gio, desktop-file-validate).

#include "option/file_association_window.h"
#include "option/file_association.h"
#include "option/option_dialog.h"
#include "skin/label_button.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/settings_store.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace qpt;
using namespace qpt::option;
using qpt::test::TestEnv;

namespace {

QStringList items(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// Double-clicks the item with this text.
void doubleClick(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    const QRect area = list->visualItemRect(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, area.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, area.center());
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return QStringLiteral("<timeout>");
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString queryDefault(const QString& type)
{
    return run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
}

// The type the desktop (GIO, by the shared MIME database) gives a file.
QString contentType(const QString& path)
{
    const QString info = run(QStringLiteral("gio"), {QStringLiteral("info"),
                                                     QStringLiteral("--attributes=standard::content-type"), path});
    return info.section(QStringLiteral("standard::content-type: "), 1).trimmed();
}

bool haveTool(const char* name)
{
    return !QStandardPaths::findExecutable(QLatin1String(name)).isEmpty();
}

}  // namespace

class TestOptionFileAss : public QObject {
    Q_OBJECT
private slots:
    // Editing the association list with the mouse and the keyboard.
    void editingTheLists()
    {
        TestEnv env;
        FileAssociationWindow window;
        window.open();
        // The later formats and cue sheets are offered beside the eight,
        // and not chosen.
        QCOMPARE(items(window.availableTypesList), (QStringList{"cda", "vyx", "mid", "mp1", "mp2", "mp3", "wav", "wma",
                                                                "flac", "ogg", "oga", "opus", "m4a", "cue"}));
        QCOMPARE(items(window.chosenTypesList), QStringList{"vyx"});

        doubleClick(window.availableTypesList, "mp3");
        doubleClick(window.availableTypesList, "mp3");
        doubleClick(window.availableTypesList, "vyx");
        QCOMPARE(items(window.chosenTypesList), (QStringList{"vyx", "mp3"}));
        doubleClick(window.availableTypesList, "opus");
        QCOMPARE(items(window.chosenTypesList), (QStringList{"vyx", "mp3", "opus"}));
        doubleClick(window.chosenTypesList, "opus");
        // A refused duplicate leaves the window where it was, on top.
        QVERIFY(window.isVisible());
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        // The keyboard: Return adds and removes like a double-click.
        window.availableTypesList->setCurrentRow(0);
        QTest::keyClick(window.availableTypesList, Qt::Key_Return);
        QCOMPARE(items(window.chosenTypesList), (QStringList{"vyx", "mp3", "cda"}));
        window.chosenTypesList->setCurrentRow(1);
        QTest::keyClick(window.chosenTypesList, Qt::Key_Return);
        doubleClick(window.chosenTypesList, "vyx");
        QCOMPARE(items(window.chosenTypesList), QStringList{"cda"});

        window.defaultButton->click();
        QCOMPARE(items(window.chosenTypesList),
                 (QStringList{"mp1", "mp2", "mp3", "mid", "vyx", "wav", "wma", "cda"}));
        QVERIFY(Dialogs::records().isEmpty());
    }

    // "OK" with nothing to register says so and keeps the window; "OK" with
    // types registers them, consumes the list, reports and closes.
    void okRegistersAndConsumesTheList()
    {
        TestEnv env;
        Dialogs::scriptAnswers({"OK", "OK"});
        FileAssociationWindow window;
        window.open();
        bool unloaded = false;
        connect(&window, &FileAssociationWindow::unloaded, this, [&] { unloaded = true; });

        doubleClick(window.chosenTypesList, "vyx");
        window.okButton->click();
        QCOMPARE(Dialogs::records().size(), 1);
        QCOMPARE(Dialogs::records()[0].title, QStringLiteral("FASS Info"));
        QCOMPARE(Dialogs::records()[0].text, QStringLiteral("No File types Selected"));
        QCOMPARE(Dialogs::records()[0].icon, QStringLiteral("information"));
        QVERIFY(window.isVisible());
        QVERIFY(!unloaded);
        QVERIFY(!QFile::exists(FileAssociation::desktopEntryPath()));
        QVERIFY(!QFile::exists(FileAssociation::mimeAppsListPath()));

        // Another player that opens MP3 files too: the user's choice of ours
        // must win over it for every desktop tool, xdg-mime included.
        QVERIFY(QDir().mkpath(env.dataDir() + "/applications"));
        QVERIFY(TestEnv::writeFile(env.dataDir() + "/applications/0-player.desktop",
                                   "[Desktop Entry]\nType=Application\nName=A Player\nExec=true %F\n"
                                   "MimeType=audio/mpeg;\n"));

        doubleClick(window.availableTypesList, "mp3");
        doubleClick(window.availableTypesList, "vyx");
        window.okButton->click();
        QCOMPARE(Dialogs::records().size(), 2);
        QCOMPARE(Dialogs::records()[1].title, QStringLiteral("FASS Installed"));
        QCOMPARE(Dialogs::records()[1].text, QStringLiteral("File Association Installed"));
        QVERIFY(window.chosenTypesList->count() == 0);
        QVERIFY(unloaded);
        QVERIFY(!window.isVisible());
        QCOMPARE(queryDefault("audio/mpeg"), QStringLiteral("MyApp.Document.desktop"));
        // The later formats stay with whatever opened them before.
        for (const char* type : {"audio/flac", "audio/ogg", "audio/x-opus+ogg", "audio/mp4"})
            QVERIFY2(queryDefault(QLatin1String(type)) != QStringLiteral("MyApp.Document.desktop"), type);
        QCOMPARE(queryDefault(FileAssociation::mimeTypesFor("vyx").first()), QStringLiteral("MyApp.Document.desktop"));
        // Not chosen, not taken.
        QVERIFY(queryDefault("audio/midi") != QLatin1String("MyApp.Document.desktop"));
    }

    // A registration that cannot write everything says what it could not
    // write, and leaves the user's defaults alone: mimeapps.list points at
    // the entry only once the entry and the MIME package are in place.
    void failedRegistrationIsReported_data()
    {
        QTest::addColumn<QString>("blocked");  // what stands in the way
        QTest::newRow("desktop entry") << "applications";
        QTest::newRow("MIME package") << "mime";
        QTest::newRow("mimeapps.list unreadable") << "mimeapps.list";
    }
    void failedRegistrationIsReported()
    {
        QFETCH(QString, blocked);
        TestEnv env;
        const QByteArray mine = "[Default Applications]\naudio/mpeg=other.desktop;\ntext/html=browser.desktop;\n";
        QString unwritten;
        if (blocked == QLatin1String("mimeapps.list")) {
            // A folder where the list should be: it cannot be read, so it
            // must not be written either.
            QVERIFY(QDir().mkpath(FileAssociation::mimeAppsListPath()));
            unwritten = FileAssociation::mimeAppsListPath();
        } else {
            QVERIFY(TestEnv::writeFile(FileAssociation::mimeAppsListPath(), mine));
            // A file where a folder should be: nothing can be written below it.
            QVERIFY(TestEnv::writeFile(env.dataDir() + QLatin1Char('/') + blocked, "in the way"));
            unwritten = blocked == QLatin1String("applications") ? FileAssociation::desktopEntryPath()
                                                                 : FileAssociation::mimePackagePath();
        }
        Dialogs::scriptAnswers({"OK"});
        FileAssociationWindow window;
        window.open();
        bool unloaded = false;
        connect(&window, &FileAssociationWindow::unloaded, this, [&] { unloaded = true; });
        doubleClick(window.availableTypesList, "mp3");
        window.okButton->click();

        QCOMPARE(Dialogs::records().size(), 1);
        const DialogRecord& box = Dialogs::records().first();
        QCOMPARE(box.title, QStringLiteral("FASS Error"));
        QCOMPARE(box.icon, QStringLiteral("critical"));
        QVERIFY2(box.text.contains(unwritten), qPrintable(box.text));
        QVERIFY(box.text.startsWith(QStringLiteral("File Association Failed")));
        QVERIFY(unloaded);
        if (blocked != QLatin1String("mimeapps.list")) {
            QCOMPARE(TestEnv::readFile(FileAssociation::mimeAppsListPath()), mine);
        }
    }

    // The automatic mode: no window, no box; the eight default types are
    // registered and the program ends.
    void automaticMode()
    {
        TestEnv env;
        OptionDialog dialog;
        dialog.startUp(QStringLiteral("autofileass"));
        QVERIFY(!dialog.hasEnded());
        QVERIFY(dialog.fileAssociationWindow);
        QVERIFY(dialog.fileAssociationWindow->automaticTimer.isArmed());
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.fileAssociationWindow->isVisible());
        QVERIFY(QFile::exists(OptionDialog::markerPath()));
        QCOMPARE(SettingsStore::read("Option"), QStringLiteral("v1.00"));

        dialog.fileAssociationWindow->automaticTimer.tick();
        QVERIFY(dialog.hasEnded());
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
        QVERIFY(Dialogs::records().isEmpty());
        QVERIFY(TestEnv::readFile(env.dialogLog()).isEmpty());

        // Every default type now opens with the entry; the types the shared
        // database does not know got ours.
        QDir::root().mkpath(env.root() + "/files");
        for (const QString& extension : FileAssociation::defaultExtensions()) {
            const QStringList types = FileAssociation::mimeTypesFor(extension);
            QVERIFY(!types.isEmpty());
            for (const QString& type : types)
                QCOMPARE(queryDefault(type), QStringLiteral("MyApp.Document.desktop"));
        }
        QCOMPARE(queryDefault("audio/mpeg"), QStringLiteral("MyApp.Document.desktop"));
        // The later formats stay with whatever opened them before.
        for (const char* type : {"audio/flac", "audio/ogg", "audio/x-opus+ogg", "audio/mp4"})
            QVERIFY2(queryDefault(QLatin1String(type)) != QStringLiteral("MyApp.Document.desktop"), type);
        for (const QString extension : {"vyx", "mp1", "cda", "VYX"}) {
            const QString file = env.root() + "/files/sample." + extension;
            QVERIFY(TestEnv::writeFile(file, "x\r\n"));
            if (haveTool("update-mime-database") && haveTool("gio"))
                QCOMPARE(contentType(file), FileAssociation::ownMimeType(extension.toLower()));
        }
        // The player needs no second look: the hidden start ran once.
        QVERIFY(!dialog.fileAssociationWindow->isVisible());
    }

    // The desktop entry is valid and hands every opened file, whatever its
    // name, to the executer in the Option program's folder, whatever that
    // folder is called.
    void desktopEntryRunsTheExecuter_data()
    {
        QTest::addColumn<QString>("folderName");
        QTest::newRow("quotes, dollars, backslash, percent") << QStringLiteral("my \"music\" $HOME `x` \\ 100% (app)");
        QTest::newRow("equals sign") << QStringLiteral("key=value folder");
    }
    void desktopEntryRunsTheExecuter()
    {
        if (!haveTool("gio"))
            QSKIP("gio is not installed");
        QFETCH(QString, folderName);
        TestEnv env;
        const QString folder = env.root() + '/' + folderName;
        QVERIFY(QDir().mkpath(folder));
        AppFolder::overrideForTests(folder);
        const QString executer = folder + QStringLiteral("/Quorbel Tirk Executer.exe");
        const QString record = env.root() + QStringLiteral("/arguments.txt");
        QVERIFY(TestEnv::writeFile(executer, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '"
                                                 + record.toUtf8() + "'\n"));
        QVERIFY(QFile::setPermissions(executer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        FileAssociationWindow window;
        window.useDefault();
        window.automaticMode = true;
        window.confirm();
        AppFolder::overrideForTests(env.appDir());
        QVERIFY(Dialogs::records().isEmpty());

        const QString entry = FileAssociation::desktopEntryPath();
        QCOMPARE(entry, env.dataDir() + "/applications/MyApp.Document.desktop");
        QVERIFY(TestEnv::readFile(entry).contains("\nName=Quorbel Music File\n"));
        if (haveTool("desktop-file-validate"))
            QCOMPARE(QProcess::execute("desktop-file-validate", {entry}), 0);

        const QStringList files{env.root() + "/a song.mp3", env.root() + "/it's \"quoted\" $1 50%.vyx"};
        for (const QString& file : files)
            QVERIFY(TestEnv::writeFile(file, "x"));
        QProcess launch;
        launch.start("gio", QStringList{"launch", entry} + files);
        QVERIFY(launch.waitForFinished(30000));
        QVERIFY2(launch.exitCode() == 0, launch.readAllStandardError().constData());
        QVERIFY(qpt::test::waitUntil([&] { return TestEnv::readFile(record).count('\n') >= 2; }));
        QCOMPARE(QString::fromUtf8(TestEnv::readFile(record)), files.join('\n') + '\n');
    }

    // The user's other choices in mimeapps.list survive; ours goes first,
    // out of the removed associations; registering again changes nothing.
    void mimeAppsListKeepsTheUsersChoices()
    {
        TestEnv env;
        const QString list = FileAssociation::mimeAppsListPath();
        QVERIFY(TestEnv::writeFile(list,
                                   "# mine\n"
                                   "[Default Applications]\n"
                                   "audio/mpeg=other.desktop;\n"
                                   "text/html=browser.desktop;\n"
                                   "\n"
                                   "[Removed Associations]\n"
                                   "audio/mpeg=MyApp.Document.desktop;gone.desktop;\n"
                                   "audio/x-quorbel-vyx=MyApp.Document.desktop;\n"
                                   "[Something Else]\n"
                                   "key=value\n"));
        const QStringList types{"audio/mpeg", "audio/x-quorbel-vyx"};
        FileAssociation::registerExtensions({"mp3", "vyx"}, env.app("Quorbel Tirk Executer.exe"));
        const QByteArray once = TestEnv::readFile(list);
        QCOMPARE(QString::fromUtf8(once),
                 QStringLiteral("# mine\n"
                                "[Default Applications]\n"
                                "audio/mpeg=MyApp.Document.desktop;other.desktop;\n"
                                "text/html=browser.desktop;\n"
                                "audio/x-quorbel-vyx=MyApp.Document.desktop;\n"
                                "\n"
                                "[Removed Associations]\n"
                                "audio/mpeg=gone.desktop;\n"
                                "[Something Else]\n"
                                "key=value\n"
                                "\n"
                                "[Added Associations]\n"
                                "audio/mpeg=MyApp.Document.desktop;\n"
                                "audio/x-quorbel-vyx=MyApp.Document.desktop;\n"));
        QCOMPARE(queryDefault("audio/mpeg"), QStringLiteral("MyApp.Document.desktop"));
        // The later formats stay with whatever opened them before.
        for (const char* type : {"audio/flac", "audio/ogg", "audio/x-opus+ogg", "audio/mp4"})
            QVERIFY2(queryDefault(QLatin1String(type)) != QStringLiteral("MyApp.Document.desktop"), type);

        const QByteArray entry = TestEnv::readFile(FileAssociation::desktopEntryPath());
        FileAssociation::registerExtensions({"mp3", "vyx"}, env.app("Quorbel Tirk Executer.exe"));
        QCOMPARE(TestEnv::readFile(list), once);
        QCOMPARE(TestEnv::readFile(FileAssociation::desktopEntryPath()), entry);

        // A later choice adds to what the entry opens; it forgets nothing.
        FileAssociation::registerExtensions({"mid"}, env.app("Quorbel Tirk Executer.exe"));
        const QString later = QString::fromUtf8(TestEnv::readFile(FileAssociation::desktopEntryPath()));
        QVERIFY(later.contains("MimeType=audio/mpeg;audio/x-quorbel-vyx;audio/midi;\n"));
    }
};

QTEST_MAIN(TestOptionFileAss)
#include "test_option_fileass.moc"
