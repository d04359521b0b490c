#include "player/core/song_supervision.h"

#include "player/core/length/song_length_service.h"
#include "player/core/media/media_component.h"
#include "player/core/playback_engine.h"
#include "player/core/playlist_model.h"

namespace qpt {

// A song whose length shows as "0:00" (or that cannot be measured at all);
// false while its length is still being measured. The length of the song
// heard answers when it is known: its file is not looked at again.
bool SongSupervision::measuresZero()
{
    const QByteArray url = m_media.url();
    const NowPlaying& heard = m_engine.nowPlaying();
    if (!heard.isEmpty() && heard.address == url && !heard.length.isPending())
        return heard.length.showsZero();
    const auto length = m_lengths.lengthNow(url);
    return length && length->showsZero();
}

SongSupervision::SongSupervision(PlaylistModel& playlist, PlaybackEngine& engine, MediaComponent& media,
                                 SongLengthService& lengths, QObject* parent)
    : QObject(parent), m_playlist(playlist), m_engine(engine), m_media(media), m_lengths(lengths)
{
    m_advance.setSingleShot(true);
    m_advance.setInterval(kAdvanceMs);
    connect(&m_advance, &QTimer::timeout, this, &SongSupervision::advance);
}

void SongSupervision::check()
{
    if (m_playlist.isEmpty())
        return;
    if (m_engine.state() == PlayerState::Stopped || m_engine.state() == PlayerState::Loading)
        return;
    // A song on its way is the media component's: it either plays, or
    // fails (at once, or when its source gives no data in time).
    if (m_advance.isActive() || m_engine.songStarting())
        return;

    if (measuresZero()) {
        if (m_media.isCdTrack()) {
            stallWatchdog();  // CD tracks are never skipped
            return;
        }
        // Nothing loaded yet is no failure: the first song is simply started.
        if (!m_media.url().isEmpty() && giveUpAfterFailure())
            return;
        m_engine.skipSong();
        return;
    }
    if (m_engine.state() == PlayerState::Paused)
        return;
    stallWatchdog();
}

void SongSupervision::songPlayed()
{
    m_failedInARow = 0;
    m_first = {};
}

void SongSupervision::songFailed()
{
    // A Stop or a Pause the user gave meanwhile wins.
    if (m_engine.state() == PlayerState::Stopped || m_engine.state() == PlayerState::Paused)
        return;
    if (giveUpAfterFailure())
        return;
    m_advance.start();
}

void SongSupervision::advance()
{
    m_advance.stop();
    if (m_engine.state() == PlayerState::Stopped || m_engine.state() == PlayerState::Paused)
        return;
    m_engine.skipSong();
}

void SongSupervision::advanceNow()
{
    if (m_advance.isActive())
        advance();
}

bool SongSupervision::giveUpAfterFailure()
{
    if (m_failedInARow == 0)
        m_first = {0, m_media.url(), m_media.lastError()};
    if (++m_failedInARow < m_playlist.count())
        return false;
    NothingPlayed what = m_first;
    what.songs = m_failedInARow;
    songPlayed();
    m_advance.stop();
    m_engine.stop();
    if (onNothingPlayed)
        onNothingPlayed(what);
    return true;
}

void SongSupervision::stallWatchdog()
{
    if (m_media.currentPosition() != 0)
        return;
    const double position = m_media.currentPosition();
    if (position == m_lastZeroPosition) {
        if (m_stallCount == 2) {
            m_stallCount = 0;
            m_engine.restartSong();  // the same song from the start
            return;
        }
        ++m_stallCount;
    }
    m_lastZeroPosition = position;
}

}  // namespace qpt
