#pragma once
// One GStreamer playbin playing one address, on a thread of its own.
//
// Everything that can wait lives here: looking at the file (a share that
// stops answering blocks a stat or an open for good), state changes that
// join streaming threads, seeks that take the stream lock, queries that
// reach the source. The media component on the window thread only posts
// commands to a session and hears its events; when a session does not
// answer, the component gives up on it and starts a fresh one, and the
// stuck one ends whenever its thread comes back.
//
// Bus messages are taken in the bus's sync handler (on whichever thread
// posts them), queued under a lock and handled on the session's thread: a
// message is always in the queue before the wake-up for it is sent, so no
// message (an end of stream least of all) waits for a later one.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

namespace qpt {

class PipelineSession : public QObject {
    Q_OBJECT
public:
    enum class Event {
        Playing,    // playbin reached PLAYING as asked
        Paused,     // playbin reached PAUSED as asked
        Buffering,  // a network stream holds the clock while its queue fills
        Prerolled,  // data reached the sink: the source answers
        Ended,      // end of stream
        Failed,     // the address cannot be played; the detail says why
        Advanced,   // the next address set ahead of time is heard now
        // A next address handed to playbin ahead of time reached the sink
        // although a different next was asked for since: it is muted from
        // its first sample, and the component plays the one asked for.
        AdvancedUnwanted,
    };
    Q_ENUM(Event)

    // What the window thread may read at any time, refreshed by the session;
    // while playing, the position read runs on from the last refresh.
    struct Snapshot {
        double position = 0;  // seconds
        double duration = 0;  // seconds, 0 until known
        int bitrate = 0;      // bits per second, 0 when unknown
        int bufferPercent = 100;
        bool remote = false;  // a network address
        // Buffers that have reached the output so far: real progress, which
        // the position (running on by the clock) is not.
        quint64 buffersAtSink = 0;
        bool countsBuffers = false;  // the count above is kept
    };

    // A session is made on the window thread and moved to its own thread.
    PipelineSession(quint64 serial, int volume);
    ~PipelineSession() override;

    quint64 serial() const { return m_serial; }
    Snapshot snapshot() const;

    // Commands: invoked queued, carried out on the session's thread.
    void open(const QByteArray& address, double startAt, const QByteArray& next, quint64 nextToken);
    void play();
    void pause();
    void seek(double seconds);
    void setVolume(int volume);
    // The address to go on with, without a gap, when the current one ends
    // (empty: none), and the token its events carry.
    void setNext(const QByteArray& address, quint64 token);
    // Takes the pipeline down and ends the session's thread.
    void close();

    // GStreamer is started once per process, on the first session's thread.
    static void initialiseGStreamer();

signals:
    // `token` names the next address for Advanced and AdvancedUnwanted.
    void event(quint64 serial, qpt::PipelineSession::Event event, const QString& detail, quint64 token);

private:
    bool makePipeline();
    void fail(const QString& reason);
    void reached(int state);
    void handle(GstMessage* message);
    void drain();
    void refreshSnapshot();
    void applyVolume();
    void say(Event what, const QString& detail = QString(), quint64 token = 0);
    void sayHandedOverHeard();
    static int onSyncMessage(GstBus* bus, GstMessage* message, void* self);
    static void onAboutToFinish(GstElement* playbin, void* self);
    double positionNow() const;
    // Releases a streaming thread waiting for the next address; it never
    // waits again in this session.
    void stopWaitingForNext();
    // A handed-over stream that failed before it was heard: the song
    // before it plays out first, then the failure is told.
    void failHandedOverLater(const QString& reason);
    // The position runs on by the clock from now on (or stops where it is).
    void setClockRunning(bool running);
    // Counts every buffer that reaches a sink of the pipeline from now on.
    void countBuffersAtSinks();

    // Whether the next song's file opens, found out on a thread of its own
    // (a share that stops answering keeps that thread, not the session).
    struct NextCheck;

    const quint64 m_serial;
    GstElement* m_playbin = nullptr;
    GstBus* m_bus = nullptr;
    QTimer m_refresh;  // the snapshot while playing
    using Clock = std::chrono::steady_clock;
    int m_volume;
    int m_target = 0;          // the GstState asked for
    bool m_prerolled = false;  // position and seeks work
    double m_pendingSeek = -1;
    bool m_failed = false;
    bool m_ended = false;
    int m_streamsStarted = 0;
    bool m_counting = false;
    std::atomic<quint64> m_buffersAtSink{0};  // bumped on streaming threads
    QString m_handedFailure;  // why the handed-over stream failed, told at the end
    QTimer m_handedFailureDue;  // ... or when the song before cannot have more to play

    mutable std::mutex m_mutex;  // guards what follows
    QString m_nextUri;           // read by playbin's streaming thread
    quint64 m_nextToken = 0;
    bool m_nextReadsImage = false;  // m_nextUri is a CD image's track
    std::shared_ptr<NextCheck> m_nextCheck;  // for m_nextUri
    bool m_handedOver = false;   // the next URI was given to playbin
    quint64 m_handedToken = 0;   // ... with this token
    QString m_handedUri;
    bool m_handedUnwanted = false;  // a different next was asked for since
    bool m_handedArrived = false;   // its stream start reached the sink
    // The component has said what follows the song heard now. After a
    // hand-over it has not, until it hears of the new song; a short song
    // may end before that, so about-to-finish waits a little for it.
    bool m_nextAnswered = true;
    bool m_nextWaitOver = false;  // closing: nothing waits any more
    std::condition_variable m_nextSet;
    std::deque<GstMessage*> m_messages;
    bool m_drainPosted = false;
    Snapshot m_snapshot;
    Clock::time_point m_positionAt;  // when m_snapshot.position was true
    bool m_clockRunning = false;     // playing: the position runs on from there
};

}  // namespace qpt
