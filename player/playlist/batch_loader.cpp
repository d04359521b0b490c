#include "player/playlist/batch_loader.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/folder_arrivals.h"
#include "common/music_files.h"
#include "player/core/length/song_length_service.h"
#include "player/core/playback_engine.h"
#include "player/core/playlist_model.h"
#include "player/core/song_title.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <utility>

#include <sys/stat.h>
#include <time.h>

Q_LOGGING_CATEGORY(lcLengths, "qpt.lengths", QtWarningMsg)

namespace qpt {

namespace {

quint64 inodeOf(const NativePath& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

qint64 nowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

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

bool isSongLine(const QByteArray& line)
{
    const music::Kind kind = music::kindOf(line);
    // A line naming a playlist file is added as an ordinary song.
    return kind == music::Kind::Song || kind == music::Kind::Playlist || kind == music::Kind::CdTrack;
}

}  // namespace

struct BatchLoader::PickUp {
    QList<Source> queue;
    Source source;       // the file being read
    quint64 inode = 0;   // its identity
    LineReader reader;
    bool reading = false;
};

BatchLoader::BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths,
                         QObject* parent)
    : QObject(parent), m_playlist(playlist), m_engine(engine), m_lengths(lengths)
{
    timer.setHandler([this] { tick(); });
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(0);
    connect(&m_stepTimer, &QTimer::timeout, this, &BatchLoader::step);
    // Arrivals in one turn of the event loop make one pick-up.
    m_arrivalTimer.setSingleShot(true);
    m_arrivalTimer.setInterval(0);
    connect(&m_arrivalTimer, &QTimer::timeout, this, &BatchLoader::batchFileArrived);
    connect(&m_lengths, &SongLengthService::allMeasured, this, [this] {
        if (!isLoading())
            announceLengths();
    });
}

BatchLoader::~BatchLoader() = default;

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

void BatchLoader::batchFileArrived()
{
    // Only while the timer runs: before that the start-up has not decided
    // yet what the playlist starts with.
    if (!timer.isArmed())
        return;
    if (isLoading()) {
        m_arrivedWhileLoading = true;
        return;
    }
    timer.tick();
}

QList<NativePath> BatchLoader::batchFilesInOrder(const NativePath& folder)
{
    // Pipes and devices under a batch name are listed too: reading refuses
    // them, and they are set aside.
    const QStringList names = QDir(QFile::decodeName(folder), QLatin1String(files::BatchPattern),
                                   QDir::Name | QDir::IgnoreCase, QDir::Files | QDir::System)
                                  .entryList();
    // The saved playlist first, then what did not fit of an earlier one,
    // then everything added since, by name.
    QList<NativePath> saved, rest, others;
    for (const QString& name : names) {
        const NativePath path = folder + '/' + QFile::encodeName(name);
        if (name == QLatin1String(files::SavedPlaylistBatch))
            saved << path;
        else if (name.startsWith(QLatin1String(files::SavedPlaylistRest)))
            rest << path;
        else
            others << path;
    }
    return saved + rest + others;
}

void BatchLoader::queueReadOnly(const NativePath& path)
{
    m_readOnly << path;
}

bool BatchLoader::folderUnchanged()
{
    // Listing the folder every tick while a song plays would be wasted: it
    // cannot hold a new batch file unless its modification time moved. A
    // change in the same clock step as the last listing could hide behind
    // an equal time, so a time that close to the listing is not trusted.
    struct stat st {};
    const QByteArray folder = QFile::encodeName(AppFolder::path());
    if (::stat(folder.constData(), &st) != 0)
        return false;
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const bool unchanged = mtime == m_emptyLook.mtimeNs && m_emptyLook.listedAtNs - mtime > 2000000000;
    m_emptyLook = {mtime, nowNs()};
    return unchanged;
}

void BatchLoader::tick()
{
    if (isLoading() || m_playlist.isFull())
        return;
    const bool waiting = !m_readOnly.isEmpty() || !m_resume.isEmpty();
    if (!waiting && folderUnchanged())
        return;
    auto pickUp = std::make_unique<PickUp>();
    for (const NativePath& path : std::as_const(m_readOnly))
        pickUp->queue << Source{path, true};
    for (const NativePath& path : batchFilesInOrder(QFile::encodeName(AppFolder::path()))) {
        if (!m_setAside.contains(path))
            pickUp->queue << Source{path, false};
    }
    if (pickUp->queue.isEmpty())
        return;
    m_emptyLook = {};
    qCInfo(lcLengths).nospace() << "pick-up of " << pickUp->queue.size() << " file(s)";
    m_pickUp = std::move(pickUp);
    m_engine.beginLoading();
    step();
}

void BatchLoader::finishLoading()
{
    while (isLoading())
        step();
}

bool BatchLoader::openNextSource()
{
    PickUp& pickUp = *m_pickUp;
    while (!pickUp.queue.isEmpty()) {
        pickUp.source = pickUp.queue.takeFirst();
        pickUp.inode = inodeOf(pickUp.source.path);
        const auto known = m_resume.constFind(pickUp.source.path);
        const qint64 start = known != m_resume.constEnd() && known->inode == pickUp.inode ? known->offset : 0;
        if (pickUp.reader.open(pickUp.source.path, start)) {
            pickUp.reading = true;
            return true;
        }
        emit errorOccurred(PlayerError::BatchFileUnreadable, nativepath::displayText(pickUp.source.path));
        setAside(pickUp.source);
    }
    return false;
}

BatchLoader::Read BatchLoader::readRow(QByteArray& line)
{
    PickUp& pickUp = *m_pickUp;
    for (;;) {
        const qint64 lineStart = pickUp.reader.offsetOfNextLine();
        if (!pickUp.reader.next(line))
            return Read::SourceDone;
        if (line.isEmpty() || !isSongLine(line))
            continue;
        if (m_playlist.isFull()) {
            // Full, with songs left: this line is where the file goes on.
            m_resume.insert(pickUp.source.path, Resume{lineStart, pickUp.inode});
            return Read::CapReached;
        }
        return Read::Row;
    }
}

void BatchLoader::finishSource()
{
    PickUp& pickUp = *m_pickUp;
    pickUp.reading = false;
    const bool failed = pickUp.reader.failed();
    pickUp.reader.close();
    if (failed) {
        emit errorOccurred(PlayerError::BatchFileUnreadable, nativepath::displayText(pickUp.source.path));
        setAside(pickUp.source);
        return;
    }
    m_resume.remove(pickUp.source.path);
    if (pickUp.source.readOnly)
        m_readOnly.removeAll(pickUp.source.path);
    else
        QFile::remove(QFile::decodeName(pickUp.source.path));
}

void BatchLoader::setAside(const Source& source)
{
    m_resume.remove(source.path);
    if (source.readOnly) {
        m_readOnly.removeAll(source.path);
        return;
    }
    // Renamed, the file is no batch file any more; where it cannot be
    // renamed it is passed over for the rest of the run.
    if (!QFile::rename(QFile::decodeName(source.path), QFile::decodeName(source.path) + QStringLiteral(".bad")))
        m_setAside.insert(source.path);
}

void BatchLoader::addRows(QList<QByteArray> lines)
{
    if (lines.isEmpty())
        return;
    QList<PlaylistModel::NewEntry> entries;
    entries.reserve(lines.size());
    for (const QByteArray& line : std::as_const(lines))
        entries.push_back({line, songTitle(line)});
    const PlaylistModel::EntryId first = m_playlist.appendMany(entries);
    // The lengths reach their entries wherever the entries are by then,
    // also when the user removed rows above them in the meantime.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const PlaylistModel::EntryId entry = first + PlaylistModel::EntryId(i);
        if (music::kindOf(lines[i]) == music::Kind::CdTrack) {
            m_lengths.requestCdTrack(entry, lines[i], cdTrackNumber(entries[i].title));
        } else {
            m_lengths.request(entry, lines[i]);
        }
    }
}

void BatchLoader::step()
{
    if (!m_pickUp)
        return;
    // Room is made only by rows added here, so a step never adds more
    // than fit.
    QList<QByteArray> lines;
    QByteArray line;
    bool capReached = false;
    while (lines.size() < kRowsPerStep && !capReached) {
        if (!m_pickUp->reading && !openNextSource())
            break;
        if (m_playlist.count() + lines.size() >= PlaylistModel::kCap) {
            addRows(std::exchange(lines, {}));  // the cap counts what is in the list
        }
        switch (readRow(line)) {
        case Read::Row:
            lines << line;
            break;
        case Read::SourceDone:
            addRows(std::exchange(lines, {}));  // a file is deleted only once its rows are in
            finishSource();
            break;
        case Read::CapReached:
            capReached = true;
            break;
        }
    }
    addRows(std::move(lines));
    if (capReached) {
        endPickUp(false);
        return;
    }
    if (m_pickUp->reading || !m_pickUp->queue.isEmpty()) {
        m_stepTimer.start();  // the windows have their turn, then the next rows
        return;
    }
    endPickUp(true);
}

void BatchLoader::endPickUp(bool finished)
{
    m_stepTimer.stop();
    m_pickUp.reset();
    m_engine.endLoading();
    if (std::exchange(m_arrivedWhileLoading, false))
        m_arrivalTimer.start();
    if (!finished)
        return;
    m_lengthsToAnnounce = true;
    if (m_lengths.pending() == 0)
        announceLengths();
    emit batchesLoaded();
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
    for (int row = 0; row < m_playlist.count(); ++row)
        unknown += m_playlist.songLength(row).value_or(SongLength()).kind() == SongLength::Kind::Unknown;
    qCInfo(lcLengths).nospace() << "all lengths known: " << m_playlist.count() << " rows, " << unknown
                                << " did not answer";
}

}  // namespace qpt
