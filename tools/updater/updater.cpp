#include "updater.h"

#include "internet/online_files.h"

#include "common/app_folder.h"
#include "common/clock.h"
#include "common/marker_files.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

#include <QElapsedTimer>

namespace qpt::updater {

bool Updater::onlineSystemRuns() const
{
    // Every running Online System holds its single-instance lock.
    return SingleInstance::isRunning(QLatin1String(programs::Internet));
}

Outcome Updater::run()
{
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    while (onlineSystemRuns()) {
        if (clock.elapsed() >= m_waitLimitMs) {
            outcome.waitedOut = true;
            break;
        }
        sleepMs(m_pollMs);
    }

    const QString program = m_folder + QLatin1Char('/') + QLatin1String(programs::Internet);
    if (internet::imageReady() && internet::replaceProgram(program, internet::imagePath())) {
        outcome.replaced = true;
        MarkerFiles::remove(internet::imagePath());
    }
    // A second Online System beside one that never ended would only end
    // again at once.
    if (!outcome.waitedOut)
        outcome.started = ProgramStarter::start(program, QString(), WindowStyle::NormalFocus);
    return outcome;
}

}  // namespace qpt::updater
