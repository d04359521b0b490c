#include "player/core/length/song_length_service.h"

#include "player/core/length/cd_track_file.h"
#include "player/core/length/known_lengths.h"
#include "player/core/length/length_probe.h"
#include "player/core/length/probe_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace qpt {

namespace {

const QString kTrackOne = QStringLiteral("track01.cda");
constexpr int kDeliveryDelayMs = 15;

length::LengthResult measuredAs(quint64 entry, std::int64_t ms)
{
    length::LengthResult result;
    result.entry = entry;
    if (const auto length = SongLength::fromMilliseconds(ms)) {
        result.length = *length;
    } else {
        result.length = SongLength::blank();
        result.tooLong = true;
    }
    return result;
}

SongLength cdTrackLength(const QString& folder, int track)
{
    const QString path = length::findFileNoCase(folder, length::cdTrackFileName(track));
    if (path.isEmpty())
        return SongLength::blank();
    return length::cdTrackSongLength(length::readCdTrackTime(path).value_or(length::CdTrackTime{}));
}

}  // namespace

SongLengthService::SongLengthService(QObject* parent)
    : QObject(parent), m_known(std::make_unique<length::KnownLengths>())
{
    m_deliveryTimer.setSingleShot(true);
    m_deliveryTimer.setInterval(kDeliveryDelayMs);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &SongLengthService::deliver);
}

SongLengthService::~SongLengthService()
{
    m_workers.reset();  // the threads end before what they use goes
}

QString SongLengthService::defaultCacheFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
         + QStringLiteral("/quorbel-player-tirk/lengths.cache");
}

length::LengthWorkers& SongLengthService::workers()
{
    if (!m_workers) {
        length::LengthWorkers::Measure measure = m_measure;
        if (!measure)
            measure = [this](const length::LengthJob& job) { return this->measure(job); };
        // One per core, and never fewer than two: a file that takes long to
        // read (a network share, a disk spinning up) holds back one worker,
        // not every length behind it.
        m_workers = std::make_unique<length::LengthWorkers>(
            std::max(2, QThread::idealThreadCount()), std::move(measure), [this] { resultsWaiting(); });
    }
    return *m_workers;
}

void SongLengthService::setMeasureForTests(length::LengthWorkers::Measure measure)
{
    m_measure = std::move(measure);
}

void SongLengthService::submit(length::LengthJob job, bool counted)
{
    if (counted)
        ++m_pending;
    if (m_toSubmit.empty()) {
        // Handed to the workers together once this turn of the event loop
        // is over, not one by one.
        QMetaObject::invokeMethod(this, [this] { workers().submit(std::exchange(m_toSubmit, {})); },
                                  Qt::QueuedConnection);
    }
    m_toSubmit.push_back(std::move(job));
}

void SongLengthService::request(quint64 entry, const NativePath& line)
{
    length::LengthJob job;
    job.entry = entry;
    job.path = line;
    submit(std::move(job));
}

void SongLengthService::requestCdTrack(quint64 entry, int track)
{
    length::LengthJob job;
    job.entry = entry;
    job.kind = length::LengthJob::Kind::CdTrack;
    job.cdFolder = m_cdFolder;
    job.cdTrack = track;
    submit(std::move(job));
}

void SongLengthService::cancelAll()
{
    m_toSubmit.clear();
    if (m_workers)
        m_workers->cancelAll();
    m_deliveryTimer.stop();
    m_pending = 0;
    m_lookup = {};
}

void SongLengthService::resultsWaiting()
{
    // On a worker thread: the delivery timer belongs to this thread.
    QMetaObject::invokeMethod(this, [this] {
        if (!m_deliveryTimer.isActive())
            m_deliveryTimer.start();
    }, Qt::QueuedConnection);
}

void SongLengthService::deliver()
{
    if (!m_workers)
        return;
    Results results = m_workers->takeResults();
    // The supervision's lookups end here: the playlist has no such rows.
    std::erase_if(results, [this](const length::LengthResult& result) {
        if (!isLookup(result.entry))
            return false;
        if (result.entry == m_lookup.entry)
            m_lookup.answer = result.length;
        return true;
    });
    if (results.empty())
        return;
    m_pending = std::max(0, m_pending - int(results.size()));
    emit measured(results);
    if (m_pending == 0)
        emit allMeasured();
}

void SongLengthService::loadCacheOnce()
{
    std::call_once(m_cacheLoaded, [this] {
        if (!m_cacheFile.isEmpty())
            m_known->load(m_cacheFile);
    });
}

bool SongLengthService::saveCache()
{
    if (m_cacheFile.isEmpty() || !m_known->isChanged())
        return true;
    loadCacheOnce();  // what an earlier run knew is kept, not overwritten
    return m_known->save(m_cacheFile);
}

length::LengthResult SongLengthService::measure(const length::LengthJob& job)
{
    if (job.kind == length::LengthJob::Kind::CdTrack) {
        length::LengthResult result;
        result.entry = job.entry;
        result.length = job.cdFolder.isEmpty() ? SongLength::blank() : cdTrackLength(job.cdFolder, job.cdTrack);
        return result;
    }
    loadCacheOnce();
    // Blanks around the line are not part of the path; a local "file:"
    // address stands for its path. What cannot be measured reads as zero.
    const QByteArray path = length::LengthProbe::localPath(job.path.trimmed());
    if (path.isEmpty())
        return measuredAs(job.entry, 0);
    length::FileStamp stamp;
    bool regular = false;
    if (m_known->knows(path) && length::ProbeFile::stamp(path, stamp, regular) && regular) {
        if (const auto known = m_known->find(path, stamp.size, stamp.mtimeNs))
            return measuredAs(job.entry, std::max<std::int64_t>(*known, 0));
    }
    length::LengthProbe probe;
    const auto measurement = probe.measure(path);
    m_filesRead += probe.filesRead();
    m_bytesRead += probe.bytesRead();
    if (!measurement)
        return measuredAs(job.entry, 0);
    const std::int64_t ms = measurement->ms.value_or(length::KnownLengths::kNoMusic);
    m_known->store(path, measurement->stamp.size, measurement->stamp.mtimeNs, ms);
    return measuredAs(job.entry, std::max<std::int64_t>(ms, 0));
}

std::optional<SongLength> SongLengthService::lengthNow(const NativePath& line)
{
    const QByteArray path = length::LengthProbe::localPath(line.trimmed());
    length::FileStamp stamp;
    bool regular = false;
    if (path.isEmpty() || !length::ProbeFile::stamp(path, stamp, regular) || !regular)
        return SongLength::fromMilliseconds(0);
    if (const auto known = m_known->find(path, stamp.size, stamp.mtimeNs))
        return measuredAs(0, std::max<std::int64_t>(*known, 0)).length;
    if (m_lookup.path == path && m_lookup.size == stamp.size && m_lookup.mtimeNs == stamp.mtimeNs)
        return m_lookup.answer;  // still measuring, or what could not be known
    // Ids count down from the top, far from the playlist's, which count up.
    m_lookup = {path, stamp.size, stamp.mtimeNs, m_lastLookupEntry--, std::nullopt};
    length::LengthJob job;
    job.entry = m_lookup.entry;
    job.path = line;
    submit(std::move(job), /*counted=*/false);
    return std::nullopt;
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

}  // namespace qpt
