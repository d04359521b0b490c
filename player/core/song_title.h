#pragma once
// The title a song has in the playlist and the now-playing line: its file
// name with the last four characters (".mp3") removed, decoded for the
// screen ("/Music/Song.mp3" gives "Song"), whatever the extension's length;
// the later formats lose their whole extension ("/Music/Song.flac" gives
// "Song").

#include "common/music_files.h"
#include "common/native_path.h"

#include <QString>

namespace qpt {

inline QString songTitle(const NativePath& path)
{
    const NativePath fileName = nativepath::fileName(path);
    const QString name = nativepath::displayText(fileName);
    return name.left(qMax(0, int(name.size()) - music::titleCutOf(fileName)));
}

}  // namespace qpt
