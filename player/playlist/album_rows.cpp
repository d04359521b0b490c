#include "player/playlist/album_rows.h"

#include "common/cue_track_lines.h"
#include "common/music_files.h"
#include "player/core/song_title.h"

namespace qpt {

const std::optional<cue::Album>& AlbumRows::albumAt(const NativePath& path)
{
    if (m_albumPath != path || path.isEmpty()) {
        m_albumPath = path;
        m_album = cue::readAlbum(path);
    }
    return m_album;
}

QList<PlaylistModel::NewEntry> AlbumRows::rowsOf(const NativePath& line, bool lookInsideFlac)
{
    if (const std::optional<cuelines::TrackLine> named = cuelines::trackLineOf(line)) {
        const std::optional<cue::Album>& album = albumAt(named->album);
        const cue::AlbumTrack* track = album ? album->track(named->track) : nullptr;
        const QString title = track ? track->title
                                    : songTitle(named->album) + QStringLiteral(" %1").arg(named->track, 2, 10, QLatin1Char('0'));
        return {{line, title}};
    }
    const bool sheet = music::kindOf(line) == music::Kind::CueSheet;
    const bool flac = lookInsideFlac && music::extensionOf(line).toLower() == "flac";
    if (sheet || flac) {
        const std::optional<cue::Album>& album = albumAt(line);
        if (album && !album->tracks.isEmpty()) {
            QList<PlaylistModel::NewEntry> rows;
            for (const cue::AlbumTrack& track : album->tracks)
                rows.push_back({cuelines::lineOf(line, track.place), track.title});
            return rows;
        }
        // A sheet that cannot be read stays one row, which fails to play
        // like a missing song: the user sees what was not added.
    }
    return {{line, songTitle(line)}};
}

}  // namespace qpt
