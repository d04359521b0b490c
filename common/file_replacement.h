#pragma once
// Replacing a file the user keeps (a playlist, the autosave) so that it is
// either the old file, byte for byte, or the complete new one: the bytes go
// to a new file beside it, are flushed to the disk, and only then take the
// old file's name in one rename. A full disk, a quota or an I/O error at
// any step leaves the old file as it was and no new file behind.
//
// Written with plain system calls rather than QSaveFile: its buffered
// writes can fail only at the commit's flush, and that failure did not stop
// the rename, which put a cut-short file in place of a whole one.

#include <QByteArray>
#include <QString>

namespace qpt::filereplacement {

struct Outcome {
    bool ok = true;
    int error = 0;  // errno of the failed step
    // The cause in the user's words ("No space left on device").
    QString cause() const;
    explicit operator bool() const { return ok; }
};

// Replaces `path` (where it is a symbolic link, the file it points at) by
// `bytes`. A new file gets the permissions the user's mask allows, a
// replaced one keeps its own.
Outcome replace(const QString& path, const QByteArray& bytes);

}  // namespace qpt::filereplacement
