#include "player/playlist/batch_loader.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/failures.h"
#include "player/core/length/song_length_service.h"
#include "player/core/player_context.h"
#include "player/playlist/song_line.h"
#include "player/playlist/text_lines.h"

#include <QDir>
#include <QFile>

namespace qpt {

BatchLoader::BatchLoader(PlayerContext& context) : c(context) {}

QString BatchLoader::error15Text()
{
    return QStringLiteral("Error 15 Loading Song Section\r\nPlease report this to Vyx Hollowmere\r\n"
                          "You can use the Bug Report System in the Online System");
}

void BatchLoader::resetLoadingState()
{
    if (c.s.PlayerState != QLatin1String("PAUSE") && c.s.PlayerState != QLatin1String("STOPPED"))
        c.s.PlayerState.clear();
}

void BatchLoader::addMusicEntry(const QString& line)
{
    c.playlist.lstPlayListSource.AddItem(line);
    // The title: folders removed one level at a time, then four characters.
    QString title = line;
    for (int slash = title.indexOf(QLatin1Char('/')); slash >= 0; slash = title.indexOf(QLatin1Char('/'))) {
        title.remove(0, slash + 1);
        yieldEvents();
    }
    title.chop(4);
    PlaylistRows& rows = c.playlist.lstPlayList;
    const PlaylistRows::RowId added = rows.addRow(title);
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

void BatchLoader::addCdTrackEntry(const QString& line)
{
    c.playlist.lstPlayListSource.AddItem(line);
    c.lengths.PrepareCdDrive(line);
    const QString title = songline::title(line);
    const int track = songline::cdTrackNumber(title);
    PlaylistRows& rows = c.playlist.lstPlayList;
    rows.addRow(title);
    rows.setLength(rows.count(), c.lengths.CdTrackLength(track));
}

bool BatchLoader::loadFile(const QString& path)
{
    LineReader reader(path);
    reader.open();
    QString line;
    while (reader.next(line)) {
        if (line.isEmpty())
            continue;
        const SongKind kind = songline::classify(line);
        if (kind == SongKind::Ignored)
            continue;
        if (kind == SongKind::Music)
            addMusicEntry(line);
        else
            addCdTrackEntry(line);
        yieldEvents();
        if (c.playlist.lstPlayList.count() >= kCap) {
            reader.close();  // released: a later tick reads it again
            return false;
        }
    }
    reader.close();
    return true;
}

void BatchLoader::timPlaylstUpdate_Timer()
{
    if (c.playlist.lstPlayList.count() >= kCap)
        return;
    ListBox& queue = c.playlist.lstSng2Load;
    queue.Clear();
    const QStringList found = QDir(AppFolder::path(), QStringLiteral("*.sng"), QDir::Name | QDir::IgnoreCase,
                                   QDir::Files).entryList();
    for (const QString& name : found) {
        queue.AddItem(name);
        yieldEvents();
    }
    if (queue.isEmpty())
        return;
    if (c.s.PlayerState != QLatin1String("PAUSE") && c.s.PlayerState != QLatin1String("STOPPED"))
        c.s.PlayerState = QStringLiteral("LOADING");

    // Until the first batch file of the tick is closed, a failure is
    // reported once and the file stays for the next tick.
    bool firstClosed = false;
    while (!queue.isEmpty()) {
        const QString path = AppFolder::file(queue.List(0));
        bool complete = false;
        if (!firstClosed) {
            try {
                complete = loadFile(path);
            } catch (const std::exception&) {
                resetLoadingState();
                Dialogs::message(QStringLiteral("Error 15"), error15Text(), MsgIcon::Critical, MsgButtons::Ok);
                return;
            }
            firstClosed = true;
        } else {
            bool opened = true;
            try {
                complete = loadFile(path);
            } catch (const std::exception&) {
                opened = false;  // passed over; it is tried again next tick
            }
            if (!opened) {
                tryStep([&] { queue.RemoveItem(0); });
                yieldEvents();
                continue;
            }
        }
        if (!complete) {
            // The cap: the rest of the file waits for room in the playlist.
            resetLoadingState();
            return;
        }
        QFile::remove(path);
        tryStep([&] { queue.RemoveItem(0); });
        yieldEvents();
    }
    resetLoadingState();
    if (c.s.ResumeAfterReload == QLatin1String("STOP"))
        c.timSavePlayList.setInterval(500);
}

}  // namespace qpt
