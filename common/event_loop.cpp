#include "event_loop.h"

#include <QCoreApplication>
#include <QThread>

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

void yieldEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {

class RealSleeper : public Sleeper {
public:
    void sleep(int ms) override
    {
        if (ms > 0)
            QThread::msleep(ulong(ms));
    }
};

RealSleeper g_realSleeper;
Sleeper* g_sleeper = &g_realSleeper;

}  // namespace

Sleeper& Sleeper::current()
{
    return *g_sleeper;
}

void Sleeper::install(Sleeper* sleeper)
{
    g_sleeper = sleeper ? sleeper : &g_realSleeper;
}

}  // namespace qpt
