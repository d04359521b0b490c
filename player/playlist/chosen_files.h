#pragma once
// Files chosen in the Open Music dialog become batch files: a chosen
// playlist's lines are appended to "playlist.sng", music files to
// "opening.sng" (always appended: songs chosen a moment ago that the loader
// has not read yet are never lost). A name with a line break is refused.
//
// It reads the user's playlist files, which may not answer: call it on a
// worker thread, never on the window thread.

#include "common/native_path.h"

#include <QList>
#include <QString>

namespace qpt {

struct ChosenFilesOutcome {
    QStringList tooLarge;        // playlist files over the size limit (shown names)
    QList<QByteArray> refused;   // names that hold a line break
    bool folderNotWritable = false;
};

ChosenFilesOutcome queueChosenFiles(const QList<NativePath>& chosen);

}  // namespace qpt
