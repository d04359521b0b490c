#include "hand_over.h"

#include "common/app_folder.h"
#include "common/line_files.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

namespace qpt::executer {

QList<QByteArray> batchLinesFor(const NativePath& path)
{
    if (nativepath::fileName(path).toLower().endsWith(".vyx")) {
        QList<QByteArray> lines;
        if (linefiles::readPlaylist(path, lines) != linefiles::PlaylistRead::Ok)
            return {};
        return lines;
    }
    return {nativepath::absolute(path)};
}

QString writeBatchFile(const QString& folder, const QList<QByteArray>& lines,
                       const std::function<void(const QString&)>& beforePublish)
{
    QTemporaryFile file(folder + QStringLiteral("/executer-XXXXXX.part"));
    if (!file.open())
        return QString();
    const QByteArray bytes = linefiles::encode(lines);
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return QString();
    file.close();
    if (beforePublish)
        beforePublish(file.fileName());

    // The unique part of the temporary name, under the batch extension.
    // Renaming never replaces an existing file: on a clash the next number
    // is tried.
    const QString stem = QFileInfo(file.fileName()).completeBaseName();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString name = attempt == 0 ? stem : QStringLiteral("%1-%2").arg(stem).arg(attempt);
        const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".sng");
        if (QFileInfo::exists(target))
            continue;
        if (file.rename(target)) {
            file.setAutoRemove(false);
            return target;
        }
    }
    return QString();
}

Result handOver(const QList<NativePath>& paths, const QString& folder)
{
    QList<QByteArray> lines;
    for (const NativePath& path : paths)
        lines += batchLinesFor(path);
    bool written = true;
    if (!lines.isEmpty())
        written = !writeBatchFile(folder, lines).isEmpty();

    const QString player = QLatin1String(programs::Player);
    if (!SingleInstance::isRunning(player))
        ProgramStarter::start(folder + QLatin1Char('/') + player);
    return written ? Result::HandedOver : Result::FolderNotWritable;
}

}  // namespace qpt::executer
