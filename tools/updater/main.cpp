// osupdater.dat: replaces "internet.dat" after an online update.

#include "updater.h"

#include "common/app_folder.h"
#include "common/program_starter.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    qpt::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    qpt::updater::Updater updater(qpt::AppFolder::path());
    QObject::connect(&updater, &qpt::updater::Updater::finished, &app, [](const qpt::updater::Outcome& outcome) {
        QCoreApplication::exit(outcome.replaced && outcome.started ? 0 : 1);
    });
    QTimer::singleShot(0, &updater, &qpt::updater::Updater::start);
    return app.exec();
}
