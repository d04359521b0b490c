#include "common/reply_channel.h"

#include <QObject>

namespace qpt {

bool ReplyChannel::reply(std::function<void()> what)
{
    const std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return false;
    // Posted while the receiver surely lives (closing waits for this lock);
    // Qt drops the event should the receiver go before it runs.
    QMetaObject::invokeMethod(m_receiver, std::move(what), Qt::QueuedConnection);
    return true;
}

void ReplyChannel::close()
{
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

bool ReplyChannel::isOpen() const
{
    const std::lock_guard lock(m_mutex);
    return m_receiver != nullptr;
}

}  // namespace qpt
