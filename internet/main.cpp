// internet.dat: the Online System.

#include "online_system.h"

#include "common/app_start.h"

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
    QTimer::singleShot(0, &onlineSystem, [&onlineSystem] { onlineSystem.start(); });
    return app.exec();
}
