#pragma once
// The threads that measure song lengths: one per core, started with the
// first job. Jobs are taken in the order they came; results collect until
// the owner takes them, and the owner hears (from a worker thread) when
// the first result of a new collection is ready. Cancelling drops the jobs
// not yet started and every result not yet taken, also those of jobs that
// were under way.

#include "player/core/length/length_job.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qpt::length {

class LengthWorkers {
public:
    using Measure = std::function<LengthResult(const LengthJob&)>;

    LengthWorkers(int threads, Measure measure, std::function<void()> resultsWaiting);
    ~LengthWorkers();
    LengthWorkers(const LengthWorkers&) = delete;
    LengthWorkers& operator=(const LengthWorkers&) = delete;

    void submit(std::vector<LengthJob> jobs);
    void cancelAll();
    std::vector<LengthResult> takeResults();

private:
    void run();

    const int m_threadCount;
    const Measure m_measure;
    const std::function<void()> m_resultsWaiting;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<LengthJob> m_jobs;
    std::vector<LengthResult> m_results;
    std::uint64_t m_generation = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace qpt::length
