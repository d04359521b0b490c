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
    return bin;
}

}  // namespace qpt::media
