#pragma once
// An album kept as one file (or a few), track by track: a .cue sheet read
// from disk with the audio files it names found beside it, or a FLAC file
// with its sheet inside. Reads the user's files: worker threads only.
//
// A track runs from its INDEX 01 to the next track's INDEX 01 in the same
// file (the pregap, INDEX 00, is heard at the end of the track before, as
// a CD player plays it); the last track of a file runs to the file's end.

#include "common/native_path.h"
#include "player/core/cue/cue_sheet.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace qpt::cue {

struct AlbumTrack {
    int place = 0;   // 1-based among the sheet's tracks: what a line names
    int number = 0;  // the sheet's TRACK number
    QString title;   // as the playlist shows it
    NativePath file;  // the audio file found; as named when none was
    bool fileFound = false;
    FileType type = FileType::Decoded;
    // [from, to) in units of 1/perSecond s; to < 0: to the end of the file.
    qint64 from = 0;
    qint64 to = -1;
    int perSecond = kFramesPerSecond;
    // It has a start, and ends after it: otherwise the row cannot play.
    bool playable = false;

    // The length in milliseconds when the track ends before the file does.
    std::optional<qint64> knownMilliseconds() const;
    // Where it starts, in milliseconds from the file's start.
    qint64 fromMilliseconds() const;
};

struct Album {
    QList<AlbumTrack> tracks;  // audio tracks only, in the sheet's order
    const AlbumTrack* track(int place) const;
};

// How the reader finds files: whether a path is a regular file, and the
// names in a folder (tests give their own).
struct FileLookup {
    std::function<bool(const NativePath&)> isFile;
    std::function<QList<NativePath>(const NativePath&)> namesIn;
    static FileLookup disk();
};

// The tracks of a sheet whose file is `sheetPath`.
Album albumOfSheet(const Sheet& sheet, const NativePath& sheetPath, const FileLookup& files);

// Reads a .cue file, or the sheet inside a .flac file. nullopt when the
// file cannot be read or holds no sheet (a .cue larger than any sheet,
// garbage, a FLAC file without one).
std::optional<Album> readAlbum(const NativePath& path);

// The FILE an album's audio lies in, as the sheet names it, resolved:
// beside the sheet, else a file of the same base name with another song
// extension (a rip re-encoded after the sheet was written).
NativePath findAudioFile(const QString& named, const NativePath& sheetPath, const FileLookup& files, bool* found);

}  // namespace qpt::cue
