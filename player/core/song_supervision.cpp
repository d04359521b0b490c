#include "player/core/song_supervision.h"

#include "common/dialogs.h"
#include "common/failures.h"
#include "player/core/length/song_length_service.h"
#include "player/core/media/media_component.h"
#include "player/core/playback_engine.h"
#include "player/core/player_context.h"

namespace qpt {

namespace {
const QString kZero = QStringLiteral("0:00");
}

SongSupervision::SongSupervision(PlayerContext& context, PlaybackEngine& playbackEngine)
    : c(context), engine(playbackEngine)
{
}

void SongSupervision::run()
{
    if (c.playlist.lstPlayListSource.isEmpty())
        return;
    yieldEvents();
    if (c.s.PlayerState == QLatin1String("STOPPED") || c.s.PlayerState == QLatin1String("LOADING"))
        return;

    QString length;
    tryStep([&] {
        c.s.MeasuredPath = c.media.url();
        length = c.lengths.MeasureSongLength(c.s.MeasuredPath);
    });
    if (length == kZero) {
        if (c.media.isCdTrack()) {
            stallWatchdog();  // CD tracks are never skipped
            return;
        }
        // Nothing loaded yet is no failure: the first song is simply started.
        if (!c.media.url().isEmpty() && giveUpAfterFailure())
            return;
        skipZeroLengthSong();
    }
    if (c.s.PlayerState == QLatin1String("PAUSE"))
        return;
    if (playingSongFailed()) {
        // A file that measures a length but cannot be decoded (a damaged
        // stream, a missing codec) would otherwise hold continuous play
        // for good: the watchdog only sees songs that sit at position 0.
        // Such failures arrive from the playback threads after the start,
        // so this skips once per tick and a list of them is walked slowly.
        if (!giveUpAfterFailure())
            engine.NextSong();
        return;
    }
    stallWatchdog();
}

void SongSupervision::songPlayed()
{
    m_failedInARow = 0;
    m_firstError.clear();
}

QString SongSupervision::nothingPlayedText(const QString& firstError)
{
    QString text = QStringLiteral("None of the songs in the PlayList could be played.");
    if (!firstError.isEmpty())
        text += QStringLiteral("\r\nThe first one failed with: ") + firstError;
    return text;
}

bool SongSupervision::giveUpAfterFailure()
{
    if (m_failedInARow == 0)
        m_firstError = c.media.lastError();
    if (++m_failedInARow < c.playlist.lstPlayListSource.ListCount())
        return false;
    const QString reason = m_firstError;
    songPlayed();
    engine.StopSong();
    Dialogs::message(QStringLiteral("No Song Could Be Played"), nothingPlayedText(reason), MsgIcon::Exclamation,
                     MsgButtons::Ok);
    return true;
}

bool SongSupervision::playingSongFailed() const
{
    return !c.media.url().isEmpty() && c.media.currentPosition() == -1;
}

void SongSupervision::skipZeroLengthSong()
{
    ListBox& order = c.playlist.lstPlayListSource;
    // At the end of the list this move fails and the cursor stays.
    tryStep([&] { order.setListIndex(c.s.CurrentIndex); });
    tryStep([&] { c.playlist.lstPlayList.setBold(c.s.NowPlayingRow == 0 ? 1 : c.s.NowPlayingRow, false); });
    c.display.showPlayingLook();
    tryStep([&] { c.media.setUrl(order.List(order.ListIndex())); });
    yieldEvents();
    if (c.s.CurrentIndex == order.ListCount()) {
        QString again;
        tryStep([&] {
            c.s.MeasuredPath = c.media.url();
            again = c.lengths.MeasureSongLength(c.s.MeasuredPath);
        });
        if (again == kZero)
            engine.NextSong();
    }
    tryStep([&] {
        c.s.NowPlayingRow = qint16(order.ListIndex() + 1);
        engine.markStartedSong();
    });
}

void SongSupervision::stallWatchdog()
{
    try {
        if (c.media.currentPosition() != 0)
            return;
        const double position = c.media.currentPosition();
        if (position == LastZeroPosition) {
            if (StallCount == 2) {
                StallCount = 0;
                if (c.playlist.lstPlayListSource.ListIndex() + 1 == c.s.CurrentIndex) {
                    // The playing song's notice has arrived: start it again.
                    c.s.CurrentIndex = qint16(c.s.CurrentIndex - 1);
                    engine.NextSong();
                    return;
                }
                engine.NextSong();
            } else {
                ++StallCount;
            }
        }
        LastZeroPosition = position;
    } catch (const std::exception&) {
    }
}

}  // namespace qpt
