#pragma once
// A thread of its own that runs jobs one after another, in the order they
// were posted: for work on the user's files, which may wait for good (a
// network share that stopped answering blocks a stat or a read in the
// kernel). The window thread posts and goes on; a job reports back by
// invoking a functor on a window-thread object (Qt::QueuedConnection).
//
// A worker going away lets its job under way finish on its own: the thread
// is left behind (detached) instead of being waited for, and the jobs not
// started are dropped. Jobs must therefore capture what they use by value.

#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace qpt {

// Where a worker's job reports back: a functor run on a window-thread
// object's thread (queued), for as long as that object lives. The owner
// closes the channel as it goes; later replies are dropped.
class ReplyChannel {
public:
    explicit ReplyChannel(QObject* receiver) : m_receiver(receiver) {}
    static std::shared_ptr<ReplyChannel> to(QObject* receiver) { return std::make_shared<ReplyChannel>(receiver); }

    void reply(std::function<void()> what);
    void close();

private:
    std::mutex m_mutex;
    QObject* m_receiver;
};

class SerialWorker {
public:
    explicit SerialWorker(const char* threadName);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);
    // No job waiting or under way.
    bool isIdle() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> m_state;
};

}  // namespace qpt
