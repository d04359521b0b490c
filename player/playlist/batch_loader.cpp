#include "player/playlist/batch_loader.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/folder_arrivals.h"
#include "common/music_files.h"
#include "common/serial_worker.h"
#include "player/core/length/song_length_service.h"
#include "player/core/playback_engine.h"

#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcLengths, "qpt.lengths", QtWarningMsg)

namespace qpt {

namespace {

// A CD track's number: the title without its first five characters, read
// as an integer like a lenient numeric conversion ("Track03" gives 3); 0
// when there is none.
int cdTrackNumber(const QString& title)
{
    int value = 0;
    for (const QChar c : title.mid(5).trimmed()) {
        if (!c.isDigit() || value > 99999)
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

}  // namespace

BatchLoader::BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths,
                         SerialWorker& files, QObject* parent)
    : QObject(parent),
      m_playlist(playlist),
      m_engine(engine),
      m_lengths(lengths),
      m_files(files),
      m_replies(ReplyChannel::to(this))
{
    timer.setHandler([this] { tick(); });
    // Arrivals in one turn of the event loop make one pick-up.
    m_arrivalTimer.setSingleShot(true);
    m_arrivalTimer.setInterval(0);
    connect(&m_arrivalTimer, &QTimer::timeout, this, &BatchLoader::batchFileArrived);
    connect(&m_lengths, &SongLengthService::allMeasured, this, [this] {
        if (!isLoading())
            announceLengths();
    });
}

BatchLoader::~BatchLoader()
{
    m_replies->close();
}

void BatchLoader::watchFolder()
{
    if (m_arrivals)
        return;
    m_arrivals = new FolderArrivals(AppFolder::path(), this);
    const QString pattern = QLatin1String(files::BatchPattern).mid(1);  // ".sng"
    connect(m_arrivals, &FolderArrivals::arrived, this, [this, pattern](const QString& name) {
        // An empty name: the watch lost events, one of them may be ours.
        if (name.isEmpty() || name.endsWith(pattern, Qt::CaseInsensitive))
            m_arrivalTimer.start();
    });
}

void BatchLoader::wake()
{
    m_surely = true;
    m_arrivalTimer.start();
}

void BatchLoader::batchFileArrived()
{
    // Only while the timer runs: before that the start-up has not decided
    // yet what the playlist starts with.
    if (!timer.isArmed())
        return;
    if (isLoading() || m_holds > 0) {
        m_lookAgain = true;
        return;
    }
    timer.tick();
}

void BatchLoader::queueSavedPlaylist()
{
    m_files.post([folder = m_folder, where = AppFolder::path()] { folder->queueSavedPlaylist(where); });
}

void BatchLoader::tick()
{
    // Also when the playlist is full: a batch file that comes then is
    // said not to fit rather than left waiting unseen.
    if (isLoading() || m_holds > 0)
        return;
    startPickUp();
}

void BatchLoader::startPickUp()
{
    m_loading = true;
    m_filesFound = false;
    const quint64 number = ++m_pickUpNumber;
    m_files.post([folder = m_folder, replies = m_replies, this, number, where = AppFolder::path(),
                  surely = std::exchange(m_surely, false)] {
        const int files = folder->begin(where, surely);
        replies->reply([this, number, files] {
            if (number == m_pickUpNumber)
                begun(files);
        });
    });
}

void BatchLoader::begun(int files)
{
    if (files == 0) {
        m_loading = false;
        pickUpOver();
        return;
    }
    qCInfo(lcLengths).nospace() << "pick-up of " << files << " file(s)";
    m_filesFound = true;
    m_engine.beginLoading();
    requestChunk();
}

void BatchLoader::requestChunk()
{
    // Room is made only by rows added here, and a chunk is asked for once
    // the one before is in: the worker never reads more than fit.
    m_files.post([folder = m_folder, replies = m_replies, this, number = m_pickUpNumber,
                  room = PlaylistModel::kCap - m_playlist.count()] {
        BatchFolder::Chunk chunk = folder->next(room);
        replies->reply([this, number, chunk = std::move(chunk)]() mutable {
            if (number == m_pickUpNumber)
                chunkArrived(std::move(chunk));
        });
    });
}

void BatchLoader::chunkArrived(BatchFolder::Chunk chunk)
{
    for (const QString& name : std::as_const(chunk.unreadable))
        emit errorOccurred(PlayerError::BatchFileUnreadable, name);
    for (const QString& drive : std::as_const(chunk.noAudioCd))
        emit errorOccurred(PlayerError::NoAudioCd, drive);
    addRows(chunk.rows);
    if (chunk.notAdded > 0)
        emit songsNotAdded(chunk.notAdded);
    switch (chunk.end) {
    case BatchFolder::Chunk::End::More:
        requestChunk();  // the windows had their turn; then the next rows
        return;
    case BatchFolder::Chunk::End::CapReached:
        endPickUp(false);
        return;
    case BatchFolder::Chunk::End::Finished:
        endPickUp(true);
        return;
    }
}

void BatchLoader::addRows(const QList<PlaylistModel::NewEntry>& rows)
{
    if (rows.isEmpty())
        return;
    const PlaylistModel::EntryId first = m_playlist.appendMany(rows);
    if (first == 0)
        return;
    // The lengths reach their entries wherever the entries are by then,
    // also when the user removed rows above them in the meantime.
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const PlaylistModel::EntryId entry = first + PlaylistModel::EntryId(i);
        const NativePath& line = rows[i].path;
        if (music::kindOf(line) == music::Kind::CdTrack) {
            m_lengths.requestCdTrack(entry, line, cdTrackNumber(rows[i].title));
        } else {
            m_lengths.request(entry, line);
        }
    }
}

void BatchLoader::endPickUp(bool finished)
{
    m_loading = false;
    m_engine.endLoading();
    if (finished) {
        m_lengthsToAnnounce = true;
        if (m_lengths.pending() == 0)
            announceLengths();
        emit batchesLoaded();
    }
    pickUpOver();
}

void BatchLoader::pickUpOver()
{
    if (isLoading())
        return;  // a slot started the next one
    if (m_holds > 0) {
        const QList<std::function<void()>> waiting = std::exchange(m_whenOver, {});
        for (const auto& then : waiting)
            then();
        return;
    }
    if (std::exchange(m_lookAgain, false))
        m_arrivalTimer.start();
}

void BatchLoader::hold(std::function<void()> then)
{
    ++m_holds;
    if (isLoading())
        m_whenOver << std::move(then);
    else
        then();
}

void BatchLoader::release()
{
    if (m_holds == 0 || --m_holds > 0)
        return;
    if (std::exchange(m_lookAgain, false))
        m_arrivalTimer.start();
}

void BatchLoader::abandon()
{
    if (!isLoading())
        return;
    ++m_pickUpNumber;  // its replies are dropped
    m_loading = false;
    if (m_filesFound)
        m_engine.endLoading();
    pickUpOver();
}

void BatchLoader::collectPending(std::function<void(BatchFolder::Pending)> then)
{
    m_files.post([folder = m_folder, replies = m_replies, where = AppFolder::path(), then = std::move(then)] {
        BatchFolder::Pending pending = folder->pending(where);
        replies->reply([then, pending = std::move(pending)] { then(pending); });
    });
}

void BatchLoader::announceLengths()
{
    if (!m_lengthsToAnnounce)
        return;
    m_lengthsToAnnounce = false;
    // For benchmarks and the curious (QT_LOGGING_RULES="qpt.lengths.info=true").
    if (!lcLengths().isInfoEnabled())
        return;
    int unknown = 0;
    for (int row = 1; row <= m_playlist.count(); ++row)
        unknown += m_playlist.songLength(row).value_or(SongLength()).kind() == SongLength::Kind::Unknown;
    qCInfo(lcLengths).nospace() << "all lengths known: " << m_playlist.count() << " rows, " << unknown
                                << " did not answer";
}

}  // namespace qpt
