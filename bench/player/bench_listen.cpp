// qpt-bench-listen: plays a song in real time and tells whether playback
// ever waited for data (the cold library benchmarks play one meanwhile).
//
//   qpt-bench-listen FILE [--seconds S]
//
// playbin plays FILE into "fakesink sync=true", which takes each buffer at
// its time on the pipeline clock, as an audio device would. A buffer that
// reaches the sink after its time came late: the reads or the decoding
// behind it did not keep up. An audio sink holds about 200 ms (its default
// buffer-time), so a buffer late by less than that is not heard; any
// lateness beyond a few milliseconds of scheduling is counted anyway.
// Playing stops after S seconds (60), at the end of the song, or at SIGINT
// or SIGTERM. "listen.playing 1" is printed when the first buffer is heard.
//
// Figures ("name value" lines): listen.buffers, listen.late_buffers (late
// by 20 ms or more), listen.max_late_ms, listen.first_buffer_ms (from the
// start until the first buffer was heard, the cold start), listen.played_s
// and listen.wall_s (from the first buffer on; the difference is time the
// song stood still), listen.error (1 when it could not be played).

#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <glib-unix.h>

#include <QByteArray>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr GstClockTimeDiff kLate = 20 * GST_MSECOND;

struct Listening {
    GMainLoop* loop = nullptr;
    GstElement* playbin = nullptr;
    gint64 startUs = 0;
    gint64 firstUs = -1;
    GstClockTime firstRunning = GST_CLOCK_TIME_NONE;
    GstClockTime lastEnd = 0;  // running time where the last buffer ends
    guint64 buffers = 0;
    guint64 late = 0;
    GstClockTimeDiff maxLate = 0;
    bool failed = false;
};

// On the streaming thread, after the sink waited for the buffer's time.
void onHandoff(GstElement* sink, GstBuffer* buffer, GstPad*, gpointer data)
{
    auto* l = static_cast<Listening*>(data);
    GstClock* clock = gst_element_get_clock(sink);
    if (!clock || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        if (clock)
            gst_object_unref(clock);
        return;
    }
    const GstClockTime now = gst_clock_get_time(clock) - gst_element_get_base_time(sink);
    gst_object_unref(clock);
    GstBaseSink* base = GST_BASE_SINK(sink);
    const GstClockTime due = gst_segment_to_running_time(&base->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (l->firstUs < 0) {
        l->firstUs = g_get_monotonic_time();
        l->firstRunning = due;
        std::printf("listen.playing 1\n");  // for whoever waits for it
        std::fflush(stdout);
    }
    const GstClockTimeDiff lateness = GST_CLOCK_DIFF(due, now);
    ++l->buffers;
    l->maxLate = std::max(l->maxLate, lateness);
    if (lateness >= kLate)
        ++l->late;
    if (GST_BUFFER_DURATION_IS_VALID(buffer))
        l->lastEnd = due + GST_BUFFER_DURATION(buffer);
}

gboolean onBus(GstBus*, GstMessage* message, gpointer data)
{
    auto* l = static_cast<Listening*>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        std::fprintf(stderr, "qpt-bench-listen: %s\n", error ? error->message : "error");
        g_clear_error(&error);
        l->failed = true;
        g_main_loop_quit(l->loop);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        g_main_loop_quit(l->loop);
    }
    return TRUE;
}

gboolean quit(gpointer data)
{
    g_main_loop_quit(static_cast<Listening*>(data)->loop);
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 60;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (!file)
            file = argv[i];
        else
            file = nullptr, i = argc;
    }
    if (!file) {
        std::fputs("usage: qpt-bench-listen FILE [--seconds S]\n", stderr);
        return 2;
    }
    // Before anything is loaded: on a slow disk starting GStreamer takes a
    // while, and a stop meanwhile must still print the figures.
    Listening l;
    l.loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGINT, quit, &l);
    g_unix_signal_add(SIGTERM, quit, &l);
    l.startUs = g_get_monotonic_time();
    gst_init(&argc, &argv);
    l.playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    GstElement* video = gst_element_factory_make("fakesink", nullptr);
    if (!l.playbin || !sink || !video) {
        std::fputs("qpt-bench-listen: no playbin or fakesink\n", stderr);
        return 1;
    }
    g_object_set(sink, "sync", TRUE, "signal-handoffs", TRUE, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(onHandoff), &l);
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(file)).absoluteFilePath()).toEncoded();
    g_object_set(l.playbin, "uri", uri.constData(), "audio-sink", sink, "video-sink", video, nullptr);
    GstBus* bus = gst_element_get_bus(l.playbin);
    gst_bus_add_watch(bus, onBus, &l);
    gst_object_unref(bus);
    g_timeout_add(guint(seconds * 1000), quit, &l);

    gst_element_set_state(l.playbin, GST_STATE_PLAYING);
    g_main_loop_run(l.loop);
    const gint64 endUs = g_get_monotonic_time();
    gst_element_set_state(l.playbin, GST_STATE_NULL);

    const bool heard = l.firstUs >= 0;
    std::printf("listen.error %d\n", l.failed || !heard ? 1 : 0);
    std::printf("listen.buffers %llu\n", static_cast<unsigned long long>(l.buffers));
    std::printf("listen.late_buffers %llu\n", static_cast<unsigned long long>(l.late));
    std::printf("listen.max_late_ms %.3f\n", double(l.maxLate) / GST_MSECOND);
    std::printf("listen.first_buffer_ms %.3f\n", heard ? double(l.firstUs - l.startUs) / 1000 : -1.0);
    std::printf("listen.played_s %.3f\n", heard ? double(l.lastEnd - l.firstRunning) / GST_SECOND : 0.0);
    std::printf("listen.wall_s %.3f\n", heard ? double(endUs - l.firstUs) / 1e6 : 0.0);
    gst_object_unref(l.playbin);
    g_main_loop_unref(l.loop);
    return l.failed || !heard ? 1 : 0;
}
