#include "player/shell/exit_sequence.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/options.h"
#include "player/core/media/media_component.h"
#include "player/core/player_core.h"

namespace qpt {

ExitSequence::ExitSequence(PlayerCore& core, std::function<void()> hideMainWindow, std::function<void()> terminate,
                           QObject* parent)
    : QObject(parent), m_core(core), m_hideMainWindow(std::move(hideMainWindow)), m_terminate(std::move(terminate))
{
    connect(&m_core.fade, &VolumeFade::finished, this, &ExitSequence::finish);
}

void ExitSequence::run()
{
    if (m_running)
        return;
    m_running = true;
    m_hideMainWindow();
    // An open Option dialog sees its marker go, saves and closes.
    MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::ActiveOption)));
    if (Options::read().fadesOutOnExit() && m_core.media.currentPosition() != -1)
        m_core.fade.start();
    else
        finish();
}

void ExitSequence::finish()
{
    if (!m_running)
        return;
    MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::Running)));
    m_terminate();
}

}  // namespace qpt
