#pragma once
// The one injectable clock of the three programs. Two kinds of wait:
//   sleepMs   blocks the thread (the frames of an animation, the steps of
//             a fade), as a short blocking wait is meant to;
//   pauseFor  waits with pending events running (the spaced commands of
//             the mail dialogue, the poll for another program).
// Tests install a RecordingClock, so that they run in milliseconds and can
// assert the sequence of waits.

#include <QVector>

#include <functional>

namespace qpt {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleep(int ms) = 0;
    virtual void pause(double seconds) = 0;

    // The clock in use; the real one unless a test installed another.
    static Clock& current();
    static void install(Clock* clock);  // nullptr restores the real one
};

inline void sleepMs(int ms) { Clock::current().sleep(ms); }
inline void pauseFor(double seconds) { Clock::current().pause(seconds); }

// Lets pending events run for about the given time, whatever clock is
// installed (the polling step of a wait for another process).
void letEventsRun(int ms);

// Records the waits instead of taking them; a pause only lets pending
// events run. onSleep runs at each sleep, so that a test can look at the
// state between the frames of an animation.
class RecordingClock : public Clock {
public:
    void sleep(int ms) override;
    void pause(double seconds) override;
    QVector<int> sleeps;
    QVector<double> pauses;
    std::function<void(int)> onSleep;
};

// Installs a clock for the lifetime of this object.
class ScopedClock {
public:
    explicit ScopedClock(Clock* clock) { Clock::install(clock); }
    ~ScopedClock() { Clock::install(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace qpt
