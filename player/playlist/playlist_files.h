#pragma once
// Writing the playlist to a file, the user's playlist or the autosave
// ("autosavedlist.aut"): every path in play order, each followed by CR LF,
// then one more CR LF. The old file is replaced in one step, so a failed
// write (a full disk, a crash) leaves it whole and no temporary file
// behind. And the sorted playlist,
// which goes back through the batch loader.

#include "common/file_replacement.h"
#include "common/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace qpt {

class PlaylistModel;

namespace playlistfiles {

// The file content for the paths.
QByteArray contentOf(const QList<NativePath>& paths);
// On failure the old file stays as it was; the outcome says why.
filereplacement::Outcome write(const QString& path, const QList<NativePath>& paths);
// Writes "autosavedlist.aut"; an empty playlist writes nothing (the last
// saved copy stays).
filereplacement::Outcome writeAutosave(const PlaylistModel& playlist);
// Where the autosave goes.
QString autosaveFile();

// The playlist's paths sorted as the user reads them (locale-aware,
// ignoring case), published as "sorted.sng" for the loader. Nothing is
// published when the file cannot be written whole.
filereplacement::Outcome writeSorted(const QList<NativePath>& paths);
QString sortedFile();
QList<NativePath> sortedForReading(QList<NativePath> paths);

}  // namespace playlistfiles
}  // namespace qpt
