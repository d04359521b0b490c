#pragma once
// Where the audio of an MPEG audio file lies between its tags: ID3v2 tags
// at the start, and ID3v1, APE and Lyrics3 v2 tags at the end. Tags are
// skipped by their declared sizes, never searched for frame headers.

#include "player/core/length/probe_file.h"

#include <cstdint>

namespace qpt::length {

// The offset just past the ID3v2 tags that start at `begin` (several in a
// row are skipped); `begin` when there is none.
std::int64_t skipId3v2Tags(ProbeFile& file, std::int64_t begin, std::int64_t end);

// The offset where the tags at the end of [begin, end) start; `end` when
// there are none.
std::int64_t stripTrailingTags(ProbeFile& file, std::int64_t begin, std::int64_t end);

}  // namespace qpt::length
