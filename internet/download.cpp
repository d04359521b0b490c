#include "download.h"

#include "common/clock.h"
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

// Transport failures, as opposed to an HTTP error status whose body is
// still a whole response.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError
        && !(error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        && !(error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

// What the response has told about itself so far.
void takeHeaders(QNetworkReply& reply, Download& result)
{
    result.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.lengthAnnounced = reply.header(QNetworkRequest::ContentLengthHeader).isValid();
    result.chunked = reply.rawHeader("Transfer-Encoding").toLower().contains("chunked");
}

TransferEnd endOfFinished(QNetworkReply& reply, const Download& result)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (isTransportError(error)) {
        // A response that had begun and then broke was cut short; anything
        // else (no connection, a redirect loop, a refused request) failed.
        const bool begun = result.status != 0 && error != QNetworkReply::TooManyRedirectsError
                        && error != QNetworkReply::InsecureRedirectError;
        return begun ? TransferEnd::CutShort : TransferEnd::Failed;
    }
    if (result.lengthAnnounced) {
        const qlonglong announced = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced != result.received)
            return TransferEnd::CutShort;
    }
    return TransferEnd::Complete;
}

}  // namespace

Download Downloader::fetch(const QString& url, const TransferLimits& limits)
{
    QByteArray body;
    Download result = fetchInto(url, limits, [&body](const char* data, qint64 size) {
        body.append(data, size);
        return true;
    });
    result.body = std::move(body);
    return result;
}

Download Downloader::fetchInto(const QString& url, const TransferLimits& limits, const Sink& sink)
{
    m_cancelled = false;
    m_busy = true;
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
    request.setMaximumRedirectsAllowed(kMaxRedirects);

    QPointer<QNetworkReply> reply = manager.get(request);
    if (!reply) {
        m_busy = false;
        return result;
    }
    // Whatever the server sends, no more than this waits in memory.
    reply->setReadBufferSize(kReadBuffer);

    // Wakes the wait below now and then, so that a silent server is noticed
    // even when no other event comes.
    QTimer wake;
    wake.start(qBound(10, limits.idleMs / 4, 250));
    QElapsedTimer idle;
    idle.start();

    bool finished = false;
    char buffer[kChunk];
    for (;;) {
        if (m_cancelled) {
            result.end = TransferEnd::Cancelled;
            break;
        }
        takeHeaders(*reply, result);
        bool announcedOk = true;
        const qlonglong announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&announcedOk);
        if (result.lengthAnnounced && announcedOk && announced > limits.maxBytes) {
            result.end = TransferEnd::TooLarge;
            break;
        }
        if (reply->bytesAvailable() > 0) {
            const qint64 read = reply->read(buffer, kChunk);
            if (read > 0) {
                if (result.received + read > limits.maxBytes) {
                    result.end = TransferEnd::TooLarge;
                    break;
                }
                if (!sink(buffer, read)) {
                    result.end = TransferEnd::NotStored;
                    break;
                }
                result.received += read;
                idle.restart();
                yieldEvents();
                continue;
            }
        }
        if (reply->isFinished()) {
            finished = true;
            result.end = endOfFinished(*reply, result);
            break;
        }
        if (idle.elapsed() >= limits.idleMs) {
            result.end = TransferEnd::Stalled;
            break;
        }
        // processEvents keeps working even while the application is on its
        // way out, unlike a nested QEventLoop::exec().
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    if (reply) {
        if (!finished)
            reply->abort();
        delete reply;
    }
    m_busy = false;
    return result;
}

}  // namespace qpt::internet
