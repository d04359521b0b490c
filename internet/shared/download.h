#pragma once
// Fetching a URL from the update host, driven by the reply's signals: the
// window thread never waits for the network. A transfer reads the body as
// it arrives and hands it on (kept in memory, or given to a sink such as a
// file), and says once, by finished(), how it ended.
//
// Every transfer has limits: at most so many bytes, no more than so long
// without a byte, and no more than so long in all (a host that drips a byte
// now and then would otherwise keep it alive for ever). Redirects go only
// to the same site (web_address.h: the same host, or from http to https on
// it). A host whose certificate does not hold is not trusted, and that is
// said as such (and its TLS errors logged), never as a missing connection.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QSslError;

namespace qpt::internet {

// How a transfer ended.
enum class TransferEnd {
    Complete,   // the response ended as the server meant it to end
    Failed,     // no connection, no response, a refused redirect
    NotTrusted, // the host could not prove its identity (its certificate), or
                // no secure connection to it could be made
    CutShort,   // the connection broke, or fewer bytes than announced came
    TooLarge,   // more than the limit was announced or sent
    Stalled,    // no byte arrived for the idle limit
    TimedOut,   // the transfer as a whole took longer than its deadline
    Cancelled,  // cancel(): the user's own doing
    NotStored,  // the sink could not keep the bytes
};

struct TransferLimits {
    qint64 maxBytes = 1024 * 1024;
    int idleMs = 30000;
    int deadlineMs = 120000;
};

// One finished transfer with what is known about its completeness.
struct Download {
    QByteArray body;   // the bytes received, in order, unchanged (memory transfers)
    qint64 received = 0;
    int status = 0;    // HTTP status code, 0 when no response arrived
    bool lengthAnnounced = false;
    TransferEnd end = TransferEnd::Failed;

    // A 2xx response that ended normally.
    bool succeeded() const { return end == TransferEnd::Complete && status >= 200 && status < 300; }
};

class Transfer : public QObject {
    Q_OBJECT
public:
    // Takes the bytes of a transfer as they arrive; false stops it.
    using Sink = std::function<bool(QByteArrayView bytes)>;

    static constexpr qint64 kChunk = 2048;
    // What the network layer may hold for a response before reading from
    // the connection pauses.
    static constexpr qint64 kReadBuffer = 64 * 1024;
    static constexpr int kMaxRedirects = 10;

    // Without a manager of its own choosing, each transfer gets a fresh one
    // (nothing is shared with a previous transfer); with one, the transfers
    // share its connections (the pictures of a page).
    explicit Transfer(QObject* parent = nullptr, QNetworkAccessManager* shared = nullptr);
    ~Transfer() override;

    // A fresh (uncached) GET of the URL. Without a sink the body is kept in
    // the Download. A transfer still running is abandoned first. finished()
    // always comes from the event loop, never from within start().
    void start(const QString& url, const TransferLimits& limits, Sink sink = {});
    // The transfer in progress ends as Cancelled (finished() follows).
    void cancel();
    // The transfer in progress stops without a word (the program ends).
    void abandon();
    // Until finished() has been emitted (or the transfer abandoned).
    bool isBusy() const { return m_busy || m_announcing; }

signals:
    void finished(const qpt::internet::Download& download);

private:
    void readAvailable();
    void headersArrived();
    void replyFinished();
    void redirected(const QUrl& target);
    void certificateRefused(const QList<QSslError>& errors);
    void end(TransferEnd end);
    void stopReply();

    QNetworkAccessManager* m_shared = nullptr;
    QPointer<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_idle;
    QTimer m_deadline;
    TransferLimits m_limits;
    Sink m_sink;
    QUrl m_url;
    Download m_result;
    bool m_busy = false;        // data is still taken
    bool m_announcing = false;  // ended, finished() not yet emitted
    quint64 m_generation = 0;
};

}  // namespace qpt::internet
