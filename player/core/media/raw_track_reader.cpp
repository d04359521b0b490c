#include "player/core/media/track_parts.h"

#include "common/native_path.h"

#include <gst/base/gstpushsrc.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qpt::media::TrackSpan;
using namespace qpt::media::trackparts;

#define GST_CAT_DEFAULT qpt::media::trackparts::qptTrackDebug

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

}  // namespace

namespace qpt::media::trackparts {

GstElement* makeRawTrackReader(const TrackSpan& span)
{
    GstElement* raw = GST_ELEMENT(g_object_new(qpt_raw_track_get_type(), nullptr));
    QptRawTrack* track = QPT_RAW_TRACK(raw);
    gchar* path = g_filename_from_uri(span.fileUri.constData(), nullptr, nullptr);
    track->path = path ? path : g_strdup("");
    track->bigEndian = span.storage == TrackSpan::Storage::RawBigEndian;
    track->fromByte = toSamples(span.from, span.perSecond, kCdRate) * kCdFrameBytes;
    track->toByte = span.to >= 0 ? toSamples(span.to, span.perSecond, kCdRate) * kCdFrameBytes : -1;
    return raw;
}

}  // namespace qpt::media::trackparts
