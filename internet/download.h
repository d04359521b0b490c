#pragma once
// Fetching a URL from the update host.
//
// A transfer reads the body in 2048-byte chunks and lets pending window
// events run after every chunk, so the windows stay painted, timers keep
// ticking and a Cancel click is seen while a program image arrives. Every
// transfer has limits: at most so many bytes (kept in memory or handed to a
// sink such as a file), and no more than so long without a byte.

#include <QByteArray>
#include <QString>

#include <functional>

namespace qpt::internet {

// How a transfer ended.
enum class TransferEnd {
    Complete,   // the response ended as the server meant it to end
    Failed,     // no connection, no response, a redirect loop
    CutShort,   // the connection broke, or fewer bytes than announced came
    TooLarge,   // more than the limit was announced or sent
    Stalled,    // no byte arrived for the idle limit
    Cancelled,  // cancel()
    NotStored,  // the sink could not keep the bytes
};

struct TransferLimits {
    qint64 maxBytes = 1024 * 1024;
    int idleMs = 30000;
};

// One finished transfer with what is known about its completeness.
struct Download {
    QByteArray body;   // the bytes received, in order, unchanged (memory transfers)
    qint64 received = 0;
    int status = 0;    // HTTP status code, 0 when no response arrived
    bool lengthAnnounced = false;
    bool chunked = false;
    TransferEnd end = TransferEnd::Failed;

    // A 2xx response that ended normally.
    bool succeeded() const { return end == TransferEnd::Complete && status >= 200 && status < 300; }
    // A successful response whose end can be trusted: its length was
    // announced and every byte came. A body ended only by the server
    // closing the connection may have been cut anywhere.
    bool arrivedWhole() const { return succeeded() && lengthAnnounced; }
    // A chunked body that seemed to end properly. The network layer (Qt 6.4)
    // now and then reports a chunked body whose connection closed before
    // the closing chunk as complete, so such an end is only a claim that
    // something else (a published digest) must back.
    bool chunkedClaimsWhole() const { return succeeded() && !lengthAnnounced && chunked; }
};

class Downloader {
public:
    static constexpr int kChunk = 2048;
    // What the internal buffer of a response may hold before reading from
    // the network pauses.
    static constexpr qint64 kReadBuffer = 64 * 1024;
    static constexpr int kMaxRedirects = 10;

    // Takes the bytes of a transfer as they arrive; false stops it.
    using Sink = std::function<bool(const char* data, qint64 size)>;

    // The body of a fresh GET of the URL, whatever its status, with what is
    // known about its end.
    Download fetch(const QString& url, const TransferLimits& limits = {});
    // The same read loop handing every chunk to a sink (body stays empty).
    Download fetchInto(const QString& url, const TransferLimits& limits, const Sink& sink);

    // A transfer in progress stops after its current chunk.
    void cancel() { m_cancelled = true; }
    bool isBusy() const { return m_busy; }

private:
    bool m_cancelled = false;
    bool m_busy = false;
};

}  // namespace qpt::internet
