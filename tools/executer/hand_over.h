#pragma once
// The file executer's work: the desktop starts it with the files the user
// opened; it queues them for the player as one batch file ("*.sng") in its
// own folder, which the player's batch loader picks up, and starts the
// player when none is running. Paths travel as the bytes they are.

#include "common/batch_files.h"
#include "common/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace qpt::executer {

// The executer's batch files (see common/batch_files.h).
inline QList<QByteArray> batchLinesFor(const NativePath& path)
{
    return batchfiles::linesFor(path);
}
inline QString writeBatchFile(const QString& folder, const QList<QByteArray>& lines,
                              const std::function<void(const QString& temporaryPath)>& beforePublish = {})
{
    return batchfiles::write(folder, QStringLiteral("executer"), lines, beforePublish);
}

enum class Result { HandedOver, FolderNotWritable };

// The whole hand-over for the files, with the application folder holding
// the player. A name that holds a line break cannot travel in a batch
// file: it is left out whole (never split into pieces) and put in
// `refused`, for the executer to say so.
Result handOver(const QList<NativePath>& paths, const QString& folder, QList<NativePath>* refused = nullptr);

}  // namespace qpt::executer
