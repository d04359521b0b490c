#pragma once
// The media component on GStreamer's playbin, audio only.
//
// Bus messages are posted on GStreamer's threads; a sync handler only wakes
// the Qt thread with a queued call, and that call pops the messages and
// emits the notifications. So every notification is emitted on the thread
// that owns the component, outside any GStreamer callback and lock, also
// while a notification handler yields to events (a handler that assigns the
// next address and yields sees that address's notifications at once).
//
// The environment variable QPT_AUDIO_SINK, when set, is a sink description
// ("fakesink sync=true") that replaces the audio output.

#include "player/core/media/media_component.h"

#include <QList>

#include <atomic>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

namespace qpt {

class GstMediaComponent : public MediaComponent {
    Q_OBJECT
public:
    explicit GstMediaComponent(QObject* parent = nullptr);
    ~GstMediaComponent() override;

    void setUrl(const QByteArray& url) override;
    QByteArray url() const override { return m_url; }
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
    QString lastError() const override { return m_lastError; }

private:
    enum class Phase { Empty, Opening, Buffering, Playing, Paused, Stopped, Failed };

    bool ensurePipeline();
    bool hasMedia() const;
    void start();
    void unload();
    void fail(const QString& reason);
    void toStopped();
    void applyVolume();
    void settle();
    void reached(int state);
    void handleMessage(GstMessage* message);
    void notify(int state);
    void wake();
    void deliver();

    GstElement* m_playbin = nullptr;
    GstBus* m_bus = nullptr;
    bool m_pipelineFailed = false;  // playbin is missing: said once
    std::atomic_bool m_wakePending{false};

    QByteArray m_url;
    QString m_lastError;
    Phase m_phase = Phase::Empty;
    int m_target = 0;            // the GstState asked for
    bool m_prerolled = false;    // position and seeks work
    double m_pendingSeek = -1;   // a seek asked for before preroll
    mutable double m_duration = 0;
    int m_bitrate = 0;           // bits per second, 0 when unknown
    int m_bufferPercent = 100;
    bool m_remote = false;       // a network address
    int m_volume = 100;

    QList<int> m_pending;        // notifications not yet emitted
    int m_lastEmitted = playstate::Undefined;
};

}  // namespace qpt
