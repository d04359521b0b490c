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
    QObject::connect(&onlineSystem, &qpt::internet::OnlineSystem::ended, &app,
                     [] { QCoreApplication::exit(0); });
    // A termination request (the end of the session, a kill from a
    // terminal) ends the program as closing its window does: the folders
    // and the settings are left as they were.
    qpt::TerminationRequests terminationRequests;
    QObject::connect(&terminationRequests, &qpt::TerminationRequests::requested, &onlineSystem,
                     &qpt::internet::OnlineSystem::endProgram);
    QTimer::singleShot(0, &onlineSystem, [&onlineSystem] { onlineSystem.start(); });
    return app.exec();
}
