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
    // The queued call holds the inbox weakly: when the application ends
    // with the call still queued, Qt destroys it while it holds its event
    // lock, and a last strong reference there would post the inbox's
    // deletion under that same lock and hang the exit.
    QMetaObject::invokeMethod(
        inbox.get(),
        [weak = std::weak_ptr<Inbox>(inbox), deliver = std::move(deliver)] {
            const std::shared_ptr<Inbox> inbox = weak.lock();
            if (inbox && inbox->m_open)
                deliver();
        },
        Qt::QueuedConnection);
}

}  // namespace qpt::internet
