#include "app_start.h"

#include "fonts.h"

#include <QApplication>


namespace qpt {

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
