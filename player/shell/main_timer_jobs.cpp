#include "player/shell/main_timer_jobs.h"

namespace qpt {

bool MainTimerJobs::reloaded()
{
    if (m_resume != Resume::Waiting)
        return false;
    m_resume = Resume::Due;
    return true;
}

MainTimerJobs::Due MainTimerJobs::take()
{
    if (m_resume == Resume::Due) {
        m_resume = Resume::None;
        return Due::Resume;
    }
    if (m_stop) {
        m_stop = false;
        return Due::Stop;
    }
    return Due::Nothing;
}

int MainTimerJobs::followUpMs() const
{
    if (m_resume == Resume::Due)
        return kResumeMs;
    return m_stop ? kStopMs : 0;
}

}  // namespace qpt
