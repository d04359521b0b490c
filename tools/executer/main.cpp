// "Quorbel Tirk Executer.exe": started by the desktop with the files the
// user opened (none when started from the player's own menu entry).

#include "tools/executer/hand_over.h"

#include "common/app_folder.h"
#include "common/app_start.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    qpt::ignoreBrokenPipes();
    QCoreApplication application(argc, argv);
    QStringList paths = QCoreApplication::arguments();
    paths.removeFirst();
    if (!qpt::executer::handOver(paths, qpt::AppFolder::path())) {
        QTextStream(stderr) << "Quorbel Tirk Executer: cannot write a batch file into "
                            << qpt::AppFolder::path() << '\n';
        return 1;
    }
    return 0;
}
