#pragma once
// SIGTERM, SIGHUP and SIGINT (the end of a desktop session, a service
// manager, a kill or Ctrl+C from a terminal): the signal handler only writes one byte into a
// pipe; a watcher thread of its own reads it and asks the window thread,
// by a queued signal, to end the program in order.
//
// The end must not depend on the window thread: with a save guard set, the
// watcher waits kSaveWaitMs for the window thread to say its save is
// durable (markSaved), saves from memory itself when it did not, and ends
// the process kEndWaitMs after the save when the orderly end has not come
// (threads stuck in the kernel on a share that does not answer).

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace qpt {

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    static constexpr int kSaveWaitMs = 1000;
    static constexpr int kEndWaitMs = 3000;

    // Installs the handlers for this process (once; a second object only
    // listens as well).
    explicit TerminationRequests(QObject* parent = nullptr);
    ~TerminationRequests() override;

    struct SaveGuard {
        // Saves what must not be lost, from memory, on the watcher thread.
        std::function<void()> save;
        // Leaves the folders as an orderly end would, just before the
        // process is ended from the watcher thread.
        std::function<void()> lastWords;
    };
    void setSaveGuard(SaveGuard guard);
    // Any thread: what must not be lost is on disk (or there was nothing).
    void markSaved();

signals:
    void requested();

private:
    void watch();
    void guardExit();

    int m_wakeFd = -1;  // ends the watcher when this object goes
    SaveGuard m_guard;
    std::mutex m_mutex;
    std::condition_variable m_savedChanged;
    bool m_saved = false;
    bool m_watcherRunning = false;
    std::condition_variable m_watcherEnded;
};

}  // namespace qpt
