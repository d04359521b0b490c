#pragma once
// The samples of a track of a fragmented MP4 file (as downloads and
// recorders write them): the movie header holds no samples, each movie
// fragment (moof) that follows it lists the next run of them, their
// durations and sizes given per sample or by defaults (tfhd, else the
// track's trex). Where the file ends in a random-access index (mfra), the
// walk starts at the last fragment it names; else every fragment's header
// is read, one small read per fragment. Samples whose data is not in the
// file (a recording cut short) are not played, nor any after them.

#include "player/core/length/mp4_boxes.h"

#include <cstdint>
#include <optional>

namespace qpt::length::mp4 {

// In the track's timescale.
struct FragmentedSamples {
    bool any = false;
    std::uint64_t firstDts = 0;  // start of the first sample
    std::uint64_t endDts = 0;    // end of the last one, as long as the longest
};

// nullopt when the movie has no fragments (no mvex box).
std::optional<FragmentedSamples> fragmentedSamples(ProbeFile& file, const Box& moov, const Box& trak);

}  // namespace qpt::length::mp4
