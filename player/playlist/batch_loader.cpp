#include "player/playlist/batch_loader.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/failures.h"
#include "common/line_files.h"
#include "player/core/length/song_length_service.h"
#include "player/core/player_context.h"
#include "player/playlist/song_line.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace qpt {

namespace {

quint64 inodeOf(const NativePath& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

}  // namespace

BatchLoader::BatchLoader(PlayerContext& context) : c(context) {}

QString BatchLoader::error15Text()
{
    return QStringLiteral("Error 15 Loading Song Section\r\nPlease report this to Vyx Hollowmere\r\n"
                          "You can use the Bug Report System in the Online System");
}

QList<NativePath> BatchLoader::batchFilesInOrder(const NativePath& folder)
{
    const QStringList names = QDir(QFile::decodeName(folder), QStringLiteral("*.sng"),
                                   QDir::Name | QDir::IgnoreCase, QDir::Files | QDir::System)
                                  .entryList();
    // The saved playlist first, then what did not fit of an earlier one,
    // then everything added since, by name.
    QList<NativePath> saved, rest, others;
    for (const QString& name : names) {
        const NativePath path = folder + '/' + QFile::encodeName(name);
        if (name == QLatin1String(kSavedPlaylistBatch))
            saved << path;
        else if (name.startsWith(QLatin1String(kSavedPlaylistRest)))
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

void BatchLoader::resetLoadingState()
{
    if (c.s.PlayerState != QLatin1String("PAUSE") && c.s.PlayerState != QLatin1String("STOPPED"))
        c.s.PlayerState.clear();
}

void BatchLoader::addMusicEntry(const QByteArray& line)
{
    c.playlist.lstPlayListSource.AddItem(line);
    PlaylistRows& rows = c.playlist.lstPlayList;
    const PlaylistRows::RowId added = rows.addRow(songline::title(line));
    const int row = rows.count();
    c.s.MeasuredPath = line;
    c.lengths.openSong(c.s.MeasuredPath);
    yieldEvents();
    const QString length = c.lengths.querySongLength();
    // The user may have removed rows while events ran (or sorted, which
    // empties the list): the length goes to the added row wherever it is.
    if (const int now = rows.rowOf(added, row))
        rows.setLength(now, length);
}

void BatchLoader::addCdTrackEntry(const QByteArray& line)
{
    c.playlist.lstPlayListSource.AddItem(line);
    c.lengths.PrepareCdDrive(line);
    const QString title = songline::title(line);
    const int track = songline::cdTrackNumber(title);
    PlaylistRows& rows = c.playlist.lstPlayList;
    rows.addRow(title);
    rows.setLength(rows.count(), c.lengths.CdTrackLength(track));
}

void BatchLoader::addEntry(const QByteArray& line)
{
    if (songline::classify(line) == SongKind::Music)
        addMusicEntry(line);
    else
        addCdTrackEntry(line);
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
        if (line.isEmpty() || songline::classify(line) == SongKind::Ignored)
            continue;
        if (c.playlist.lstPlayList.count() >= kCap) {
            // Full, with songs left: this line is where the file goes on.
            m_resume.insert(source.path, Resume{lineStart, inode});
            return Outcome::CapReached;
        }
        addEntry(line);
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

void BatchLoader::timPlaylstUpdate_Timer()
{
    if (c.playlist.lstPlayList.count() >= kCap)
        return;
    QList<Source> queue;
    for (const NativePath& path : std::as_const(m_readOnly))
        queue << Source{path, true};
    for (const NativePath& path : batchFilesInOrder(QFile::encodeName(AppFolder::path()))) {
        if (m_setAside.contains(path))
            continue;
        queue << Source{path, false};
    }
    if (queue.isEmpty())
        return;
    if (c.s.PlayerState != QLatin1String("PAUSE") && c.s.PlayerState != QLatin1String("STOPPED"))
        c.s.PlayerState = QStringLiteral("LOADING");

    for (const Source& source : std::as_const(queue)) {
        switch (loadFile(source)) {
        case Outcome::Finished:
            if (source.readOnly)
                m_readOnly.removeAll(source.path);
            else
                QFile::remove(QFile::decodeName(source.path));
            break;
        case Outcome::CapReached:
            resetLoadingState();
            return;
        case Outcome::Unreadable:
            Dialogs::message(QStringLiteral("Error 15"), error15Text(), MsgIcon::Critical, MsgButtons::Ok);
            setAside(source);
            break;
        }
    }
    resetLoadingState();
    if (c.s.ResumeAfterReload == QLatin1String("STOP"))
        c.timSavePlayList.setInterval(500);
}

}  // namespace qpt
