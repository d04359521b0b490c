#include "player/core/length/cd_track_file.h"

#include "player/core/length/probe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qpt::length {

namespace {

constexpr qint64 kSecondsOffset = 41;  // 0-based
constexpr qint64 kMinutesOffset = 42;

}  // namespace

QString findFileNoCase(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || name.isEmpty())
        return QString();
    const QDir dir(folder);
    // The usual spellings first: one stat() each instead of a listing.
    for (const QString& candidate : {name, name.toLower(), name.toUpper(),
                                     name.left(1).toUpper() + name.mid(1).toLower()}) {
        const QFileInfo info(dir.filePath(candidate));
        if (info.isFile())
            return info.filePath();
    }
    // Regular files only: a pipe or device under a track's name is no track.
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return QString();
}

QString cdTrackFileName(qint32 track)
{
    if (track <= 0)
        return QString();
    if (track <= 9)
        return QStringLiteral("track0%1.cda").arg(track);
    return QStringLiteral("track%1.cda").arg(track);
}

std::optional<CdTrackTime> readCdTrackTime(const QString& path)
{
    // Opened without waiting: a pipe under this name is refused at once.
    ProbeFile file;
    if (!file.open(QFile::encodeName(path)))
        return std::nullopt;
    const Bytes head = file.read(0, kMinutesOffset + 1);
    CdTrackTime time;
    if (std::int64_t(head.size()) > kSecondsOffset)
        time.seconds = head[kSecondsOffset];
    if (std::int64_t(head.size()) > kMinutesOffset)
        time.minutes = head[kMinutesOffset];
    return time;
}

SongLength cdTrackSongLength(const CdTrackTime& time)
{
    if (time.minutes == 0 && time.seconds == 0)
        return SongLength::notAvailable();
    // Seconds past 59 (a damaged header) carry into the minutes.
    return SongLength::cdTrack(time.minutes * 60 + time.seconds);
}

QString cdTrackLengthText(const CdTrackTime& time)
{
    return cdTrackSongLength(time).text();
}

}  // namespace qpt::length
