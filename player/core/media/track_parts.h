#pragma once
// The two elements inside a track source (track_source.h): the trim, which
// turns a decoded file into the samples of one track, and the reader of
// raw CD audio for disc images. Shared by their files and the source.

#include "player/core/media/track_source.h"

#include <gst/gst.h>

namespace qpt::media::trackparts {

GST_DEBUG_CATEGORY_EXTERN(qptTrackDebug);

// Samples go on in pieces this size: a whole short track let into the
// queues at once would break the gapless change.
inline constexpr qint64 kPieceSamples = 4096;

inline qint64 toSamples(qint64 units, int perSecond, int rate)
{
    return qint64(gst_util_uint64_scale_round(guint64(units), guint64(rate), guint64(perSecond)));
}

inline guint64 samplesToTime(qint64 samples, int rate)
{
    return gst_util_uint64_scale_round(guint64(samples), GST_SECOND, guint64(rate));
}

// Decoded audio in (its sink pad), the span's samples out, timed from the
// span's start (its src pad).
GstElement* makeTrim(const TrackSpan& span);
// A source of the span's samples from a file of raw CD audio.
GstElement* makeRawTrackReader(const TrackSpan& span);

}  // namespace qpt::media::trackparts
