#pragma once
// Song paths as the file system holds them. On Linux a file name is a
// string of bytes that need not be valid UTF-8 (old Latin-1 collections);
// a song keeps its exact bytes from the playlist file, the file manager or
// the command line, through the playlist and the media component, back into
// the saved playlist. Only what is shown on screen is decoded.

#include <QByteArray>
#include <QList>
#include <QString>

class QUrl;

struct stat;

namespace qpt {

using NativePath = QByteArray;

namespace nativepath {

// The bytes of a path given as text (dialogs, Qt's own file lists).
NativePath fromText(const QString& path);
// The path as text for the screen: a name that is not valid UTF-8 is read
// as Latin-1 ("Caf\xe9" shows "Café"), the way older collections were
// named. Never used to reach the file again.
QString displayText(const NativePath& path);
// A local file dropped or handed over as a URL, with its exact bytes;
// empty when the URL is not a local file.
NativePath fromLocalFileUrl(const QUrl& url);
// The local files among dropped URLs.
QList<NativePath> fromLocalFileUrls(const QList<QUrl>& urls);

// The text after the last "/" (the whole path when there is none).
NativePath fileName(const NativePath& path);
// The folder part up to (not including) the last "/"; empty for none.
NativePath folder(const NativePath& path);
// True for an absolute path ("/...") or an address with a scheme
// ("cdda://", "http://"), which are used as they stand.
bool isAbsoluteOrUri(const NativePath& path);
// `path` resolved against `base` when it is relative; otherwise as is.
NativePath resolvedAgainst(const NativePath& path, const NativePath& base);
// The absolute form of a path relative to the working folder.
NativePath absolute(const NativePath& path);

// A name with a line break (LF or CR) cannot travel in the one-path-a-line
// files the programs hand songs over with: it would come out as pieces.
inline bool holdsLineBreak(const NativePath& path) { return path.contains('\n') || path.contains('\r'); }

// Examines the path without opening it (a pipe or device is never opened).
enum class Kind { Missing, RegularFile, Directory, Other };
Kind kindOf(const NativePath& path);

// Opens a regular file for reading and fills `st` from the open file. A
// pipe, a device or a folder is refused (-1), and never waited on for a
// writer. The caller closes the descriptor.
int openRegularFile(const NativePath& path, struct stat& st);
inline bool isRegularFile(const NativePath& path) { return kindOf(path) == Kind::RegularFile; }

// The names in a folder, "." and ".." left out, hidden names (a leading
// ".") left out, sorted by their bytes. Empty when the folder cannot be
// listed.
QList<NativePath> listFolder(const NativePath& folder);

}  // namespace nativepath
}  // namespace qpt
