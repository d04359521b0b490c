#include "common/timed_sequence.h"

namespace qpt {

TimedSequence::TimedSequence(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TimedSequence::advance);
}

void TimedSequence::start(QList<Step> steps)
{
    finish();
    m_steps = std::move(steps);
    m_next = 0;
    runDueSteps();
}

void TimedSequence::advance()
{
    m_timer.stop();
    if (!isRunning())
        return;
    // Taken before the action runs: an action may start another sequence.
    const std::function<void()> action = m_steps[m_next++].action;
    if (action)
        action();
    runDueSteps();
}

void TimedSequence::finish()
{
    while (isRunning())
        advance();
}

// Runs the steps that wait for nothing, then waits for the next one.
void TimedSequence::runDueSteps()
{
    if (m_timer.isActive())
        return;
    if (!isRunning()) {
        if (!m_steps.isEmpty()) {
            m_steps.clear();
            m_next = 0;
            emit finished();
        }
        return;
    }
    if (m_steps[m_next].delayMs <= 0) {
        advance();
        return;
    }
    m_timer.start(m_steps[m_next].delayMs);
}

}  // namespace qpt
