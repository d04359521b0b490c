#pragma once
// The address playbin opens for a playlist line that names one track of an
// album ("/Music/Album.cue/3"): the sheet is read again (worker threads
// only: the session's thread, the length workers), its track found and
// turned into a "qpttrack:" URI (track_source.h).

#include <QByteArray>
#include <QString>

namespace qpt::media {

// Empty when the line names no track that can play (no such sheet or
// track, a track without a start or ending before it starts); the URI of
// a track whose audio file is missing names that file, which fails to open.
QString cueTrackUri(const QByteArray& line);

}  // namespace qpt::media
