// osupdater.dat: replaces "internet.dat" after an online update.

#include "updater.h"

#include "common/app_folder.h"
#include "common/program_starter.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    qpt::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    qpt::updater::Updater updater(qpt::AppFolder::path());
    const qpt::updater::Outcome outcome = updater.run();
    return outcome.replaced && outcome.started ? 0 : 1;
}
