#pragma once
// Audio-CD track files ("track01.cda" ...): the small RIFF files a CD
// shows for its tracks. Bytes 42 and 43 (1-based) of the 44-byte header
// hold the seconds and minutes of the track's length.

#include "player/core/length/song_length.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace qpt::length {

// The file named `name` in `folder`, its name matched in any letter case;
// empty when there is no such file.
QString findFileNoCase(const QString& folder, const QString& name);

// "track0N.cda" for 1..9, "trackN.cda" from 10 on; empty for 0 and below.
QString cdTrackFileName(qint32 track);

// The minutes and seconds bytes of the track file's header; bytes past the
// end of a short file read as 0. nullopt when the file cannot be read.
struct CdTrackTime {
    quint8 minutes = 0;
    quint8 seconds = 0;
};
std::optional<CdTrackTime> readCdTrackTime(const QString& path);

// "N/A" when the header holds no length, else minutes ":" two-digit seconds.
SongLength cdTrackSongLength(const CdTrackTime& time);
QString cdTrackLengthText(const CdTrackTime& time);

}  // namespace qpt::length
