#include "player/core/playback_engine.h"

#include "common/failures.h"
#include "common/native_path.h"
#include "player/core/media/media_component.h"
#include "player/core/player_context.h"
#include "player/core/time_format.h"
#include "player/playlist/song_line.h"

namespace qpt {

namespace {
const QString kStopped = QStringLiteral("STOPPED");
const QString kPause = QStringLiteral("PAUSE");
}  // namespace

PlaybackEngine::PlaybackEngine(PlayerContext& context) : c(context) {}

QString PlaybackEngine::productNotice()
{
    return QStringLiteral("Quorbel Player Tirk - your music, your way");
}

void PlaybackEngine::PlaySong()
{
    try {
        ListBox& order = c.playlist.lstPlayListSource;
        if (c.s.PlayerState == kPause) {
            if (!order.isEmpty()) {
                if (c.media.url().isEmpty())
                    return;  // nothing to resume: nothing changes
                c.media.play();
                c.display.showPlayingLook();
            }
        } else {
            if (order.isEmpty())
                return;
            c.display.imgPlay.setEnabled(false);
            c.display.imgpause.setEnabled(true);
            c.display.imgStop.setEnabled(true);
            c.s.CurrentIndex = 0;
            order.setListIndex(0);
            c.media.setUrl(order.List(0));
            c.display.showPlayingLook();
            c.playlist.lstPlayList.setBold(1, true);
            c.s.NowPlayingRow = 1;
        }
        c.display.lblBitRate.setText(c.media.status());
        c.s.PlayerState.clear();
        c.s.LinkActive.clear();
    } catch (const std::exception&) {
        // A failing media address or list leaves the player as it is.
    }
}

void PlaybackEngine::PauseSong()
{
    try {
        c.s.RunLookPending.clear();
        c.display.imgPlay.setEnabled(true);
        c.media.pause();
        c.s.PlayerState = kPause;
        c.display.imgpause.setPicture(QStringLiteral("imgPause3"));
        c.display.imgPlay.setPicture(QStringLiteral("imgPlay1"));
        c.display.lblBitRate.setText(c.media.status());
        c.display.imgpause.setEnabled(false);
        c.s.LinkActive.clear();
        c.timNowPlaying.setInterval(200);
    } catch (const std::exception&) {
    }
}

void PlaybackEngine::StopSong()
{
    ++m_stops;
    c.s.PlayerState = kStopped;
    c.s.NowPlayingTitle = productNotice();
    c.s.StatusPhase = 1;
    c.staBar.setText(timeDateNotice());
    c.s.RunLookPending.clear();
    c.s.LinkActive = QStringLiteral("OK");
    c.display.showStoppedLook();
    c.display.picProgressBarDot.setLeft(design::ProgressDotLeft);
    c.timNowPlaying.setInterval(200);
    tryStep([&] { c.playlist.lstPlayList.setBold(c.s.NowPlayingRow, false); });
    c.display.lblTime.setText(QStringLiteral("Quorbel Player Tirk"));
    yieldEvents();
    tryStep([&] { c.media.stop(); });
    tryStep([&] { c.display.lblBitRate.setText(c.media.status()); });
}

void PlaybackEngine::markStartedSong()
{
    if (c.s.NowPlayingRow == c.playlist.lstPlayList.count() + 1) {
        c.playlist.lstPlayList.setBold(1, true);
        c.s.NowPlayingRow = 1;
    } else {
        c.playlist.lstPlayList.setBold(c.s.NowPlayingRow == 0 ? 1 : c.s.NowPlayingRow, true);
    }
}

void PlaybackEngine::startCursorEntry()
{
    ListBox& order = c.playlist.lstPlayListSource;
    const quint64 stops = m_stops;
    // A song started by Next or Previous plays as after Play, also when the
    // player was stopped or paused: the playing display and the
    // supervision follow it.
    if (c.s.PlayerState == kStopped || c.s.PlayerState == kPause) {
        c.s.PlayerState.clear();
        c.s.LinkActive.clear();
        c.s.RunLookPending.clear();
    }
    c.display.imgPlay.setEnabled(false);
    c.display.imgpause.setEnabled(true);
    c.display.imgStop.setEnabled(true);
    c.display.showPlayingLook();
    c.s.StatusPhase = 1;
    c.staBar.setText(timeDateNotice());
    yieldEvents();
    if (m_stops != stops) {
        restoreStepButtons();  // a Stop came in: nothing starts
        return;
    }
    c.media.setUrl(order.List(order.ListIndex()));
    yieldEvents();  // the play-state notice normally arrives here
    if (m_stops != stops) {
        // Stopped while the song was starting: the Stop wins.
        tryStep([&] { c.media.stop(); });
        restoreStepButtons();
        return;
    }
    markStartedSong();
    restoreStepButtons();
}

void PlaybackEngine::restoreStepButtons()
{
    c.display.imgNext.setEnabled(true);
    c.display.imgPrev.setEnabled(true);
}

bool PlaybackEngine::beginStep()
{
    if (c.playlist.lstPlayList.count() == 0)
        return false;
    // The two buttons stay off for the whole step: a second press cannot
    // start inside the first.
    c.display.imgNext.setEnabled(false);
    c.display.imgPrev.setEnabled(false);
    if (c.s.NowPlayingRow == 0)
        c.s.NowPlayingRow = 1;
    return true;
}

void PlaybackEngine::NextSong()
{
    try {
        if (!beginStep())
            return;
        c.playlist.lstPlayList.setBold(c.s.NowPlayingRow, false);
        c.s.NowPlayingRow = qint16(c.s.CurrentIndex + 1);
        ListBox& order = c.playlist.lstPlayListSource;
        if (c.s.CurrentIndex == order.ListCount())
            c.s.CurrentIndex = 0;
        order.setListIndex(c.s.CurrentIndex);
        startCursorEntry();
    } catch (const std::exception&) {
        // Next and Previous stay disabled until the next successful start.
    }
}

void PlaybackEngine::PreviousSong()
{
    try {
        if (!beginStep())
            return;
        ListBox& order = c.playlist.lstPlayListSource;
        c.s.CurrentIndex = qint16(order.ListIndex());
        c.playlist.lstPlayList.setBold(c.s.NowPlayingRow, false);
        c.s.NowPlayingRow = c.s.CurrentIndex;
        if (c.s.CurrentIndex == order.ListCount())
            c.s.CurrentIndex = 0;
        if (c.s.CurrentIndex == 0) {
            // Previous on the first song restarts it; there is no wrap.
            order.setListIndex(0);
            c.s.CurrentIndex = 1;
        } else {
            order.setListIndex(c.s.CurrentIndex - 1);
        }
        startCursorEntry();
    } catch (const std::exception&) {
    }
}

void PlaybackEngine::PlayStateNotice(int newState)
{
    ListBox& order = c.playlist.lstPlayListSource;
    c.s.CurrentIndex = qint16(order.ListIndex() + 1);
    c.timPlayListFocus.setInterval(200);
    if (newState == playstate::Playing) {
        tryStep([&] {
            const QString name = nativepath::displayText(nativepath::fileName(order.List(order.ListIndex())));
            if (name.size() < 4)
                throw RuntimeFailure("title too short");
            c.s.NowPlayingTitle = name.left(name.size() - 4);
        });
        c.timNowPlaying.setInterval(100);
        tryStep([&] { c.display.lblBitRate.setText(c.media.status()); });
    }
    // The end of a song goes on to the next one, unless the user stopped
    // the player just as the song ended.
    if (newState == playstate::MediaEnded && c.s.PlayerState != kStopped)
        NextSong();
}

}  // namespace qpt
