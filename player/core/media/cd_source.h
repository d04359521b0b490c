#pragma once
// Which GStreamer element reads an audio CD. playbin takes the highest
// ranked handler of "cdda://": cdparanoiasrc, which reads real drives (with
// its error correction) but not an image. A BIN/CUE image standing in for a
// drive is read by cdiocddasrc (through libcdio), so it is ranked first
// while an image is opened and back below cdparanoiasrc for a drive.

#include <QString>

namespace qpt::media {

bool isCdUri(const QString& uri);
// Whether a cdda:// URI names an image file rather than a drive. Looks at
// the file: not on the window thread.
bool readsCdImage(const QString& uri);
// Ranks the CD sources for what is opened next.
void chooseCdSource(bool image);

}  // namespace qpt::media
