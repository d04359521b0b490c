#include "player/core/media/track_source.h"

#include <QList>

#include "common/native_path.h"

#include <gst/audio/audio.h>
#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace qpt::media {

QString trackUri(const TrackSpan& span)
{
    const char* storage = span.storage == TrackSpan::Storage::RawLittleEndian ? "le"
        : span.storage == TrackSpan::Storage::RawBigEndian                    ? "be"
                                                                               : "decoded";
    return QStringLiteral("%1:%2:%3:%4:%5:%6")
        .arg(QLatin1String(kTrackScheme), QLatin1String(storage))
        .arg(span.from)
        .arg(span.to)
        .arg(span.perSecond)
        .arg(QString::fromLatin1(span.fileUri));
}

std::optional<TrackSpan> parseTrackUri(const QByteArray& uri)
{
    const QList<QByteArray> parts = uri.split(':');
    if (parts.size() < 7 || parts[0].toLower() != kTrackScheme)
        return std::nullopt;
    TrackSpan span;
    if (parts[1] == "le")
        span.storage = TrackSpan::Storage::RawLittleEndian;
    else if (parts[1] == "be")
        span.storage = TrackSpan::Storage::RawBigEndian;
    else if (parts[1] != "decoded")
        return std::nullopt;
    bool fromOk = false, toOk = false, rateOk = false;
    span.from = parts[2].toLongLong(&fromOk);
    span.to = parts[3].toLongLong(&toOk);
    span.perSecond = parts[4].toInt(&rateOk);
    if (!fromOk || !toOk || !rateOk || span.from < 0 || span.perSecond <= 0 || (span.to >= 0 && span.to <= span.from))
        return std::nullopt;
    const qsizetype fileAt = parts[0].size() + parts[1].size() + parts[2].size() + parts[3].size() + parts[4].size() + 5;
    span.fileUri = uri.mid(fileAt);
    if (!span.fileUri.startsWith("file:"))
        return std::nullopt;
    return span;
}

}  // namespace qpt::media

// ---------------------------------------------------------------------------
// The trim element.

namespace {

using qpt::media::TrackSpan;

GST_DEBUG_CATEGORY_STATIC(qptTrackDebug);
#define GST_CAT_DEFAULT qptTrackDebug

struct QptTrim {
    GstElement parent;
    GstPad* sink;
    GstPad* src;
    // Set once, before the element runs.
    qint64 from;
    qint64 to;
    int perSecond;
    // The streaming thread's own, and the upstream events' (the stream lock).
    GstAudioInfo info;
    bool haveInfo;
    GstSegment upstream;
    qint64 fromSample;
    qint64 toSample;  // -1: the file's end
    qint64 next;      // the sample number of the next sample in; -1 unknown
    bool needSegment;
    guint64 segmentStart;  // of the segment sent on, in the track's time
    bool finished;         // the end was sent on
    bool startSought;      // the seek to the start was asked for
    // The seek this element made itself: its flushes stay inside (also
    // where the element upstream gives them a number of its own, while the
    // seek is under way), so that the sink never hears of it.
    std::atomic<guint32> ownSeek;
    std::atomic<bool> ownSeekUnderWay;
    // Under the object lock: the streaming thread waits for the seek to
    // the start (so it never runs on past the start meanwhile) until the
    // seek's flush, the seek's answer or the end of the element.
    GCond startSeekDone;
    bool awaitingStart;
    bool flushing;
};
struct QptTrimClass {
    GstElementClass parent;
};

GType qpt_trim_get_type();
G_DEFINE_TYPE(QptTrim, qpt_trim, GST_TYPE_ELEMENT)
#define QPT_TRIM(object) (reinterpret_cast<QptTrim*>(object))

GstStaticPadTemplate trimSinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw, layout=interleaved"));
GstStaticPadTemplate trimSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw, layout=interleaved"));

constexpr qint64 kPieceSamples = 4096;

qint64 toSamples(qint64 units, int perSecond, int rate)
{
    return qint64(gst_util_uint64_scale_round(guint64(units), guint64(rate), guint64(perSecond)));
}

guint64 samplesToTime(qint64 samples, int rate)
{
    return gst_util_uint64_scale_round(guint64(samples), GST_SECOND, guint64(rate));
}

void seekToStart(GstElement* element, gpointer)
{
    QptTrim* trim = QPT_TRIM(element);
    GST_OBJECT_LOCK(trim);
    const int rate = trim->haveInfo ? GST_AUDIO_INFO_RATE(&trim->info) : 0;
    const qint64 fromSample = trim->fromSample;
    const qint64 toSample = trim->toSample;
    GST_OBJECT_UNLOCK(trim);
    if (rate <= 0)
        return;
    // A little past the end: the decoder's own cut may round, the trim
    // does not.
    const gint64 stop = toSample >= 0 ? gint64(samplesToTime(toSample, rate) + GST_SECOND / 10) : -1;
    GstEvent* seek = gst_event_new_seek(1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        GST_SEEK_TYPE_SET, gint64(samplesToTime(fromSample, rate)),
                                        stop >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, stop);
    trim->ownSeek = gst_event_get_seqnum(seek);
    trim->ownSeekUnderWay = true;
    const bool sought = gst_pad_push_event(trim->sink, seek);
    trim->ownSeekUnderWay = false;
    if (!sought)
        GST_DEBUG_OBJECT(trim, "the seek to the track's start was refused; samples before it are passed over");
    GST_OBJECT_LOCK(trim);
    trim->awaitingStart = false;
    g_cond_broadcast(&trim->startSeekDone);
    GST_OBJECT_UNLOCK(trim);
}

void setFlushing(QptTrim* trim, bool flushing)
{
    GST_OBJECT_LOCK(trim);
    trim->flushing = flushing;
    if (!flushing)
        trim->awaitingStart = false;
    g_cond_broadcast(&trim->startSeekDone);
    GST_OBJECT_UNLOCK(trim);
}

void sendSegmentIfNeeded(QptTrim* trim)
{
    if (!trim->needSegment)
        return;
    trim->needSegment = false;
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    segment.rate = trim->upstream.rate;
    segment.applied_rate = trim->upstream.applied_rate;
    segment.start = trim->segmentStart;
    segment.time = trim->segmentStart;
    segment.position = trim->segmentStart;
    if (trim->toSample >= 0 && trim->haveInfo)
        segment.stop = samplesToTime(trim->toSample - trim->fromSample, GST_AUDIO_INFO_RATE(&trim->info));
    GstEvent* event = gst_event_new_segment(&segment);
    gst_event_set_seqnum(event, gst_util_seqnum_next());
    gst_pad_push_event(trim->src, event);
}

void finish(QptTrim* trim)
{
    if (trim->finished)
        return;
    trim->finished = true;
    sendSegmentIfNeeded(trim);
    gst_pad_push_event(trim->src, gst_event_new_eos());
}

GstFlowReturn trimChain(GstPad*, GstObject* parent, GstBuffer* buffer)
{
    QptTrim* trim = QPT_TRIM(parent);
    if (trim->finished) {
        gst_buffer_unref(buffer);
        return GST_FLOW_EOS;
    }
    if (!trim->haveInfo) {
        gst_buffer_unref(buffer);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    const int rate = GST_AUDIO_INFO_RATE(&trim->info);
    const int frameBytes = GST_AUDIO_INFO_BPF(&trim->info);
    if (trim->next < 0 || GST_BUFFER_IS_DISCONT(buffer)) {
        if (GST_BUFFER_PTS_IS_VALID(buffer)) {
            const guint64 at = gst_segment_to_stream_time(&trim->upstream, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
            if (at != GST_CLOCK_TIME_NONE)
                trim->next = qint64(gst_util_uint64_scale_round(at, guint64(rate), GST_SECOND));
        }
        if (trim->next < 0)
            trim->next = 0;
    }
    const qint64 count = qint64(gst_buffer_get_size(buffer)) / frameBytes;
    const qint64 begin = trim->next;
    const qint64 end = begin + count;
    trim->next = end;
    // Far before the start (the first buffer of the file): the start is
    // asked for once, off this thread, and this thread waits for it, so
    // that nothing at or past the start goes by meanwhile.
    if (!trim->startSought && trim->fromSample - begin > rate / 2) {
        trim->startSought = true;
        GST_OBJECT_LOCK(trim);
        trim->awaitingStart = true;
        GST_OBJECT_UNLOCK(trim);
        gst_element_call_async(GST_ELEMENT(trim), seekToStart, nullptr, nullptr);
        GST_OBJECT_LOCK(trim);
        while (trim->awaitingStart && !trim->flushing)
            g_cond_wait(&trim->startSeekDone, GST_OBJECT_GET_LOCK(trim));
        const bool flushing = trim->flushing;
        GST_OBJECT_UNLOCK(trim);
        if (flushing) {
            gst_buffer_unref(buffer);
            return GST_FLOW_FLUSHING;
        }
    }
    trim->startSought = true;
    const qint64 cutBegin = std::max(begin, trim->fromSample);
    const qint64 cutEnd = trim->toSample >= 0 ? std::min(end, trim->toSample) : end;
    GstFlowReturn result = GST_FLOW_OK;
    // Sent on in pieces the size a decoder gives: the queues after the
    // source count buffers, and a large read (raw audio comes in 64 KiB)
    // would let a whole short track into them at once, and the request for
    // the song after it come long before it is heard.
    for (qint64 at = cutBegin; at < cutEnd && result == GST_FLOW_OK; at += kPieceSamples) {
        const qint64 pieceEnd = std::min(at + kPieceSamples, cutEnd);
        GstBuffer* out = gst_buffer_copy_region(buffer, GST_BUFFER_COPY_ALL, gsize((at - begin) * frameBytes),
                                                gsize((pieceEnd - at) * frameBytes));
        GST_BUFFER_PTS(out) = samplesToTime(at - trim->fromSample, rate);
        GST_BUFFER_DURATION(out) = samplesToTime(pieceEnd - trim->fromSample, rate) - GST_BUFFER_PTS(out);
        GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_OFFSET(out) = guint64(at - trim->fromSample);
        GST_BUFFER_OFFSET_END(out) = guint64(pieceEnd - trim->fromSample);
        if (at != cutBegin)
            GST_BUFFER_FLAG_UNSET(out, GST_BUFFER_FLAG_DISCONT);
        sendSegmentIfNeeded(trim);
        result = gst_pad_push(trim->src, out);
    }
    if (buffer)
        gst_buffer_unref(buffer);
    if (trim->toSample >= 0 && end >= trim->toSample && result == GST_FLOW_OK) {
        finish(trim);
        return GST_FLOW_EOS;
    }
    return result;
}

gboolean trimSinkEvent(GstPad* pad, GstObject* parent, GstEvent* event)
{
    QptTrim* trim = QPT_TRIM(parent);
    const bool own = trim->ownSeekUnderWay || (trim->ownSeek != 0 && gst_event_get_seqnum(event) == trim->ownSeek);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        GstAudioInfo info;
        if (!gst_audio_info_from_caps(&info, caps) || GST_AUDIO_INFO_RATE(&info) <= 0
            || GST_AUDIO_INFO_BPF(&info) <= 0) {
            gst_event_unref(event);
            return FALSE;
        }
        GST_OBJECT_LOCK(trim);
        trim->info = info;
        trim->haveInfo = true;
        trim->fromSample = toSamples(trim->from, trim->perSecond, GST_AUDIO_INFO_RATE(&info));
        trim->toSample = trim->to >= 0 ? toSamples(trim->to, trim->perSecond, GST_AUDIO_INFO_RATE(&info)) : -1;
        GST_OBJECT_UNLOCK(trim);
        return gst_pad_push_event(trim->src, event);
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        if (segment->format != GST_FORMAT_TIME) {
            gst_event_unref(event);
            return FALSE;
        }
        gst_segment_copy_into(segment, &trim->upstream);
        trim->next = -1;
        trim->needSegment = true;
        guint64 start = 0;
        if (trim->haveInfo) {
            const guint64 at = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, segment->start);
            const guint64 from = samplesToTime(trim->fromSample, GST_AUDIO_INFO_RATE(&trim->info));
            if (at != GST_CLOCK_TIME_NONE && at > from)
                start = at - from;
        }
        trim->segmentStart = start;
        gst_event_unref(event);
        return TRUE;
    }
    case GST_EVENT_FLUSH_STOP:
        setFlushing(trim, false);
        trim->next = -1;
        trim->needSegment = true;
        trim->finished = false;
        if (own) {
            gst_event_unref(event);
            return TRUE;
        }
        return gst_pad_push_event(trim->src, event);
    case GST_EVENT_FLUSH_START:
        setFlushing(trim, true);
        if (own) {
            gst_event_unref(event);
            return TRUE;
        }
        return gst_pad_push_event(trim->src, event);
    case GST_EVENT_EOS:
        if (trim->finished) {
            gst_event_unref(event);
            return TRUE;
        }
        trim->finished = true;
        sendSegmentIfNeeded(trim);
        return gst_pad_push_event(trim->src, event);
    case GST_EVENT_GAP:
        gst_event_unref(event);  // in the file's time
        return TRUE;
    default:
        return gst_pad_event_default(pad, parent, event);
    }
}

gboolean trimSrcEvent(GstPad* pad, GstObject* parent, GstEvent* event)
{
    QptTrim* trim = QPT_TRIM(parent);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK)
        return gst_pad_event_default(pad, parent, event);
    gdouble rate = 1;
    GstFormat format = GST_FORMAT_UNDEFINED;
    GstSeekFlags flags = GST_SEEK_FLAG_NONE;
    GstSeekType startType = GST_SEEK_TYPE_NONE, stopType = GST_SEEK_TYPE_NONE;
    gint64 start = 0, stop = 0;
    gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
    GST_OBJECT_LOCK(trim);
    const bool known = trim->haveInfo;
    const int sampleRate = known ? GST_AUDIO_INFO_RATE(&trim->info) : 0;
    const qint64 fromSample = trim->fromSample;
    const qint64 toSample = trim->toSample;
    GST_OBJECT_UNLOCK(trim);
    if (format != GST_FORMAT_TIME || !known || startType != GST_SEEK_TYPE_SET) {
        gst_event_unref(event);
        return FALSE;
    }
    const gint64 offset = gint64(samplesToTime(fromSample, sampleRate));
    gint64 end = toSample >= 0 ? gint64(samplesToTime(toSample, sampleRate) + GST_SECOND / 10) : -1;
    if (stopType == GST_SEEK_TYPE_SET && stop >= 0)
        end = end >= 0 ? std::min(end, stop + offset) : stop + offset;
    GstEvent* moved = gst_event_new_seek(rate, format, flags, GST_SEEK_TYPE_SET, std::max<gint64>(start, 0) + offset,
                                         end >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, end);
    gst_event_set_seqnum(moved, gst_event_get_seqnum(event));
    gst_event_unref(event);
    return gst_pad_push_event(trim->sink, moved);
}

gboolean trimSrcQuery(GstPad* pad, GstObject* parent, GstQuery* query)
{
    QptTrim* trim = QPT_TRIM(parent);
    if (GST_QUERY_TYPE(query) == GST_QUERY_DURATION) {
        GstFormat format = GST_FORMAT_UNDEFINED;
        gst_query_parse_duration(query, &format, nullptr);
        GST_OBJECT_LOCK(trim);
        const int rate = trim->haveInfo ? GST_AUDIO_INFO_RATE(&trim->info) : 0;
        const qint64 fromSample = trim->fromSample;
        const qint64 toSample = trim->toSample;
        GST_OBJECT_UNLOCK(trim);
        if (format != GST_FORMAT_TIME || rate <= 0)
            return FALSE;
        if (toSample >= 0) {
            gst_query_set_duration(query, GST_FORMAT_TIME, gint64(samplesToTime(toSample - fromSample, rate)));
            return TRUE;
        }
        gint64 whole = 0;
        if (!gst_pad_peer_query_duration(trim->sink, GST_FORMAT_TIME, &whole) || whole < 0)
            return FALSE;
        const gint64 offset = gint64(samplesToTime(fromSample, rate));
        gst_query_set_duration(query, GST_FORMAT_TIME, std::max<gint64>(whole - offset, 0));
        return TRUE;
    }
    if (GST_QUERY_TYPE(query) == GST_QUERY_POSITION)
        return FALSE;  // the sinks know the track's position; the file's is not it
    // Once the format is known it is the only answer: playbin then sees
    // samples and plugs nothing after them (a queue there would take a
    // whole short track at once, and ask for the next song long before
    // the one before it is heard).
    if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
        if (GstCaps* current = gst_pad_get_current_caps(trim->sink)) {
            GstCaps* filter = nullptr;
            gst_query_parse_caps(query, &filter);
            if (filter) {
                GstCaps* both = gst_caps_intersect_full(filter, current, GST_CAPS_INTERSECT_FIRST);
                gst_caps_unref(current);
                current = both;
            }
            gst_query_set_caps_result(query, current);
            gst_caps_unref(current);
            return TRUE;
        }
    }
    return gst_pad_query_default(pad, parent, query);
}

void qpt_trim_init(QptTrim* trim)
{
    trim->sink = gst_pad_new_from_static_template(&trimSinkTemplate, "sink");
    gst_pad_set_chain_function(trim->sink, trimChain);
    gst_pad_set_event_function(trim->sink, trimSinkEvent);
    GST_PAD_SET_PROXY_CAPS(trim->sink);
    GST_PAD_SET_PROXY_ALLOCATION(trim->sink);
    gst_element_add_pad(GST_ELEMENT(trim), trim->sink);
    trim->src = gst_pad_new_from_static_template(&trimSrcTemplate, "src");
    gst_pad_set_event_function(trim->src, trimSrcEvent);
    gst_pad_set_query_function(trim->src, trimSrcQuery);
    GST_PAD_SET_PROXY_CAPS(trim->src);
    GST_PAD_SET_PROXY_ALLOCATION(trim->src);
    gst_element_add_pad(GST_ELEMENT(trim), trim->src);
    trim->from = 0;
    trim->to = -1;
    trim->perSecond = 75;
    trim->haveInfo = false;
    gst_segment_init(&trim->upstream, GST_FORMAT_TIME);
    trim->fromSample = 0;
    trim->toSample = -1;
    trim->next = -1;
    trim->needSegment = true;
    trim->segmentStart = 0;
    trim->finished = false;
    trim->startSought = false;
    new (&trim->ownSeek) std::atomic<guint32>(0);
    new (&trim->ownSeekUnderWay) std::atomic<bool>(false);
    g_cond_init(&trim->startSeekDone);
    trim->awaitingStart = false;
    trim->flushing = false;
}

void trimFinalize(GObject* object)
{
    g_cond_clear(&QPT_TRIM(object)->startSeekDone);
    G_OBJECT_CLASS(qpt_trim_parent_class)->finalize(object);
}

GstStateChangeReturn trimChangeState(GstElement* element, GstStateChange transition)
{
    QptTrim* trim = QPT_TRIM(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        trim->next = -1;
        trim->needSegment = true;
        trim->finished = false;
        trim->startSought = false;
        trim->ownSeek = 0;
        gst_segment_init(&trim->upstream, GST_FORMAT_TIME);
        setFlushing(trim, false);
    }
    // A streaming thread waiting for the start lets go before the pads stop.
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        setFlushing(trim, true);
    return GST_ELEMENT_CLASS(qpt_trim_parent_class)->change_state(element, transition);
}

void qpt_trim_class_init(QptTrimClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = trimFinalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &trimSinkTemplate);
    gst_element_class_add_static_pad_template(element, &trimSrcTemplate);
    gst_element_class_set_static_metadata(element, "Track trim", "Filter/Audio",
                                          "Passes the samples of one track of a file, timed from its start",
                                          "Quorbel Player Tirk");
    element->change_state = trimChangeState;
}

// ---------------------------------------------------------------------------
// Raw CD audio (16-bit stereo, 44.1 kHz), one track of it: read from the
// file at the track's bytes, timed from the track's start. A file that is no
// whole number of samples ends at its last whole one.

constexpr int kCdRate = 44100;
constexpr int kCdFrameBytes = 4;

struct QptRawTrack {
    GstPushSrc parent;
    gchar* path;
    bool bigEndian;
    qint64 fromByte;
    qint64 toByte;  // -1: the file's end
    int fd;
    qint64 endByte;   // where the track ends in the open file
    qint64 position;  // the next byte to read
};
struct QptRawTrackClass {
    GstPushSrcClass parent;
};

GType qpt_raw_track_get_type();
G_DEFINE_TYPE(QptRawTrack, qpt_raw_track, GST_TYPE_PUSH_SRC)
#define QPT_RAW_TRACK(object) (reinterpret_cast<QptRawTrack*>(object))

GstStaticPadTemplate rawTrackTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string){ S16LE, S16BE }, layout=(string)interleaved, rate=(int)44100, "
                    "channels=(int)2, channel-mask=(bitmask)0x3"));

gboolean rawTrackStart(GstBaseSrc* base)
{
    QptRawTrack* track = QPT_RAW_TRACK(base);
    struct stat st {};
    track->fd = qpt::nativepath::openRegularFile(QByteArray(track->path), st);
    if (track->fd < 0) {
        GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND, ("file not found"), ("%s", track->path));
        return FALSE;
    }
    const qint64 whole = qint64(st.st_size) / kCdFrameBytes * kCdFrameBytes;
    track->endByte = track->toByte >= 0 ? std::min(track->toByte, whole) : whole;
    track->position = std::min(track->fromByte, track->endByte);
    return TRUE;
}

gboolean rawTrackStop(GstBaseSrc* base)
{
    QptRawTrack* track = QPT_RAW_TRACK(base);
    if (track->fd >= 0)
        ::close(track->fd);
    track->fd = -1;
    return TRUE;
}

GstCaps* rawTrackCaps(GstBaseSrc* base, GstCaps* filter)
{
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING,
                                        QPT_RAW_TRACK(base)->bigEndian ? "S16BE" : "S16LE", "layout", G_TYPE_STRING,
                                        "interleaved", "rate", G_TYPE_INT, kCdRate, "channels", G_TYPE_INT, 2,
                                        "channel-mask", GST_TYPE_BITMASK, guint64(0x3), nullptr);
    if (filter) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

gboolean rawTrackSeekable(GstBaseSrc*)
{
    return TRUE;
}

gboolean rawTrackSeek(GstBaseSrc* base, GstSegment* segment)
{
    QptRawTrack* track = QPT_RAW_TRACK(base);
    const qint64 samples = qint64(gst_util_uint64_scale_round(segment->start, kCdRate, GST_SECOND));
    track->position = track->fromByte + samples * kCdFrameBytes;
    if (track->fd >= 0)
        track->position = std::min(track->position, track->endByte);
    segment->time = segment->start;
    return TRUE;
}

gboolean rawTrackQuery(GstBaseSrc* base, GstQuery* query)
{
    QptRawTrack* track = QPT_RAW_TRACK(base);
    if (GST_QUERY_TYPE(query) == GST_QUERY_DURATION && track->fd >= 0) {
        GstFormat format = GST_FORMAT_UNDEFINED;
        gst_query_parse_duration(query, &format, nullptr);
        if (format == GST_FORMAT_TIME) {
            const qint64 samples = std::max<qint64>(track->endByte - track->fromByte, 0) / kCdFrameBytes;
            gst_query_set_duration(query, GST_FORMAT_TIME, gint64(samplesToTime(samples, kCdRate)));
            return TRUE;
        }
    }
    return GST_BASE_SRC_CLASS(qpt_raw_track_parent_class)->query(base, query);
}

GstFlowReturn rawTrackCreate(GstPushSrc* push, GstBuffer** out)
{
    QptRawTrack* track = QPT_RAW_TRACK(push);
    if (track->position >= track->endByte)
        return GST_FLOW_EOS;
    const qint64 size = std::min<qint64>(kPieceSamples * kCdFrameBytes, track->endByte - track->position);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(size), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::pread(track->fd, map.data + done, size_t(size - done), track->position + done);
        if (got <= 0)
            break;
        done += got;
    }
    gst_buffer_unmap(buffer, &map);
    done = done / kCdFrameBytes * kCdFrameBytes;
    if (done == 0) {
        gst_buffer_unref(buffer);
        return GST_FLOW_EOS;  // the file became shorter
    }
    gst_buffer_set_size(buffer, gssize(done));
    const qint64 first = (track->position - track->fromByte) / kCdFrameBytes;
    const qint64 last = first + done / kCdFrameBytes;
    GST_BUFFER_PTS(buffer) = samplesToTime(first, kCdRate);
    GST_BUFFER_DURATION(buffer) = samplesToTime(last, kCdRate) - GST_BUFFER_PTS(buffer);
    GST_BUFFER_OFFSET(buffer) = guint64(first);
    GST_BUFFER_OFFSET_END(buffer) = guint64(last);
    track->position += done;
    *out = buffer;
    return GST_FLOW_OK;
}

void qpt_raw_track_init(QptRawTrack* track)
{
    track->path = nullptr;
    track->bigEndian = false;
    track->fromByte = 0;
    track->toByte = -1;
    track->fd = -1;
    track->endByte = 0;
    track->position = 0;
    gst_base_src_set_format(GST_BASE_SRC(track), GST_FORMAT_TIME);
}

void rawTrackFinalize(GObject* object)
{
    g_free(QPT_RAW_TRACK(object)->path);
    G_OBJECT_CLASS(qpt_raw_track_parent_class)->finalize(object);
}

void qpt_raw_track_class_init(QptRawTrackClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = rawTrackFinalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &rawTrackTemplate);
    gst_element_class_set_static_metadata(element, "Raw CD audio track", "Source/Audio",
                                          "Reads one track of a raw CD audio image", "Quorbel Player Tirk");
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->start = rawTrackStart;
    base->stop = rawTrackStop;
    base->get_caps = rawTrackCaps;
    base->is_seekable = rawTrackSeekable;
    base->do_seek = rawTrackSeek;
    base->query = rawTrackQuery;
    GST_PUSH_SRC_CLASS(klass)->create = rawTrackCreate;
}

// ---------------------------------------------------------------------------
// The source: a bin that is a URI handler for "qpttrack:".

struct QptTrackSource {
    GstBin parent;
    gchar* uri;
    bool built;
    GstElement* trim;
    GstPad* ghost;
};
struct QptTrackSourceClass {
    GstBinClass parent;
};

void trackSourceUriHandlerInit(gpointer iface, gpointer);
GType qpt_track_source_get_type();
G_DEFINE_TYPE_WITH_CODE(QptTrackSource, qpt_track_source, GST_TYPE_BIN,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_URI_HANDLER, trackSourceUriHandlerInit))
#define QPT_TRACK_SOURCE(object) (reinterpret_cast<QptTrackSource*>(object))

GstStaticPadTemplate sourceTemplate =
    GST_STATIC_PAD_TEMPLATE("src_%u", GST_PAD_SRC, GST_PAD_SOMETIMES, GST_STATIC_CAPS("audio/x-raw"));

void exposeTrim(QptTrackSource* source)
{
    GstPad* target = gst_element_get_static_pad(source->trim, "src");
    source->ghost = gst_ghost_pad_new_from_template("src_0", target, gst_static_pad_template_get(&sourceTemplate));
    gst_object_unref(target);
    gst_pad_set_active(source->ghost, TRUE);
    gst_element_add_pad(GST_ELEMENT(source), source->ghost);
    gst_element_no_more_pads(GST_ELEMENT(source));
}

void onDecodedPad(GstElement*, GstPad* pad, gpointer data)
{
    QptTrackSource* source = QPT_TRACK_SOURCE(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const bool audio = caps && gst_caps_get_size(caps) > 0
        && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    if (caps)
        gst_caps_unref(caps);
    GstPad* sink = gst_element_get_static_pad(source->trim, "sink");
    const bool first = audio && !gst_pad_is_linked(sink) && gst_pad_link(pad, sink) == GST_PAD_LINK_OK;
    gst_object_unref(sink);
    if (first)
        exposeTrim(source);
}

bool build(QptTrackSource* source, const TrackSpan& span)
{
    GstBin* bin = GST_BIN(source);
    if (span.storage == TrackSpan::Storage::Decoded) {
        source->trim = GST_ELEMENT(g_object_new(qpt_trim_get_type(), nullptr));
        QptTrim* trim = QPT_TRIM(source->trim);
        trim->from = span.from;
        trim->to = span.to;
        trim->perSecond = span.perSecond;
        gst_bin_add(bin, source->trim);
        GstElement* decoder = gst_element_factory_make("uridecodebin", nullptr);
        if (!decoder)
            return false;
        g_object_set(decoder, "uri", span.fileUri.constData(), nullptr);
        g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), source);
        gst_bin_add(bin, decoder);
        return true;
    }
    // Raw CD audio: read straight from the file, the track alone.
    GstElement* raw = GST_ELEMENT(g_object_new(qpt_raw_track_get_type(), nullptr));
    QptRawTrack* track = QPT_RAW_TRACK(raw);
    gchar* path = g_filename_from_uri(span.fileUri.constData(), nullptr, nullptr);
    track->path = path ? path : g_strdup("");
    track->bigEndian = span.storage == TrackSpan::Storage::RawBigEndian;
    track->fromByte = toSamples(span.from, span.perSecond, kCdRate) * kCdFrameBytes;
    track->toByte = span.to >= 0 ? toSamples(span.to, span.perSecond, kCdRate) * kCdFrameBytes : -1;
    gst_bin_add(bin, raw);
    GstPad* target = gst_element_get_static_pad(raw, "src");
    source->ghost = gst_ghost_pad_new_from_template("src_0", target, gst_static_pad_template_get(&sourceTemplate));
    gst_object_unref(target);
    gst_pad_set_active(source->ghost, TRUE);
    gst_element_add_pad(GST_ELEMENT(source), source->ghost);
    gst_element_no_more_pads(GST_ELEMENT(source));
    return true;
}

GstURIType trackSourceUriType(GType)
{
    return GST_URI_SRC;
}

const gchar* const* trackSourceProtocols(GType)
{
    static const gchar* protocols[] = {qpt::media::kTrackScheme, nullptr};
    return protocols;
}

gchar* trackSourceGetUri(GstURIHandler* handler)
{
    QptTrackSource* source = QPT_TRACK_SOURCE(handler);
    GST_OBJECT_LOCK(source);
    gchar* uri = g_strdup(source->uri);
    GST_OBJECT_UNLOCK(source);
    return uri;
}

gboolean trackSourceSetUri(GstURIHandler* handler, const gchar* uri, GError** error)
{
    QptTrackSource* source = QPT_TRACK_SOURCE(handler);
    const std::optional<TrackSpan> span = qpt::media::parseTrackUri(QByteArray(uri));
    if (!span || source->built) {
        g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_URI, "not a track address: %s", uri);
        return FALSE;
    }
    source->built = true;
    GST_OBJECT_LOCK(source);
    g_free(source->uri);
    source->uri = g_strdup(uri);
    GST_OBJECT_UNLOCK(source);
    if (!build(source, *span)) {
        g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_URI, "cannot read %s", uri);
        return FALSE;
    }
    return TRUE;
}

void trackSourceUriHandlerInit(gpointer iface, gpointer)
{
    auto* handler = static_cast<GstURIHandlerInterface*>(iface);
    handler->get_type = trackSourceUriType;
    handler->get_protocols = trackSourceProtocols;
    handler->get_uri = trackSourceGetUri;
    handler->set_uri = trackSourceSetUri;
}

void qpt_track_source_init(QptTrackSource* source)
{
    source->uri = nullptr;
    source->built = false;
    source->trim = nullptr;
    source->ghost = nullptr;
    GST_OBJECT_FLAG_SET(source, GST_ELEMENT_FLAG_SOURCE);
}

void trackSourceFinalize(GObject* object)
{
    g_free(QPT_TRACK_SOURCE(object)->uri);
    G_OBJECT_CLASS(qpt_track_source_parent_class)->finalize(object);
}

void qpt_track_source_class_init(QptTrackSourceClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = trackSourceFinalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sourceTemplate);
    gst_element_class_set_static_metadata(element, "Track of a file", "Source/Audio",
                                          "Plays one track of an album kept as one file",
                                          "Quorbel Player Tirk");
}

}  // namespace

namespace qpt::media {

void registerTrackSource()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GST_DEBUG_CATEGORY_INIT(qptTrackDebug, "qpttrack", 0, "tracks of album files");
        gst_element_register(nullptr, "qpttracksrc", GST_RANK_PRIMARY, qpt_track_source_get_type());
    });
}

}  // namespace qpt::media
