#pragma once
// The audio output of a playback session: the sound device is set up once,
// in the format of the session's first song, and every later song of the
// session is converted to it. A sound server (PulseAudio, PipeWire) sets
// its stream up anew when the format changes and drops what it still holds
// of the outgoing song, about a tenth of a second; songs that follow one
// another without a gap never ask it to.

#include <gst/gst.h>

namespace qpt::media {

// A bin (converter, resampler, the fixed format, then `sink`) to give
// playbin as its audio sink. `sink` is taken; null means the desktop's
// default output.
GstElement* makeSteadyOutput(GstElement* sink);

}  // namespace qpt::media
