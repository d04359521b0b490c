#include "download.h"

#include "common/event_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace qpt::internet {

namespace {

// Runs events until the reply has data, has finished or the download was
// cancelled. processEvents keeps working even while the application is
// on its way out, unlike a nested QEventLoop::exec().
void waitForData(QNetworkReply* reply, const int& cancel)
{
    while (reply->bytesAvailable() == 0 && !reply->isFinished() && cancel == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Transport failures, as opposed to an HTTP error status whose body is
// still a whole response.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError
        && !(error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        && !(error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

class RealPauseWaiter : public PauseWaiter {
public:
    void pause(double seconds) override
    {
        QElapsedTimer clock;  // monotonic: no jump at midnight or on a clock change
        clock.start();
        const qint64 wanted = qint64(seconds * 1000.0 + 0.5);
        for (;;) {
            const qint64 left = wanted - clock.elapsed();
            if (left <= 0)
                return;
            letEventsRun(int(qMin<qint64>(left, 50)));
        }
    }
};

RealPauseWaiter g_realWaiter;
PauseWaiter* g_waiter = &g_realWaiter;

}  // namespace

Download Downloader::fetch(const QString& url)
{
    m_cancel = 0;
    Download result;

    // Each download has its own connection manager: nothing is shared with
    // a previous one, and no cache is involved.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    manager.setCache(nullptr);

    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Download String"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // The bytes as the server holds them: no transfer compression, so the
    // received length can be checked against the announced one.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(m_transferTimeoutMs);

    QPointer<QNetworkReply> reply = manager.get(request);
    if (!reply)
        return result;

    char buffer[kChunk];
    for (;;) {
        waitForData(reply, m_cancel);
        if (m_cancel == 1) {
            result.cancelled = true;
            break;
        }
        const qint64 read = reply->read(buffer, kChunk);
        if (read <= 0)
            break;
        result.body.append(buffer, read);
        yieldEvents();
    }

    if (!result.cancelled) {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        bool lengthKnown = false;
        const qlonglong announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
        const bool lengthMatches = !lengthKnown || announced == result.body.size();
        result.complete = reply->isFinished() && !isTransportError(reply->error()) && lengthMatches;
    } else {
        reply->abort();
    }
    delete reply;
    return result;
}

void Pause(double seconds)
{
    PauseWaiter::current().pause(seconds);
}

void letEventsRun(int ms)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(qMax(ms, 0));
    do {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (timer.isActive());
}

PauseWaiter& PauseWaiter::current()
{
    return *g_waiter;
}

void PauseWaiter::install(PauseWaiter* waiter)
{
    g_waiter = waiter ? waiter : &g_realWaiter;
}

void RecordingPauseWaiter::pause(double seconds)
{
    pauses.push_back(seconds);
    yieldEvents();
}

}  // namespace qpt::internet
