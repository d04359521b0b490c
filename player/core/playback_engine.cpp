#include "player/core/playback_engine.h"

#include "player/core/media/media_component.h"
#include "player/core/playlist_model.h"
#include "player/core/song_title.h"

#include <QLoggingCategory>

#include <optional>

Q_LOGGING_CATEGORY(lcPlayback, "qpt.playback")

namespace qpt {

PlaybackEngine::PlaybackEngine(PlaylistModel& playlist, MediaComponent& media, QObject* parent)
    : QObject(parent), m_playlist(playlist), m_media(media)
{
}

QString PlaybackEngine::productNotice()
{
    return QStringLiteral("Quorbel Player Tirk - your music, your way");
}

// ------------------------------------------------------------ state setters

void PlaybackEngine::setState(PlayerState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void PlaybackEngine::setCurrentIndex(int index)
{
    if (qint16(index) == m_currentIndex)
        return;
    m_currentIndex = qint16(index);
    emit currentChanged();
}

void PlaybackEngine::setNowPlayingRow(int row)
{
    if (qint16(row) == m_nowPlayingRow)
        return;
    m_nowPlayingRow = qint16(row);
    emit currentChanged();
}

void PlaybackEngine::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(title);
}

void PlaybackEngine::setButtons(const TransportButtons& buttons)
{
    if (buttons == m_buttons)
        return;
    m_buttons = buttons;
    emit buttonsChanged();
}

void PlaybackEngine::setStepButtons(bool enabled)
{
    TransportButtons buttons = m_buttons;
    buttons.nextEnabled = buttons.previousEnabled = enabled;
    setButtons(buttons);
}

// The three looks of Play, Pause and Stop: enabled, lit. The paused look
// leaves Stop as it was (a pause can be stopped).
struct TransportLook {
    struct Button {
        bool enabled;
        bool lit;
    };
    Button play, pause;
    std::optional<Button> stop;
};

namespace {
constexpr TransportLook kPlayingLook{{false, true}, {true, false}, TransportLook::Button{true, false}};
constexpr TransportLook kPausedLook{{true, false}, {false, true}, std::nullopt};
constexpr TransportLook kStoppedLook{{true, false}, {false, true}, TransportLook::Button{false, true}};
}  // namespace

void PlaybackEngine::showLook(const TransportLook& look)
{
    TransportButtons buttons = m_buttons;
    buttons.playEnabled = look.play.enabled;
    buttons.playLit = look.play.lit;
    buttons.pauseEnabled = look.pause.enabled;
    buttons.pauseLit = look.pause.lit;
    if (look.stop) {
        buttons.stopEnabled = look.stop->enabled;
        buttons.stopLit = look.stop->lit;
    }
    setButtons(buttons);
}

void PlaybackEngine::showPlayingLook()
{
    showLook(kPlayingLook);
}

void PlaybackEngine::showStatus()
{
    emit mediaStatusShown(m_media.status());
}

// ---------------------------------------------------------------- transport

void PlaybackEngine::play()
{
    if (m_state == PlayerState::Paused) {
        if (!m_playlist.isEmpty()) {
            if (m_media.url().isEmpty())
                return;  // nothing to resume: nothing changes
            m_media.play();
            showPlayingLook();
        }
    } else {
        if (m_playlist.isEmpty())
            return;
        // Play always starts from the first entry unless it resumes a pause.
        setCurrentIndex(0);
        m_playlist.setCursor(1);
        m_media.setUrl(m_playlist.path(1).value_or(NativePath()));
        showPlayingLook();
        m_playlist.setNowPlaying(1, true);
        setNowPlayingRow(1);
    }
    showStatus();
    setState(PlayerState::PlayingOrIdle);
    m_linkActive = false;
}

void PlaybackEngine::pause()
{
    m_runLookPending = false;
    m_media.pause();
    setState(PlayerState::Paused);
    showLook(kPausedLook);
    showStatus();
    m_linkActive = false;
    emit announced(Announcement::Paused);
}

void PlaybackEngine::stop()
{
    setState(PlayerState::Stopped);
    setTitle(productNotice());
    emit transportNotice();
    m_runLookPending = false;
    m_linkActive = true;
    showLook(kStoppedLook);
    emit announced(Announcement::Stopped);
    m_playlist.setNowPlaying(m_nowPlayingRow, false);
    m_media.stop();
    showStatus();
}

void PlaybackEngine::playOrPause()
{
    // The Play button is disabled while a song plays.
    if (!m_buttons.playEnabled)
        pause();
    else
        play();
}

bool PlaybackEngine::beginStep()
{
    if (m_playlist.isEmpty())
        return false;
    // Off for the whole step; a failing step leaves them off, as it always
    // did, until the next step that succeeds.
    setStepButtons(false);
    if (m_nowPlayingRow == 0)
        setNowPlayingRow(1);
    return true;
}

void PlaybackEngine::next()
{
    if (!beginStep())
        return;
    m_playlist.setNowPlaying(m_nowPlayingRow, false);
    setNowPlayingRow(m_currentIndex + 1);
    if (m_currentIndex == m_playlist.count())
        setCurrentIndex(0);  // after the last entry the first
    if (m_currentIndex < 0 || !m_playlist.setCursor(m_currentIndex + 1)) {
        qCWarning(lcPlayback) << "next: no entry" << m_currentIndex;
        return;
    }
    startCursorEntry();
}

void PlaybackEngine::previous()
{
    if (!beginStep())
        return;
    setCurrentIndex(m_playlist.cursor() - 1);
    m_playlist.setNowPlaying(m_nowPlayingRow, false);
    setNowPlayingRow(m_currentIndex);
    if (m_currentIndex == m_playlist.count())
        setCurrentIndex(0);
    bool placed;
    if (m_currentIndex <= 0) {
        // Previous on the first song restarts it; there is no wrap.
        placed = m_playlist.setCursor(1);
        setCurrentIndex(1);
    } else {
        placed = m_playlist.setCursor(m_currentIndex);
    }
    if (!placed) {
        qCWarning(lcPlayback) << "previous: no entry" << m_currentIndex;
        return;
    }
    startCursorEntry();
}

void PlaybackEngine::startCursorEntry()
{
    // A song started by Next or Previous plays as after Play, also when the
    // player was stopped or paused: the playing display and the supervision
    // follow it.
    if (m_state == PlayerState::Stopped || m_state == PlayerState::Paused) {
        setState(PlayerState::PlayingOrIdle);
        m_linkActive = false;
        m_runLookPending = false;
    }
    showPlayingLook();
    emit transportNotice();
    m_media.setUrl(m_playlist.path(m_playlist.cursor()).value_or(NativePath()));
    markStartedSong();
    setStepButtons(true);
}

void PlaybackEngine::markStartedSong()
{
    if (m_nowPlayingRow == m_playlist.count() + 1) {
        m_playlist.setNowPlaying(1, true);  // the start wrapped round
        setNowPlayingRow(1);
    } else {
        m_playlist.setNowPlaying(m_nowPlayingRow == 0 ? 1 : m_nowPlayingRow, true);
    }
}

void PlaybackEngine::playRow(int row)
{
    emit transportNotice();
    m_runLookPending = true;
    if (row < 1 || row > m_playlist.count())
        return;  // no row chosen: the cursor stays
    m_playlist.setCursor(row);
    setCurrentIndex(row - 1);
    if (m_nowPlayingRow == 0)
        setNowPlayingRow(1);
    m_playlist.setNowPlaying(m_nowPlayingRow, false);
    m_playlist.setNowPlaying(row, true);
    setNowPlayingRow(row);
    m_media.setUrl(m_playlist.path(row).value_or(NativePath()));
    // While a song plays currentIndex names the entry after it, as every
    // play-state notice leaves it; Next then goes on from there.
    setCurrentIndex(row);
    setTitle(m_playlist.title(row).value_or(QString()));
    setState(PlayerState::PlayingOrIdle);
    m_linkActive = false;
}

void PlaybackEngine::rowRemoved(int row)
{
    // Playback is not touched, also when the playing song's own row went.
    if (row > m_currentIndex)
        return;
    setCurrentIndex(m_currentIndex - 1);
    setNowPlayingRow(m_nowPlayingRow - 1);
    m_playlist.setCursor(qMax(0, int(m_currentIndex)));
}

void PlaybackEngine::restartNumbering()
{
    setCurrentIndex(0);
}

void PlaybackEngine::onMediaStateChanged(int code)
{
    setCurrentIndex(m_playlist.cursor());
    emit mediaStateNoticed();
    if (code == playstate::Playing) {
        // A name too short to have an extension leaves the title as it was.
        const NativePath path = m_playlist.path(m_playlist.cursor()).value_or(NativePath());
        if (nativepath::displayText(nativepath::fileName(path)).size() >= 4)
            setTitle(songTitle(path));
        emit announced(Announcement::Playing);
        showStatus();
    }
    // The end of a song goes on to the next one, unless the user stopped
    // the player as the song ended.
    if (code == playstate::MediaEnded && m_state != PlayerState::Stopped)
        next();
}

// ------------------------------------------------------------ the loader

void PlaybackEngine::beginLoading()
{
    if (m_state != PlayerState::Paused && m_state != PlayerState::Stopped)
        setState(PlayerState::Loading);
}

void PlaybackEngine::endLoading()
{
    if (m_state != PlayerState::Paused && m_state != PlayerState::Stopped)
        setState(PlayerState::PlayingOrIdle);
}

void PlaybackEngine::applyRunLook()
{
    if (!m_runLookPending)
        return;
    showPlayingLook();
    m_runLookPending = false;
}

// ------------------------------------------------------ the supervision

bool PlaybackEngine::startCurrentIndexInPlace()
{
    // Past the end the cursor stays on the entry that measured nothing.
    const bool moved = m_currentIndex >= 0 && m_playlist.setCursor(m_currentIndex + 1);
    m_playlist.setNowPlaying(m_nowPlayingRow == 0 ? 1 : m_nowPlayingRow, false);
    showPlayingLook();
    if (m_playlist.cursor() >= 1)
        m_media.setUrl(*m_playlist.path(m_playlist.cursor()));
    return moved;
}

void PlaybackEngine::markCursorAsPlaying()
{
    setNowPlayingRow(m_playlist.cursor());
    markStartedSong();
}

void PlaybackEngine::restartPlayingSong()
{
    setCurrentIndex(m_currentIndex - 1);
    next();
}

}  // namespace qpt
