#include "hand_over.h"

#include "common/app_folder.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

namespace qpt::executer {

QList<QByteArray> splitLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines << text.mid(start, i - start);
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QList<QByteArray> batchLinesFor(const QString& path)
{
    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String("vyx"), Qt::CaseInsensitive) == 0) {
        QFile playlist(info.absoluteFilePath());
        if (!playlist.open(QIODevice::ReadOnly))
            return {};
        return splitLines(playlist.readAll());
    }
    return {QFile::encodeName(info.absoluteFilePath())};
}

QString writeBatchFile(const QString& folder, const QList<QByteArray>& lines,
                       const std::function<void(const QString&)>& beforePublish)
{
    QTemporaryFile file(folder + QStringLiteral("/executer-XXXXXX.part"));
    if (!file.open())
        return QString();
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
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

bool handOver(const QStringList& paths, const QString& folder)
{
    QList<QByteArray> lines;
    for (const QString& path : paths)
        lines += batchLinesFor(path);
    bool written = true;
    if (!lines.isEmpty())
        written = !writeBatchFile(folder, lines).isEmpty();

    const QString player = QLatin1String(programs::Player);
    if (!SingleInstance::isRunning(player))
        ProgramStarter::start(folder + QLatin1Char('/') + player);
    return written;
}

}  // namespace qpt::executer
