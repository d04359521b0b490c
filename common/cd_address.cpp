#include "common/cd_address.h"

#include "common/native_path.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

namespace qpt::cd {

namespace {

constexpr int kLastTrack = 99;
const QByteArray kScheme = "cdda://";

std::optional<int> trackNumber(const QByteArray& digits)
{
    if (digits.isEmpty() || digits.size() > 2)
        return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const int track = digits.toInt();
    return track >= 1 && track <= kLastTrack ? std::optional(track) : std::nullopt;
}

// "Track 1.wav", "Track 01.flac", "track 7": the number in a file manager's
// track name.
std::optional<int> trackOfName(const QByteArray& name)
{
    static const QRegularExpression pattern(QStringLiteral("^track\\s*0*([0-9]{1,2})(\\.[a-z0-9]+)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(name));
    if (!match.hasMatch())
        return std::nullopt;
    return trackNumber(match.captured(1).toLatin1());
}

// A drive named the file manager's way ("sr0") as its device path.
QByteArray driveNamed(const QByteArray& name)
{
    static const QRegularExpression pattern(QStringLiteral("^(sr|scd|cdrom|dvd|cdrw|dvdrw)[0-9]*$"));
    return pattern.match(QString::fromLatin1(name)).hasMatch() ? "/dev/" + name : QByteArray();
}

// The file manager's form after "cdda://" or after "cdda:host=":
// "sr0", "sr0/", "sr0/Track 1.wav".
std::optional<CdAddress> parseHostForm(const QByteArray& rest)
{
    const qsizetype slash = rest.indexOf('/');
    const QByteArray host = slash < 0 ? rest : rest.left(slash);
    const QByteArray name = slash < 0 ? QByteArray() : rest.mid(slash + 1);
    const QByteArray device = driveNamed(host);
    if (device.isEmpty())
        return std::nullopt;
    if (name.isEmpty())
        return CdAddress{device, 0};
    const auto track = trackOfName(name);
    if (!track)
        return std::nullopt;
    return CdAddress{device, *track};
}

QByteArray escapedDevice(const QByteArray& device)
{
    return device.toPercentEncoding("/");
}

bool exists(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0;
}

}  // namespace

bool isDrivePath(const QByteArray& path)
{
    static const QRegularExpression pattern(QStringLiteral("^/dev/(sr|scd|cdrom|dvd|cdrw|dvdrw)[0-9]*$"));
    return pattern.match(QString::fromLatin1(path)).hasMatch();
}

std::optional<CdAddress> parse(const QByteArray& line)
{
    const QByteArray text = line.trimmed();
    if (isDrivePath(text))
        return CdAddress{text, 0};
    // The file manager's local view of a disc (gvfs), e.g.
    // /run/user/1000/gvfs/cdda:host=sr0/Track 1.wav
    static const QByteArray gvfsMark = "/gvfs/cdda:host=";
    if (const qsizetype at = text.indexOf(gvfsMark); at >= 0 && text.startsWith('/'))
        return parseHostForm(text.mid(at + gvfsMark.size()));
    if (!text.toLower().startsWith(kScheme))
        return std::nullopt;
    // Split before decoding: an escaped "#" belongs to the device's name.
    const QByteArray raw = text.mid(kScheme.size());
    if (raw.isEmpty())
        return CdAddress{};
    if (const auto track = trackNumber(raw))
        return CdAddress{QByteArray(), *track};
    const qsizetype hash = raw.lastIndexOf('#');
    if (hash >= 0) {
        // GStreamer's form: the device, then the track.
        const auto track = trackNumber(raw.mid(hash + 1));
        QByteArray device = QByteArray::fromPercentEncoding(raw.left(hash));
        if (!track || device.isEmpty())
            return std::nullopt;
        if (!device.startsWith('/'))
            device = driveNamed(device);
        if (device.isEmpty())
            return std::nullopt;
        return CdAddress{device, *track};
    }
    const QByteArray rest = QByteArray::fromPercentEncoding(raw);
    if (rest.startsWith('/'))
        return CdAddress{rest, 0};  // a device (or image) alone: the whole disc
    return parseHostForm(rest);
}

QByteArray trackLine(const QByteArray& device, int track)
{
    if (device.isEmpty())
        return kScheme + QByteArray::number(track);
    return kScheme + escapedDevice(device) + '#' + QByteArray::number(track);
}

QByteArray discLine(const QByteArray& device)
{
    return kScheme + escapedDevice(device);
}

QByteArray defaultDevice()
{
    const QByteArray chosen = qgetenv("QPT_CD_DEVICE");
    if (!chosen.isEmpty())
        return chosen;
    for (const char* candidate : {"/dev/cdrom", "/dev/sr0"}) {
        if (exists(candidate))
            return candidate;
    }
    return "/dev/sr0";
}

QByteArray deviceOf(const CdAddress& address)
{
    return address.device.isEmpty() ? defaultDevice() : address.device;
}

QList<QByteArray> pathsOfUrls(const QList<QUrl>& urls)
{
    QList<QByteArray> paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            paths << nativepath::fromLocalFileUrl(url);
            continue;
        }
        const QByteArray encoded = url.toEncoded();
        if (isCdAddress(encoded))
            paths << encoded;
    }
    return paths;
}

QByteArray trackTitle(int track)
{
    return "Track " + QByteArray::number(track).rightJustified(2, '0');
}

}  // namespace qpt::cd
