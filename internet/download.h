#pragma once
// Fetching a URL from the update host, and the responsive pause.
//
// DownloadString reads the body in 2048-byte chunks and lets pending window
// events run after every chunk, so the windows stay painted and timers keep
// ticking while a program image arrives. Pause waits on a monotonic clock
// with events running; how it waits can be replaced (PauseWaiter) so that
// tests do not spend real seconds.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace qpt::internet {

// One finished download with what is known about its completeness.
struct Download {
    QByteArray body;     // every byte received, in order, unchanged
    int status = 0;      // HTTP status code, 0 when no response arrived
    bool complete = false;  // the transfer ended normally and, where the
                            // server announced a length, all of it arrived
    bool cancelled = false;

    // What may be installed as a program: a whole, non-empty body of a
    // successful response.
    bool isWholeProgram() const
    {
        return complete && !cancelled && status >= 200 && status < 300 && !body.isEmpty();
    }
};

class Downloader {
public:
    static constexpr int kChunk = 2048;

    // The body of the response to a fresh GET of the URL, whatever its
    // status; empty when nothing could be read. Never throws.
    QByteArray DownloadString(const QString& url) { return fetch(url).body; }

    // The same read loop, reporting whether the body arrived whole.
    Download fetch(const QString& url);

    // A download in progress stops after its current chunk.
    void CancelDownload() { m_cancel = 1; }

    // Gives up on a server that stays silent this long (milliseconds).
    void setTransferTimeout(int ms) { m_transferTimeoutMs = ms; }

private:
    int m_cancel = 0;
    int m_transferTimeoutMs = 30000;
};

// Waits at least the given number of seconds with pending events running.
void Pause(double seconds);

// Lets pending events run for about the given time (the polling step of
// the waits for another program).
void letEventsRun(int ms);

// How Pause waits. The real one measures on a monotonic clock.
class PauseWaiter {
public:
    virtual ~PauseWaiter() = default;
    virtual void pause(double seconds) = 0;

    static PauseWaiter& current();
    static void install(PauseWaiter* waiter);  // nullptr restores the real one
};

// Records each requested pause and only lets pending events run.
class RecordingPauseWaiter : public PauseWaiter {
public:
    void pause(double seconds) override;
    QVector<double> pauses;
};

class ScopedPauseWaiter {
public:
    explicit ScopedPauseWaiter(PauseWaiter* waiter) { PauseWaiter::install(waiter); }
    ~ScopedPauseWaiter() { PauseWaiter::install(nullptr); }
    ScopedPauseWaiter(const ScopedPauseWaiter&) = delete;
    ScopedPauseWaiter& operator=(const ScopedPauseWaiter&) = delete;
};

}  // namespace qpt::internet
