#include "common/serial_worker.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace qpt {

void ReplyChannel::reply(std::function<void()> what)
{
    const std::lock_guard lock(m_mutex);
    // Posted while the receiver surely lives; Qt drops the event should the
    // receiver go before it runs.
    if (m_receiver)
        QMetaObject::invokeMethod(m_receiver, std::move(what), Qt::QueuedConnection);
}

void ReplyChannel::close()
{
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

struct SerialWorker::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    bool started = false;
};

SerialWorker::SerialWorker(const char* threadName) : m_state(std::make_shared<State>())
{
    std::thread thread([state = m_state] { run(state); });
    ::pthread_setname_np(thread.native_handle(), threadName);
    thread.detach();
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
    m_state->wake.notify_all();
}

bool SerialWorker::isIdle() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->jobs.empty() && !m_state->busy;
}

void SerialWorker::run(const std::shared_ptr<State>& state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->jobs.empty(); });
        if (state->stopping)
            return;
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
