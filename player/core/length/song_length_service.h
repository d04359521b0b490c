#pragma once
// The song length services: the Length text of a music file as the playlist
// shows it, and the length of an audio-CD track read from its track file.
//
// A measurement works like a small device that holds one song open under
// the alias "song": opening a new one closes the previous one first, and a
// file that cannot be opened leaves nothing open, so its length reads as
// "0:00". Lengths come from the file's headers, or from a scan of its MPEG
// frame headers where no header holds the frame count; audio is never
// decoded. An unchanged file (same size and modification time) is not
// probed again.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace qpt {

namespace length {
class LengthProbe;
}

class SongLengthService {
public:
    SongLengthService();
    ~SongLengthService();
    SongLengthService(const SongLengthService&) = delete;
    SongLengthService& operator=(const SongLengthService&) = delete;

    // Steps 1-3 of a measurement: close what the previous measurement left
    // open ("close song"), MeasuredPath := the path trimmed of surrounding
    // blanks and enclosed in double quotes, then open it under the alias
    // "song". A file that cannot be opened leaves nothing open.
    void openSong(QByteArray& MeasuredPath);
    // Steps 4-5: the length of what is open as FormatLength text; "0:00"
    // when nothing could be opened. A length that does not fit the 32-bit
    // millisecond range shows the box titled " Error" (OK button, no icon,
    // the failure's description as text) and returns the empty text.
    QString querySongLength();
    // Both halves in one: the path arrives in MeasuredPath (which is
    // rewritten quoted).
    QString MeasureSongLength(QByteArray& MeasuredPath);

    // Milliseconds -> "m:ss" or "h:m:ss"; whole seconds rounded halves to
    // even. Throws qpt::RuntimeFailure outside 0 .. 2^31-1 ms.
    static QString FormatLength(qint64 milliseconds);

    // The "drive" is the folder that holds the track files. The argument is
    // a song line (e.g. /media/cd/Track03.cda) or a folder; the folder is
    // remembered when it holds track01.cda (name in any letter case),
    // otherwise the remembered one stays.
    void PrepareCdDrive(const QByteArray& songLineOrFolder);
    // "" (no CD folder known, no such track file), "N/A" (the header holds
    // no length) or the track's length as "m:ss".
    QString CdTrackLength(qint32 track);

    // The milliseconds of the song that is open; nullopt when none is.
    std::optional<qint64> openSongMilliseconds() const { return m_open; }
    // The folder PrepareCdDrive last found a CD in; empty before.
    QString cdFolder() const { return m_cdFolder; }
    // Forgets every cached measurement (files are probed again).
    void clearCache();

private:
    std::unique_ptr<length::LengthProbe> m_probe;
    std::optional<qint64> m_open;
    QString m_cdFolder;
};

}  // namespace qpt
