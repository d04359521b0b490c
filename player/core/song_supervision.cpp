#include "player/core/song_supervision.h"

#include "player/core/length/song_length_service.h"
#include "player/core/media/media_component.h"
#include "player/core/playback_engine.h"
#include "player/core/playlist_model.h"

namespace qpt {

namespace {

// A song whose length shows as "0:00" (or that cannot be measured at all);
// false while its length is still being measured.
bool measuresZero(SongLengthService& lengths, const QByteArray& url)
{
    const auto length = lengths.lengthNow(url);
    return length && length->showsZero();
}

}  // namespace

SongSupervision::SongSupervision(PlaylistModel& playlist, PlaybackEngine& engine, MediaComponent& media,
                                 SongLengthService& lengths)
    : m_playlist(playlist), m_engine(engine), m_media(media), m_lengths(lengths)
{
}

void SongSupervision::check()
{
    if (m_playlist.isEmpty())
        return;
    if (m_engine.state() == PlayerState::Stopped || m_engine.state() == PlayerState::Loading)
        return;

    if (measuresZero(m_lengths, m_media.url())) {
        if (m_media.isCdTrack()) {
            stallWatchdog();  // CD tracks are never skipped
            return;
        }
        // Nothing loaded yet is no failure: the first song is simply started.
        if (!m_media.url().isEmpty() && giveUpAfterFailure())
            return;
        skipZeroLengthSong();
    }
    if (m_engine.state() == PlayerState::Paused)
        return;
    if (playingSongFailed()) {
        // A file that measures a length but cannot be decoded (a damaged
        // stream, a missing codec) would otherwise hold continuous play
        // for good: the watchdog only sees songs that sit at position 0.
        // Such failures arrive from the playback threads after the start,
        // so this skips once per tick and a list of them is walked slowly.
        if (!giveUpAfterFailure())
            m_engine.next();
        return;
    }
    stallWatchdog();
}

void SongSupervision::songPlayed()
{
    m_failedInARow = 0;
    m_firstError.clear();
}

bool SongSupervision::giveUpAfterFailure()
{
    if (m_failedInARow == 0)
        m_firstError = m_media.lastError();
    if (++m_failedInARow < m_playlist.count())
        return false;
    const QString reason = m_firstError;
    songPlayed();
    m_engine.stop();
    if (onNothingPlayed)
        onNothingPlayed(reason);
    return true;
}

bool SongSupervision::playingSongFailed() const
{
    return !m_media.url().isEmpty() && m_media.currentPosition() == -1;
}

void SongSupervision::skipZeroLengthSong()
{
    m_engine.startCurrentIndexInPlace();
    if (m_engine.currentIndex() == m_playlist.count() && measuresZero(m_lengths, m_media.url()))
        m_engine.next();  // the last entry: round to the first
    m_engine.markCursorAsPlaying();
}

void SongSupervision::stallWatchdog()
{
    if (m_media.currentPosition() != 0)
        return;
    const double position = m_media.currentPosition();
    if (position == m_lastZeroPosition) {
        if (m_stallCount == 2) {
            m_stallCount = 0;
            if (m_playlist.cursor() == m_engine.currentIndex()) {
                // The playing song's notice has arrived: start it again.
                m_engine.restartPlayingSong();
                return;
            }
            m_engine.next();
        } else {
            ++m_stallCount;
        }
    }
    m_lastZeroPosition = position;
}

}  // namespace qpt
