#include "common/cue_track_lines.h"

namespace qpt::cuelines {

bool isSheetPath(const NativePath& path)
{
    return path.toLower().endsWith(".cue");
}

std::optional<TrackLine> trackLineOf(const NativePath& line)
{
    const qsizetype slash = line.lastIndexOf('/');
    if (slash <= 0 || slash + 1 >= line.size() || line.size() - slash - 1 > 4)
        return std::nullopt;
    int track = 0;
    for (qsizetype i = slash + 1; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return std::nullopt;
        track = track * 10 + (c - '0');
    }
    if (track < 1 || line.at(slash + 1) == '0')
        return std::nullopt;
    const NativePath album = line.left(slash);
    const NativePath lower = album.toLower();
    if (!lower.endsWith(".cue") && !lower.endsWith(".flac"))
        return std::nullopt;
    if (nativepath::fileName(album).size() <= 4)
        return std::nullopt;  // ".cue" alone names no file
    return TrackLine{album, track};
}

NativePath lineOf(const NativePath& album, int track)
{
    return album + '/' + QByteArray::number(track);
}

}  // namespace qpt::cuelines
