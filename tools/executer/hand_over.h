#pragma once
// The file executer's work: the desktop starts it with the files the user
// opened; it queues them for the player as one batch file ("*.sng") in its
// own folder, which the player's batch loader picks up, and starts the
// player when none is running. Paths travel as the bytes they are.

#include "common/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace qpt::executer {

// The batch lines for one opened file: every line of a playlist file (VYX,
// any letter case), relative paths made absolute against its folder, or
// the file's own absolute path. A playlist that cannot be read (a pipe, a
// device, no permission) or is too large gives no lines.
QList<QByteArray> batchLinesFor(const NativePath& path);

// Writes the lines (each ending in CR LF) as a new batch file in the folder.
// The file is written completely under a temporary name that the player
// ignores, then renamed to a ".sng" name that no other file has, so the
// player never sees it half written and no waiting batch file is replaced.
// `beforePublish` runs between the two steps (tests look at the folder
// then). Returns the batch file's path, empty on failure.
QString writeBatchFile(const QString& folder, const QList<QByteArray>& lines,
                       const std::function<void(const QString& temporaryPath)>& beforePublish = {});

enum class Result { HandedOver, FolderNotWritable };

// The whole hand-over for the files, with the application folder holding
// the player.
Result handOver(const QList<NativePath>& paths, const QString& folder);

}  // namespace qpt::executer
