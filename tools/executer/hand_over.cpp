#include "hand_over.h"

#include "common/app_folder.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

namespace qpt::executer {

Result handOver(const QList<NativePath>& paths, const QString& folder, QList<NativePath>* refused)
{
    QList<QByteArray> lines;
    for (const NativePath& path : paths) {
        if (nativepath::holdsLineBreak(path)) {
            if (refused)
                *refused << path;
            continue;
        }
        lines += batchLinesFor(path);
    }
    bool written = true;
    if (!lines.isEmpty())
        written = !writeBatchFile(folder, lines).isEmpty();

    const QString player = QLatin1String(programs::Player);
    if (!SingleInstance::isRunning(player))
        ProgramStarter::start(folder + QLatin1Char('/') + player);
    return written ? Result::HandedOver : Result::FolderNotWritable;
}

}  // namespace qpt::executer
