#include "common/serial_worker.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <pthread.h>

namespace qpt {

struct SerialWorker::State {
    std::string threadName;
    std::chrono::milliseconds idleEnd;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    bool running = false;  // a thread serves the jobs
};

SerialWorker::SerialWorker(const char* threadName, int idleEndMs) : m_state(std::make_shared<State>())
{
    m_state->threadName = threadName;
    m_state->idleEnd = std::chrono::milliseconds(idleEndMs);
}

SerialWorker::~SerialWorker()
{
    const std::lock_guard lock(m_state->mutex);
    m_state->stopping = true;
    m_state->jobs.clear();
    m_state->wake.notify_all();
}

void SerialWorker::post(std::function<void()> job)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->jobs.push_back(std::move(job));
    if (!m_state->running) {
        // One thread at a time: one that is about to end has let go of
        // `running` already and takes no further job.
        m_state->running = true;
        std::thread thread([state = m_state] { run(state); });
        ::pthread_setname_np(thread.native_handle(), m_state->threadName.c_str());
        thread.detach();
    }
    m_state->wake.notify_all();
}

bool SerialWorker::isIdle() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->jobs.empty() && !m_state->busy;
}

bool SerialWorker::hasThread() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

void SerialWorker::run(const std::shared_ptr<State>& state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        const bool woken =
            state->wake.wait_for(lock, state->idleEnd, [&] { return state->stopping || !state->jobs.empty(); });
        if (state->stopping || !woken) {
            state->running = false;
            return;
        }
        std::function<void()> job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->busy = true;
        lock.unlock();
        job();
        job = nullptr;  // what it held goes on this thread
        lock.lock();
        state->busy = false;
    }
}

}  // namespace qpt
