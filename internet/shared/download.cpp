#include "download.h"

#include "online_log.h"
#include "web_address.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>

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

TransferEnd endOfFinished(QNetworkReply& reply, const Download& result)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::SslHandshakeFailedError)
        return TransferEnd::NotTrusted;
    if (isTransportError(error)) {
        // A response that had begun and then broke was cut short; anything
        // else (no connection, a redirect loop, a TLS failure) failed.
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

Transfer::Transfer(QObject* parent, QNetworkAccessManager* shared) : QObject(parent), m_shared(shared)
{
    m_idle.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] { end(TransferEnd::Stalled); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { end(TransferEnd::TimedOut); });
}

Transfer::~Transfer()
{
    stopReply();
}

void Transfer::start(const QString& url, const TransferLimits& limits, Sink sink)
{
    abandon();
    m_limits = limits;
    m_sink = std::move(sink);
    m_url = QUrl(url);
    m_result = Download{};
    m_busy = true;

    // No cache is involved, and without a shared manager nothing is shared
    // with a previous transfer.
    if (m_shared) {
        m_manager = m_shared;
    } else {
        if (m_manager)
            m_manager->deleteLater();
        m_manager = new QNetworkAccessManager(this);
        m_manager->setProxy(QNetworkProxy::NoProxy);
    }
    m_manager->setCache(nullptr);

    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Download String"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // The bytes as the server holds them: no transfer compression, so the
    // received length can be checked against the announced one.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);

    QNetworkReply* reply = m_manager->get(request);
    m_reply = reply;
    // Whatever the server sends, no more than this waits in memory.
    reply->setReadBufferSize(kReadBuffer);
    connect(reply, &QNetworkReply::metaDataChanged, this, &Transfer::headersArrived);
    connect(reply, &QNetworkReply::readyRead, this, &Transfer::readAvailable);
    connect(reply, &QNetworkReply::finished, this, &Transfer::replyFinished);
    connect(reply, &QNetworkReply::redirected, this, &Transfer::redirected);
    connect(reply, &QNetworkReply::sslErrors, this, &Transfer::certificateRefused);
    m_idle.start(m_limits.idleMs);
    m_deadline.start(m_limits.deadlineMs);
}

void Transfer::cancel()
{
    end(TransferEnd::Cancelled);
}

void Transfer::abandon()
{
    ++m_generation;
    m_busy = false;
    m_announcing = false;
    m_idle.stop();
    m_deadline.stop();
    stopReply();
}

void Transfer::stopReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    // abort() reports finished() at once: nobody listens any more.
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void Transfer::headersArrived()
{
    if (!m_reply)
        return;
    m_result.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_result.lengthAnnounced = length.isValid();
    if (m_result.lengthAnnounced && length.toLongLong() > m_limits.maxBytes)
        end(TransferEnd::TooLarge);
}

void Transfer::readAvailable()
{
    char buffer[kChunk];
    while (m_busy && m_reply && m_reply->bytesAvailable() > 0) {
        const qint64 read = m_reply->read(buffer, kChunk);
        if (read <= 0)
            break;
        if (m_result.received + read > m_limits.maxBytes) {
            end(TransferEnd::TooLarge);
            return;
        }
        const QByteArrayView bytes(buffer, read);
        if (m_sink && !m_sink(bytes)) {
            end(TransferEnd::NotStored);
            return;
        }
        if (!m_sink)
            m_result.body.append(bytes);
        m_result.received += read;
        m_idle.start(m_limits.idleMs);
    }
}

void Transfer::replyFinished()
{
    if (!m_reply || !m_busy)
        return;
    headersArrived();
    readAvailable();
    // (Reading may have ended the transfer, and with it the reply.)
    if (m_reply && m_reply->error() == QNetworkReply::SslHandshakeFailedError)
        qCWarning(lcOnline).noquote() << "no secure connection to" << m_url.host() << ":" << m_reply->errorString();
    if (m_busy && m_reply)
        end(endOfFinished(*m_reply, m_result));
}

void Transfer::redirected(const QUrl& target)
{
    if (m_reply && isSameSite(m_url, target))
        emit m_reply->redirectAllowed();
    else
        end(TransferEnd::Failed);
}

void Transfer::certificateRefused(const QList<QSslError>& errors)
{
    // Not ignored: the reply ends in a failed handshake. Why, goes to the log.
    for (const QSslError& error : errors)
        qCWarning(lcOnline).noquote() << m_url.host() << "could not prove its identity:" << error.errorString();
}

void Transfer::end(TransferEnd how)
{
    if (!m_busy)
        return;
    m_result.end = how;
    const Download result = m_result;
    abandon();
    m_sink = {};
    // From the event loop, so that whoever is told may start the next
    // transfer at once; once a transfer has been started or abandoned
    // meanwhile, this end is no longer news.
    const quint64 generation = m_generation;
    m_announcing = true;
    QMetaObject::invokeMethod(
        this,
        [this, result, generation] {
            if (generation != m_generation)
                return;
            m_announcing = false;
            emit finished(result);
        },
        Qt::QueuedConnection);
}

}  // namespace qpt::internet
