#include "common/batch_files.h"

#include "common/line_files.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

namespace qpt::batchfiles {

QList<QByteArray> linesFor(const NativePath& path)
{
    if (nativepath::fileName(path).toLower().endsWith(".vyx")) {
        QList<QByteArray> lines;
        if (linefiles::readPlaylist(path, lines) != linefiles::PlaylistRead::Ok)
            return {};
        return lines;
    }
    return {nativepath::absolute(path)};
}

QString write(const QString& folder, const QString& writer, const QList<QByteArray>& lines,
              const std::function<void(const QString&)>& beforePublish)
{
    QTemporaryFile file(folder + QLatin1Char('/') + writer + QStringLiteral("-XXXXXX.part"));
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

}  // namespace qpt::batchfiles
