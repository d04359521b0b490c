#pragma once
// The song length services: the Length text of a music file as the playlist
// shows it, and the length of an audio-CD track read from its track file.
//
// A measurement works like a small device that holds one song open: opening
// a new one closes the previous one first, and a file that cannot be opened
// leaves nothing open, so its length reads as "0:00". Lengths come from the
// file's headers, or from a scan of its MPEG frame headers where no header
// holds the frame count; audio is never decoded. An unchanged file (same
// size and modification time) is not probed again.

#include "common/native_path.h"

#include <QString>
#include <QtGlobal>

#include <functional>
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

    // Closes what the previous measurement left open and opens the song at
    // the path (blanks around it are not part of it). A file that cannot be
    // opened leaves nothing open.
    void open(const NativePath& path);
    // The length of what is open as formatLength() text; "0:00" when
    // nothing could be opened. A length that does not fit 32-bit
    // milliseconds is reported through onFailure and gives the empty text.
    QString lengthText();
    // Both in one.
    QString measure(const NativePath& path);

    // Hears of a measurement that failed (the description of the failure).
    std::function<void(const QString& description)> onFailure;

    // Milliseconds -> "m:ss" or "h:m:ss"; whole seconds rounded halves to
    // even. nullopt outside 0 .. 2^31-1 ms.
    static std::optional<QString> formatLength(qint64 milliseconds);

    // The "drive" is the folder that holds the track files. The argument is
    // a song line (e.g. /media/cd/Track03.cda) or a folder; the folder is
    // remembered when it holds track01.cda (name in any letter case),
    // otherwise the remembered one stays.
    void prepareCdDrive(const NativePath& songLineOrFolder);
    // "" (no CD folder known, no such track file), "N/A" (the header holds
    // no length) or the track's length as "m:ss".
    QString cdTrackLength(qint32 track);

    // The milliseconds of the song that is open; nullopt when none is.
    std::optional<qint64> openSongMilliseconds() const { return m_open; }
    // The folder prepareCdDrive last found a CD in; empty before.
    QString cdFolder() const { return m_cdFolder; }
    // Forgets every cached measurement (files are probed again).
    void clearCache();

private:
    std::unique_ptr<length::LengthProbe> m_probe;
    std::optional<qint64> m_open;
    QString m_cdFolder;
};

}  // namespace qpt
