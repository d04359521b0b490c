#include "player/playlist/open_music.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/line_files.h"
#include "common/notices.h"
#include "player/playlist/song_line.h"

#include <QFile>

namespace qpt {

void OpenMusic::run(const std::function<void()>& hideMenu)
{
    // The menu stays in the topmost band: hidden first, so that it never
    // covers the dialog's file list.
    if (hideMenu)
        hideMenu();
    const QStringList chosen =
        Dialogs::openFiles(QLatin1String(kTitle), QLatin1String(kFilter), /*multiple=*/true);
    if (chosen.isEmpty())
        return;
    queueChosen(chosen);
}

void OpenMusic::queueChosen(const QStringList& chosen)
{
    const NativePath playlists = QFile::encodeName(AppFolder::file(QStringLiteral("playlist.sng")));
    const NativePath songs = QFile::encodeName(AppFolder::file(QStringLiteral("opening.sng")));
    for (const QString& text : chosen) {
        const NativePath path = nativepath::fromText(text);
        QList<QByteArray> lines;
        NativePath batch = songs;
        if (songline::isPlaylistExtension(songline::extension(path))) {
            batch = playlists;
            const linefiles::PlaylistRead read = linefiles::readPlaylist(path, lines);
            if (read == linefiles::PlaylistRead::TooLarge)
                notices::playlistTooLarge(path);
            if (read != linefiles::PlaylistRead::Ok)
                continue;
        } else {
            // Always appended: songs chosen a moment ago that the loader
            // has not read yet must not be lost.
            lines << path;
        }
        if (!linefiles::append(batch, lines)) {
            notices::folderNotWritableOnce();
            return;
        }
    }
}

}  // namespace qpt
