#include "player/playlist/playlist_files.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "player/core/playlist_model.h"

#include <QCollator>
#include <QFile>

#include <algorithm>

namespace qpt::playlistfiles {

QByteArray contentOf(const QList<NativePath>& paths)
{
    return linefiles::encode(paths) + "\r\n";
}

filereplacement::Outcome write(const QString& path, const QList<NativePath>& paths)
{
    return filereplacement::replace(path, contentOf(paths));
}

QString autosaveFile()
{
    return AppFolder::file(QLatin1String(files::SavedPlaylist));
}

filereplacement::Outcome writeAutosave(const PlaylistModel& playlist)
{
    if (playlist.isEmpty())
        return {};
    return write(autosaveFile(), playlist.paths());
}

QList<NativePath> sortedForReading(QList<NativePath> paths)
{
    // As the user reads them: the locale's order, letter case aside.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QList<QPair<QString, NativePath>> shown;
    shown.reserve(paths.size());
    for (const NativePath& path : paths)
        shown.append({nativepath::displayText(path), path});
    std::stable_sort(shown.begin(), shown.end(),
                     [&collator](const auto& a, const auto& b) { return collator.compare(a.first, b.first) < 0; });
    paths.clear();
    for (const auto& entry : shown)
        paths << entry.second;
    return paths;
}

QString sortedFile()
{
    return AppFolder::file(QLatin1String(files::SortedBatch));
}

filereplacement::Outcome writeSorted(const QList<NativePath>& paths)
{
    // A leftover of a sort that was cut short in an older way of writing.
    QFile::remove(AppFolder::file(QLatin1String(files::SortedTemporary)));
    // Written beside under a name the loader passes over; under the batch
    // name only when complete.
    return filereplacement::replace(sortedFile(), linefiles::encode(sortedForReading(paths)));
}

}  // namespace qpt::playlistfiles
