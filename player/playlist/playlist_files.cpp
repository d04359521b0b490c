#include "player/playlist/playlist_files.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "player/core/playlist_model.h"

#include <QCollator>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace qpt::playlistfiles {

QByteArray contentOf(const QList<NativePath>& paths)
{
    return linefiles::encode(paths) + "\r\n";
}

bool write(const QString& path, const QList<NativePath>& paths)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = contentOf(paths);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeAutosave(const PlaylistModel& playlist)
{
    if (playlist.isEmpty())
        return true;
    return write(AppFolder::file(QLatin1String(files::SavedPlaylist)), playlist.paths());
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

bool writeSorted(const QList<NativePath>& paths)
{
    const QString temporary = AppFolder::file(QLatin1String(files::SortedTemporary));
    const QString batch = AppFolder::file(QLatin1String(files::SortedBatch));
    QFile::remove(temporary);  // a leftover of a sort that was cut short
    const bool written = linefiles::append(QFile::encodeName(temporary), sortedForReading(paths));
    // Published under the batch name in one step, only when complete.
    QFile::remove(batch);
    if (!written || !QFile::rename(temporary, batch)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

}  // namespace qpt::playlistfiles
