#include "player/core/length/length_workers.h"

#include <linux/ioprio.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace qpt::length {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWatchdogStep = std::chrono::milliseconds(200);

// The calling thread reads with the idle I/O class: its requests wait
// while anything else wants the disk (the scheduler still serves them after
// a while, so they are never starved for good).
void readWhenIdle()
{
    ::syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_PRIO_VALUE(IOPRIO_CLASS_IDLE, 0));
}

LengthResult unknownFor(const LengthJob& job)
{
    LengthResult result;
    result.entry = job.entry;
    result.length = SongLength::unknown();
    return result;
}

}  // namespace

struct LengthWorkers::Shared {
    struct Worker {
        bool busy = false;
        bool abandoned = false;
        Clock::time_point since;
        LengthJob job;
        QByteArray place;  // where its job reads from, once given up on
        std::uint64_t generation = 0;
    };

    Measure measure;
    std::shared_ptr<ReplyChannel> owner;
    std::function<void()> resultsWaiting;  // run on the owner's thread
    std::chrono::milliseconds deadline{kDeadlineMs};
    std::chrono::milliseconds idleEnd{kIdleEndMs};
    int threadCount = 1;
    bool idleIo = false;
    PlaceOf placeOf;

    mutable std::mutex mutex;
    std::condition_variable wake;   // workers: a job, or the end
    std::condition_variable watch;  // the watchdog: a worker got busy, or the end
    // Waiting jobs by entry: the playlist's entries count up in list
    // order, so the first key is the first row still to measure.
    std::map<quint64, LengthJob> jobs;
    std::vector<quint64> urgent;
    std::vector<LengthResult> results;
    std::uint64_t generation = 0;
    bool stopping = false;
    bool watchdogRunning = false;
    std::list<std::shared_ptr<Worker>> workers;  // the live ones
    int stuck = 0;                               // given up, not come back
    std::set<QByteArray> suspect;                // places a worker is stuck on

    // Without the lock: the owner hears of new results on its own thread,
    // or not at all once it has closed its channel.
    void tellOwner()
    {
        if (owner && resultsWaiting)
            owner->reply(resultsWaiting);
    }

    // With the lock held: hands a result on, and tells the owner when it is
    // the first of a new collection (after unlocking).
    bool add(LengthResult result)
    {
        const bool first = results.empty();
        results.push_back(std::move(result));
        return first;
    }

    // With the lock held: a worker for every job waiting that no idle
    // worker will take, up to the count (one song to measure starts one).
    static void startWorkersNeeded(const std::shared_ptr<Shared>& shared)
    {
        const auto idle = std::count_if(shared->workers.cbegin(), shared->workers.cend(),
                                        [](const auto& worker) { return !worker->busy; });
        auto wanted = std::min<std::ptrdiff_t>(shared->threadCount - std::ptrdiff_t(shared->workers.size()),
                                               std::ptrdiff_t(shared->jobs.size()) - idle);
        for (; wanted > 0 && shared->stuck < kMaxAbandoned; --wanted)
            startWorker(shared);
    }

    static void startWorker(const std::shared_ptr<Shared>& shared)
    {
        auto worker = std::make_shared<Worker>();
        shared->workers.push_back(worker);
        std::thread thread([shared, worker, idle = shared->idleIo] {
            if (idle)
                readWhenIdle();
            shared->work(worker);
        });
        ::pthread_setname_np(thread.native_handle(), "song lengths");
        thread.detach();
    }

    void work(const std::shared_ptr<Worker>& worker)
    {
        std::unique_lock lock(mutex);
        for (;;) {
            const bool woken = wake.wait_for(lock, idleEnd, [&] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            if (!woken) {
                // Nothing to measure for a while: the next job starts a
                // worker again.
                workers.remove(worker);
                return;
            }
            worker->job = takeNext();
            worker->busy = true;
            worker->since = Clock::now();
            worker->generation = generation;
            if (!suspect.empty() && placeOf && isSuspect(worker->job, lock)) {
                worker->busy = false;
                if (worker->generation == generation && add(unknownFor(worker->job))) {
                    lock.unlock();
                    tellOwner();
                    lock.lock();
                }
                continue;
            }
            watch.notify_all();
            lock.unlock();

            LengthResult result = measure(worker->job);

            lock.lock();
            worker->busy = false;
            if (worker->abandoned) {
                // Back at last (its job was answered long ago): the place
                // answers again.
                --stuck;
                suspect.erase(worker->place);
                return;
            }
            if (worker->generation != generation)
                continue;  // cancelled while it was measured
            if (add(std::move(result))) {
                lock.unlock();
                tellOwner();
                lock.lock();
            }
        }
    }

    // With the lock held, which is let go while the place is looked up.
    bool isSuspect(const LengthJob& job, std::unique_lock<std::mutex>& lock)
    {
        lock.unlock();
        const QByteArray place = placeOf(job);
        lock.lock();
        return !place.isEmpty() && suspect.count(place) > 0;
    }

    // With the lock held and a job waiting: the most urgent one.
    LengthJob takeNext()
    {
        auto it = jobs.end();
        while (!urgent.empty() && it == jobs.end()) {
            it = jobs.find(urgent.front());
            urgent.erase(urgent.begin());
        }
        if (it == jobs.end())
            it = jobs.begin();
        LengthJob job = std::move(it->second);
        jobs.erase(it);
        return job;
    }

    static void startWatchdog(const std::shared_ptr<Shared>& shared)
    {
        std::thread thread([shared] { shared->guard(shared); });
        ::pthread_setname_np(thread.native_handle(), "length watchdog");
        thread.detach();
    }

    bool anyBusy() const
    {
        return std::any_of(workers.cbegin(), workers.cend(), [](const auto& worker) { return worker->busy; });
    }

    void guard(const std::shared_ptr<Shared>& self)
    {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (anyBusy()) {
                watch.wait_for(lock, kWatchdogStep);
            } else if (watch.wait_for(lock, idleEnd) == std::cv_status::timeout && !anyBusy() && jobs.empty()) {
                // Nothing to watch for a while: the next job starts the
                // watchdog again.
                watchdogRunning = false;
                return;
            }
            if (!stopping && giveUpOverdue(self)) {
                lock.unlock();
                tellOwner();
                lock.lock();
            }
        }
    }

    // With the lock held: answers the overdue jobs as unknown and replaces
    // their workers. True when that started a new collection of results.
    bool giveUpOverdue(const std::shared_ptr<Shared>& self)
    {
        bool first = false;
        const Clock::time_point now = Clock::now();
        for (auto it = workers.begin(); it != workers.end();) {
            const std::shared_ptr<Worker>& worker = *it;
            if (!worker->busy || now - worker->since < deadline) {
                ++it;
                continue;
            }
            worker->abandoned = true;
            ++stuck;
            // Looked up under the lock: the owner's answer reads no place.
            if (placeOf) {
                worker->place = placeOf(worker->job);
                if (!worker->place.isEmpty())
                    suspect.insert(worker->place);
            }
            if (worker->generation == generation)
                first |= add(unknownFor(worker->job));
            it = workers.erase(it);
        }
        startWorkersNeeded(self);
        // Nobody left to measure them: the jobs waiting are answered too,
        // rather than never.
        if (workers.empty()) {
            for (const auto& [entry, job] : jobs)
                first |= add(unknownFor(job));
            jobs.clear();
        }
        return first;
    }
};

LengthWorkers::LengthWorkers(int threads, Measure measure, std::shared_ptr<ReplyChannel> owner,
                             std::function<void()> resultsWaiting, int deadlineMs)
    : m(std::make_shared<Shared>())
{
    m->threadCount = std::max(1, threads);
    m->measure = std::move(measure);
    m->owner = std::move(owner);
    m->resultsWaiting = std::move(resultsWaiting);
    m->deadline = std::chrono::milliseconds(deadlineMs);
}

LengthWorkers::~LengthWorkers()
{
    // Nothing is waited for: idle workers and the watchdog end at once, a
    // worker under way ends when its measurement returns.
    const std::lock_guard lock(m->mutex);
    m->stopping = true;
    m->jobs.clear();
    m->wake.notify_all();
    m->watch.notify_all();
}

void LengthWorkers::setIdleIo(bool idle)
{
    const std::lock_guard lock(m->mutex);
    m->idleIo = idle;
}

void LengthWorkers::setPlaceOf(PlaceOf placeOf)
{
    const std::lock_guard lock(m->mutex);
    m->placeOf = std::move(placeOf);
}

void LengthWorkers::setIdleEnd(int ms)
{
    const std::lock_guard lock(m->mutex);
    m->idleEnd = std::chrono::milliseconds(ms);
}

void LengthWorkers::submit(std::vector<LengthJob> jobs)
{
    if (jobs.empty())
        return;
    {
        const std::lock_guard lock(m->mutex);
        for (LengthJob& job : jobs)
            m->jobs.insert_or_assign(job.entry, std::move(job));
        // Started on demand: a player with nothing to measure has no threads.
        if (!m->watchdogRunning) {
            m->watchdogRunning = true;
            Shared::startWatchdog(m);
        }
        Shared::startWorkersNeeded(m);
    }
    m->wake.notify_all();
    // With every worker given up on, the watchdog answers the jobs.
    m->watch.notify_all();
}

void LengthWorkers::setUrgent(std::vector<quint64> entries)
{
    const std::lock_guard lock(m->mutex);
    m->urgent = std::move(entries);
}

void LengthWorkers::cancelAll()
{
    const std::lock_guard lock(m->mutex);
    m->jobs.clear();
    m->urgent.clear();
    m->results.clear();
    ++m->generation;
}

std::vector<LengthResult> LengthWorkers::takeResults()
{
    const std::lock_guard lock(m->mutex);
    return std::exchange(m->results, {});
}

int LengthWorkers::stuckWorkers() const
{
    const std::lock_guard lock(m->mutex);
    return m->stuck;
}

int LengthWorkers::runningThreads() const
{
    const std::lock_guard lock(m->mutex);
    return int(m->workers.size()) + (m->watchdogRunning ? 1 : 0);
}

}  // namespace qpt::length
