#pragma once
// A thread of its own that runs jobs one after another, in the order they
// were posted: for work on the user's files, which may wait for good (a
// network share that stopped answering blocks a stat or a read in the
// kernel). The window thread posts and goes on; a job reports back through
// a ReplyChannel to its owner.
//
// The thread starts with the first job and ends after idleEndMs without
// one (the next job starts it again): most of these workers are used now
// and then (a drop, a playlist file), and a thread waiting for good for
// each of them only adds to the player's threads while it plays.
//
// A worker going away lets its job under way finish on its own: the thread
// is left behind (detached) instead of being waited for, and the jobs not
// started are dropped. Jobs must therefore capture what they use by value.

#include "common/reply_channel.h"

#include <functional>
#include <memory>

namespace qpt {

class SerialWorker {
public:
    static constexpr int kIdleEndMs = 3000;

    explicit SerialWorker(const char* threadName, int idleEndMs = kIdleEndMs);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);
    // No job waiting or under way.
    bool isIdle() const;
    // Whether its thread runs now (tests).
    bool hasThread() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> m_state;
};

}  // namespace qpt
