#pragma once
// One song to measure, and what came of it: addressed to a playlist entry,
// not to a row, so that rows may come and go while it is measured.

#include "player/core/length/song_length.h"

#include <QByteArray>
#include <QString>

namespace qpt::length {

struct LengthJob {
    enum class Kind : quint8 { File, CdTrack };
    Kind kind = Kind::File;
    quint64 entry = 0;   // the playlist entry it is for; 0 for none
    QByteArray path;     // files: the song line
    QString cdFolder;    // CD tracks: the folder that holds the track files
    int cdTrack = 0;     // CD tracks: the track number
};

struct LengthResult {
    quint64 entry = 0;
    SongLength length;
    bool tooLong = false;  // a length beyond what the column can show
};

}  // namespace qpt::length
