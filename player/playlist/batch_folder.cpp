#include "player/playlist/batch_folder.h"

#include "common/cd_address.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/marker_files.h"
#include "common/music_files.h"
#include "player/core/cd/disc_toc.h"
#include "player/core/song_title.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace qpt {

namespace {

bool isOwn(const NativePath& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && st.st_uid == ::geteuid();
}

qint64 nowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool isSongLine(const QByteArray& line)
{
    const music::Kind kind = music::kindOf(line);
    // A line naming a playlist file is added as an ordinary song.
    return kind == music::Kind::Song || kind == music::Kind::Playlist || kind == music::Kind::CdTrack
        || kind == music::Kind::CdAudio || kind == music::Kind::CueSheet;
}

// The saved list's lines were read into rows when they first came: a FLAC
// file among them is not looked into again.
bool isSavedList(const NativePath& path)
{
    const QString name = QFile::decodeName(nativepath::fileName(path));
    return name == QLatin1String(files::SavedPlaylistBatch) || name == QLatin1String(files::SavedPlaylist)
        || name.startsWith(QLatin1String(files::SavedPlaylistRest));
}

}  // namespace

BatchFolder::BatchFolder() : m_reader(std::make_unique<LineReader>()) {}

BatchFolder::~BatchFolder() = default;

void BatchFolder::queueSavedPlaylist(const QString& folder)
{
    const QString saved = folder + QLatin1Char('/') + QLatin1String(files::SavedPlaylist);
    if (!MarkerFiles::exists(saved))
        return;
    // A copy that a run before left unread (killed, or closed in its first
    // moments) is this same list or older than it (an exit saves the batch
    // files it finds with the playlist): replaced, never loaded beside it.
    const QString batch = folder + QLatin1Char('/') + QLatin1String(files::SavedPlaylistBatch);
    const NativePath nativeBatch = QFile::encodeName(batch);
    if (QFileInfo(batch).exists() && !isOwn(nativeBatch)) {
        // Another user's list waits under the name: it stays theirs, and
        // ours is read where it is.
        m_readOnly << QFile::encodeName(saved);
        return;
    }
    QFile::remove(batch);
    // Where the folder cannot be written, read where it is (and left there)
    // before any batch file.
    if (!MarkerFiles::copyOver(saved, batch))
        m_readOnly << QFile::encodeName(saved);
}

QList<NativePath> BatchFolder::batchFilesInOrder(const NativePath& folder)
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
        // Another user's songs are for another user's player, even in one
        // shared folder: left where they are, unread.
        if (!isOwn(path))
            continue;
        if (name == QLatin1String(files::SavedPlaylistBatch))
            saved << path;
        else if (name.startsWith(QLatin1String(files::SavedPlaylistRest)))
            rest << path;
        else
            others << path;
    }
    return saved + rest + others;
}

bool BatchFolder::folderUnchanged(const NativePath& folder)
{
    // Listing the folder every tick while a song plays would be wasted: it
    // cannot hold a new batch file unless its modification time moved. A
    // change in the same clock step as the last listing could hide behind
    // an equal time, so a time that close to the listing is not trusted.
    struct stat st {};
    if (::stat(folder.constData(), &st) != 0)
        return false;
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const bool unchanged = mtime == m_emptyLook.mtimeNs && m_emptyLook.listedAtNs - mtime > 2000000000;
    m_emptyLook = {mtime, nowNs()};
    return unchanged;
}

int BatchFolder::begin(const QString& folder, bool surely)
{
    // What an abandoned pick-up left open is read again from where its
    // file stands now.
    m_reader->close();
    m_reading = false;
    m_sourceDone = false;
    m_queue.clear();
    m_toldNoDisc.clear();
    m_held.clear();
    m_albums.forget();
    const NativePath nativeFolder = QFile::encodeName(folder);
    const bool waiting = !m_readOnly.isEmpty();
    if (!surely && !waiting && folderUnchanged(nativeFolder))
        return 0;
    for (const NativePath& path : std::as_const(m_readOnly))
        m_queue << Source{path, true};
    for (const NativePath& path : batchFilesInOrder(nativeFolder)) {
        if (!m_setAside.contains(path))
            m_queue << Source{path, false};
    }
    if (!m_queue.isEmpty())
        m_emptyLook = {};
    return int(m_queue.size());
}

bool BatchFolder::openNextSource(Chunk& chunk)
{
    while (!m_queue.isEmpty()) {
        m_source = m_queue.takeFirst();
        if (m_reader->open(m_source.path)) {
            m_reading = true;
            return true;
        }
        setAside(m_source, chunk);
    }
    return false;
}

void BatchFolder::finishSource()
{
    m_sourceDone = false;
    if (m_source.readOnly)
        m_readOnly.removeAll(m_source.path);
    else
        QFile::remove(QFile::decodeName(m_source.path));
}

void BatchFolder::setAside(const Source& source, Chunk& chunk)
{
    chunk.unreadable << nativepath::displayText(source.path);
    if (source.readOnly) {
        m_readOnly.removeAll(source.path);
        return;
    }
    // Renamed, the file is no batch file any more; where it cannot be
    // renamed it is passed over for the rest of the run.
    if (!QFile::rename(QFile::decodeName(source.path), QFile::decodeName(source.path) + QStringLiteral(".bad")))
        m_setAside.insert(source.path);
}

namespace {

qint64 countSongs(LineReader& reader, QList<NativePath>* lines = nullptr)
{
    qint64 songs = 0;
    QByteArray line;
    while (reader.next(line)) {
        if (line.isEmpty() || !isSongLine(line))
            continue;
        ++songs;
        if (lines)
            *lines << line;
    }
    return songs;
}

}  // namespace

// At the cap: the songs left in the file under way and in the files behind
// it are counted, and the files go (a later pick-up would otherwise add
// them out of order, or a later start twice).
qint64 BatchFolder::dropRest(Chunk& chunk)
{
    // The file under way, then each one behind it: counted, then gone.
    const auto countAndClose = [&] {
        const qint64 songs = countSongs(*m_reader);
        const bool failed = m_reader->failed();
        m_reader->close();
        m_reading = false;
        if (failed)
            setAside(m_source, chunk);
        else
            finishSource();
        return songs;
    };
    qint64 songs = countAndClose();
    while (openNextSource(chunk))
        songs += countAndClose();
    return songs;
}

BatchFolder::Pending BatchFolder::pending(const QString& folder)
{
    // A file whose last rows went out is in the playlist by now.
    if (m_sourceDone)
        finishSource();
    m_reader->close();
    m_reading = false;
    m_queue.clear();
    m_held.clear();
    Pending pending;
    for (const NativePath& path : batchFilesInOrder(QFile::encodeName(folder))) {
        if (m_setAside.contains(path))
            continue;
        LineReader reader;
        if (!reader.open(path))
            continue;
        QList<NativePath> lines;
        countSongs(reader, &lines);
        if (reader.failed())
            continue;  // left for the next start, which reports it
        pending.lines += lines;
        pending.files << path;
    }
    return pending;
}

BatchFolder::Chunk BatchFolder::next(int room)
{
    Chunk chunk;
    // Deleted only now that its rows are in the playlist: a file is never
    // gone while its songs are not yet in the list that an exit saves.
    if (m_sourceDone)
        finishSource();
    QByteArray line;
    for (;;) {
        if (!m_reading && !openNextSource(chunk)) {
            chunk.end = Chunk::End::Finished;
            return chunk;
        }
        for (;;) {
            PlaylistModel::NewEntry row;
            if (!m_held.isEmpty()) {
                row = m_held.takeFirst();
            } else {
                if (!m_reader->next(line))
                    break;
                if (line.isEmpty() || !isSongLine(line))
                    continue;
                m_held = music::kindOf(line) == music::Kind::CdAudio ? cdRowsOf(line, chunk)
                                                                      : m_albums.rowsOf(line, !isSavedList(m_source.path));
                if (m_held.isEmpty())
                    continue;
                row = m_held.takeFirst();
            }
            if (chunk.rows.size() >= room) {
                // Full: this song and every one behind it find no room.
                chunk.notAdded = 1 + m_held.size() + dropRest(chunk);
                m_held.clear();
                chunk.end = Chunk::End::CapReached;
                return chunk;
            }
            chunk.rows.push_back(std::move(row));
            if (chunk.rows.size() == kRowsPerChunk)
                return chunk;  // the window thread has its turn, then the next rows
        }
        m_reading = false;
        const bool failed = m_reader->failed();
        m_reader->close();
        if (!failed) {
            m_sourceDone = true;
            return chunk;
        }
        // The rows read before the failure stay in the playlist.
        setAside(m_source, chunk);
    }
}

QList<PlaylistModel::NewEntry> BatchFolder::cdRowsOf(const QByteArray& line, Chunk& chunk)
{
    const auto address = cd::parse(line);
    if (!address)
        return {};
    // The drive is asked here, on this worker: a disc spins up for seconds.
    // The rows of one disc share one read (so do their lengths).
    const QByteArray device = cd::deviceOf(*address);
    const cd::DiscToc toc = cd::readDiscTocRecent(device);
    if (!toc.hasAudio() && !m_toldNoDisc.contains(device)) {
        m_toldNoDisc.insert(device);
        chunk.noAudioCd << nativepath::displayText(device);
    }
    // A track keeps its row, playable once its disc is there; a whole disc
    // is the tracks it holds now.
    QList<int> tracks;
    if (!address->isWholeDisc()) {
        tracks << address->track;
    } else {
        for (const cd::DiscTrack& track : toc.audioTracks())
            tracks << track.number;
    }
    QList<PlaylistModel::NewEntry> rows;
    for (const int number : tracks) {
        const auto track = toc.track(number);
        const QString title =
            track && !track->title.isEmpty() ? track->title : QString::fromLatin1(cd::trackTitle(number));
        rows.push_back({cd::trackLine(address->device, number), title});
    }
    return rows;
}

}  // namespace qpt
