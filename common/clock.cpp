#include "clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace qpt {

namespace {

class RealClock : public Clock {
public:
    void sleep(int ms) override
    {
        if (ms > 0)
            QThread::msleep(ulong(ms));
    }

    void pause(double seconds) override
    {
        QElapsedTimer clock;  // monotonic: no jump at midnight or on a clock change
        clock.start();
        const qint64 wanted = qint64(seconds * 1000.0 + 0.5);
        for (;;) {
            const qint64 left = wanted - clock.elapsed();
            if (left <= 0)
                return;
            letEventsRun(int(qMin<qint64>(left, 50)));
        }
    }
};

RealClock g_realClock;
Clock* g_clock = &g_realClock;

}  // namespace

Clock& Clock::current()
{
    return *g_clock;
}

void Clock::install(Clock* clock)
{
    g_clock = clock ? clock : &g_realClock;
}

void letEventsRun(int ms)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(qMax(ms, 0));
    do {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (timer.isActive());
}

void RecordingClock::sleep(int ms)
{
    sleeps.push_back(ms);
    if (onSleep)
        onSleep(ms);
}

void RecordingClock::pause(double seconds)
{
    pauses.push_back(seconds);
    QCoreApplication::processEvents();
}

}  // namespace qpt
