#include "player/core/playback_engine.h"

#include "common/cd_address.h"
#include "common/cue_track_lines.h"
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
    // The song heard learns its length when its row does.
    connect(&m_playlist, &PlaylistModel::dataChanged, this, &PlaybackEngine::onLengthsArrived);
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
    const int heard = nowPlayingRow();
    return heard > 0 ? heard : m_playlist.currentRow();
}

int PlaybackEngine::nowPlayingRow() const
{
    return m_nowPlaying.entry ? m_playlist.rowOf(m_nowPlaying.entry).value_or(0) : 0;
}

int PlaybackEngine::rowAfterCurrent() const
{
    const int row = m_playlist.currentRow() + 1;
    return row > m_playlist.count() ? 1 : row;
}

MediaComponent::Request PlaybackEngine::nextAfter(int row) const
{
    // After Stop nothing is handed over: a song started then plays alone.
    if (m_state == PlayerState::Stopped || m_playlist.isEmpty())
        return {};
    const int next = row + 1 > m_playlist.count() ? 1 : row + 1;
    return {m_playlist.path(next).value_or(NativePath()), m_playlist.idOf(next).value_or(0)};
}

MediaComponent::Request PlaybackEngine::nextEntry() const
{
    // Only while a song plays on: before the first Play nothing is loaded.
    if (m_media.url().isEmpty() || (m_nowPlaying.isEmpty() && !m_songStarting))
        return {};
    const int current = m_playlist.currentRow();
    // The cursor's own row; after the playing row was removed, the entry
    // before its place, so that the one that followed it comes next.
    return nextAfter(current);
}

NowPlaying PlaybackEngine::describe(quint64 entry, const NativePath& address) const
{
    NowPlaying now;
    now.entry = entry;
    now.address = address;
    // A name too short to have an extension leaves the title as it was.
    now.title = nativepath::displayText(nativepath::fileName(address)).size() >= 4 ? songTitle(address) : m_title;
    const auto row = m_playlist.rowOf(entry);
    // A CD track has no name of its own: its title is the one its row got
    // from the disc ("Track 03" once the row is gone).
    const QString rowTitle = row ? m_playlist.title(*row).value_or(QString()) : QString();
    if (const auto disc = cd::parse(address); disc && !disc->isWholeDisc())
        now.title = rowTitle.isEmpty() ? QString::fromLatin1(cd::trackTitle(disc->track)) : rowTitle;
    // Nor has a track of an album kept as one file: its row has the title
    // the sheet gave it (the album's name and the place once it is gone).
    if (const auto track = cuelines::trackLineOf(address)) {
        now.title = !rowTitle.isEmpty() ? rowTitle
                                        : songTitle(track->album) + QStringLiteral(" %1").arg(track->track, 2, 10, QLatin1Char('0'));
    }
    if (row)
        now.length = m_playlist.songLength(*row).value_or(SongLength());
    return now;
}

void PlaybackEngine::setNowPlaying(const NowPlaying& now)
{
    if (now == m_nowPlaying)
        return;
    m_nowPlaying = now;
    m_playlist.setPlayingEntry(now.entry ? std::optional(now.entry) : std::nullopt);
    if (!now.isEmpty())
        setTitle(now.title);
    emit nowPlayingChanged(m_nowPlaying);
}

void PlaybackEngine::hear(quint64 entry)
{
    NowPlaying now = entry == m_requested.entry && !m_requested.isEmpty()
        ? m_requested
        : describe(entry, m_media.url());
    if (const auto row = m_playlist.rowOf(entry)) {
        now.length = m_playlist.songLength(*row).value_or(now.length);
        if (m_playlist.currentRow() != *row || !m_playlist.currentShown())
            m_playlist.setCurrentRow(*row, true);
    }
    setNowPlaying(now);
    // Resumed or started again: the title line says what is heard, whatever
    // was shown meanwhile.
    setTitle(m_nowPlaying.title);
}

void PlaybackEngine::onLengthsArrived()
{
    const int row = nowPlayingRow();
    if (row == 0)
        return;
    NowPlaying now = m_nowPlaying;
    now.length = m_playlist.songLength(row).value_or(now.length);
    setNowPlaying(now);
}

void PlaybackEngine::startRow(int row)
{
    const auto id = m_playlist.idOf(row);
    m_requested = id ? describe(*id, m_playlist.path(row).value_or(NativePath())) : NowPlaying{};
    const MediaComponent::Request next = nextAfter(row);
    // The cursor moves first and the media hears of the song and its next
    // in one go: the old media is never handed a next song meant for the
    // new one.
    m_opening = true;
    m_playlist.setCurrentRow(row, true);
    m_songStarting = true;
    m_media.open({m_requested.address, m_requested.entry}, next);
    m_opening = false;
    emit songStarted();
}

void PlaybackEngine::play()
{
    if (m_state == PlayerState::Paused) {
        // What is heard resumes, also when its row (or every row) has been
        // removed meanwhile.
        if (!m_media.url().isEmpty()) {
            m_media.play();
            showPlayingLook();
        } else if (!m_playlist.isEmpty()) {
            return;  // nothing to resume: nothing changes
        }
    } else {
        if (m_playlist.isEmpty())
            return;
        // Play always starts from the first entry unless it resumes a pause.
        setState(PlayerState::PlayingOrIdle);
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
    m_requested = {};
    setNowPlaying({});
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
    // Previous on the first song restarts it; there is no wrap. When the
    // playing row was removed, the cursor stands on the entry before its
    // place, which is the one Previous plays.
    const int current = m_playlist.currentRow();
    step(std::max(m_playlist.currentRemoved() ? current : current - 1, 1));
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
    setState(PlayerState::PlayingOrIdle);
    m_linkActive = false;
    startRow(row);
    // The chosen row's text at once; the song heard confirms it.
    setTitle(m_playlist.title(row).value_or(QString()));
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
        hear(m_media.token());
        emit announced(Announcement::Playing);
        showStatus();
    } else if (code == playstate::Stopped || code == playstate::MediaEnded) {
        m_songStarting = false;
        // Nothing is heard any more; the title line keeps its text.
        setNowPlaying({});
    }
    // The end of a song goes on to the next one, unless the user stopped
    // the player as the song ended.
    if (code == playstate::MediaEnded && m_state != PlayerState::Stopped)
        next();
}

void PlaybackEngine::onMediaAdvanced(quint64 entry)
{
    emit mediaStateNoticed();
    // The entry may have been removed since it was handed over: it plays
    // on without a row, named by its address, as a removed playing song does.
    m_songStarting = false;
    m_requested = {};
    hear(entry);
    emit songStarted();
    emit transportNotice();
    showPlayingLook();
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
