#include "online_system.h"

#include "internet/shared/extra_authorities.h"
#include "internet/update/leftovers.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "internet/windows/start_message_window.h"

#include "common/settings_store.h"

namespace qpt::internet {

OnlineSystem::OnlineSystem()
    : m_progress(new ProgressWindow),
      m_main(new OnlineWindow(*this)),
      m_startMessage(new StartMessageWindow(*this))
{
    // Before the first connection, which start() leads to.
    trustExtraAuthorities();
}

OnlineSystem::~OnlineSystem()
{
    delete m_startMessage;
    delete m_main;
    delete m_progress;
}

void OnlineSystem::start()
{
    m_startMessage->open();
}

void OnlineSystem::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_main->unload();
    m_progress->unload();
    m_startMessage->hide();
    emit ended();
}

void OnlineSystem::removeLeftoversFromAnyThread()
{
    leftovers::removeAll();
    if (m_main->updateCheck().hasMarkedRunning())
        SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("NO"));
}

}  // namespace qpt::internet
