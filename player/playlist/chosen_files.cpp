#include "player/playlist/chosen_files.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/music_files.h"

#include <QFile>

namespace qpt {

void queueChosenFiles(const QList<NativePath>& chosen,
                      const std::function<void(PlayerError, const QString&)>& report)
{
    const NativePath playlists = QFile::encodeName(AppFolder::file(QLatin1String(files::PlaylistBatch)));
    const NativePath songs = QFile::encodeName(AppFolder::file(QLatin1String(files::OpeningBatch)));
    for (const NativePath& path : chosen) {
        QList<QByteArray> lines{path};
        NativePath batch = songs;
        if (music::kindOf(path) == music::Kind::Playlist) {
            batch = playlists;
            const linefiles::PlaylistRead read = linefiles::readPlaylist(path, lines);
            if (read == linefiles::PlaylistRead::TooLarge)
                report(PlayerError::PlaylistTooLarge, nativepath::displayText(path));
            if (read != linefiles::PlaylistRead::Ok)
                continue;
        }
        if (!linefiles::append(batch, lines)) {
            report(PlayerError::FolderNotWritable, AppFolder::path());
            return;
        }
    }
}

}  // namespace qpt
