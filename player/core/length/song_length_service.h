#pragma once
// The song length service: measures the songs of the playlist on worker
// threads (up to one per core, at least eight; none while nothing is to be
// measured) and hands the lengths back in batches, each
// addressed to its entry, never to a row: rows may be removed or the list
// cleared while lengths are under way. Lengths come from the file's headers,
// or from a walk over its MPEG frame headers where no header holds the
// frame count; audio is never decoded.
//
// What was measured is remembered by path, size and modification time, also
// across runs (a cache file in the user's cache folder): an unchanged file
// is not read again.
//
// Nothing here touches the user's files on the window thread: the workers
// look at the files (a stat too may never return on a share that stopped
// answering), and each job has a deadline (LengthWorkers).

#include "common/native_path.h"
#include "common/reply_channel.h"
#include "player/core/length/length_workers.h"
#include "player/core/length/probe_file.h"
#include "player/core/length/song_length.h"

#include <QList>
#include <QSet>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace qpt {

namespace length {
class KnownLengths;
}

class SongLengthService : public QObject {
    Q_OBJECT
public:
    using Results = std::vector<length::LengthResult>;

    explicit SongLengthService(QObject* parent = nullptr);
    ~SongLengthService() override;

    // Measures the song at the line for the entry, in the background.
    void request(quint64 entry, const NativePath& line);
    // Reads the length of CD track `track` for the entry from the track
    // files of the CD: the folder of the song line when it holds a first
    // track, else the CD folder found last (prepareCdDrive, on the worker).
    void requestCdTrack(quint64 entry, const NativePath& line, int track);
    // Forgets every request not yet answered (the playlist was cleared).
    void cancelAll();
    // Requests not yet answered.
    int pending() const { return int(m_pending.size()); }
    // The entries a person looks at, most urgent first (the playing song,
    // then the rows on screen): measured before the others. Replaces the
    // last list.
    void setUrgent(const std::vector<quint64>& entries);
    const std::vector<quint64>& urgent() const { return m_urgent; }

    // The length of the song at the path as far as it is known now, without
    // waiting and without looking at the file: zero for what cannot be
    // measured (nothing, missing, not a file), nullopt while a worker finds
    // out. The first question about a path makes the request; asking again
    // (every status tick) waits for that answer instead of asking once more.
    std::optional<SongLength> lengthNow(const NativePath& path);

    // The "drive" is the folder that holds the track files. The argument is
    // a song line (e.g. /media/cd/Track03.cda) or a folder; the folder is
    // remembered when it holds track01.cda (name in any letter case),
    // otherwise the remembered one stays. It looks at the folder: call it
    // off the window thread (the workers do for CD track jobs).
    void prepareCdDrive(const NativePath& songLineOrFolder);
    // The folder a CD was last found in; empty before.
    QString cdFolder() const;

    // How long one file may take before it counts as unknown; set before
    // the first request (tests).
    void setProbeDeadline(int ms) { m_deadlineMs = ms; }
    // Workers given up on (their files did not answer) still stuck.
    int stuckWorkers() const { return m_workers ? m_workers->stuckWorkers() : 0; }
    // The workers' threads running now (and their watchdog's).
    int runningThreads() const { return m_workers ? m_workers->runningThreads() : 0; }
    // How long an idle worker waits for work before it ends; set before
    // the first request (tests).
    void setIdleEnd(int ms) { m_idleEndMs = ms; }

    // Where the lengths are kept across runs; empty keeps them for this
    // run only. Set before the first request.
    void setCacheFile(const QString& file);
    static QString defaultCacheFile();
    // Writes what was measured to the cache file (when anything was). Safe
    // from any thread.
    bool saveCache();

    // How the workers read the files: set before the first request
    // (benchmarks compare the choices; the defaults are the kept ones).
    struct IoChoices {
        length::ReadPolicy reads;
        bool idleIo = false;  // the workers' I/O class idle (not kept, see LengthWorkers)
        int workers = 0;     // 0: the default count
    };
    void setIoChoices(const IoChoices& choices);
    // The workers' default count: one per core, at least kReadsInFlight.
    static constexpr int kReadsInFlight = 8;
    static int defaultWorkerCount();

    // Measures one job as a worker does (with the known lengths).
    length::LengthResult measure(const length::LengthJob& job);
    // The worker's measurement, replaced (tests: a file that blocks).
    void setMeasureForTests(length::LengthWorkers::Measure measure);

    // Files read and bytes read from them so far (benchmarks).
    std::int64_t filesRead() const;
    std::int64_t bytesRead() const;

    struct Measurer;

signals:
    // A batch of lengths, each for its entry, in no particular order.
    void measured(const Results& results);
    // Every request has been answered.
    void allMeasured();
    // Every entry of the last urgent list that was waiting has its length.
    void urgentMeasured(int entries);

private:
    // On this object's thread, through m_replies: the workers have results.
    void resultsWaiting();
    void deliver();
    // Counted requests are the playlist's: pending() and allMeasured follow
    // them. The supervision's lookups are not counted and not handed on.
    void submit(length::LengthJob job, bool counted = true);
    bool isLookup(quint64 entry) const { return entry > m_lastLookupEntry; }
    length::LengthWorkers& workers();

    // What the workers measure with; shared with them, so that a worker
    // stuck on a file can outlive this service.
    std::shared_ptr<Measurer> m_measurer;
    length::LengthWorkers::Measure m_measure;
    std::unique_ptr<length::LengthWorkers> m_workers;
    int m_deadlineMs = length::LengthWorkers::kDeadlineMs;
    int m_idleEndMs = 0;  // 0: the workers' own
    // The workers report through it; closed as this service goes.
    std::shared_ptr<ReplyChannel> m_replies = ReplyChannel::to(this);
    IoChoices m_io;
    QSet<quint64> m_pending;          // the playlist's entries not yet answered
    QSet<quint64> m_urgentPending;    // of those, the urgent ones
    int m_urgentCount = 0;
    std::vector<quint64> m_urgent;    // as last given, for workers made later
    // The file lengthNow asked about last, under an id no playlist entry
    // has, and its answer once it came.
    struct Lookup {
        QByteArray path;
        quint64 entry = 0;
        std::optional<SongLength> answer;
    } m_lookup;
    quint64 m_lastLookupEntry = ~quint64(0);
    // Results are handed on a little after the first one arrives, so that
    // the rows are changed in batches, not once per song.
    QTimer m_deliveryTimer;
    std::vector<length::LengthJob> m_toSubmit;
};

}  // namespace qpt
