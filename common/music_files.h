#pragma once
// Which files are music to the programs: the extensions a batch line, a
// drop, the open dialog and the file association know, in one order.

#include <QByteArray>
#include <QStringList>

namespace qpt::music {

// Songs the media component plays.
inline const QList<QByteArray>& songExtensions()
{
    static const QList<QByteArray> list{"mp1", "mp2", "mp3", "mid", "wav", "wma"};
    return list;
}
inline constexpr const char* CdTrackExtension = "cda";
inline constexpr const char* PlaylistExtension = "vyx";

enum class Kind { Song, CdTrack, Playlist, Other };

// The kind of a file by the text after the last "." (a name without "."
// is its own extension), compared ignoring letter case.
Kind kindOfExtension(const QByteArray& extension);
// The extension of a path or line: the text after its last ".".
QByteArray extensionOf(const QByteArray& path);
inline Kind kindOf(const QByteArray& path) { return kindOfExtension(extensionOf(path)); }

}  // namespace qpt::music
