#pragma once
// Handing songs to a running player: a batch file ("*.sng") written into
// the application folder, which the player's batch loader picks up and
// appends to the playlist. The executer writes one for the files the
// desktop opened, the player's remote control for a file a client asks it
// to open. Paths travel as the bytes they are.

#include "common/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace qpt::batchfiles {

// The batch lines for one opened file: every line of a playlist file (VYX,
// any letter case), relative paths made absolute against its folder, or
// the file's own absolute path. A playlist that cannot be read (a pipe, a
// device, no permission) or is too large gives no lines.
QList<QByteArray> linesFor(const NativePath& path);

// Writes the lines (each ending in CR LF) as a new batch file in the folder,
// named after `writer` ("executer-XXXXXX.sng"). The file is written
// completely under a temporary name that the player ignores, then renamed
// to a ".sng" name that no other file has, so the player never sees it half
// written and no waiting batch file is replaced. `beforePublish` runs
// between the two steps (tests look at the folder then). Returns the batch
// file's path, empty on failure.
QString write(const QString& folder, const QString& writer, const QList<QByteArray>& lines,
              const std::function<void(const QString& temporaryPath)>& beforePublish = {});

}  // namespace qpt::batchfiles
