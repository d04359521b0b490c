#include "player/playlist/chosen_files.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/music_files.h"

#include <QFile>

namespace qpt {

ChosenFilesOutcome queueChosenFiles(const QList<NativePath>& chosen)
{
    ChosenFilesOutcome outcome;
    // Each batch file is written once, with every line of the choice: one
    // append the loader can never meet half done per song.
    QList<QByteArray> songLines;
    QList<QByteArray> playlistLines;
    for (const NativePath& path : chosen) {
        if (nativepath::holdsLineBreak(path)) {
            outcome.refused << path;
            continue;
        }
        if (music::kindOf(path) != music::Kind::Playlist) {
            songLines << path;
            continue;
        }
        QList<QByteArray> lines;
        const linefiles::PlaylistRead read = linefiles::readPlaylist(path, lines);
        if (read == linefiles::PlaylistRead::TooLarge)
            outcome.tooLarge << nativepath::displayText(path);
        if (read == linefiles::PlaylistRead::Ok)
            playlistLines << lines;
    }
    const auto write = [](const char* name, const QList<QByteArray>& lines) {
        return lines.isEmpty() || linefiles::append(QFile::encodeName(AppFolder::file(QLatin1String(name))), lines);
    };
    outcome.folderNotWritable = !write(files::OpeningBatch, songLines) || !write(files::PlaylistBatch, playlistLines);
    return outcome;
}

}  // namespace qpt
