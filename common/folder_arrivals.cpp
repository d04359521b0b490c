#include "common/folder_arrivals.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcArrivals, "qpt.arrivals")

namespace qpt {

FolderArrivals::FolderArrivals(const QString& folder, QObject* parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        qCWarning(lcArrivals) << "cannot watch" << folder << ":" << std::strerror(errno);
        return;
    }
    if (::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_ONLYDIR) < 0) {
        qCWarning(lcArrivals) << "cannot watch" << folder << ":" << std::strerror(errno);
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderArrivals::readEvents);
#else
    Q_UNUSED(folder);
#endif
}

FolderArrivals::~FolderArrivals()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void FolderArrivals::readEvents()
{
#ifdef Q_OS_LINUX
    // Events are read whole: the kernel never splits one across reads.
    alignas(struct inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            return;  // drained (EAGAIN), or the watch is gone
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                emit arrived(QString());  // names lost: something may have come
            } else if ((event->mask & IN_MOVED_TO) && event->len > 0) {
                emit arrived(QFile::decodeName(event->name));
            }
        }
    }
#endif
}

}  // namespace qpt
