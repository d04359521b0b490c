#include "player/core/player_core.h"

#include "common/settings_store.h"
#include "player/core/media/media_component.h"

namespace qpt {

PlayerCore::PlayerCore(MediaComponent& media, SongLengthService& lengths, Shell& shell)
    : context(media, lengths, shell),
      engine(context),
      supervision(context, engine),
      status(context, supervision),
      animation(context),
      loader(context),
      saving(context),
      exit(context)
{
    context.timDivStuff.setHandler([this] { status.timDivStuff_Timer(); });
    status.onCloseRequest = [this] { closeInOrder(); };
    context.timProgressBarUpdate.setHandler([this] { status.timProgressBarUpdate_Timer(); });
    context.timNowPlaying.setHandler([this] { animation.timNowPlaying_Timer(); });
    context.timPlaylstUpdate.setHandler([this] { loader.timPlaylstUpdate_Timer(); });
    QObject::connect(&media, &MediaComponent::playStateChanged, &context.display, [this](int state) {
        if (state == playstate::Playing)
            supervision.songPlayed();
        engine.PlayStateNotice(state);
    });
}

void PlayerCore::closeFromTimeDisplay()
{
    Shell& shell = context.shell;
    shell.hideMainWindow();
    yieldEvents();
    shell.hidePlaylistWindow();
    yieldEvents();
    // Missing or not a number counts as off: the player simply closes.
    if (SettingsStore::isOn(QLatin1String(keys::AutosavePlayList)))
        saving.autosaveAndQuit();
    else
        shell.unloadMainWindow();
}

}  // namespace qpt

namespace qpt {

void PlayerCore::closeInOrder()
{
    // Missing or not a number counts as off.
    if (SettingsStore::isOn(QLatin1String(keys::AutosavePlayList)))
        saving.autosaveAndQuit();
    else
        context.shell.unloadMainWindow();
}

}  // namespace qpt
