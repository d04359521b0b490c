#pragma once
// PollTimer: a timer whose interval 0 means idle, as the programs' timers
// are armed by setting an interval. Its tick handler never re-enters
// itself. tick() runs the handler directly, which is how tests drive it.

#include <QObject>
#include <QTimer>
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

private:
    QTimer m_timer;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_running = false;
};

}  // namespace qpt
