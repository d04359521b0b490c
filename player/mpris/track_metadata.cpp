#include "player/mpris/track_metadata.h"

#include "player/core/media/media_address.h"
#include "player/mpris/mpris_names.h"

namespace qpt::mpris {

QDBusObjectPath trackIdOf(PlaylistModel::EntryId id)
{
    return QDBusObjectPath(QLatin1String(TrackPathPrefix) + QString::number(id));
}

QVariantMap trackMetadata(const NowPlaying& now)
{
    if (now.isEmpty())
        return {};
    QVariantMap metadata;
    if (now.entry)
        metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackIdOf(now.entry)));
    // Not there until the length service has measured the song.
    if (const auto ms = now.length.milliseconds())
        metadata.insert(QStringLiteral("mpris:length"), qlonglong(*ms) * 1000);
    metadata.insert(QStringLiteral("xesam:title"), now.title);
    const QString url = media::shownUri(now.address);
    if (!url.isEmpty())
        metadata.insert(QStringLiteral("xesam:url"), url);
    return metadata;
}

}  // namespace qpt::mpris
