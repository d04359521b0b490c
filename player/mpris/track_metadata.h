#pragma once
// The Metadata of the song heard as the desktop's media controls read it:
// a track id that names the entry as long as it exists, the length in
// microseconds once it is measured, the title the playlist shows and the
// song's address.

#include "player/core/now_playing.h"
#include "player/core/playlist_model.h"

#include <QDBusObjectPath>
#include <QVariantMap>

namespace qpt::mpris {

QDBusObjectPath trackIdOf(PlaylistModel::EntryId id);

// Empty when nothing is heard.
QVariantMap trackMetadata(const NowPlaying& now);

}  // namespace qpt::mpris
