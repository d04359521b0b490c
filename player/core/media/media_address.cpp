#include "player/core/media/media_address.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <glib.h>

namespace qpt::media {

namespace {

const QLatin1String cdTrackSuffix(".cda");

bool isUri(const QString& address)
{
    // A scheme of two or more letters keeps "C:\..." a path.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(address).hasMatch();
}

// Playlists made on Windows name folders with "\", so both separators count.
qsizetype lastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

bool isCdTrackFile(const QString& path)
{
    return !isUri(path) && path.endsWith(cdTrackSuffix, Qt::CaseInsensitive)
        && path.size() - lastSeparator(path) - 1 > cdTrackSuffix.size();
}

QString localFileUri(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    gchar* uri = g_filename_to_uri(bytes.constData(), nullptr, nullptr);
    if (!uri)
        return QString();
    const QString result = QString::fromUtf8(uri);
    g_free(uri);
    return result;
}

}  // namespace

bool isCdTrackAddress(const QString& address)
{
    return isCdTrackFile(address) || address.startsWith(QLatin1String("cdda://"), Qt::CaseInsensitive);
}

int cdTrackNumber(const QString& path)
{
    if (!isCdTrackFile(path))
        return 0;
    const QString base = path.mid(lastSeparator(path) + 1).chopped(cdTrackSuffix.size());
    qsizetype start = base.size();
    while (start > 0 && base.at(start - 1).isDigit() && base.at(start - 1).unicode() < 128)
        --start;
    const int track = base.mid(start).toInt();
    return track >= 1 && track <= 99 ? track : 0;
}

QString cdTrackUri(const QString& path, const QString& device)
{
    const int track = cdTrackNumber(path);
    if (track == 0)
        return QString();
    if (device.isEmpty())
        return QStringLiteral("cdda://%1").arg(track);
    return QStringLiteral("cdda://%1#%2").arg(device).arg(track);
}

QString opticalDeviceAt(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        return QString();
    const QStorageInfo storage(folder);
    if (!storage.isValid())
        return QString();
    const QByteArray type = storage.fileSystemType();
    const QString device = QString::fromLocal8Bit(storage.device());
    static const QRegularExpression drive(QStringLiteral("^/dev/(sr|scd|cdrom|dvd)[0-9]*$"));
    const bool optical = type == "iso9660" || type == "udf" || type == "cdfs" || drive.match(device).hasMatch();
    return optical && device.startsWith(QLatin1String("/dev/")) ? device : QString();
}

QString mediaUri(const QString& address)
{
    if (address.isEmpty())
        return QString();
    if (isUri(address))
        return address;
    if (isCdTrackFile(address)) {
        const qsizetype separator = lastSeparator(address);
        const QString folder = separator == 0 ? QStringLiteral("/") : address.left(std::max<qsizetype>(separator, 0));
        return cdTrackUri(address, opticalDeviceAt(folder));
    }
    return localFileUri(address);
}

}  // namespace qpt::media
