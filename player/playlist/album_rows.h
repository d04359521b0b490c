#pragma once
// A batch line as the rows it adds: a cue sheet ("Album.cue") becomes one
// row per audio track, each named by a track line ("Album.cue/3") and
// titled from the sheet; a FLAC file with a sheet inside does the same; a
// track line (a saved list's) gets its title from its sheet again. Every
// other line is one row titled by its file name.
//
// Reads the user's files: the playlist-files worker only. The sheet last
// read is kept, so that the lines of one album in a saved list read it once.

#include "common/native_path.h"
#include "player/core/cue/cue_album.h"
#include "player/core/playlist_model.h"

#include <QList>

#include <optional>

namespace qpt {

class AlbumRows {
public:
    // `lookInsideFlac`: a .flac line is read for a sheet inside it (not for
    // the lines of a saved list, whose albums were read when they came).
    QList<PlaylistModel::NewEntry> rowsOf(const NativePath& line, bool lookInsideFlac);
    // Forgets the sheet kept (a new pick-up reads sheets afresh).
    void forget() { m_albumPath.clear(); m_album.reset(); }

private:
    const std::optional<cue::Album>& albumAt(const NativePath& path);

    NativePath m_albumPath;
    std::optional<cue::Album> m_album;
};

}  // namespace qpt
