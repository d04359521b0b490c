#include "player/core/length/song_length_service.h"

#include "common/dialogs.h"
#include "common/failures.h"
#include "player/core/length/cd_track_file.h"
#include "player/core/length/length_probe.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace qpt {

namespace {

const QString kTrackOne = QStringLiteral("track01.cda");

void showFailure(const std::exception& failure)
{
    Dialogs::message(QStringLiteral(" Error"), QString::fromLocal8Bit(failure.what()), MsgIcon::None,
                     MsgButtons::Ok);
}

}  // namespace

SongLengthService::SongLengthService()
    : m_probe(std::make_unique<length::LengthProbe>())
{
}

SongLengthService::~SongLengthService() = default;

void SongLengthService::openSong(QByteArray& MeasuredPath)
{
    m_open.reset();  // "close song"
    const QByteArray path = MeasuredPath.trimmed();
    MeasuredPath = '"' + path + '"';
    try {
        m_open = m_probe->measure(path);
    } catch (const std::exception&) {
        m_open.reset();  // could not be opened: nothing is open
    }
}

QString SongLengthService::querySongLength()
{
    try {
        return FormatLength(m_open.value_or(0));
    } catch (const std::exception& failure) {
        showFailure(failure);
        return QString();
    }
}

QString SongLengthService::MeasureSongLength(QByteArray& MeasuredPath)
{
    openSong(MeasuredPath);
    return querySongLength();
}

QString SongLengthService::FormatLength(qint64 milliseconds)
{
    if (milliseconds < 0)
        throw RuntimeFailure("Invalid length");
    if (milliseconds > std::numeric_limits<qint32>::max())
        throw RuntimeFailure("Overflow");
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

void SongLengthService::PrepareCdDrive(const QByteArray& songLineOrFolder)
{
    if (songLineOrFolder.isEmpty())
        return;
    const QFileInfo info(QFile::decodeName(songLineOrFolder));
    const QString folder = info.isDir() ? info.filePath() : info.path();
    if (!length::findFileNoCase(folder, kTrackOne).isEmpty())
        m_cdFolder = folder;
}

QString SongLengthService::CdTrackLength(qint32 track)
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
