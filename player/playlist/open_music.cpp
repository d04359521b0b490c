#include "player/playlist/open_music.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "player/playlist/song_line.h"
#include "player/playlist/text_lines.h"

namespace qpt {

void OpenMusic::run(const std::function<void()>& hideMenu)
{
    const QStringList chosen =
        Dialogs::openFiles(QLatin1String(kTitle), QLatin1String(kFilter), /*multiple=*/true);
    if (hideMenu)
        hideMenu();
    if (chosen.isEmpty())
        return;
    queueChosen(chosen);
}

void OpenMusic::queueChosen(const QStringList& chosen)
{
    try {
        for (const QString& path : chosen) {
            if (songline::isPlaylistExtension(songline::extension(path))) {
                textlines::append(AppFolder::file(QStringLiteral("playlist.sng")), textlines::readAll(path));
            } else {
                // Always appended: songs chosen a moment ago that the loader
                // has not read yet must not be lost.
                textlines::append(AppFolder::file(QStringLiteral("opening.sng")), {path});
            }
        }
    } catch (const std::exception&) {
    }
}

}  // namespace qpt
