#pragma once
// Steps that follow each other in time (the frames of a button, the steps
// of a fade): each step runs its delay after the one before it, on a
// single-shot timer, so the thread goes on with its events in between and
// never sleeps. A step of delay 0 runs at once after the one before it.
// Tests take the steps by hand with advance() or finish().

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace qpt {

class TimedSequence : public QObject {
    Q_OBJECT
public:
    struct Step {
        int delayMs = 0;
        std::function<void()> action;
    };

    explicit TimedSequence(QObject* parent = nullptr);

    // Starts the steps; a sequence still running is finished first.
    void start(QList<Step> steps);
    bool isRunning() const { return m_next < m_steps.size(); }
    // The next step now, without its wait.
    void advance();
    // Every step left, now.
    void finish();
    // The wait before the next step (ms); -1 when nothing is left.
    int nextDelay() const { return isRunning() ? m_steps[m_next].delayMs : -1; }

signals:
    void finished();

private:
    void runDueSteps();

    QList<Step> m_steps;
    qsizetype m_next = 0;
    QTimer m_timer;
};

}  // namespace qpt
