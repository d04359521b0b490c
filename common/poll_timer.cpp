#include "common/poll_timer.h"

namespace qpt {

PollTimer::PollTimer(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &PollTimer::tick);
}

PollTimer::PollTimer(int intervalMs, std::function<void()> handler, QObject* parent)
    : PollTimer(parent)
{
    m_handler = std::move(handler);
    setInterval(intervalMs);
}

void PollTimer::setInterval(int ms)
{
    m_interval = ms < 0 ? 0 : ms;
    if (m_interval == 0)
        m_timer.stop();
    else
        m_timer.start(m_interval);
}

void PollTimer::tick()
{
    if (m_running || !m_handler)
        return;
    m_running = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_running};
    m_handler();
}

}  // namespace qpt
