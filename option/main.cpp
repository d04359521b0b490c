// "option.dat": the Option program.

#include "option/option_dialog.h"

#include "common/app_folder.h"
#include "common/app_start.h"
#include "common/command_words.h"
#include "common/single_instance.h"

#include <QApplication>

int main(int argc, char** argv)
{
    qpt::choosePlatformBeforeApplication();
    QApplication application(argc, argv);
    qpt::prepareApplication();
    application.setQuitOnLastWindowClosed(false);

    const QString commandLine = qpt::CommandLine::text();
    // A second Option program ends silently, unless it only re-applies the
    // file associations.
    if (qpt::SingleInstance::anotherIsRunning(QLatin1String(qpt::programs::Option))
        && commandLine != QLatin1String(qpt::words::AutoFileAss))
        return 0;

    qpt::option::OptionDialog dialog;
    QObject::connect(&dialog, &qpt::option::OptionDialog::ended, &application, [] { QCoreApplication::exit(0); });
    dialog.startUp(commandLine);
    if (dialog.hasEnded())
        return 0;
    return application.exec();
}
