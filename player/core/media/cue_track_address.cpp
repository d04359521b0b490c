#include "player/core/media/cue_track_address.h"

#include "common/cue_track_lines.h"
#include "player/core/cue/cue_album.h"
#include "player/core/media/track_source.h"

#include <glib.h>

namespace qpt::media {

QString cueTrackUri(const QByteArray& line)
{
    const std::optional<cuelines::TrackLine> named = cuelines::trackLineOf(line);
    if (!named)
        return QString();
    const std::optional<cue::Album> album = cue::readAlbum(named->album);
    const cue::AlbumTrack* track = album ? album->track(named->track) : nullptr;
    if (!track || !track->playable)
        return QString();
    gchar* fileUri = g_filename_to_uri(nativepath::absolute(track->file).constData(), nullptr, nullptr);
    if (!fileUri)
        return QString();
    TrackSpan span;
    span.storage = track->type == cue::FileType::RawLittleEndian ? TrackSpan::Storage::RawLittleEndian
        : track->type == cue::FileType::RawBigEndian             ? TrackSpan::Storage::RawBigEndian
                                                                 : TrackSpan::Storage::Decoded;
    span.fileUri = QByteArray(fileUri);
    g_free(fileUri);
    span.from = track->from;
    span.to = track->to;
    span.perSecond = track->perSecond;
    return trackUri(span);
}

}  // namespace qpt::media
