#pragma once
// Turns the addresses the player assigns (local paths, URIs, Windows
// audio-CD track files) into the URIs GStreamer's playbin opens.

#include <QByteArray>
#include <QString>

namespace qpt::media {

// True for an audio-CD track file ("Track03.cda", any case) and for a
// CD address (a cdda:// URI, a drive's device path: common/cd_address.h).
bool isCdTrackAddress(const QByteArray& address);

// "cdda://<device>#N" for a CD address's track, the default drive filled
// in when `fillInDrive` (which looks at /dev); empty for a whole disc and
// for what is no CD address.
QString cdAddressUri(const QByteArray& address, bool fillInDrive);

// The track number of an audio-CD track file: the digits that end its base
// name ("Track03.cda" gives 3). 0 when there are none or they are not a
// track number (1 to 99).
int cdTrackNumber(const QByteArray& path);

// "cdda://<track>", or "cdda://<device>#<track>" when the drive is known.
// Empty when the file name holds no track number.
QString cdTrackUri(const QByteArray& path, const QString& device);

// The optical drive mounted at the folder (e.g. "/dev/sr0"); empty when the
// folder is not on an optical disc or does not exist.
QString opticalDeviceAt(const QByteArray& folder);

// The URI for an address: URIs pass unchanged, a line naming a track of a
// cue sheet becomes its "qpttrack:" URI (the sheet is read), CD track files map to their
// cdda:// track on the drive the folder is mounted from, and anything else
// is a local file path (made absolute and escaped byte for byte). Empty
// when no URI can be made.
QString mediaUri(const QByteArray& address);
// The same without looking at the system (no drive lookup for a CD track):
// what the window thread may show of an address.
QString shownUri(const QByteArray& address);

}  // namespace qpt::media
