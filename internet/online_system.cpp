#include "online_system.h"

#include "internet/shared/extra_authorities.h"
#include "internet/update/leftovers.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "internet/windows/start_message_window.h"

#include "common/settings_store.h"

namespace qpt::internet {

namespace {

// The first window, made once the extra authorities have joined the default
// TLS configuration: a socket copies that configuration as it is made, and
// the windows make theirs (the bug report's) at once.
ProgressWindow* firstWindow()
{
    trustExtraAuthorities();
    return new ProgressWindow;
}

}  // namespace

OnlineSystem::OnlineSystem()
    : m_progress(firstWindow()),
      m_main(new OnlineWindow(*this)),
      m_startMessage(new StartMessageWindow(*this))
{
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
