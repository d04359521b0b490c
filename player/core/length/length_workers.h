#pragma once
// The threads that measure song lengths: up to one per core, started as
// jobs wait for them; a worker that finds no job for kIdleEndMs ends, and the
// watchdog too once no worker is busy, so that a player whose lengths are
// all known runs none of them. The next job starts them again. Jobs are taken by priority: first those the owner marks urgent
// (the playing song, the rows on screen), in the order given, then the rest
// in the order of their entries, which is the playlist's order. Results
// collect until the owner takes them, and the owner hears when the first
// result of a new collection is ready: through its ReplyChannel, on its
// own thread, and never once it has closed the channel (a worker stuck on a
// share can finish long after the owner is gone). Cancelling drops the jobs
// not yet started and every result not yet taken, also those of jobs that
// were under way.
//
// A file that does not answer (a share gone to sleep) must not hold a
// worker for good: every job has a deadline. A watchdog thread answers a
// job past it as unknown, gives its worker up (the thread ends whenever its
// read comes back, and its answer is dropped) and starts a fresh one in its
// place, up to kMaxAbandoned workers given up at a time; past that the
// jobs left are answered unknown too, rather than never.
//
// A share that stopped answering usually holds many songs. Where the owner
// says which place (a mount point) a job reads from, the place of a job
// given up on is suspect: its other jobs are answered unknown at once
// instead of each costing a worker and a deadline, until a worker stuck
// there comes back (the place answers again).
//
// The workers read with the process's I/O class. The idle class (asked
// for with setIdleIo) was measured and not kept: a song playing from the
// same disk never waited for data either way, while another program
// reading the disk made the lengths take three times as long (and a job
// that waits behind it for its 5 s is answered unknown).
//
// Threads are detached and share their state with this object, so that a
// worker stuck in the kernel can outlive it without harm; the measurement
// they run must hold what it uses in the same way.

#include "common/reply_channel.h"
#include "player/core/length/length_job.h"

#include <functional>
#include <memory>
#include <vector>

namespace qpt::length {

class LengthWorkers {
public:
    using Measure = std::function<LengthResult(const LengthJob&)>;
    static constexpr int kDeadlineMs = 5000;
    static constexpr int kMaxAbandoned = 32;
    static constexpr int kIdleEndMs = 3000;
    using PlaceOf = std::function<QByteArray(const LengthJob&)>;

    // `resultsWaiting` runs on the owner's thread through `owner` (none:
    // the owner polls takeResults).
    LengthWorkers(int threads, Measure measure, std::shared_ptr<ReplyChannel> owner,
                  std::function<void()> resultsWaiting, int deadlineMs = kDeadlineMs);
    ~LengthWorkers();
    LengthWorkers(const LengthWorkers&) = delete;
    LengthWorkers& operator=(const LengthWorkers&) = delete;

    // Set before the first job: the workers' I/O class idle instead of the
    // process's (benchmarks compare them).
    void setIdleIo(bool idle);
    // Set before the first job: where a job reads from (empty: nowhere in
    // particular). Called from the workers and the watchdog; it must answer
    // without touching the place itself.
    void setPlaceOf(PlaceOf placeOf);
    // Set before the first job: how long a thread waits for work before
    // it ends (tests shorten it).
    void setIdleEnd(int ms);

    void submit(std::vector<LengthJob> jobs);
    // The entries to measure first, most urgent first (replaces the last
    // list); entries without a waiting job are passed over.
    void setUrgent(std::vector<quint64> entries);
    void cancelAll();
    std::vector<LengthResult> takeResults();
    // Workers given up on whose threads have not come back yet.
    int stuckWorkers() const;
    // Threads running now that are not given up on: the workers and the
    // watchdog.
    int runningThreads() const;

    struct Shared;

private:
    std::shared_ptr<Shared> m;
};

}  // namespace qpt::length
