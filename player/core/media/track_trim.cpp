#include "player/core/media/track_parts.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <atomic>
#include <new>

// The trim element.

namespace {

using qpt::media::TrackSpan;
using namespace qpt::media::trackparts;

#define GST_CAT_DEFAULT qpt::media::trackparts::qptTrackDebug

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


}  // namespace

namespace qpt::media::trackparts {

GstElement* makeTrim(const TrackSpan& span)
{
    GstElement* element = GST_ELEMENT(g_object_new(qpt_trim_get_type(), nullptr));
    QptTrim* trim = QPT_TRIM(element);
    trim->from = span.from;
    trim->to = span.to;
    trim->perSecond = span.perSecond;
    return element;
}

}  // namespace qpt::media::trackparts
