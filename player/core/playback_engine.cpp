#include "player/core/playback_engine.h"

#include "player/core/media/media_component.h"
#include "player/core/playlist_model.h"
#include "player/core/song_title.h"

#include <QLoggingCategory>

#include <algorithm>
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

int PlaybackEngine::songNumber() const
{
    return m_playlist.currentRow();
}

int PlaybackEngine::nowPlayingRow() const
{
    return m_playlist.currentShown() ? m_playlist.currentRow() : 0;
}

int PlaybackEngine::rowAfterCurrent() const
{
    const int row = m_playlist.currentRow() + 1;
    return row > m_playlist.count() ? 1 : row;
}

void PlaybackEngine::startRow(int row)
{
    m_playlist.setCurrentRow(row, true);
    m_songStarting = true;
    emit songStarted();
    m_media.setUrl(m_playlist.path(row).value_or(NativePath()));
}

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
        startRow(1);
        showPlayingLook();
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
    m_playlist.setCurrentShown(false);
    m_songStarting = false;
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

void PlaybackEngine::next()
{
    if (m_playlist.isEmpty())
        return;
    setStepButtons(false);
    step(rowAfterCurrent());
}

void PlaybackEngine::previous()
{
    if (m_playlist.isEmpty())
        return;
    setStepButtons(false);
    // Previous on the first song restarts it; there is no wrap.
    step(std::max(m_playlist.currentRow() - 1, 1));
}

void PlaybackEngine::step(int row)
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
    startRow(row);
    setStepButtons(true);
}

void PlaybackEngine::playRow(int row)
{
    emit transportNotice();
    m_runLookPending = true;
    if (row < 1 || row > m_playlist.count())
        return;  // no row chosen: the current song stays
    startRow(row);
    setTitle(m_playlist.title(row).value_or(QString()));
    setState(PlayerState::PlayingOrIdle);
    m_linkActive = false;
}

void PlaybackEngine::restartNumbering()
{
    m_playlist.setCurrentRow(0, false);
}

void PlaybackEngine::onMediaStateChanged(int code)
{
    emit mediaStateNoticed();
    if (code == playstate::Playing) {
        m_songStarting = false;
        // A name too short to have an extension leaves the title as it was.
        const NativePath path = m_playlist.path(m_playlist.currentRow()).value_or(NativePath());
        if (nativepath::displayText(nativepath::fileName(path)).size() >= 4)
            setTitle(songTitle(path));
        emit announced(Announcement::Playing);
        showStatus();
    } else if (code == playstate::Stopped) {
        m_songStarting = false;
    }
    // The end of a song goes on to the next one, unless the user stopped
    // the player as the song ended.
    if (code == playstate::MediaEnded && m_state != PlayerState::Stopped)
        next();
}

std::optional<std::pair<quint64, NativePath>> PlaybackEngine::nextEntry() const
{
    // Only while a song plays on: after Stop, or before the first Play,
    // nothing is handed over.
    if (m_state == PlayerState::Stopped || !m_playlist.currentShown())
        return std::nullopt;
    const int row = rowAfterCurrent();
    const auto id = m_playlist.idOf(row);
    const auto path = m_playlist.path(row);
    if (!id || !path)
        return std::nullopt;
    return std::pair(*id, *path);
}

void PlaybackEngine::onMediaAdvanced(quint64 entry)
{
    emit mediaStateNoticed();
    // The entry may have been removed since it was handed over: the song
    // plays on without a row, as a removed playing song does.
    const auto row = m_playlist.rowOf(entry);
    if (!row)
        return;
    m_playlist.setCurrentRow(*row, true);
    m_songStarting = false;
    emit songStarted();
    emit transportNotice();
    showPlayingLook();
    const NativePath path = m_playlist.path(*row).value_or(NativePath());
    if (nativepath::displayText(nativepath::fileName(path)).size() >= 4)
        setTitle(songTitle(path));
    emit announced(Announcement::Playing);
    showStatus();
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

void PlaybackEngine::skipSong()
{
    if (m_playlist.isEmpty())
        return;
    showPlayingLook();
    startRow(rowAfterCurrent());
}

void PlaybackEngine::restartSong()
{
    if (m_playlist.isEmpty())
        return;
    setStepButtons(false);
    step(std::max(m_playlist.currentRow(), 1));
}

}  // namespace qpt
