#include "player/core/media/gst_media_component.h"

#include "player/core/media/media_address.h"

#include "common/native_path.h"

#include <QLoggingCategory>
#include <QPointer>

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <algorithm>
#include <string>

Q_LOGGING_CATEGORY(lcMedia, "qpt.media")

namespace qpt {

namespace {

// playbin's GstPlayFlags (the enum is private to the plugin): audio with
// software volume; no video, no subtitles, no visualisation, so no window
// can ever open.
constexpr guint playFlagAudio = 1u << 1;
constexpr guint playFlagSoftVolume = 1u << 4;

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
        qCWarning(lcMedia) << "QPT_AUDIO_SINK" << description << ":" << error->message;
        g_clear_error(&error);
    }
    return sink;
}

// What a "file:" URI names; a regular file for any other address.
nativepath::Kind localFileKind(const QString& uri)
{
    if (!uri.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return nativepath::Kind::RegularFile;
    gchar* path = g_filename_from_uri(uri.toUtf8().constData(), nullptr, nullptr);
    if (!path)
        return nativepath::Kind::Missing;
    const nativepath::Kind kind = nativepath::kindOf(QByteArray(path));
    g_free(path);
    return kind;
}

bool isRemote(const QString& uri)
{
    return !uri.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
        && !uri.startsWith(QLatin1String("cdda:"), Qt::CaseInsensitive);
}

}  // namespace

GstMediaComponent::GstMediaComponent(QObject* parent) : MediaComponent(parent) {}

// GStreamer is started, and the pipeline made, when the first song is
// opened: reading the plugin registry and building playbin take some 20 ms
// that the start of the program, before its window shows, does without.
bool GstMediaComponent::ensurePipeline()
{
    if (m_playbin || m_pipelineFailed)
        return m_playbin != nullptr;
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    static const bool ranked = (preferMpg123(), true);
    Q_UNUSED(ranked);

    m_playbin = gst_element_factory_make("playbin", nullptr);
    if (!m_playbin) {
        m_pipelineFailed = true;
        qCWarning(lcMedia) << "GStreamer's playbin is missing; nothing can be played";
        return false;
    }
    gst_object_ref_sink(m_playbin);
    g_object_set(m_playbin, "flags", playFlagAudio | playFlagSoftVolume, nullptr);
    if (GstElement* sink = audioSinkFromEnvironment())
        g_object_set(m_playbin, "audio-sink", sink, nullptr);
    g_signal_connect(m_playbin, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);
    applyVolume();

    m_bus = gst_element_get_bus(m_playbin);
    gst_bus_set_sync_handler(
        m_bus,
        [](GstBus*, GstMessage*, gpointer self) {
            static_cast<GstMediaComponent*>(self)->wake();
            return GST_BUS_PASS;
        },
        this, nullptr);
    return true;
}

GstMediaComponent::~GstMediaComponent()
{
    if (!m_playbin)
        return;
    // Going to NULL joins the streaming threads, so no message is posted
    // after the handler is gone; a queued wake-up dies with this object.
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
    gst_object_unref(m_bus);
    gst_object_unref(m_playbin);
}

void GstMediaComponent::setUrl(const QByteArray& url)
{
    m_url = url;
    m_lastError.clear();
    // Whatever the previous media still had to say is stale now.
    m_pending.clear();
    if (url.isEmpty()) {
        const bool hadMedia = hasMedia();
        unload();
        if (hadMedia)
            notify(playstate::Stopped);
    } else {
        start();
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

void GstMediaComponent::unload()
{
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_bus_set_flushing(m_bus, TRUE);
        gst_bus_set_flushing(m_bus, FALSE);
    }
    m_target = GST_STATE_NULL;
    m_prerolled = false;
    m_pendingSeek = -1;
    m_duration = 0;
    m_bitrate = 0;
    m_bufferPercent = 100;
    m_phase = Phase::Empty;
}

// Opens m_url from the beginning.
void GstMediaComponent::start()
{
    unload();
    m_phase = Phase::Opening;
    notify(playstate::Transitioning);
    const QString uri = media::mediaUri(m_url);
    if (!ensurePipeline() || uri.isEmpty()) {
        fail(m_playbin ? QStringLiteral("no playable address") : QStringLiteral("no playbin"));
        return;
    }
    // Opening a pipe (or a device) would wait on this thread for a writer
    // that may never come; only regular files are played.
    const nativepath::Kind kind = localFileKind(uri);
    if (kind != nativepath::Kind::RegularFile) {
        fail(kind == nativepath::Kind::Missing ? QStringLiteral("file not found")
                                               : QStringLiteral("not a regular file"));
        return;
    }
    m_remote = isRemote(uri);
    g_object_set(m_playbin, "uri", uri.toUtf8().constData(), nullptr);
    m_target = GST_STATE_PLAYING;
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        QString reason = QStringLiteral("cannot start");
        if (GstMessage* error = gst_bus_pop_filtered(m_bus, GST_MESSAGE_ERROR)) {
            GError* gerror = nullptr;
            gst_message_parse_error(error, &gerror, nullptr);
            reason = QString::fromUtf8(gerror->message);
            g_error_free(gerror);
            gst_message_unref(error);
        }
        fail(reason);
    }
}

void GstMediaComponent::fail(const QString& reason)
{
    qCWarning(lcMedia).noquote() << "cannot play" << nativepath::displayText(m_url) << "-" << reason;
    m_lastError = reason;
    unload();
    m_phase = Phase::Failed;
    notify(playstate::Stopped);
}

void GstMediaComponent::play()
{
    switch (m_phase) {
    case Phase::Empty:
        return;
    case Phase::Failed:
        start();
        return;
    case Phase::Stopped: {
        const double seek = m_pendingSeek;
        start();
        m_pendingSeek = seek;
        return;
    }
    case Phase::Opening:
    case Phase::Buffering:
    case Phase::Playing:
    case Phase::Paused:
        m_target = GST_STATE_PLAYING;
        if (m_phase != Phase::Buffering)
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        settle();
        return;
    }
}

void GstMediaComponent::pause()
{
    if (!hasMedia() || m_phase == Phase::Stopped)
        return;
    m_target = GST_STATE_PAUSED;
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    settle();
}

void GstMediaComponent::stop()
{
    if (!hasMedia() || m_phase == Phase::Stopped)
        return;
    toStopped();
    notify(playstate::Stopped);
}

// Back to the start of the media. The length stays known.
void GstMediaComponent::toStopped()
{
    duration();
    m_target = GST_STATE_READY;
    gst_element_set_state(m_playbin, GST_STATE_READY);
    m_prerolled = false;
    m_pendingSeek = -1;
    m_phase = Phase::Stopped;
}

double GstMediaComponent::currentPosition() const
{
    if (!hasMedia())
        return -1;
    if (!m_prerolled)
        return m_pendingSeek >= 0 ? m_pendingSeek : 0;
    gint64 position = 0;
    if (!gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position) || position < 0)
        return 0;
    return double(position) / GST_SECOND;
}

bool GstMediaComponent::setCurrentPosition(double seconds)
{
    if (!hasMedia())
        return false;
    seconds = std::max(seconds, 0.0);
    const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (m_prerolled && gst_element_seek_simple(m_playbin, GST_FORMAT_TIME, flags, gint64(seconds * GST_SECOND)))
        return true;
    // Not ready for seeks yet: done when the media is prerolled.
    m_pendingSeek = seconds;
    return true;
}

double GstMediaComponent::duration() const
{
    if (!hasMedia())
        return 0;
    // Some parsers refine their estimate while playing, so ask every time
    // and keep the last answer for the stopped state.
    gint64 length = 0;
    if (gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &length) && length > 0)
        m_duration = double(length) / GST_SECOND;
    return m_duration;
}

// Above 100 is full volume and reads back as 100, so volume() stays within
// 0..100 and a fade from it takes the usual steps.
bool GstMediaComponent::setVolume(int volume)
{
    if (volume < 0)
        return false;
    m_volume = std::min(volume, 100);
    applyVolume();
    return true;
}

// The volume is applied on the cubic scale, so that equal steps of the
// volume bar (and the exit fade's steps of 8) sound like equal steps.
void GstMediaComponent::applyVolume()
{
    if (m_playbin)
        gst_stream_volume_set_volume(GST_STREAM_VOLUME(m_playbin), GST_STREAM_VOLUME_FORMAT_CUBIC, m_volume / 100.0);
}

QString GstMediaComponent::status() const
{
    switch (m_phase) {
    case Phase::Empty:
        return QStringLiteral("Ready");
    case Phase::Opening:
        return m_remote ? QStringLiteral("Connecting...") : QStringLiteral("Opening...");
    case Phase::Buffering:
        return QStringLiteral("Buffering %1%").arg(m_bufferPercent);
    case Phase::Playing:
        return m_bitrate > 0 ? QStringLiteral("%1 kbps").arg((m_bitrate + 500) / 1000) : QStringLiteral("Playing");
    case Phase::Paused:
        return QStringLiteral("Paused");
    case Phase::Stopped:
        return QStringLiteral("Stopped");
    case Phase::Failed:
        return QStringLiteral("Cannot play");
    }
    return QString();
}

// Takes note of playbin reaching the state asked for, also when it was
// there already and posts no message.
void GstMediaComponent::settle()
{
    GstState current = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(m_playbin, &current, nullptr, 0) == GST_STATE_CHANGE_SUCCESS)
        reached(current);
}

void GstMediaComponent::reached(int state)
{
    if (state != m_target)
        return;
    if (state == GST_STATE_PLAYING && m_phase != Phase::Playing && m_phase != Phase::Buffering) {
        m_phase = Phase::Playing;
        notify(playstate::Playing);
    } else if (state == GST_STATE_PAUSED && m_phase != Phase::Paused) {
        m_phase = Phase::Paused;
        notify(playstate::Paused);
    }
}

void GstMediaComponent::handleMessage(GstMessage* message)
{
    if (!hasMedia())
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
            m_prerolled = true;
            if (m_pendingSeek >= 0) {
                const double seconds = m_pendingSeek;
                m_pendingSeek = -1;
                setCurrentPosition(seconds);
            }
        }
        break;
    case GST_MESSAGE_EOS:
        toStopped();
        notify(playstate::MediaEnded);
        notify(playstate::Stopped);
        break;
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const QString reason = QString::fromUtf8(error->message);
        g_error_free(error);
        fail(reason);
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        guint bitrate = 0;
        if (gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate)
            || gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate)) {
            if (bitrate > 0)
                m_bitrate = int(std::min<guint>(bitrate, 100'000'000));
        }
        gst_tag_list_unref(tags);
        break;
    }
    case GST_MESSAGE_BUFFERING: {
        // Network streams: hold the clock while the queue fills.
        gst_message_parse_buffering(message, &m_bufferPercent);
        if (m_bufferPercent < 100 && m_phase != Phase::Buffering && m_target == GST_STATE_PLAYING) {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            m_phase = Phase::Buffering;
            notify(playstate::Buffering);
        } else if (m_bufferPercent >= 100 && m_phase == Phase::Buffering) {
            m_phase = Phase::Opening;
            gst_element_set_state(m_playbin, GstState(m_target));
            settle();
        }
        break;
    }
    case GST_MESSAGE_CLOCK_LOST:
        if (m_target == GST_STATE_PLAYING) {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        }
        break;
    default:
        break;
    }
}

// Queues a notification; it is emitted from deliver(), never from inside
// an operation. A state that repeats the one before it is not a change.
void GstMediaComponent::notify(int state)
{
    const int last = m_pending.isEmpty() ? m_lastEmitted : m_pending.last();
    if (state == last)
        return;
    m_pending.append(state);
    wake();
}

// Any thread: have deliver() run on the component's thread.
void GstMediaComponent::wake()
{
    if (!m_wakePending.exchange(true))
        QMetaObject::invokeMethod(this, &GstMediaComponent::deliver, Qt::QueuedConnection);
}

// Emits queued notifications and handles bus messages in the order they
// came. A handler may assign a new address, yield (which runs deliver()
// again, nested) or even destroy the component.
void GstMediaComponent::deliver()
{
    m_wakePending = false;
    const QPointer<GstMediaComponent> alive(this);
    for (;;) {
        if (!m_pending.isEmpty()) {
            const int state = m_pending.takeFirst();
            m_lastEmitted = state;
            emit playStateChanged(state);
            if (!alive)
                return;
            continue;
        }
        GstMessage* message = m_bus ? gst_bus_pop(m_bus) : nullptr;
        if (!message)
            return;
        handleMessage(message);
        gst_message_unref(message);
    }
}

}  // namespace qpt
