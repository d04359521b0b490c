// Quorbel Player Tirk: the player program.

#include "common/app_folder.h"
#include "common/app_start.h"
#include "common/command_words.h"
#include "common/single_instance.h"
#include "player/core/media/gst_media_component.h"
#include "player/mpris/mpris_service.h"
#include "player/shell/player_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    qpt::choosePlatformBeforeApplication();
    QApplication application(argc, argv);
    // One player at a time, unless the Option program starts us with "fto"
    // after a first-run save (the old player may not have ended yet).
    if (qpt::SingleInstance::anotherIsRunning(QLatin1String(qpt::programs::Player))
        && qpt::CommandLine::text() != QLatin1String(qpt::words::Fto))
        return 0;
    qpt::prepareApplication();
    application.setQuitOnLastWindowClosed(false);

    qpt::PlayerApp player(std::make_unique<qpt::GstMediaComponent>());
    if (!player.start())
        return 0;  // the Option program takes over the first run
    // Media keys and the desktop's sound menu, where there is a session bus.
    const auto mediaControls = qpt::MprisService::startOnSessionBus(
        {player.commands(), player.core(), player.bars(), player.display().volumeKnob});
    if (mediaControls)
        QObject::connect(&player, &qpt::PlayerApp::quitting, mediaControls.get(), &qpt::MprisService::withdraw);
    return application.exec();
}
