// internet.dat: the Online System.

#include "online_system.h"

#include "common/app_start.h"
#include "common/termination_requests.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    qpt::choosePlatformBeforeApplication();
    QApplication app(argc, argv);
    qpt::prepareApplication();
    // Windows come and go (the start message hides, the main window may
    // sit in the tray): the program ends when it says so, not when the
    // last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    qpt::internet::OnlineSystem onlineSystem;
    // A termination request (the end of the session, a kill or Ctrl+C from
    // a terminal) ends the program as closing its window does: the folders
    // and the settings are left as they were. Should the window thread not
    // answer, the watcher thread removes what the program made and ends it.
    qpt::TerminationRequests terminationRequests;
    const auto removeLeftovers = [&onlineSystem] { onlineSystem.removeLeftoversFromAnyThread(); };
    terminationRequests.setSaveGuard({removeLeftovers, removeLeftovers});
    QObject::connect(&terminationRequests, &qpt::TerminationRequests::requested, &onlineSystem,
                     &qpt::internet::OnlineSystem::endProgram);
    QObject::connect(&onlineSystem, &qpt::internet::OnlineSystem::ended, &app, [&terminationRequests] {
        terminationRequests.markSaved();
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, &onlineSystem, [&onlineSystem] { onlineSystem.start(); });
    return app.exec();
}
