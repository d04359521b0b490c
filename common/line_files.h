#pragma once
// The line files the programs hand songs over in: batch files ("*.sng"),
// the user's playlists ("*.vyx") and the autosave file. One path per line,
// as bytes; writers end every line with CR LF, readers split at CR LF, a
// lone CR or a lone LF.
//
// Reading is safe on anything a user can put under such a name: only
// regular files are opened (a pipe or a device is refused at once, never
// waited on), memory stays bounded whatever the file holds, and a line
// longer than any path can be is skipped.

#include "common/native_path.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace qpt {

namespace linefiles {
// No path is longer than this; a longer line is not a path and is skipped.
inline constexpr qsizetype kMaxLineBytes = 4096;
// A playlist file larger than this is refused.
inline constexpr qint64 kMaxPlaylistBytes = 64ll * 1024 * 1024;
}  // namespace linefiles

// Reads a file line by line as it grows: lines appended while it is open
// are read too.
class LineReader {
public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file and starts reading at `offset` (the start of a
    // line, as offsetOfNextLine() gave it). False when it cannot be read.
    bool open(const NativePath& path, qint64 offset = 0);
    bool isOpen() const { return m_fd >= 0; }
    void close();
    // The size of the open file when it was opened.
    qint64 size() const { return m_size; }

    // The next line without its line end. False at the end of the file (or
    // on a read error, see failed()).
    bool next(QByteArray& line);
    bool failed() const { return m_failed; }

    // Where the first line not yet returned starts in the file.
    qint64 offsetOfNextLine() const { return m_lineStart; }

private:
    bool fill();

    int m_fd = -1;
    qint64 m_size = 0;
    bool m_failed = false;
    QByteArray m_buffer;       // bytes read, not yet split into lines
    qsizetype m_pos = 0;       // next byte of m_buffer to look at
    qint64 m_bufferStart = 0;  // file offset of m_buffer[0]
    qint64 m_lineStart = 0;    // file offset of the line being read
    bool m_skipLf = false;     // a CR ended the last line; an LF may follow
};

namespace linefiles {

// Every line of a file. nullopt when it cannot be read as a line file.
std::optional<QList<QByteArray>> readAll(const NativePath& path, qint64 maxBytes = kMaxPlaylistBytes);

enum class PlaylistRead { Ok, Unreadable, TooLarge };
// The lines of a user's playlist file with relative paths made absolute
// against the playlist's own folder; empty lines are kept as they stand.
PlaylistRead readPlaylist(const NativePath& path, QList<QByteArray>& lines);

// Appends lines, each followed by CR LF, in one write. False on failure.
bool append(const NativePath& path, const QList<QByteArray>& lines);

// The lines as a file holds them: each followed by CR LF.
QByteArray encode(const QList<QByteArray>& lines);
// Splits bytes into lines as the reader does (a line end at the very end
// does not start another line).
QList<QByteArray> split(const QByteArray& bytes);

}  // namespace linefiles
}  // namespace qpt
