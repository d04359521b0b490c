#include "music_files.h"

#include "common/cd_address.h"
#include "common/cue_track_lines.h"

#include <QMimeDatabase>

namespace qpt::music {

namespace {
const char* const kOwnTypePrefix = "audio/x-quorbel-";
}  // namespace

QByteArray extensionOf(const QByteArray& path)
{
    const qsizetype dot = path.lastIndexOf('.');
    return dot < 0 ? path : path.mid(dot + 1);
}

Kind kindOfExtension(const QByteArray& extension)
{
    const QByteArray lower = extension.toLower();
    if (songExtensions().contains(lower))
        return Kind::Song;
    if (lower == CdTrackExtension)
        return Kind::CdTrack;
    if (lower == PlaylistExtension)
        return Kind::Playlist;
    if (lower == CueSheetExtension)
        return Kind::CueSheet;
    return Kind::Other;
}

Kind kindOf(const QByteArray& path)
{
    if (cd::isCdAddress(path))
        return Kind::CdAudio;
    if (cuelines::trackLineOf(path))
        return Kind::Song;
    return kindOfExtension(extensionOf(path));
}

int titleCutOf(const QByteArray& fileName)
{
    constexpr int kFirstFormatsCut = 4;
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0)
        return kFirstFormatsCut;
    const QByteArray extension = fileName.mid(dot + 1);
    return laterSongExtensions().contains(extension.toLower()) ? int(extension.size()) + 1 : kFirstFormatsCut;
}

QList<QByteArray> openedExtensions()
{
    return songExtensions() + QList<QByteArray>{CdTrackExtension, PlaylistExtension, CueSheetExtension};
}

QString ownMimeType(const QString& extension)
{
    return QLatin1String(kOwnTypePrefix) + extension.toLower();
}

bool isOwnMimeType(const QString& name)
{
    return name.startsWith(QLatin1String(kOwnTypePrefix));
}

QStringList mimeTypesFor(const QString& extension)
{
    QMimeDatabase database;
    QStringList audio;
    QStringList other;
    for (const QMimeType& type : database.mimeTypesForFileName(QStringLiteral("file.") + extension.toLower())) {
        if (isOwnMimeType(type.name()))
            continue;
        (type.name().startsWith(QLatin1String("audio/")) ? audio : other) << type.name();
    }
    if (!audio.isEmpty())
        return audio;
    if (!other.isEmpty())
        return other;
    return {ownMimeType(extension)};
}

QStringList openedMimeTypes()
{
    QStringList types;
    for (const QByteArray& extension : openedExtensions()) {
        for (const QString& type : mimeTypesFor(QString::fromLatin1(extension))) {
            if (!types.contains(type))
                types << type;
        }
    }
    return types;
}

}  // namespace qpt::music
