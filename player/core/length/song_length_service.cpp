#include "player/core/length/song_length_service.h"

#include "player/core/length/cd_track_file.h"
#include "player/core/length/length_probe.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace qpt {

namespace {
const QString kTrackOne = QStringLiteral("track01.cda");
}  // namespace

SongLengthService::SongLengthService() : m_probe(std::make_unique<length::LengthProbe>()) {}

SongLengthService::~SongLengthService() = default;

void SongLengthService::open(const NativePath& path)
{
    // Whatever cannot be measured (missing, not a file, no music) leaves
    // nothing open.
    m_open = m_probe->measure(path.trimmed());
}

QString SongLengthService::lengthText()
{
    const qint64 ms = m_open.value_or(0);
    if (const auto text = formatLength(ms))
        return *text;
    if (onFailure)
        onFailure(ms < 0 ? QStringLiteral("Invalid length") : QStringLiteral("Overflow"));
    return QString();
}

QString SongLengthService::measure(const NativePath& path)
{
    open(path);
    return lengthText();
}

std::optional<QString> SongLengthService::formatLength(qint64 milliseconds)
{
    if (milliseconds < 0 || milliseconds > std::numeric_limits<qint32>::max())
        return std::nullopt;
    qint64 s = milliseconds / 1000;
    const qint64 rest = milliseconds % 1000;
    if (rest > 500 || (rest == 500 && (s & 1)))
        ++s;  // to the nearest second, halves to even
    const qint64 h = s / 3600;
    const qint64 m = (s % 3600) / 60;
    const qint64 sec = s % 60;
    QString text;
    if (h >= 1)
        text = QString::number(h) + QLatin1Char(':');
    text += QString::number(m) + QLatin1Char(':') + QStringLiteral("%1").arg(sec, 2, 10, QLatin1Char('0'));
    return text;
}

void SongLengthService::prepareCdDrive(const NativePath& songLineOrFolder)
{
    if (songLineOrFolder.isEmpty())
        return;
    const QFileInfo info(QFile::decodeName(songLineOrFolder));
    const QString folder = info.isDir() ? info.filePath() : info.path();
    if (!length::findFileNoCase(folder, kTrackOne).isEmpty())
        m_cdFolder = folder;
}

QString SongLengthService::cdTrackLength(qint32 track)
{
    if (m_cdFolder.isEmpty())
        return QString();
    const QString path = length::findFileNoCase(m_cdFolder, length::cdTrackFileName(track));
    if (path.isEmpty())
        return QString();
    const auto time = length::readCdTrackTime(path);
    return length::cdTrackLengthText(time.value_or(length::CdTrackTime{}));
}

void SongLengthService::clearCache()
{
    m_probe->clearCache();
}

}  // namespace qpt
