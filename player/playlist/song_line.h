#pragma once
// What a line of a batch or playlist file means to the loader: its
// extension, whether it is a song, a CD track or nothing, its title and a
// CD track's number. Lines are paths as bytes.

#include <QByteArray>
#include <QString>

namespace qpt {

enum class SongKind { Music, CdTrack, Ignored };

namespace songline {

// The text after the last "."; a line without "." is its own extension.
// Upper-cased (ASCII letters).
QByteArray extension(const QByteArray& line);
SongKind classify(const QByteArray& line);
// The text after the last "/" with its last four characters removed
// ("/Music/Song.mp3" gives "Song"), whatever the extension's length;
// decoded for the screen.
QString title(const QByteArray& line);
// A CD track's number: the title without its first five characters, read
// as an integer ("Track03" gives 3); 0 when there is none.
int cdTrackNumber(const QString& title);

// Music files the drop and the dialog accept, and the playlist extension.
bool isMusicExtension(const QByteArray& upperExtension);  // MP1 MP2 MP3 WAV WMA MID CDA
inline bool isPlaylistExtension(const QByteArray& upperExtension) { return upperExtension == "VYX"; }

}  // namespace songline
}  // namespace qpt
