#include "termination_requests.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace qpt {

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing else is safe here; a full pipe already holds a request. The
    // interrupted code may be about to read errno.
    const int savedErrno = errno;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

bool installHandlers()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    // Ctrl+C in the terminal that started the program ends it in order too.
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

}  // namespace

TerminationRequests::TerminationRequests(QObject* parent) : QObject(parent)
{
    if (!installHandlers())
        return;
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_wakeFd = wake[1];
    m_watcherRunning = true;
    std::thread([this, stopFd = wake[0]] {
        pollfd fds[2] = {{g_pipe[0], POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            if (fds[1].revents)
                break;  // this object is going
            if (!(fds[0].revents & POLLIN))
                continue;
            char bytes[64];
            bool any = false;
            while (::read(g_pipe[0], bytes, sizeof bytes) > 0)
                any = true;
            if (any)
                watch();
        }
        ::close(stopFd);
        const std::lock_guard lock(m_mutex);
        m_watcherRunning = false;
        m_watcherEnded.notify_all();
    }).detach();
}

TerminationRequests::~TerminationRequests()
{
    if (m_wakeFd < 0)
        return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &byte, 1);
    std::unique_lock lock(m_mutex);
    // The watcher is either at its poll (it ends at once) or waiting for
    // the save, which ends within the guard's time.
    m_watcherEnded.wait(lock, [this] { return !m_watcherRunning; });
    ::close(m_wakeFd);
}

void TerminationRequests::setSaveGuard(SaveGuard guard)
{
    const std::lock_guard lock(m_mutex);
    m_guard = std::move(guard);
}

void TerminationRequests::markSaved()
{
    const std::lock_guard lock(m_mutex);
    m_saved = true;
    m_savedChanged.notify_all();
}

// On the watcher thread: one request.
void TerminationRequests::watch()
{
    emit requested();  // queued: the receivers live on the window thread
    bool guarded = false;
    {
        const std::lock_guard lock(m_mutex);
        guarded = bool(m_guard.save);
    }
    if (guarded)
        guardExit();
}

void TerminationRequests::guardExit()
{
    std::unique_lock lock(m_mutex);
    if (!m_savedChanged.wait_for(lock, std::chrono::milliseconds(kSaveWaitMs), [this] { return m_saved; })) {
        // The window thread did not answer in time: save from memory here.
        const std::function<void()> save = m_guard.save;
        lock.unlock();
        save();
        lock.lock();
        m_saved = true;
    }
    // The orderly end takes the fade's time at most; past that something
    // holds the process (a thread stuck in the kernel), and it ends here.
    m_savedChanged.wait_for(lock, std::chrono::milliseconds(kEndWaitMs), [] { return false; });
    const std::function<void()> lastWords = m_guard.lastWords;
    lock.unlock();
    if (lastWords)
        lastWords();
    ::_exit(0);
}

}  // namespace qpt
