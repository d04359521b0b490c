#pragma once
// Which files are music to the programs: the extensions a batch line, a
// drop, the open dialog and the file association know, in one order, and
// the MIME types they stand for on the desktop.

#include <QByteArray>
#include <QStringList>

namespace qpt::music {

// The later formats among the songs: FLAC, Ogg (Vorbis, Opus, FLAC) and
// MPEG-4 audio. The desktop is told of them, but they are not among the
// types the file association claims by default.
inline const QList<QByteArray>& laterSongExtensions()
{
    static const QList<QByteArray> list{"flac", "ogg", "oga", "opus", "m4a"};
    return list;
}

// Songs the media component plays: the first formats, then the later ones.
inline const QList<QByteArray>& songExtensions()
{
    static const QList<QByteArray> list =
        QList<QByteArray>{"mp1", "mp2", "mp3", "mid", "wav", "wma"} + laterSongExtensions();
    return list;
}
inline constexpr const char* CdTrackExtension = "cda";
inline constexpr const char* PlaylistExtension = "vyx";
// A cue sheet: an album kept as one file, read into one row per track.
inline constexpr const char* CueSheetExtension = "cue";

// CdTrack: a track file of a CD mounted the Windows way ("Track03.cda");
// CdAudio: an audio-CD address (common/cd_address.h): a track on a drive,
// or a drive standing for every track of its disc; CueSheet: a ".cue" file,
// standing for the tracks it lists.
enum class Kind { Song, CdTrack, Playlist, CdAudio, CueSheet, Other };

// The kind of a file by the text after the last "." (a name without "."
// is its own extension), compared ignoring letter case.
Kind kindOfExtension(const QByteArray& extension);
// The extension of a path or line: the text after its last ".".
QByteArray extensionOf(const QByteArray& path);
// The kind of a line: an audio-CD address, else by its extension; a line
// naming one track of a cue sheet ("/Music/Album.cue/3",
// common/cue_track_lines.h) is a song.
Kind kindOf(const QByteArray& path);

// How many characters a song's title leaves off the end of its file name:
// four (".mp3", whatever the extension's length), but for the later
// formats their whole extension with its dot (".flac", ".opus").
int titleCutOf(const QByteArray& fileName);

// Every extension the player opens: the songs, CD tracks, playlists and
// cue sheets.
QList<QByteArray> openedExtensions();

// The MIME types an extension stands for: the shared database's audio
// types for it, else any type it knows, else a type of ours.
QStringList mimeTypesFor(const QString& extension);
// Our own type for an extension the shared database does not know.
QString ownMimeType(const QString& extension);
bool isOwnMimeType(const QString& name);
// The MIME types of every extension the player opens, each once.
QStringList openedMimeTypes();

}  // namespace qpt::music
