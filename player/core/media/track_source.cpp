#include "player/core/media/track_source.h"

#include "player/core/media/track_parts.h"

#include <QList>

#include <gst/gst.h>

#include <mutex>

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

// The source: a bin that is a URI handler for "qpttrack:".

namespace qpt::media::trackparts {
GST_DEBUG_CATEGORY(qptTrackDebug);
}

namespace {

using qpt::media::TrackSpan;
using namespace qpt::media::trackparts;


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
        source->trim = makeTrim(span);
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
    GstElement* raw = makeRawTrackReader(span);
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
