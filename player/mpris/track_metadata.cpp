#include "player/mpris/track_metadata.h"

#include "player/core/media/media_address.h"
#include "player/mpris/mpris_names.h"

namespace qpt::mpris {

QDBusObjectPath trackIdOf(PlaylistModel::EntryId id)
{
    return QDBusObjectPath(QLatin1String(TrackPathPrefix) + QString::number(id));
}

QVariantMap trackMetadata(const PlaylistModel& playlist, int row)
{
    const auto id = playlist.idOf(row);
    if (!id)
        return {};
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackIdOf(*id)));
    // Not there until the length service has measured the song.
    if (const auto ms = playlist.songLength(row)->milliseconds())
        metadata.insert(QStringLiteral("mpris:length"), qlonglong(*ms) * 1000);
    metadata.insert(QStringLiteral("xesam:title"), *playlist.title(row));
    const QString url = media::shownUri(*playlist.path(row));
    if (!url.isEmpty())
        metadata.insert(QStringLiteral("xesam:url"), url);
    return metadata;
}

}  // namespace qpt::mpris
