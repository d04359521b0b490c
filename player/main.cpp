// Quorbel Player Tirk: the player program.

#include "common/app_folder.h"
#include "common/app_start.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/single_instance.h"
#include "player/core/media/gst_media_component.h"
#include "player/mpris/mpris_service.h"
#include "player/shell/player_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {

// A player that has begun to end lets go within moments, unless what it
// keeps is held up (a pick-up on a share that stopped answering): this
// long a new start waits for it, then says why it cannot start.
constexpr int kPredecessorWaitMs = 2000;
constexpr int kPredecessorLookMs = 50;

struct Running {
    std::unique_ptr<qpt::PlayerApp> player;
    std::unique_ptr<qpt::MprisService> mediaControls;
};

// False when the player does not run on (the first run, which the Option
// program takes over).
bool startPlayer(Running& running)
{
    qpt::prepareApplication();
    running.player = std::make_unique<qpt::PlayerApp>(std::make_unique<qpt::GstMediaComponent>());
    qpt::PlayerApp& player = *running.player;
    if (!player.start())
        return false;
    // Media keys and the desktop's sound menu, where there is a session bus.
    running.mediaControls = qpt::MprisService::startOnSessionBus(
        {player.commands(), player.core(), player.bars(), player.display().volumeKnob});
    if (running.mediaControls)
        QObject::connect(&player, &qpt::PlayerApp::quitting, running.mediaControls.get(),
                         &qpt::MprisService::withdraw);
    return true;
}

// Looks every 50 ms (a timer: nothing waits) whether the ending player has
// let go; starts once it has, or tells the user after kPredecessorWaitMs.
void startAfterPredecessor(Running& running, QTimer& look)
{
    const QString name = QLatin1String(qpt::programs::Player);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    look.setInterval(kPredecessorLookMs);
    QObject::connect(&look, &QTimer::timeout, [&running, &look, name, clock] {
        if (qpt::SingleInstance::takeOver(name)) {
            look.stop();
            if (!startPlayer(running))
                QCoreApplication::quit();
            return;
        }
        if (clock->elapsed() < kPredecessorWaitMs && qpt::SingleInstance::isEnding(name))
            return;
        look.stop();
        qpt::SingleInstance::release();
        if (!qpt::SingleInstance::isEnding(name)) {
            QCoreApplication::quit();  // it runs on after all: one player at a time
            return;
        }
        qpt::Dialogs::show(QStringLiteral("Quorbel Player Tirk"),
                           QStringLiteral("Quorbel Player Tirk is still closing (it is keeping the PlayList).\r\n"
                                          "Please start it again in a moment."),
                           qpt::MsgIcon::Information, qpt::MsgButtons::Ok, nullptr,
                           [](qpt::MsgAnswer) { QCoreApplication::quit(); });
    });
    look.start();
}

}  // namespace

int main(int argc, char** argv)
{
    qpt::choosePlatformBeforeApplication();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    Running running;
    QTimer look;
    // One player at a time, unless the Option program starts us with "fto"
    // after a first-run save (the old player may not have ended yet). One
    // that is ending is waited for a moment.
    const QString name = QLatin1String(qpt::programs::Player);
    if (qpt::SingleInstance::anotherIsRunning(name) && qpt::CommandLine::text() != QLatin1String(qpt::words::Fto)) {
        if (!qpt::SingleInstance::isEnding(name))
            return 0;
        startAfterPredecessor(running, look);
    } else if (!startPlayer(running)) {
        return 0;  // the Option program takes over the first run
    }
    return application.exec();
}
