#pragma once
// The Metadata of a playlist row as the desktop's media controls read it:
// a track id that names the entry as long as it exists, the length in
// microseconds once it is measured, the title the playlist shows and the
// song's address.

#include "player/core/playlist_model.h"

#include <QDBusObjectPath>
#include <QVariantMap>

namespace qpt::mpris {

QDBusObjectPath trackIdOf(PlaylistModel::EntryId id);

// Empty for a row that does not exist.
QVariantMap trackMetadata(const PlaylistModel& playlist, int row);

}  // namespace qpt::mpris
