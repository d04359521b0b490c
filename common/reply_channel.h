#pragma once
// Where a worker thread reports back to its owner: a functor run on the
// owner's thread (queued), for as long as the owner lives. The worker
// holds the channel by shared_ptr, never the owner itself; the owner closes
// it in its destructor, under the channel's lock, so that a worker that
// finishes later (one stuck on a share that stopped answering) delivers
// nowhere instead of into a destroyed object.

#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace qpt {

class ReplyChannel {
public:
    explicit ReplyChannel(QObject* receiver) : m_receiver(receiver) {}
    static std::shared_ptr<ReplyChannel> to(QObject* receiver) { return std::make_shared<ReplyChannel>(receiver); }

    // From any thread: `what` runs on the receiver's thread, unless the
    // channel is closed first. False when it was closed already.
    bool reply(std::function<void()> what);
    // By the owner as it goes; a reply under way finishes posting first.
    void close();
    bool isOpen() const;

private:
    mutable std::mutex m_mutex;
    QObject* m_receiver;
};

}  // namespace qpt
