#include "player/core/media/pipeline_session.h"

#include "common/native_path.h"
#include "player/core/media/cd_source.h"
#include "player/core/media/media_address.h"
#include "player/core/media/steady_output.h"
#include "player/core/media/track_source.h"

#include <QLoggingCategory>
#include <QThread>

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

Q_LOGGING_CATEGORY(lcSession, "qpt.media")

namespace qpt {

namespace {

// playbin's GstPlayFlags (the enum is private to the plugin): audio with
// software volume; no video, no subtitles, no visualisation, so no window
// can ever open.
constexpr guint playFlagAudio = 1u << 1;
constexpr guint playFlagSoftVolume = 1u << 4;

// While playing, the position the window thread reads runs on from the
// last answer by the clock; the pipeline is asked again this often, for a
// length that parsers refine while playing and to stay on the sink's clock.
// Asking every 100 ms cost the session thread a fifth of what playing the
// song costs.
constexpr int kRefreshMs = 1000;

// How long about-to-finish waits for the song after a just-handed-over one
// (the component names it once it hears the hand-over). Only a song
// shorter than the round trip to the window thread ever waits; the sound
// already queued plays on meanwhile.
constexpr auto kNextAnswerWait = std::chrono::milliseconds(700);

// A handed-over stream that failed is told when the song before it has
// played out; should its end never be reported, after what was left of
// it plus this margin.
constexpr int kHandedFailureMarginMs = 1500;

// How long about-to-finish waits to learn whether the next song's file
// opens; one that has not answered by then is not handed over.
constexpr auto kNextCheckWait = std::chrono::milliseconds(300);

// The General MIDI SoundFont for the MIDI synthesiser; Debian's alternative
// first, then the SoundFont the package installs.
const char* soundFont()
{
    static const std::string path = [] {
        for (const char* candidate : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                                      "/usr/share/sounds/sf3/default-GM.sf3"}) {
            if (g_file_test(candidate, G_FILE_TEST_IS_REGULAR))
                return std::string(candidate);
        }
        return std::string();
    }();
    return path.empty() ? nullptr : path.c_str();
}

// Runs on a streaming thread whenever playbin adds an element anywhere
// inside itself, before the element starts: give the MIDI synthesiser its
// SoundFont unless it has one.
void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") != 0)
        return;
    gchar* current = nullptr;
    g_object_get(element, "soundfont", &current, nullptr);
    if (!current && soundFont())
        g_object_set(element, "soundfont", soundFont(), nullptr);
    g_free(current);
}

// MPEG audio (MP1, MP2, MP3) is decoded by mpg123 rather than libav: both
// rank equal out of the box and libav wins by name, which maps the whole
// of FFmpeg's libraries into the process (about 40 MB resident) for a
// format mpg123 decodes as well. libav stays for what only it plays (WMA).
// A ranking the user set through GST_PLUGIN_FEATURE_RANK is left alone.
void preferMpg123()
{
    if (qEnvironmentVariableIsSet("GST_PLUGIN_FEATURE_RANK"))
        return;
    GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), "mpg123audiodec");
    if (!feature)
        return;
    gst_plugin_feature_set_rank(feature, GST_RANK_PRIMARY + 1);
    gst_object_unref(feature);
}

GstElement* audioSinkFromEnvironment()
{
    const QByteArray description = qgetenv("QPT_AUDIO_SINK");
    if (description.trimmed().isEmpty())
        return nullptr;
    GError* error = nullptr;
    GstElement* sink = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    if (error) {
        qCWarning(lcSession) << "QPT_AUDIO_SINK" << description << ":" << error->message;
        g_clear_error(&error);
    }
    return sink;
}

// The local path a "file:" URI names (or the file a track of an album
// lies in); empty for any other address.
QByteArray localPath(const QString& address)
{
    QString uri = address;
    if (const std::optional<media::TrackSpan> span = media::parseTrackUri(address.toUtf8()))
        uri = QString::fromUtf8(span->fileUri);
    if (!uri.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QByteArray();
    gchar* path = g_filename_from_uri(uri.toUtf8().constData(), nullptr, nullptr);
    const QByteArray bytes = path ? QByteArray(path) : QByteArray("\0", 1);  // unusable: missing
    g_free(path);
    return bytes;
}

// What a "file:" URI names; a regular file for any other address.
nativepath::Kind localFileKind(const QString& uri)
{
    const QByteArray path = localPath(uri);
    if (path.isEmpty())
        return nativepath::Kind::RegularFile;
    return path.contains('\0') ? nativepath::Kind::Missing : nativepath::kindOf(path);
}

// True when the address can be handed to playbin as the next song: a
// local file must be a regular file that opens for reading. One that does
// not would fail the moment playbin takes it, and that failure would take
// the end of the song before it along.
bool opensForReading(const QString& uri)
{
    const QByteArray path = localPath(uri);
    if (path.isEmpty())
        return true;
    if (path.contains('\0'))
        return false;
    struct stat st {};
    const int fd = nativepath::openRegularFile(path, st);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

}  // namespace

struct PipelineSession::NextCheck {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    bool opens = false;

    // Starts the look at `uri`; addresses that are not local files open.
    static std::shared_ptr<NextCheck> start(const QString& uri)
    {
        auto check = std::make_shared<NextCheck>();
        if (localPath(uri).isEmpty()) {
            check->done = check->opens = true;
            return check;
        }
        std::thread([check, uri] {
            const bool opens = opensForReading(uri);
            const std::lock_guard lock(check->mutex);
            check->done = true;
            check->opens = opens;
            check->answered.notify_all();
        }).detach();
        return check;
    }

    // Waits up to `limit` for the answer; false when the file does not
    // open or has not answered.
    bool opensWithin(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex);
        answered.wait_for(lock, limit, [this] { return done; });
        return done && opens;
    }
};

namespace {

bool isRemote(const QString& uri)
{
    return !uri.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
        && !uri.startsWith(QLatin1String("cdda:"), Qt::CaseInsensitive)
        && !uri.startsWith(QLatin1String(media::kTrackScheme) + QLatin1Char(':'), Qt::CaseInsensitive);
}

QString errorText(GstMessage* message)
{
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return text;
}

// A sink's probe, on a streaming thread. The counter is the session's,
// which outlives its probes: its pipeline goes to NULL (joining those
// threads) before the session goes.
GstPadProbeReturn countBuffer(GstPad*, GstPadProbeInfo*, gpointer counter)
{
    static_cast<std::atomic<quint64>*>(counter)->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

}  // namespace

void PipelineSession::initialiseGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        preferMpg123();
        media::registerTrackSource();
    });
}

PipelineSession::PipelineSession(quint64 serial, int volume)
    : m_serial(serial), m_refresh(this), m_volume(volume), m_handedFailureDue(this)
{
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &PipelineSession::refreshSnapshot);
    m_handedFailureDue.setSingleShot(true);
    connect(&m_handedFailureDue, &QTimer::timeout, this, [this] { fail(m_handedFailure); });
}

PipelineSession::~PipelineSession()
{
    stopWaitingForNext();
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
        gst_object_unref(m_bus);
        gst_object_unref(m_playbin);
    }
    const std::lock_guard lock(m_mutex);
    for (GstMessage* message : m_messages)
        gst_message_unref(message);
}

PipelineSession::Snapshot PipelineSession::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    Snapshot now = m_snapshot;
    now.position = positionNow();
    now.buffersAtSink = m_buffersAtSink.load(std::memory_order_relaxed);
    return now;
}

// With the lock held: the last position asked, plus the time since while
// the clock runs; never past the end.
double PipelineSession::positionNow() const
{
    if (!m_clockRunning)
        return m_snapshot.position;
    const double since = std::chrono::duration<double>(Clock::now() - m_positionAt).count();
    const double position = m_snapshot.position + std::max(since, 0.0);
    return m_snapshot.duration > 0 ? std::min(position, m_snapshot.duration) : position;
}

void PipelineSession::setClockRunning(bool running)
{
    const std::lock_guard lock(m_mutex);
    m_snapshot.position = positionNow();
    m_positionAt = Clock::now();
    m_clockRunning = running;
}

void PipelineSession::say(Event what, const QString& detail, quint64 token)
{
    emit event(m_serial, what, detail, token);
}

// The stream handed over at about-to-finish is heard now (or failed before
// it was): it is named with the token it was handed over with.
void PipelineSession::sayHandedOverHeard()
{
    quint64 token = 0;
    bool unwanted = false;
    {
        const std::lock_guard lock(m_mutex);
        token = m_handedToken;
        unwanted = m_handedUnwanted;
        m_handedOver = false;
        m_handedUnwanted = false;
        m_handedArrived = false;
    }
    say(unwanted ? Event::AdvancedUnwanted : Event::Advanced, QString(), token);
}

bool PipelineSession::makePipeline()
{
    initialiseGStreamer();
    m_playbin = gst_element_factory_make("playbin", nullptr);
    if (!m_playbin)
        return false;
    gst_object_ref_sink(m_playbin);
    g_object_set(m_playbin, "flags", playFlagAudio | playFlagSoftVolume, nullptr);
    // Should a video or subtitle stream ever be selected, it goes nowhere
    // rather than into a window playbin would make for it.
    g_object_set(m_playbin, "video-sink", gst_element_factory_make("fakesink", "no video"), "text-sink",
                 gst_element_factory_make("fakesink", "no text"), nullptr);
    if (GstElement* output = media::makeSteadyOutput(audioSinkFromEnvironment()))
        g_object_set(m_playbin, "audio-sink", output, nullptr);
    g_signal_connect(m_playbin, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);
    g_signal_connect(m_playbin, "about-to-finish", G_CALLBACK(&PipelineSession::onAboutToFinish), this);
    m_bus = gst_element_get_bus(m_playbin);
    gst_bus_set_sync_handler(m_bus, GstBusSyncHandler(&PipelineSession::onSyncMessage), this, nullptr);
    applyVolume();
    return true;
}

int PipelineSession::onSyncMessage(GstBus*, GstMessage* message, void* self)
{
    auto* session = static_cast<PipelineSession*>(self);
    bool post = false;
    {
        const std::lock_guard lock(session->m_mutex);
        // On the streaming thread, before the new stream's first sample
        // passes the volume: a stream nobody wants any more is never heard.
        // What is decided here holds: a later change of the next song is
        // too late for this one.
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_STREAM_START && session->m_handedOver
            && !session->m_handedArrived) {
            session->m_handedArrived = true;
            if (session->m_handedUnwanted && session->m_playbin)
                g_object_set(session->m_playbin, "mute", TRUE, nullptr);
        }
        session->m_messages.push_back(gst_message_ref(message));
        post = !std::exchange(session->m_drainPosted, true);
    }
    if (post)
        QMetaObject::invokeMethod(session, &PipelineSession::drain, Qt::QueuedConnection);
    return GST_BUS_DROP;
}

// On a streaming thread, as the current stream's data runs out: the next
// URI goes in now, and playbin joins it on at the sample after the last.
void PipelineSession::onAboutToFinish(GstElement* playbin, void* self)
{
    auto* session = static_cast<PipelineSession*>(self);
    std::unique_lock lock(session->m_mutex);
    // A song handed over a moment ago that is over already (a fraction of
    // a second long): what follows it is on its way from the component.
    session->m_nextSet.wait_for(lock, kNextAnswerWait,
                                [session] { return session->m_nextAnswered || session->m_nextWaitOver; });
    if (session->m_nextUri.isEmpty())
        return;  // nothing to go on with: the end of stream comes
    // A next song whose file does not open would fail the moment playbin
    // took it, and take the end of this song along: it is not handed over,
    // and the component meets it when it opens it on its own.
    const std::shared_ptr<NextCheck> check = session->m_nextCheck;
    lock.unlock();
    const bool opens = check && check->opensWithin(kNextCheckWait);
    lock.lock();
    if (session->m_nextCheck != check || !opens) {
        if (!opens)
            qCDebug(lcSession).noquote() << "next song does not open:" << session->m_nextUri;
        return;
    }
    if (media::isCdUri(session->m_nextUri))
        media::chooseCdSource(session->m_nextReadsImage);
    g_object_set(playbin, "uri", session->m_nextUri.toUtf8().constData(), nullptr);
    session->m_handedUri = session->m_nextUri;
    session->m_handedToken = session->m_nextToken;
    // What follows the handed-over song is told anew once it is heard.
    session->m_nextUri.clear();
    session->m_nextToken = 0;
    session->m_nextCheck.reset();
    session->m_nextAnswered = false;
    session->m_handedUnwanted = false;
    session->m_handedArrived = false;
    session->m_handedOver = true;
}

void PipelineSession::setNext(const QByteArray& address, quint64 token)
{
    // Made here, not on the streaming thread: a CD track's drive is looked
    // up. The file is tried at once, off this thread, so that the answer
    // is there when playbin asks.
    const QString uri = address.isEmpty() ? QString() : media::mediaUri(address);
    std::shared_ptr<NextCheck> check = uri.isEmpty() ? nullptr : NextCheck::start(uri);
    const bool readsImage = media::readsCdImage(uri);
    const std::lock_guard lock(m_mutex);
    // Before the handed-over song is heard, a next song is one to take its
    // place: playbin cannot take back what it was handed, so a stream that
    // is no longer the one asked for is muted as it arrives (see
    // onSyncMessage) and the component starts the one asked for.
    if (m_handedOver && !m_handedArrived) {
        m_handedUnwanted = uri != m_handedUri || token != m_handedToken;
        return;
    }
    m_nextUri = uri;
    m_nextToken = token;
    m_nextReadsImage = readsImage;
    m_nextCheck = std::move(check);
    m_nextAnswered = true;
    m_nextSet.notify_all();
}

void PipelineSession::stopWaitingForNext()
{
    const std::lock_guard lock(m_mutex);
    m_nextWaitOver = true;
    m_nextSet.notify_all();
}

void PipelineSession::drain()
{
    for (;;) {
        GstMessage* message = nullptr;
        {
            const std::lock_guard lock(m_mutex);
            if (m_messages.empty()) {
                m_drainPosted = false;
                return;
            }
            message = m_messages.front();
            m_messages.pop_front();
        }
        handle(message);
        gst_message_unref(message);
    }
}

void PipelineSession::open(const QByteArray& address, double startAt, const QByteArray& next, quint64 nextToken)
{
    // Known before playbin starts: a short file is read whole at once, and
    // playbin asks for the next one as soon as it is.
    setNext(next, nextToken);
    const QString uri = media::mediaUri(address);
    if (uri.isEmpty()) {
        fail(QStringLiteral("no playable address"));
        return;
    }
    // Opening a pipe (or a device) would wait for a writer that may never
    // come; only regular files are played.
    const nativepath::Kind kind = localFileKind(uri);
    if (kind != nativepath::Kind::RegularFile) {
        fail(kind == nativepath::Kind::Missing ? QStringLiteral("file not found")
                                               : QStringLiteral("not a regular file"));
        return;
    }
    if (!makePipeline()) {
        fail(QStringLiteral("GStreamer's playbin is missing"));
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_snapshot.remote = isRemote(uri);
    }
    m_pendingSeek = startAt > 0 ? startAt : -1;
    if (media::isCdUri(uri))
        media::chooseCdSource(media::readsCdImage(uri));
    g_object_set(m_playbin, "uri", uri.toUtf8().constData(), nullptr);
    m_target = GST_STATE_PLAYING;
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The error that says why is in the queue already.
        drain();
        fail(QStringLiteral("cannot start"));
        return;
    }
    m_refresh.start();
}

void PipelineSession::fail(const QString& reason)
{
    if (m_failed)
        return;
    m_failed = true;
    m_handedFailureDue.stop();
    stopWaitingForNext();
    // A next song that was handed over and fails before it is heard is the
    // one that failed: it is named first.
    bool handedOver = false;
    {
        const std::lock_guard lock(m_mutex);
        handedOver = m_handedOver;
    }
    if (handedOver)
        sayHandedOverHeard();
    m_refresh.stop();
    if (m_playbin)
        gst_element_set_state(m_playbin, GST_STATE_NULL);
    setClockRunning(false);
    say(Event::Failed, reason);
}

void PipelineSession::failHandedOverLater(const QString& reason)
{
    if (!m_handedFailure.isEmpty())
        return;  // the first error says why
    m_handedFailure = reason;
    stopWaitingForNext();
    refreshSnapshot();
    double left = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (m_snapshot.duration > 0)
            left = std::max(m_snapshot.duration - positionNow(), 0.0);
    }
    m_handedFailureDue.start(int(left * 1000) + kHandedFailureMarginMs);
}

void PipelineSession::play()
{
    if (!m_playbin || m_failed || m_ended)
        return;
    m_target = GST_STATE_PLAYING;
    int percent = 100;
    {
        const std::lock_guard lock(m_mutex);
        percent = m_snapshot.bufferPercent;
    }
    // While a network stream buffers, the clock stays held until the queue
    // is full again.
    if (percent >= 100)
        gst_element_set_state(m_playbin, GST_STATE_PLAYING);
    m_refresh.start();
    GstState current = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(m_playbin, &current, nullptr, 0) == GST_STATE_CHANGE_SUCCESS)
        reached(current);
}

void PipelineSession::pause()
{
    if (!m_playbin || m_failed || m_ended)
        return;
    m_target = GST_STATE_PAUSED;
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    GstState current = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(m_playbin, &current, nullptr, 0) == GST_STATE_CHANGE_SUCCESS)
        reached(current);
}

void PipelineSession::seek(double seconds)
{
    if (!m_playbin || m_failed)
        return;
    seconds = std::max(seconds, 0.0);
    const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (m_prerolled && gst_element_seek_simple(m_playbin, GST_FORMAT_TIME, flags, gint64(seconds * GST_SECOND))) {
        const std::lock_guard lock(m_mutex);
        m_snapshot.position = seconds;  // until the next refresh says where it went
        m_positionAt = Clock::now();
        return;
    }
    m_pendingSeek = seconds;  // done once the media is prerolled
}

void PipelineSession::setVolume(int volume)
{
    m_volume = volume;
    applyVolume();
}

// The volume is applied on the cubic scale, so that equal steps of the
// volume bar (and the exit fade's steps of 8) sound like equal steps.
void PipelineSession::applyVolume()
{
    if (m_playbin)
        gst_stream_volume_set_volume(GST_STREAM_VOLUME(m_playbin), GST_STREAM_VOLUME_FORMAT_CUBIC, m_volume / 100.0);
}

void PipelineSession::close()
{
    stopWaitingForNext();
    m_handedFailureDue.stop();
    m_refresh.stop();
    setClockRunning(false);
    if (m_playbin)
        gst_element_set_state(m_playbin, GST_STATE_NULL);
    deleteLater();
    QThread::currentThread()->quit();
}

void PipelineSession::refreshSnapshot()
{
    if (!m_playbin || !m_prerolled)
        return;
    gint64 position = 0;
    gint64 length = 0;
    const bool havePosition = gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position) && position >= 0;
    // Some parsers refine their estimate while playing, so it is asked
    // every time; the last answer stays when a query fails.
    const bool haveLength = gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &length) && length > 0;
    const std::lock_guard lock(m_mutex);
    if (havePosition) {
        m_snapshot.position = double(position) / GST_SECOND;
        m_positionAt = Clock::now();
    }
    if (haveLength)
        m_snapshot.duration = double(length) / GST_SECOND;
}

// Once prerolled every sink is in place (a gapless change keeps them), so
// the probes go on once. Inside bins too: the output may be a bin (the
// automatic sink, a description from the environment).
void PipelineSession::countBuffersAtSinks()
{
    if (!m_playbin || std::exchange(m_counting, true))
        return;
    int probes = 0;
    GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(m_playbin));
    GValue item = G_VALUE_INIT;
    for (bool more = true; more;) {
        switch (gst_iterator_next(elements, &item)) {
        case GST_ITERATOR_OK: {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            if (!GST_IS_BIN(element) && GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK)) {
                if (GstPad* pad = gst_element_get_static_pad(element, "sink")) {
                    // A sink seen twice (the walk begun again) counts
                    // twice: only whether the count moves matters.
                    gst_pad_add_probe(pad,
                                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                      &countBuffer, &m_buffersAtSink, nullptr);
                    gst_object_unref(pad);
                    ++probes;
                }
            }
            g_value_reset(&item);
            break;
        }
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(elements);
            break;
        default:
            more = false;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    const std::lock_guard lock(m_mutex);
    m_snapshot.countsBuffers = probes > 0;
}

void PipelineSession::reached(int state)
{
    if (state != m_target)
        return;
    if (state == GST_STATE_PLAYING) {
        setClockRunning(true);
        say(Event::Playing);
    } else if (state == GST_STATE_PAUSED) {
        setClockRunning(false);
        refreshSnapshot();
        m_refresh.stop();
        say(Event::Paused);
    }
}

void PipelineSession::handle(GstMessage* message)
{
    if (!m_playbin || m_failed)
        return;
    const bool fromPlaybin = GST_MESSAGE_SRC(message) == GST_OBJECT(m_playbin);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED:
        if (fromPlaybin) {
            GstState newState = GST_STATE_VOID_PENDING;
            GstState pending = GST_STATE_VOID_PENDING;
            gst_message_parse_state_changed(message, nullptr, &newState, &pending);
            if (pending == GST_STATE_VOID_PENDING)
                reached(newState);
        }
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (fromPlaybin && m_target >= GST_STATE_PAUSED) {
            const bool first = !m_prerolled;
            m_prerolled = true;
            if (m_pendingSeek >= 0)
                seek(std::exchange(m_pendingSeek, -1));
            refreshSnapshot();
            if (first) {
                countBuffersAtSinks();
                say(Event::Prerolled);
            }
        }
        break;
    case GST_MESSAGE_STREAM_START: {
        // The first is the address opened; each later one a stream handed
        // over at about-to-finish, now reaching the sink.
        if (++m_streamsStarted == 1)
            break;
        bool advanced = false;
        {
            const std::lock_guard lock(m_mutex);
            advanced = m_handedOver;
            if (advanced) {
                m_snapshot.position = 0;
                m_snapshot.duration = 0;
                m_snapshot.bitrate = 0;
                m_positionAt = Clock::now();
            }
        }
        if (advanced) {
            refreshSnapshot();  // the new song's length, as far as it is known yet
            sayHandedOverHeard();
        }
        break;
    }
    case GST_MESSAGE_EOS:
        if (!m_handedFailure.isEmpty()) {
            fail(m_handedFailure);  // the song before was heard to its end
            break;
        }
        m_ended = true;
        m_refresh.stop();
        setClockRunning(false);
        refreshSnapshot();
        say(Event::Ended);
        break;
    case GST_MESSAGE_ERROR: {
        bool handedPending = false;
        {
            const std::lock_guard lock(m_mutex);
            handedPending = m_handedOver && !m_handedArrived;
        }
        if (handedPending)
            failHandedOverLater(errorText(message));
        else
            fail(errorText(message));
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        guint bitrate = 0;
        if (gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate)
            || gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate)) {
            if (bitrate > 0) {
                const std::lock_guard lock(m_mutex);
                m_snapshot.bitrate = int(std::min<guint>(bitrate, 100'000'000));
            }
        }
        gst_tag_list_unref(tags);
        break;
    }
    case GST_MESSAGE_BUFFERING: {
        // Network streams: hold the clock while the queue fills.
        int percent = 100;
        gst_message_parse_buffering(message, &percent);
        int before = 100;
        {
            const std::lock_guard lock(m_mutex);
            before = std::exchange(m_snapshot.bufferPercent, percent);
        }
        if (percent < 100 && before >= 100 && m_target == GST_STATE_PLAYING) {
            setClockRunning(false);
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            say(Event::Buffering);
        } else if (percent >= 100 && before < 100 && m_target == GST_STATE_PLAYING) {
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        }
        break;
    }
    case GST_MESSAGE_CLOCK_LOST:
        if (m_target == GST_STATE_PLAYING) {
            setClockRunning(false);  // running again once PLAYING is reached
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        }
        break;
    default:
        break;
    }
}

}  // namespace qpt
