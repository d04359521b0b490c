#include "player/core/length/length_workers.h"

#include <algorithm>
#include <utility>

namespace qpt::length {

LengthWorkers::LengthWorkers(int threads, Measure measure, std::function<void()> resultsWaiting)
    : m_threadCount(std::max(1, threads)), m_measure(std::move(measure)), m_resultsWaiting(std::move(resultsWaiting))
{
}

LengthWorkers::~LengthWorkers()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void LengthWorkers::submit(std::vector<LengthJob> jobs)
{
    if (jobs.empty())
        return;
    {
        const std::lock_guard lock(m_mutex);
        for (LengthJob& job : jobs)
            m_jobs.push_back(std::move(job));
        // Started on demand: a player with nothing to measure has no threads.
        while (int(m_threads.size()) < m_threadCount)
            m_threads.emplace_back([this] { run(); });
    }
    m_wake.notify_all();
}

void LengthWorkers::cancelAll()
{
    const std::lock_guard lock(m_mutex);
    m_jobs.clear();
    m_results.clear();
    ++m_generation;
}

std::vector<LengthResult> LengthWorkers::takeResults()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_results, {});
}

void LengthWorkers::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        const LengthJob job = std::move(m_jobs.front());
        m_jobs.pop_front();
        const std::uint64_t generation = m_generation;
        lock.unlock();

        LengthResult result = m_measure(job);

        lock.lock();
        if (generation != m_generation)
            continue;  // cancelled while it was measured
        const bool first = m_results.empty();
        m_results.push_back(std::move(result));
        if (first) {
            lock.unlock();
            m_resultsWaiting();
            lock.lock();
        }
    }
}

}  // namespace qpt::length
