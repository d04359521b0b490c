#include "player/playlist/playlist_editing.h"

#include "common/app_folder.h"
#include "common/failures.h"
#include "common/product.h"
#include "player/core/media/media_component.h"
#include "player/core/player_context.h"
#include "player/core/time_format.h"
#include "player/playlist/drop_processing.h"
#include "common/line_files.h"
#include "common/notices.h"

#include <QFile>

namespace qpt {

PlaylistEditing::PlaylistEditing(PlayerContext& context, DropProcessing& dropProcessing)
    : c(context), drops(dropProcessing)
{
}

void PlaylistEditing::PlaySelectedSong()
{
    try {
        PlaylistRows& rows = c.playlist.lstPlayList;
        ListBox& order = c.playlist.lstPlayListSource;
        c.s.StatusPhase = 1;
        c.staBar.setText(timeDateNotice());
        c.s.RunLookPending = QStringLiteral("RUN");
        const int selected = rows.selectedRow();
        if (selected < 1)
            throw RuntimeFailure("no row selected");  // before the cursor moves
        order.setListIndex(selected - 1);
        c.s.CurrentIndex = qint16(order.ListIndex());
        if (c.s.NowPlayingRow == 0)
            c.s.NowPlayingRow = 1;
        rows.setBold(c.s.NowPlayingRow, false);
        rows.setBold(selected, true);
        c.s.NowPlayingRow = qint16(c.s.CurrentIndex + 1);
        c.media.setUrl(order.List(order.ListIndex()));
        yieldEvents();
        // While a song plays CurrentIndex names the entry after it, as every
        // play-state notice leaves it; Next then goes on from there.
        c.s.CurrentIndex = qint16(order.ListIndex() + 1);
        c.s.NowPlayingTitle = rows.title(selected);
        c.s.PlayerState.clear();
        c.s.LinkActive.clear();
    } catch (const std::exception&) {
    }
}

void PlaylistEditing::RemoveSelectedSong()
{
    try {
        PlaylistRows& rows = c.playlist.lstPlayList;
        ListBox& order = c.playlist.lstPlayListSource;
        const int r = rows.selectedRow();
        rows.removeRow(r);
        order.RemoveItem(r - 1);
        if (r <= c.s.CurrentIndex) {
            c.s.CurrentIndex = qint16(c.s.CurrentIndex - 1);
            c.s.NowPlayingRow = qint16(c.s.NowPlayingRow - 1);
            order.setListIndex(c.s.CurrentIndex - 1);
        }
    } catch (const std::exception&) {
    }
}

void PlaylistEditing::sortSteps()
{
    if (c.playlist.lstPlayList.count() == 0 || c.s.ResumeAfterReload == QLatin1String("STOP"))
        return;
    ListBox& sorted = c.playlist.lstPlayListSorted;
    ListBox& order = c.playlist.lstPlayListSource;
    sorted.Clear();
    for (const QByteArray& path : order.items())
        sorted.AddItem(path);
    // The sorted list is on disk before the playlist is emptied: where it
    // cannot be written, the playlist stays as it was.
    const QString temporary = AppFolder::file(QStringLiteral("sorted.tmp"));
    const QString batch = AppFolder::file(QStringLiteral("sorted.sng"));
    QFile::remove(temporary);  // a leftover of a sort that was cut short
    const bool written = linefiles::append(QFile::encodeName(temporary), sorted.items());
    sorted.Clear();
    // Published under the batch name in one step, only when complete.
    QFile::remove(batch);
    if (!written || !QFile::rename(temporary, batch)) {
        QFile::remove(temporary);
        notices::folderNotWritableOnce();
        return;
    }
    c.s.ResumeAfterReload = QStringLiteral("STOP");
    order.Clear();
    c.playlist.lstPlayList.clear();
    c.display.lblNowPlaying.setText(QStringLiteral("SORTING PLAYLIST PLEASE WAIT..."));
    c.s.CurrentIndex = 0;
}

void PlaylistEditing::SortPlaylist()
{
    try {
        sortSteps();
    } catch (const std::exception&) {
    }
}

void PlaylistEditing::timPlayListFocus_Timer()
{
    c.timPlayListFocus.setInterval(0);
    tryStep([&] {
        const int row = c.s.CurrentIndex >= 9 ? c.s.CurrentIndex + 2 : 1;
        if (row <= c.playlist.lstPlayList.count())
            c.shell.ensureRowVisible(row);
    });
    if (c.s.DropPending == QLatin1String("DRAG")) {
        c.s.DropPending.clear();
        drops.ProcessDropQueue();
    } else if (c.s.PendingCommand == QLatin1String("SORTING")) {
        c.s.PendingCommand.clear();
        SortPlaylist();
    }
}

namespace {

// The status bar rotation: what each phase shows and which phase follows.
struct StatusPhaseRow {
    QString (*text)(PlayerContext&);
    qint16 next;
};

const StatusPhaseRow kStatusRotation[] = {
    {[](PlayerContext&) { return timeDateNotice(); }, 1},
    {[](PlayerContext& c) { return c.s.NowPlayingTitle; }, 2},
    {[](PlayerContext& c) { return QStringLiteral("Status: ") + c.media.status(); }, 3},
    {[](PlayerContext&) { return QStringLiteral("Quorbel Player Tirk (") + Product::website() + QLatin1Char(')'); }, 0},
};

}  // namespace

void PlaylistEditing::timStatusBar_Timer()
{
    const qint16 phase = c.s.StatusPhase;
    if (phase < 0 || phase > 3)
        return;
    const StatusPhaseRow& row = kStatusRotation[phase];
    tryStep([&] { c.staBar.setText(row.text(c)); });
    c.s.StatusPhase = row.next;
}

}  // namespace qpt
