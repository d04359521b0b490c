#pragma once
// The media component on GStreamer's playbin, audio only.
//
// The window thread never waits for GStreamer: every address plays in a
// PipelineSession of its own, on a thread of its own, and this component
// only posts commands to it and reads the snapshot it keeps. A new address,
// Stop and the end of a song hand the old session over to be taken down
// on its own thread; a session stuck on a file that does not answer (a
// share gone to sleep) stays stuck there without holding anything up.
//
// A source that gives no data within kNoDataMs makes its song unplayable,
// like a file that cannot be opened; so does one that stops giving data
// for as long while its song plays (a share that hangs mid-song). Progress
// is what reaches the output, never the position, which the session runs
// on by the clock between its queries.
//
// Notifications are emitted from the event loop, never from inside an
// operation, in the order they happened.
//
// The environment variable QPT_AUDIO_SINK, when set, is a sink description
// ("fakesink sync=true") that replaces the audio output.

#include "player/core/media/media_component.h"
#include "player/core/media/pipeline_session.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace qpt {

class GstMediaComponent : public MediaComponent {
    Q_OBJECT
public:
    static constexpr int kNoDataMs = 10000;
    // Sessions that did not end when asked (their threads are stuck in
    // the kernel); past this many nothing more is opened.
    static constexpr int kMaxStuckSessions = 32;

    explicit GstMediaComponent(QObject* parent = nullptr);
    ~GstMediaComponent() override;

    void open(const Request& song, const Request& next) override;
    QByteArray url() const override { return m_url; }
    quint64 token() const override { return m_token; }
    bool isCdTrack() const override;

    void play() override;
    void pause() override;
    void stop() override;

    double currentPosition() const override;
    bool setCurrentPosition(double seconds) override;
    double duration() const override;

    int volume() const override { return m_volume; }
    bool setVolume(int volume) override;

    QString status() const override;
    void setNext(const QByteArray& url, quint64 token) override;
    QString lastError() const override { return m_lastError; }
    bool gaveNoData() const override { return m_gaveNoData; }

    // Sessions handed over to end that have not ended yet.
    int endingSessions() const { return int(m_ending.size()); }
    // The no-data deadline, run now (tests).
    void noDataTimeoutForTests() { onNoData(); }
    // How often a playing song's progress is looked at.
    static constexpr int kStallCheckMs = 1000;

private:
    enum class Phase { Empty, Opening, Buffering, Playing, Paused, Stopped, Failed };

    bool hasMedia() const;
    void startSession(double startAt);
    void sendNext();
    void onHandedOverHeard(quint64 token, bool unwanted);
    void endSession();
    void toStopped();
    void fail(const QString& reason);
    void onEvent(quint64 serial, PipelineSession::Event event, const QString& detail, quint64 token);
    void onNoData();
    void watchProgress(bool watching);
    void checkProgress();
    PipelineSession::Snapshot snapshot() const;
    void notify(int state);
    void deliver();

    PipelineSession* m_session = nullptr;  // lives on its own thread
    quint64 m_serial = 0;
    QList<QThread*> m_ending;
    QTimer m_noData;
    QTimer m_stallCheck;            // while playing
    quint64 m_buffersSeen = 0;      // at the last progress
    QElapsedTimer m_sinceProgress;

    QByteArray m_url;
    quint64 m_token = 0;
    QString m_lastError;
    bool m_gaveNoData = false;
    Phase m_phase = Phase::Empty;
    bool m_prerolled = false;    // position and seeks work
    double m_pendingSeek = -1;   // a seek asked for before the media was ready
    mutable double m_duration = 0;
    int m_volume = 100;

    // The next song as last sent to the session; nullopt when the session
    // must be told again (a song change made the last one meaningless).
    std::optional<Request> m_next;
    // Every next song sent to this session since its song started: the one
    // heard may be an earlier one than the last (a change that came too
    // late), and its address is found here by its token.
    QList<Request> m_nextSent;

    QList<int> m_pending;        // notifications not yet emitted
    bool m_deliveryPosted = false;
    int m_lastEmitted = playstate::Undefined;
};

}  // namespace qpt
