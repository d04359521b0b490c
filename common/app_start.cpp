#include "app_start.h"

#include "fonts.h"

#include <QApplication>

#include <csignal>

namespace qpt {

void ignoreBrokenPipes()
{
    // A program started by another inherits its standard streams; when the
    // starter is gone, a diagnostic line must not end this program.
    std::signal(SIGPIPE, SIG_IGN);
}

void choosePlatformBeforeApplication()
{
    ignoreBrokenPipes();
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Quorbel Player Tirk"));
    installFontSubstitutes();
}

}  // namespace qpt
