#pragma once
// Addresses of audio-CD tracks and discs, as the desktop and the user give
// them: GStreamer's "cdda://[device#]N", the file manager's
// "cdda://sr0/Track 1.wav" (and its local view under gvfs,
// ".../gvfs/cdda:host=sr0/Track 1.wav"), and an optical drive's device path
// ("/dev/sr0"), which stands for every track of its disc. Nothing here
// opens a drive: it is text (and a look at /dev), safe on the window thread.

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <optional>

namespace qpt::cd {

struct CdAddress {
    QByteArray device;  // empty: the default drive (defaultDevice())
    int track = 0;      // 1..99; 0: every track of the disc

    bool isWholeDisc() const { return track == 0; }
    bool operator==(const CdAddress&) const = default;
};

// The CD address a line holds; nullopt for anything else (a file, another
// URI, a "cdda:" address whose track is not 1 to 99).
std::optional<CdAddress> parse(const QByteArray& line);
inline bool isCdAddress(const QByteArray& line) { return parse(line).has_value(); }

// The line a playlist row keeps for a track: "cdda://N" on the default
// drive, else "cdda://<device>#N" with the device escaped as in a URI.
QByteArray trackLine(const QByteArray& device, int track);
// The line for every track of a disc: "cdda://" on the default drive, else
// "cdda://<device>" (no "#": the whole disc).
QByteArray discLine(const QByteArray& device);

// The drive CD addresses without a device name: $QPT_CD_DEVICE (a drive,
// or a BIN/CUE image standing in for one), else the first of /dev/cdrom
// and /dev/sr0 that exists (/dev/sr0 when neither does).
QByteArray defaultDevice();
// The device of an address, the default one filled in.
QByteArray deviceOf(const CdAddress& address);

// True for a device path of an optical drive ("/dev/sr0", "/dev/cdrom").
bool isDrivePath(const QByteArray& path);

// What dropped or handed-over URLs name: local files as their paths,
// audio-CD addresses (cdda://) as they stand; other URLs are left out.
QList<QByteArray> pathsOfUrls(const QList<QUrl>& urls);

// "Track 03": a track's title where the disc gives none.
QByteArray trackTitle(int track);

}  // namespace qpt::cd
