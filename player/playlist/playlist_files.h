#pragma once
// Writing the playlist to a file, the user's playlist or the autosave
// ("autosavedlist.aut"): every path in play order, each followed by CR LF,
// then one more CR LF. The old file is replaced in one step, so a failed
// write (a full disk, a crash) leaves it whole. And the sorted playlist,
// which goes back through the batch loader.

#include "common/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace qpt {

class PlaylistModel;

namespace playlistfiles {

// The file content for the paths.
QByteArray contentOf(const QList<NativePath>& paths);
// False on failure (the old file stays as it was).
bool write(const QString& path, const QList<NativePath>& paths);
// Writes "autosavedlist.aut"; an empty playlist writes nothing (the last
// saved copy stays).
bool writeAutosave(const PlaylistModel& playlist);

// The playlist's paths sorted as the user reads them (locale-aware,
// ignoring case), published as "sorted.sng" for the loader. False when the
// file cannot be written; nothing is published then.
bool writeSorted(const QList<NativePath>& paths);
QList<NativePath> sortedForReading(QList<NativePath> paths);

}  // namespace playlistfiles
}  // namespace qpt
