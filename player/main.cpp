#include "common/app_start.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    qpt::choosePlatformBeforeApplication();
    QApplication app(argc, argv);
    qpt::prepareApplication();
    QLabel label(QStringLiteral("Quorbel Player Tirk v1.00"));
    label.show();
    return app.exec();
}
