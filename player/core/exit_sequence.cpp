#include "common/clock.h"
#include "player/core/exit_sequence.h"

#include "common/app_folder.h"
#include "common/failures.h"
#include "common/marker_files.h"
#include "common/settings_store.h"
#include "player/core/media/media_component.h"
#include "player/core/player_context.h"

namespace qpt {

ExitSequence::ExitSequence(PlayerContext& context) : c(context) {}

bool ExitSequence::fadeWanted()
{
    const auto fade = SettingsStore::readNumber(QLatin1String(keys::FadeOutCD));
    return fade && *fade != 2.0;
}

void ExitSequence::fadeOut()
{
    for (int step = 0; step < 13; ++step) {
        // A write below 0 is refused and leaves the volume where it was.
        tryStep([&] { c.media.setVolume(c.media.volume() - 8); });
        sleepMs(90);
        yieldEvents();
    }
}

void ExitSequence::run()
{
    tryStep([&] { c.shell.hideMainWindow(); });
    yieldEvents();
    MarkerFiles::remove(AppFolder::file(QStringLiteral("activeoption.inf")));
    bool loaded = false;
    tryStep([&] { loaded = c.media.currentPosition() != -1; });
    if (fadeWanted() && loaded)
        fadeOut();
    MarkerFiles::remove(AppFolder::file(QStringLiteral("Running.chk")));
    c.shell.terminate();
}

}  // namespace qpt
