#include "player/core/media/media_address.h"

#include "common/cd_address.h"
#include "common/cue_track_lines.h"
#include "common/native_path.h"
#include "player/core/media/cue_track_address.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <glib.h>

namespace qpt::media {

namespace {

constexpr qsizetype kCdTrackSuffixSize = 4;  // ".cda"

bool isUri(const QByteArray& address)
{
    return !address.startsWith('/') && nativepath::isAbsoluteOrUri(address);
}

// Playlists made on Windows name folders with "\\", so both separators count.
qsizetype lastSeparator(const QByteArray& path)
{
    return std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
}

bool isCdTrackFile(const QByteArray& path)
{
    return !isUri(path) && path.toLower().endsWith(".cda")
        && path.size() - lastSeparator(path) - 1 > kCdTrackSuffixSize;
}

QString localFileUri(const QByteArray& path)
{
    const QByteArray bytes = nativepath::absolute(path);
    gchar* uri = g_filename_to_uri(bytes.constData(), nullptr, nullptr);
    if (!uri)
        return QString();
    const QString result = QString::fromUtf8(uri);
    g_free(uri);
    return result;
}

}  // namespace

bool isCdTrackAddress(const QByteArray& address)
{
    return isCdTrackFile(address) || cd::isCdAddress(address) || address.toLower().startsWith("cdda://");
}

QString cdAddressUri(const QByteArray& address, bool fillInDrive)
{
    const auto cd = cd::parse(address);
    if (!cd || cd->isWholeDisc())
        return QString();
    const QByteArray device = fillInDrive ? cd::deviceOf(*cd) : cd->device;
    return QString::fromUtf8(cd::trackLine(device, cd->track));
}

int cdTrackNumber(const QByteArray& path)
{
    if (!isCdTrackFile(path))
        return 0;
    const QByteArray base = path.mid(lastSeparator(path) + 1).chopped(kCdTrackSuffixSize);
    qsizetype start = base.size();
    while (start > 0 && base.at(start - 1) >= '0' && base.at(start - 1) <= '9')
        --start;
    const int track = base.mid(start).toInt();
    return track >= 1 && track <= 99 ? track : 0;
}

QString cdTrackUri(const QByteArray& path, const QString& device)
{
    const int track = cdTrackNumber(path);
    if (track == 0)
        return QString();
    if (device.isEmpty())
        return QStringLiteral("cdda://%1").arg(track);
    return QStringLiteral("cdda://%1#%2").arg(device).arg(track);
}

QString opticalDeviceAt(const QByteArray& folder)
{
    if (!folder.startsWith('/') || nativepath::kindOf(folder) != nativepath::Kind::Directory)
        return QString();
    const QStorageInfo storage(QFile::decodeName(folder));
    if (!storage.isValid())
        return QString();
    const QByteArray type = storage.fileSystemType();
    const QString device = QString::fromLocal8Bit(storage.device());
    static const QRegularExpression drive(QStringLiteral("^/dev/(sr|scd|cdrom|dvd)[0-9]*$"));
    const bool optical = type == "iso9660" || type == "udf" || type == "cdfs" || drive.match(device).hasMatch();
    return optical && device.startsWith(QLatin1String("/dev/")) ? device : QString();
}

QString shownUri(const QByteArray& address)
{
    if (cd::isCdAddress(address))
        return cdAddressUri(address, false);
    if (cuelines::trackLineOf(address))
        return localFileUri(address);  // the line itself: the sheet is not read here
    return isCdTrackFile(address) ? cdTrackUri(address, QString()) : mediaUri(address);
}

QString mediaUri(const QByteArray& address)
{
    if (address.isEmpty())
        return QString();
    // A CD address names its drive (the default one filled in), the way
    // GStreamer's CD sources read it; a whole disc is no track to play.
    if (cd::isCdAddress(address))
        return cdAddressUri(address, true);
    if (isUri(address))
        return QString::fromUtf8(address);
    if (cuelines::trackLineOf(address))
        return cueTrackUri(address);
    if (isCdTrackFile(address)) {
        const qsizetype separator = lastSeparator(address);
        const QByteArray folder = separator == 0 ? QByteArray("/") : address.left(std::max<qsizetype>(separator, 0));
        // The drive the folder is mounted from; else the one the user named
        // for CDs, else GStreamer's own default.
        QString device = opticalDeviceAt(folder);
        if (device.isEmpty())
            device = QFile::decodeName(qgetenv("QPT_CD_DEVICE"));
        return cdTrackUri(address, device);
    }
    return localFileUri(address);
}

}  // namespace qpt::media
