#include "player/playlist/batch_loader.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/music_files.h"
#include "player/core/length/song_length_service.h"
#include "player/core/playback_engine.h"
#include "player/core/playlist_model.h"
#include "player/core/song_title.h"

#include <QDir>
#include <QFile>

#include <QLoggingCategory>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcLengths, "qpt.lengths", QtWarningMsg)

namespace qpt {

namespace {

quint64 inodeOf(const NativePath& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 ? quint64(st.st_ino) : 0;
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

BatchLoader::BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths,
                         QObject* parent)
    : QObject(parent), m_playlist(playlist), m_engine(engine), m_lengths(lengths)
{
    timer.setHandler([this] { tick(); });
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

void BatchLoader::addEntry(const QByteArray& line)
{
    const QString title = songTitle(line);
    const PlaylistModel::EntryId entry = m_playlist.append(line, title);
    if (music::kindOf(line) == music::Kind::CdTrack) {
        m_lengths.prepareCdDrive(line);
        m_playlist.setLength(entry, m_lengths.cdTrackLength(cdTrackNumber(title)));
        return;
    }
    // The length reaches its entry wherever the entry is by then, also when
    // the user removed rows above it in the meantime.
    m_playlist.setLength(entry, m_lengths.measure(line));
}

BatchLoader::Outcome BatchLoader::loadFile(const Source& source)
{
    const auto known = m_resume.constFind(source.path);
    const quint64 inode = inodeOf(source.path);
    const qint64 start = known != m_resume.constEnd() && known->inode == inode ? known->offset : 0;
    LineReader reader;
    if (!reader.open(source.path, start))
        return Outcome::Unreadable;
    QByteArray line;
    for (;;) {
        const qint64 lineStart = reader.offsetOfNextLine();
        if (!reader.next(line))
            break;
        if (line.isEmpty() || !isSongLine(line))
            continue;
        if (m_playlist.isFull()) {
            // Full, with songs left: this line is where the file goes on.
            m_resume.insert(source.path, Resume{lineStart, inode});
            return Outcome::CapReached;
        }
        addEntry(line);
        // The windows stay alive between two songs of a long batch.
        yieldEvents();
    }
    if (reader.failed())
        return Outcome::Unreadable;
    m_resume.remove(source.path);
    return Outcome::Finished;
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

void BatchLoader::tick()
{
    if (m_playlist.isFull())
        return;
    QList<Source> queue;
    for (const NativePath& path : std::as_const(m_readOnly))
        queue << Source{path, true};
    for (const NativePath& path : batchFilesInOrder(QFile::encodeName(AppFolder::path()))) {
        if (!m_setAside.contains(path))
            queue << Source{path, false};
    }
    if (queue.isEmpty())
        return;
    m_engine.beginLoading();
    for (const Source& source : std::as_const(queue)) {
        switch (loadFile(source)) {
        case Outcome::Finished:
            if (source.readOnly)
                m_readOnly.removeAll(source.path);
            else
                QFile::remove(QFile::decodeName(source.path));
            break;
        case Outcome::CapReached:
            m_engine.endLoading();
            return;
        case Outcome::Unreadable:
            emit errorOccurred(PlayerError::BatchFileUnreadable, nativepath::displayText(source.path));
            setAside(source);
            break;
        }
    }
    m_engine.endLoading();
    // For benchmarks and the curious (QT_LOGGING_RULES="qpt.lengths.info=true").
    qCInfo(lcLengths).nospace() << "all lengths known: " << m_playlist.count() << " rows";
    emit batchesLoaded();
}

}  // namespace qpt
