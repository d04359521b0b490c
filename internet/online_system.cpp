#include "online_system.h"

#include "frm_getting_info.h"
#include "frm_main.h"
#include "frm_start_msg.h"

namespace qpt::internet {

OnlineSystem::OnlineSystem()
    : m_gettingInfo(new FrmGettingInfo),
      m_main(new FrmMain(*this)),
      m_startMsg(new FrmStartMSG(*this))
{
}

OnlineSystem::~OnlineSystem()
{
    delete m_startMsg;
    delete m_main;
    delete m_gettingInfo;
}

void OnlineSystem::start()
{
    m_startMsg->load();
}

void OnlineSystem::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_main->unload();
    m_gettingInfo->closeWindow();
    m_startMsg->hide();
    emit ended();
}

}  // namespace qpt::internet
