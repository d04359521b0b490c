#include "music_files.h"

namespace qpt::music {

QByteArray extensionOf(const QByteArray& path)
{
    const qsizetype dot = path.lastIndexOf('.');
    return dot < 0 ? path : path.mid(dot + 1);
}

Kind kindOfExtension(const QByteArray& extension)
{
    const QByteArray lower = extension.toLower();
    if (songExtensions().contains(lower))
        return Kind::Song;
    if (lower == CdTrackExtension)
        return Kind::CdTrack;
    if (lower == PlaylistExtension)
        return Kind::Playlist;
    return Kind::Other;
}

}  // namespace qpt::music
