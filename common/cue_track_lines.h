#pragma once
// How one track of an album kept as one file travels in the one-path-a-line
// files (playlists, the autosave, batch files): the path of what describes
// the album (a .cue sheet, or a .flac file with its sheet inside) and the
// track's place in it, "/Music/Album.cue/3". A regular file cannot be a
// folder, so no path of an ordinary song looks like that, and every other
// line stays a plain path.

#include "common/native_path.h"

#include <optional>

namespace qpt::cuelines {

inline constexpr int kMaxTrackInLine = 9999;

struct TrackLine {
    NativePath album;  // the .cue (or .flac) path
    int track = 0;     // 1-based place among the sheet's tracks
};

// The album and track a line names; nullopt for any other line.
std::optional<TrackLine> trackLineOf(const NativePath& line);
NativePath lineOf(const NativePath& album, int track);

// True for a path ending in ".cue" (any case): a sheet, read into rows.
bool isSheetPath(const NativePath& path);

}  // namespace qpt::cuelines
