#pragma once
// The three event-loop primitives every handler builds on.
//
// PollTimer: a timer whose interval 0 means idle. Its tick handler never
// re-enters itself: a tick that falls due while the handler is yielding is
// dropped. tick() runs the handler directly, which is how tests drive it.
//
// yieldEvents(): let pending window events run (the handlers rely on other
// handlers running in the middle of long operations).
//
// Sleeper: the blocking waits of animations and fades. Tests install a
// recording sleeper so that they run in milliseconds and can assert the
// sequence of waits.

#include <QObject>
#include <QTimer>
#include <QVector>
#include <functional>

namespace qpt {

class PollTimer : public QObject {
    Q_OBJECT
public:
    explicit PollTimer(QObject* parent = nullptr);
    PollTimer(int intervalMs, std::function<void()> handler, QObject* parent = nullptr);

    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }
    // 0 stops the timer; any other value (re)starts it with that period.
    void setInterval(int ms);
    int interval() const { return m_interval; }
    bool isArmed() const { return m_interval != 0; }
    // Runs the handler now unless it is already running.
    void tick();
    bool isRunning() const { return m_running; }

private:
    QTimer m_timer;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_running = false;
};

void yieldEvents();

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleep(int ms) = 0;

    // The sleeper in use; the real one unless a test installed another.
    static Sleeper& current();
    static void install(Sleeper* sleeper);  // nullptr restores the real one
};

// Sleep through the current sleeper.
inline void sleepMs(int ms) { Sleeper::current().sleep(ms); }

// Records the waits instead of blocking; optionally runs a callback at each
// wait so that a test can observe the state in between.
class RecordingSleeper : public Sleeper {
public:
    void sleep(int ms) override
    {
        waits.push_back(ms);
        if (onSleep)
            onSleep(ms);
    }
    QVector<int> waits;
    std::function<void(int)> onSleep;
};

// Installs a sleeper for the lifetime of this object.
class ScopedSleeper {
public:
    explicit ScopedSleeper(Sleeper* sleeper) { Sleeper::install(sleeper); }
    ~ScopedSleeper() { Sleeper::install(nullptr); }
    ScopedSleeper(const ScopedSleeper&) = delete;
    ScopedSleeper& operator=(const ScopedSleeper&) = delete;
};

}  // namespace qpt
