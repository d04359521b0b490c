#include "player/shell/exit_sequence.h"

#include "common/app_folder.h"
#include "common/event_loop.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/settings_store.h"
#include "player/core/media/media_component.h"
#include "player/core/player_core.h"

namespace qpt {

ExitSequence::ExitSequence(PlayerCore& core, std::function<void()> hideMainWindow, std::function<void()> terminate)
    : m_core(core), m_hideMainWindow(std::move(hideMainWindow)), m_terminate(std::move(terminate))
{
}

bool ExitSequence::fadeWanted()
{
    // Missing or not a number: no fade.
    const auto fade = SettingsStore::readNumber(QLatin1String(keys::FadeOutCD));
    return fade && *fade != 2.0;
}

void ExitSequence::run()
{
    m_hideMainWindow();
    yieldEvents();
    // An open Option dialog sees its marker go, saves and closes.
    MarkerFiles::remove(AppFolder::file(QLatin1String(files::ActiveOption)));
    if (fadeWanted() && m_core.media.currentPosition() != -1)
        m_core.fadeOut();
    // The lengths measured this run spare the next start the measuring.
    m_core.lengths.saveCache();
    MarkerFiles::remove(AppFolder::file(QLatin1String(files::Running)));
    m_terminate();
}

}  // namespace qpt
