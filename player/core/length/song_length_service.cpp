#include "player/core/length/song_length_service.h"

#include "common/cd_address.h"
#include "common/cue_track_lines.h"
#include "player/core/cd/disc_toc.h"
#include "player/core/cue/cue_album.h"
#include "player/core/length/cd_track_file.h"
#include "player/core/length/known_lengths.h"
#include "player/core/length/length_probe.h"
#include "player/core/length/mount_table.h"
#include "player/core/length/probe_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <chrono>
#include <mutex>
#include <optional>

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

// A track of a disc in a drive: exact, from the table of contents (read
// once for all the disc's rows). No disc, or no such track: nothing to show.
length::LengthResult discTrackLength(quint64 entry, const cd::CdAddress& address)
{
    const cd::DiscToc toc = cd::readDiscTocRecent(cd::deviceOf(address));
    const auto track = toc.track(address.track);
    if (!track || !track->audio) {
        length::LengthResult result;
        result.entry = entry;
        result.length = SongLength::blank();
        return result;
    }
    return measuredAs(entry, track->milliseconds());
}

}  // namespace

// The measuring itself, on the workers' threads.
struct SongLengthService::Measurer {
    length::KnownLengths known;
    length::ReadPolicy reads;
    QString cacheFile;
    std::once_flag cacheLoaded;
    std::atomic<std::int64_t> filesRead = 0;
    std::atomic<std::int64_t> bytesRead = 0;
    mutable std::mutex cdLock;
    QString cdFolder;
    // The sheet read last, kept for a few seconds while it is unchanged:
    // the tracks of an album are measured one after another, and each
    // would read its sheet (maybe on a slow share) again.
    std::mutex albumLock;
    NativePath albumPath;
    length::FileStamp albumStamp;
    std::chrono::steady_clock::time_point albumRead;
    std::optional<cue::Album> album;

    std::optional<cue::Album> albumOf(const NativePath& path)
    {
        constexpr auto kKept = std::chrono::seconds(5);
        length::FileStamp stamp;
        bool regular = false;
        const bool stamped = length::ProbeFile::stamp(path, stamp, regular) && regular;
        const auto now = std::chrono::steady_clock::now();
        {
            const std::lock_guard lock(albumLock);
            if (stamped && path == albumPath && stamp == albumStamp && now - albumRead < kKept)
                return album;
        }
        std::optional<cue::Album> read = cue::readAlbum(path);
        if (stamped) {
            const std::lock_guard lock(albumLock);
            albumPath = path;
            albumStamp = stamp;
            albumRead = now;
            album = read;
        }
        return read;
    }

    void loadCacheOnce()
    {
        std::call_once(cacheLoaded, [this] {
            if (!cacheFile.isEmpty())
                known.load(cacheFile);
        });
    }

    void prepareCdDrive(const NativePath& songLineOrFolder)
    {
        if (songLineOrFolder.isEmpty())
            return;
        const QFileInfo info(QFile::decodeName(songLineOrFolder));
        const QString folder = info.isDir() ? info.filePath() : info.path();
        if (length::findFileNoCase(folder, kTrackOne).isEmpty())
            return;
        const std::lock_guard lock(cdLock);
        cdFolder = folder;
    }

    QString currentCdFolder() const
    {
        const std::lock_guard lock(cdLock);
        return cdFolder;
    }

    length::LengthResult measure(const length::LengthJob& job)
    {
        if (job.kind == length::LengthJob::Kind::CdTrack) {
            prepareCdDrive(job.path);
            const QString folder = job.cdFolder.isEmpty() ? currentCdFolder() : job.cdFolder;
            length::LengthResult result;
            result.entry = job.entry;
            result.length = folder.isEmpty() ? SongLength::blank() : cdTrackLength(folder, job.cdTrack);
            return result;
        }
        if (const auto disc = cd::parse(job.path))
            return discTrackLength(job.entry, *disc);
        const QByteArray line = job.path.trimmed();
        if (const std::optional<cuelines::TrackLine> named = cuelines::trackLineOf(line))
            return measuredAs(job.entry, std::max<std::int64_t>(cueTrackMs(*named), 0));
        // Blanks around the line are not part of the path; a local "file:"
        // address stands for its path. What cannot be measured reads as zero.
        return measuredAs(job.entry, std::max<std::int64_t>(fileMs(length::LengthProbe::localPath(line)), 0));
    }

    // A file's length in milliseconds; 0 (or below) for no music.
    std::int64_t fileMs(const QByteArray& path)
    {
        loadCacheOnce();
        if (path.isEmpty())
            return 0;
        length::FileStamp stamp;
        bool regular = false;
        if (known.knows(path) && length::ProbeFile::stamp(path, stamp, regular) && regular) {
            if (const auto ms = known.find(path, stamp.size, stamp.mtimeNs))
                return *ms;
        }
        length::LengthProbe probe(reads);
        const auto measurement = probe.measure(path);
        filesRead += probe.filesRead();
        bytesRead += probe.bytesRead();
        if (!measurement)
            return 0;
        const std::int64_t ms = measurement->ms.value_or(length::KnownLengths::kNoMusic);
        known.store(path, measurement->stamp.size, measurement->stamp.mtimeNs, ms);
        return ms;
    }

    // A track of an album: exact arithmetic on its sheet, and for the last
    // track of a file what is left of the file after its start.
    std::int64_t cueTrackMs(const cuelines::TrackLine& named)
    {
        const std::optional<cue::Album> sheet = albumOf(named.album);
        const cue::AlbumTrack* track = sheet ? sheet->track(named.track) : nullptr;
        if (!track || !track->playable || !track->fileFound)
            return 0;
        if (const std::optional<qint64> ms = track->knownMilliseconds())
            return *ms;
        std::int64_t whole = 0;
        if (track->type == cue::FileType::Decoded) {
            whole = fileMs(track->file);
        } else {
            // Raw CD audio: 4 bytes a sample, 44100 samples a second; whole
            // milliseconds as the probe gives them.
            length::FileStamp stamp;
            bool regular = false;
            if (length::ProbeFile::stamp(track->file, stamp, regular) && regular)
                whole = stamp.size / 4 * 1000 / 44100;
        }
        return whole - track->fromMilliseconds();
    }
};

SongLengthService::SongLengthService(QObject* parent) : QObject(parent), m_measurer(std::make_shared<Measurer>())
{
    m_deliveryTimer.setSingleShot(true);
    m_deliveryTimer.setInterval(kDeliveryDelayMs);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &SongLengthService::deliver);
}

SongLengthService::~SongLengthService()
{
    // A worker still measuring (a file on a share that does not answer)
    // may finish at any time from now on: it reports nowhere.
    m_replies->close();
    m_workers.reset();  // idle threads end; a stuck one keeps the measurer alive
}

QString SongLengthService::defaultCacheFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
         + QStringLiteral("/quorbel-player-tirk/lengths.cache");
}

void SongLengthService::setCacheFile(const QString& file)
{
    m_measurer->cacheFile = file;
}

std::int64_t SongLengthService::filesRead() const
{
    return m_measurer->filesRead;
}

std::int64_t SongLengthService::bytesRead() const
{
    return m_measurer->bytesRead;
}

QString SongLengthService::cdFolder() const
{
    return m_measurer->currentCdFolder();
}

void SongLengthService::prepareCdDrive(const NativePath& songLineOrFolder)
{
    m_measurer->prepareCdDrive(songLineOrFolder);
}

length::LengthResult SongLengthService::measure(const length::LengthJob& job)
{
    return m_measurer->measure(job);
}

length::LengthWorkers& SongLengthService::workers()
{
    if (!m_workers) {
        length::LengthWorkers::Measure measure = m_measure;
        if (!measure)
            measure = [measurer = m_measurer](const length::LengthJob& job) { return measurer->measure(job); };
        const int count = m_io.workers > 0 ? m_io.workers : defaultWorkerCount();
        m_workers = std::make_unique<length::LengthWorkers>(count, std::move(measure), m_replies,
                                                            [this] { resultsWaiting(); }, m_deadlineMs);
        if (m_idleEndMs > 0)
            m_workers->setIdleEnd(m_idleEndMs);
        m_workers->setIdleIo(m_io.idleIo);
        // A share that stops answering is recognised by its mount point.
        m_workers->setPlaceOf([](const length::LengthJob& job) {
            if (job.kind == length::LengthJob::Kind::CdTrack && !job.cdFolder.isEmpty())
                return length::mountPointOf(QFile::encodeName(job.cdFolder));
            // A drive that does not answer holds up its own tracks only.
            if (const auto disc = cd::parse(job.path))
                return cd::deviceOf(*disc);
            return length::mountPointOf(length::LengthProbe::localPath(job.path.trimmed()));
        });
        m_workers->setUrgent(m_urgent);
    }
    return *m_workers;
}

int SongLengthService::defaultWorkerCount()
{
    // One per core, and never fewer than eight: a disk answers more reads
    // at once than a small machine has cores (on a cold disk eight workers
    // on two cores measured the distinct-file library 1.4 times as fast as
    // two, from memory as fast), and a file that takes long to read (a
    // network share, a disk spinning up) holds back one worker, not every
    // length behind it.
    return std::max(kReadsInFlight, QThread::idealThreadCount());
}

void SongLengthService::setIoChoices(const IoChoices& choices)
{
    m_io = choices;
    m_measurer->reads = choices.reads;
}

void SongLengthService::setMeasureForTests(length::LengthWorkers::Measure measure)
{
    m_measure = std::move(measure);
}

void SongLengthService::submit(length::LengthJob job, bool counted)
{
    if (counted)
        m_pending.insert(job.entry);
    else
        m_urgent.insert(m_urgent.begin(), job.entry);  // the supervision's question first
    if (m_toSubmit.empty()) {
        // Handed to the workers together once this turn of the event loop
        // is over, not one by one.
        QMetaObject::invokeMethod(
            this,
            [this] {
                workers().submit(std::exchange(m_toSubmit, {}));
                workers().setUrgent(m_urgent);
            },
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

void SongLengthService::requestCdTrack(quint64 entry, const NativePath& line, int track)
{
    length::LengthJob job;
    job.entry = entry;
    job.kind = length::LengthJob::Kind::CdTrack;
    job.path = line;
    job.cdTrack = track;
    submit(std::move(job));
}

void SongLengthService::setUrgent(const std::vector<quint64>& entries)
{
    m_urgent = entries;
    if (m_lookup.entry != 0 && !m_lookup.answer)
        m_urgent.insert(m_urgent.begin(), m_lookup.entry);
    m_urgentPending.clear();
    for (const quint64 entry : entries) {
        if (m_pending.contains(entry))
            m_urgentPending.insert(entry);
    }
    m_urgentCount = int(m_urgentPending.size());
    // Jobs still being collected for the workers are handed over first.
    if (m_workers)
        m_workers->setUrgent(m_urgent);
}

void SongLengthService::cancelAll()
{
    m_toSubmit.clear();
    if (m_workers)
        m_workers->cancelAll();
    m_deliveryTimer.stop();
    m_pending.clear();
    m_urgentPending.clear();
    m_urgent.clear();
    m_lookup = {};
}

void SongLengthService::resultsWaiting()
{
    if (!m_deliveryTimer.isActive())
        m_deliveryTimer.start();
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
    const bool urgentWaiting = !m_urgentPending.isEmpty();
    for (const length::LengthResult& result : results) {
        m_pending.remove(result.entry);
        m_urgentPending.remove(result.entry);
    }
    emit measured(results);
    if (urgentWaiting && m_urgentPending.isEmpty())
        emit urgentMeasured(m_urgentCount);
    if (m_pending.isEmpty())
        emit allMeasured();
}

bool SongLengthService::saveCache()
{
    if (m_measurer->cacheFile.isEmpty() || !m_measurer->known.isChanged())
        return true;
    m_measurer->loadCacheOnce();  // what an earlier run knew is kept, not overwritten
    return m_measurer->known.save(m_measurer->cacheFile);
}

std::optional<SongLength> SongLengthService::lengthNow(const NativePath& line)
{
    const QByteArray path = length::LengthProbe::localPath(line.trimmed());
    if (path.isEmpty())
        return SongLength::fromMilliseconds(0);
    if (m_lookup.path == path)
        return m_lookup.answer;  // still being found out, or what was
    // Ids count down from the top, far from the playlist's, which count up.
    m_lookup = {path, m_lastLookupEntry--, std::nullopt};
    length::LengthJob job;
    job.entry = m_lookup.entry;
    job.path = line;
    submit(std::move(job), /*counted=*/false);
    return std::nullopt;
}

}  // namespace qpt
