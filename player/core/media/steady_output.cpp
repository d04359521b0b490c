#include "player/core/media/steady_output.h"

#include <initializer_list>

namespace qpt::media {

namespace {

// On a streaming thread, for each event entering the output: the first
// stream's format becomes the output's for good. Later formats reach the
// converter and leave it in the first one.
GstPadProbeReturn fixFormatOnFirstCaps(GstPad*, GstPadProbeInfo* info, gpointer filter)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* incoming = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    if (!incoming || !gst_structure_has_name(incoming, "audio/x-raw"))
        return GST_PAD_PROBE_OK;
    GstStructure* fixed = gst_structure_new_empty("audio/x-raw");
    for (const char* field : {"format", "rate", "channels", "channel-mask", "layout"}) {
        if (const GValue* value = gst_structure_get_value(incoming, field))
            gst_structure_set_value(fixed, field, value);
    }
    GstCaps* format = gst_caps_new_full(fixed, nullptr);
    g_object_set(filter, "caps", format, nullptr);
    gst_caps_unref(format);
    return GST_PAD_PROBE_REMOVE;
}

// On a streaming thread, for each query going down to the sink: once the
// format is fixed, the questions about formats are answered here. The sink
// has nothing to add to them by then, and some sinks cannot be asked while
// the pipeline is going down (PulseAudio's frees its connection when it
// reaches NULL, and a song being prepared may still ask then, which aborts
// the process).
GstPadProbeReturn answerFormatQueries(GstPad*, GstPadProbeInfo* info, gpointer filter)
{
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS && GST_QUERY_TYPE(query) != GST_QUERY_ACCEPT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* fixed = nullptr;
    g_object_get(filter, "caps", &fixed, nullptr);
    if (!fixed || gst_caps_is_any(fixed)) {
        if (fixed)
            gst_caps_unref(fixed);
        return GST_PAD_PROBE_OK;
    }
    if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
        GstCaps* wanted = nullptr;
        gst_query_parse_caps(query, &wanted);
        GstCaps* answer = wanted ? gst_caps_intersect_full(wanted, fixed, GST_CAPS_INTERSECT_FIRST) : gst_caps_ref(fixed);
        gst_query_set_caps_result(query, answer);
        gst_caps_unref(answer);
    } else {
        GstCaps* offered = nullptr;
        gst_query_parse_accept_caps(query, &offered);
        gst_query_set_accept_caps_result(query, offered && gst_caps_can_intersect(offered, fixed));
    }
    gst_caps_unref(fixed);
    return GST_PAD_PROBE_HANDLED;
}

}  // namespace

GstElement* makeSteadyOutput(GstElement* sink)
{
    if (!sink)
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    if (!sink || !convert || !resample || !filter) {
        for (GstElement* element : {sink, convert, resample, filter}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return nullptr;
    }
    GstElement* bin = gst_bin_new("steady output");
    gst_bin_add_many(GST_BIN(bin), convert, resample, filter, sink, nullptr);
    if (!gst_element_link_many(convert, resample, filter, sink, nullptr)) {
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    GstPad* input = gst_element_get_static_pad(convert, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &fixFormatOnFirstCaps, filter, nullptr);
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    GstPad* toSink = gst_element_get_static_pad(filter, "src");
    gst_pad_add_probe(toSink, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, &answerFormatQueries, filter, nullptr);
    gst_object_unref(toSink);
    return bin;
}

}  // namespace qpt::media
