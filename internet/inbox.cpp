#include "inbox.h"

namespace qpt::internet {

std::shared_ptr<Inbox> Inbox::make()
{
    // The last holder may be the worker thread: the inbox is deleted on its
    // own thread.
    return std::shared_ptr<Inbox>(new Inbox, [](Inbox* inbox) { inbox->deleteLater(); });
}

void Inbox::post(const std::shared_ptr<Inbox>& inbox, std::function<void()> deliver)
{
    QMetaObject::invokeMethod(
        inbox.get(),
        [inbox, deliver = std::move(deliver)] {
            if (inbox->m_open)
                deliver();
        },
        Qt::QueuedConnection);
}

}  // namespace qpt::internet
