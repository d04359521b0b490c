#include "player/core/media/gst_media_component.h"

#include "common/native_path.h"
#include "player/core/media/media_address.h"

#include <QLoggingCategory>
#include <QThread>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcSession)

namespace qpt {

GstMediaComponent::GstMediaComponent(QObject* parent) : MediaComponent(parent)
{
    m_noData.setSingleShot(true);
    m_noData.setInterval(kNoDataMs);
    connect(&m_noData, &QTimer::timeout, this, &GstMediaComponent::onNoData);
    m_stallCheck.setInterval(kStallCheckMs);
    connect(&m_stallCheck, &QTimer::timeout, this, &GstMediaComponent::checkProgress);
}

GstMediaComponent::~GstMediaComponent()
{
    endSession();
    // Sessions still ending go on without us; their threads clean up after
    // themselves when (if ever) they come back.
    for (QThread* thread : std::as_const(m_ending)) {
        disconnect(thread, nullptr, this, nullptr);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    }
}

bool GstMediaComponent::isCdTrack() const
{
    return media::isCdTrackAddress(m_url);
}

bool GstMediaComponent::hasMedia() const
{
    return m_phase != Phase::Empty && m_phase != Phase::Failed;
}

PipelineSession::Snapshot GstMediaComponent::snapshot() const
{
    return m_session ? m_session->snapshot() : PipelineSession::Snapshot{};
}

void GstMediaComponent::open(const Request& song, const Request& next)
{
    const QByteArray& url = song.url;
    m_url = url;
    m_token = url.isEmpty() ? 0 : song.token;
    m_next = next;
    m_nextSent = {next};
    m_lastError.clear();
    m_gaveNoData = false;
    // Whatever the previous media still had to say is stale now.
    m_pending.clear();
    const bool hadMedia = hasMedia();
    endSession();
    m_prerolled = false;
    m_pendingSeek = -1;
    m_duration = 0;
    if (url.isEmpty()) {
        m_phase = Phase::Empty;
        if (hadMedia)
            notify(playstate::Stopped);
        return;
    }
    startSession(0);
}

// Opens m_url in a new session, from startAt seconds.
void GstMediaComponent::startSession(double startAt)
{
    m_phase = Phase::Opening;
    m_prerolled = false;
    m_pendingSeek = startAt > 0 ? startAt : -1;
    notify(playstate::Transitioning);
    if (m_ending.size() >= kMaxStuckSessions) {
        fail(QStringLiteral("too many songs that do not answer"));
        return;
    }
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("media session"));
    m_session = new PipelineSession(++m_serial, m_volume);
    m_session->moveToThread(thread);
    connect(m_session, &PipelineSession::event, this, &GstMediaComponent::onEvent, Qt::QueuedConnection);
    connect(thread, &QThread::finished, this, [this, thread] {
        m_ending.removeOne(thread);
        thread->deleteLater();
    });
    const Request next = m_next.value_or(Request{});
    m_next = next;
    QMetaObject::invokeMethod(
        m_session,
        [session = m_session, url = m_url, startAt, next] { session->open(url, startAt, next.url, next.token); },
        Qt::QueuedConnection);
    thread->start();
    m_noData.start();
}

// Hands the session over to end on its own thread, however long that takes.
void GstMediaComponent::endSession()
{
    m_noData.stop();
    watchProgress(false);
    if (!m_session)
        return;
    m_ending << m_session->thread();
    QMetaObject::invokeMethod(m_session, &PipelineSession::close, Qt::QueuedConnection);
    m_session = nullptr;
}

void GstMediaComponent::fail(const QString& reason)
{
    qCWarning(lcSession).noquote() << "cannot play" << nativepath::displayText(m_url) << "-" << reason;
    m_lastError = reason;
    endSession();
    m_phase = Phase::Failed;
    m_prerolled = false;
    m_pendingSeek = -1;
    notify(playstate::Stopped);
}

void GstMediaComponent::onNoData()
{
    if (m_session && !m_prerolled) {
        m_gaveNoData = true;
        fail(QStringLiteral("no data within %1 seconds").arg(kNoDataMs / 1000));
    }
}

// Only while playing: paused, a song gives nothing and owes nothing, and a
// network stream that buffers says so itself.
void GstMediaComponent::watchProgress(bool watching)
{
    if (!watching) {
        m_stallCheck.stop();
        return;
    }
    m_buffersSeen = snapshot().buffersAtSink;
    m_sinceProgress.start();
    m_stallCheck.start();
}

void GstMediaComponent::checkProgress()
{
    if (!m_session || m_phase != Phase::Playing) {
        m_stallCheck.stop();
        return;
    }
    const PipelineSession::Snapshot now = snapshot();
    // Without a sink to count at, nothing can be told: the song plays on.
    if (!now.countsBuffers)
        return;
    const quint64 buffers = now.buffersAtSink;
    if (buffers != m_buffersSeen) {
        m_buffersSeen = buffers;
        m_sinceProgress.start();
        return;
    }
    if (m_sinceProgress.elapsed() < kNoDataMs)
        return;
    // Passed over as a song that never started, with the same message.
    m_gaveNoData = true;
    fail(QStringLiteral("no data for %1 seconds").arg(kNoDataMs / 1000));
}

void GstMediaComponent::onEvent(quint64 serial, PipelineSession::Event event, const QString& detail, quint64 token)
{
    if (!m_session || serial != m_serial)
        return;  // a session handed over already
    switch (event) {
    case PipelineSession::Event::Prerolled:
        m_noData.stop();
        m_prerolled = true;
        m_pendingSeek = -1;  // the session did it
        return;
    case PipelineSession::Event::Playing:
        m_noData.stop();
        m_prerolled = true;
        m_pendingSeek = -1;
        if (m_phase != Phase::Playing) {
            m_phase = Phase::Playing;
            watchProgress(true);
            notify(playstate::Playing);
        }
        return;
    case PipelineSession::Event::Paused:
        watchProgress(false);
        if (m_phase != Phase::Paused) {
            m_phase = Phase::Paused;
            notify(playstate::Paused);
        }
        return;
    case PipelineSession::Event::Buffering:
        m_noData.stop();  // data is coming, slowly
        watchProgress(false);
        m_phase = Phase::Buffering;
        notify(playstate::Buffering);
        return;
    case PipelineSession::Event::Ended:
        toStopped();
        notify(playstate::MediaEnded);
        notify(playstate::Stopped);
        return;
    case PipelineSession::Event::Advanced:
        onHandedOverHeard(token, false);
        return;
    case PipelineSession::Event::AdvancedUnwanted:
        onHandedOverHeard(token, true);
        return;
    case PipelineSession::Event::Failed:
        fail(detail);
        return;
    }
}

// The song handed over ahead of time has reached the sink. Wanted, it is
// the current media now. Unwanted (the list changed after playbin had it),
// it was muted from its first sample and the song asked for last starts in
// a session of its own: what is heard is always what the list says.
void GstMediaComponent::onHandedOverHeard(quint64 token, bool unwanted)
{
    m_lastError.clear();
    m_duration = 0;
    m_pendingSeek = -1;
    if (!unwanted) {
        const auto heard = std::find_if(m_nextSent.crbegin(), m_nextSent.crend(),
                                        [token](const Request& sent) { return sent.token == token; });
        m_url = heard != m_nextSent.crend() ? heard->url : m_next.value_or(Request{}).url;
        m_token = token;
        m_next.reset();
        m_nextSent.clear();
        const quint64 serial = m_serial;
        emit advanced(token);
        // The session waits for what follows the new song (a short one may
        // end at once); when the listener named nothing, nothing follows.
        if (m_session && serial == m_serial && !m_next)
            setNext({}, 0);
        return;
    }
    const Request wanted = m_next.value_or(Request{});
    qCDebug(lcSession).noquote() << "the song handed over ahead of time is no longer next; now"
                                 << nativepath::displayText(wanted.url);
    if (wanted.url.isEmpty()) {
        // Nothing is to follow any more: the song before has ended.
        toStopped();
        notify(playstate::MediaEnded);
        notify(playstate::Stopped);
        return;
    }
    m_pending.clear();
    endSession();
    m_url = wanted.url;
    m_token = wanted.token;
    m_next.reset();
    m_nextSent.clear();
    m_prerolled = false;
    startSession(0);
    emit advanced(wanted.token);
}

void GstMediaComponent::setNext(const QByteArray& url, quint64 token)
{
    const Request next{url, token};
    if (next == m_next)
        return;
    m_next = next;
    m_nextSent << next;
    sendNext();
}

void GstMediaComponent::sendNext()
{
    if (m_session && m_next)
        QMetaObject::invokeMethod(
            m_session, [session = m_session, next = *m_next] { session->setNext(next.url, next.token); },
            Qt::QueuedConnection);
}

void GstMediaComponent::play()
{
    switch (m_phase) {
    case Phase::Empty:
        return;
    case Phase::Failed:
        startSession(0);
        return;
    case Phase::Stopped:
        startSession(m_pendingSeek);
        return;
    case Phase::Opening:
    case Phase::Buffering:
    case Phase::Playing:
    case Phase::Paused:
        if (m_session)
            QMetaObject::invokeMethod(m_session, &PipelineSession::play, Qt::QueuedConnection);
        return;
    }
}

void GstMediaComponent::pause()
{
    if (!hasMedia() || m_phase == Phase::Stopped || !m_session)
        return;
    QMetaObject::invokeMethod(m_session, &PipelineSession::pause, Qt::QueuedConnection);
}

void GstMediaComponent::stop()
{
    if (!hasMedia() || m_phase == Phase::Stopped)
        return;
    toStopped();
    notify(playstate::Stopped);
}

// Back to the start of the media, whose session goes; the length stays
// known.
void GstMediaComponent::toStopped()
{
    duration();
    endSession();
    m_phase = Phase::Stopped;
    m_prerolled = false;
    m_pendingSeek = -1;
}

double GstMediaComponent::currentPosition() const
{
    if (!hasMedia())
        return -1;
    if (!m_prerolled || m_phase == Phase::Stopped)
        return m_pendingSeek >= 0 ? m_pendingSeek : 0;
    return snapshot().position;
}

bool GstMediaComponent::setCurrentPosition(double seconds)
{
    if (!hasMedia())
        return false;
    seconds = std::max(seconds, 0.0);
    if (!m_prerolled)
        m_pendingSeek = seconds;  // shown until the media is ready
    if (m_session)
        QMetaObject::invokeMethod(
            m_session, [session = m_session, seconds] { session->seek(seconds); }, Qt::QueuedConnection);
    return true;
}

double GstMediaComponent::duration() const
{
    if (!hasMedia())
        return 0;
    const double length = snapshot().duration;
    if (length > 0)
        m_duration = length;
    return m_duration;
}

// Above 100 is full volume and reads back as 100, so volume() stays within
// 0..100 and a fade from it takes the usual steps.
bool GstMediaComponent::setVolume(int volume)
{
    if (volume < 0)
        return false;
    m_volume = std::min(volume, 100);
    if (m_session)
        QMetaObject::invokeMethod(
            m_session, [session = m_session, volume = m_volume] { session->setVolume(volume); },
            Qt::QueuedConnection);
    return true;
}

QString GstMediaComponent::status() const
{
    switch (m_phase) {
    case Phase::Empty:
        return QStringLiteral("Ready");
    case Phase::Opening:
        return snapshot().remote ? QStringLiteral("Connecting...") : QStringLiteral("Opening...");
    case Phase::Buffering:
        return QStringLiteral("Buffering %1%").arg(snapshot().bufferPercent);
    case Phase::Playing: {
        const int bitrate = snapshot().bitrate;
        return bitrate > 0 ? QStringLiteral("%1 kbps").arg((bitrate + 500) / 1000) : QStringLiteral("Playing");
    }
    case Phase::Paused:
        return QStringLiteral("Paused");
    case Phase::Stopped:
        return QStringLiteral("Stopped");
    case Phase::Failed:
        return QStringLiteral("Cannot play");
    }
    return QString();
}

// Queues a notification; it is emitted from deliver(), never from inside
// an operation. A state that repeats the one before it is not a change.
void GstMediaComponent::notify(int state)
{
    const int last = m_pending.isEmpty() ? m_lastEmitted : m_pending.last();
    if (state == last)
        return;
    m_pending.append(state);
    if (!std::exchange(m_deliveryPosted, true))
        QMetaObject::invokeMethod(this, &GstMediaComponent::deliver, Qt::QueuedConnection);
}

// Emits the queued notifications in order. A handler may assign a new
// address, run the event loop or even destroy the component.
void GstMediaComponent::deliver()
{
    m_deliveryPosted = false;
    const QPointer<GstMediaComponent> alive(this);
    while (!m_pending.isEmpty()) {
        const int state = m_pending.takeFirst();
        m_lastEmitted = state;
        emit playStateChanged(state);
        if (!alive)
            return;
    }
}

}  // namespace qpt
