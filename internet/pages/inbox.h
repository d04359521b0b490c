#pragma once
// Where the results of work on another thread arrive: on the thread the
// inbox lives on (the window thread), and only while its receiver is still
// there. The work never waits for the receiver, nor the receiver for the
// work; the inbox itself goes once neither holds it any longer.

#include <QObject>

#include <functional>
#include <memory>

namespace qpt::internet {

class Inbox : public QObject {
public:
    // An inbox on this thread.
    static std::shared_ptr<Inbox> make();

    // The receiver is going: nothing that arrives from now on is delivered.
    // On the inbox's thread.
    void close() { m_open = false; }

    // From any thread: `deliver` runs on the inbox's thread, unless the
    // inbox has been closed by then.
    static void post(const std::shared_ptr<Inbox>& inbox, std::function<void()> deliver);

private:
    Inbox() = default;

    bool m_open = true;  // read and written on the inbox's thread only
};

}  // namespace qpt::internet
