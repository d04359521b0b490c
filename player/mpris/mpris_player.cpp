#include "player/mpris/mpris_player.h"

#include "common/app_folder.h"
#include "common/cd_address.h"
#include "common/notices.h"
#include "common/music_files.h"
#include "player/core/media/media_component.h"
#include "player/mpris/playback_status.h"
#include "player/mpris/track_metadata.h"

#include <QUrl>

#include <cmath>

namespace qpt {

namespace {

constexpr double kUsPerSecond = 1e6;

struct ChangingProperty {
    const char* name;
    QVariant (*read)(const MprisPlayer&);
};

const ChangingProperty kChanging[] = {
    {"PlaybackStatus", [](const MprisPlayer& p) { return QVariant(p.playbackStatus()); }},
    {"Metadata", [](const MprisPlayer& p) { return QVariant(p.metadata()); }},
    {"Volume", [](const MprisPlayer& p) { return QVariant(p.volume()); }},
    {"CanGoNext", [](const MprisPlayer& p) { return QVariant(p.canGoNext()); }},
    {"CanGoPrevious", [](const MprisPlayer& p) { return QVariant(p.canGoPrevious()); }},
    {"CanPlay", [](const MprisPlayer& p) { return QVariant(p.canPlay()); }},
    {"CanPause", [](const MprisPlayer& p) { return QVariant(p.canPause()); }},
    {"CanSeek", [](const MprisPlayer& p) { return QVariant(p.canSeek()); }},
};

}  // namespace

MprisPlayer::MprisPlayer(const Sources& sources, QObject* parent)
    : QObject(parent), m_commands(sources.commands), m_core(sources.core), m_bars(sources.bars)
{
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(0);
    connect(&refreshTimer, &QTimer::timeout, this, &MprisPlayer::refresh);
    const auto later = [this] { refreshTimer.start(); };

    const PlayerCore& core = m_core;
    connect(&core.engine, &PlaybackEngine::stateChanged, this, later);
    connect(&core.engine, &PlaybackEngine::buttonsChanged, this, later);
    // What is heard, with its length: one change per song.
    connect(&core.engine, &PlaybackEngine::nowPlayingChanged, this, later);
    connect(&core.media, &MediaComponent::playStateChanged, this, later);
    connect(&core, &PlayerCore::positionChanged, this, later);
    // Rows come and go (whether there is anything to play).
    connect(&core.playlist, &PlaylistModel::rowsChanged, this, later);
    connect(&core.playlist, &PlaylistModel::modelReset, this, later);
    connect(&sources.volumeKnob, &KnobModel::changed, this, later);
    connect(&m_bars, &SeekAndVolumeBars::seeked, this,
            [this](double seconds) { emit seeked(qint64(std::llround(seconds * kUsPerSecond))); });

    m_told = changingProperties();
}

// ------------------------------------------------------------------ methods

void MprisPlayer::raise()
{
    m_commands.run(Command::RestoreFromTray);
}

void MprisPlayer::quit()
{
    // The player may end within the close: the answer goes out first.
    QTimer::singleShot(0, &m_commands, [commands = &m_commands] { commands->post(Command::Close); });
}

void MprisPlayer::play()
{
    m_commands.post(Command::Play);
}

void MprisPlayer::pause()
{
    m_commands.post(Command::Pause);
}

void MprisPlayer::playPause()
{
    m_commands.post(Command::PlayPause);
}

void MprisPlayer::stop()
{
    m_commands.post(Command::Stop);
}

void MprisPlayer::next()
{
    if (canGoNext())
        m_commands.post(Command::NextSong);
}

void MprisPlayer::previous()
{
    if (canGoPrevious())
        m_commands.post(Command::PreviousSong);
}

void MprisPlayer::seek(qint64 offsetUs)
{
    if (!canSeek())
        return;
    m_commands.run({Command::SeekBy, double(offsetUs) / kUsPerSecond});
}

void MprisPlayer::setPosition(const QDBusObjectPath& trackId, qint64 positionUs)
{
    const quint64 entry = m_core.engine.nowPlaying().entry;
    if (!canSeek() || entry == 0 || trackId.path() != mpris::trackIdOf(entry).path())
        return;
    const double seconds = double(positionUs) / kUsPerSecond;
    if (seconds < 0 || seconds > m_core.media.duration())
        return;
    m_commands.run({Command::SeekTo, seconds});
}

void MprisPlayer::openUri(const QString& uri, std::function<void(Opened)> done)
{
    const QUrl url(uri);
    // A track (or the whole disc) of an audio CD as it stands (QUrl would
    // read "cdda://3" as a host, 0.0.0.3), or a local file.
    NativePath path = uri.toUtf8();
    if (!cd::isCdAddress(path))
        path = url.isValid() && url.isLocalFile() ? nativepath::fromLocalFileUrl(url) : NativePath();
    if (path.isEmpty() || music::kindOf(path) == music::Kind::Other) {
        done(Opened::NotSupported);
        return;
    }
    if (nativepath::holdsLineBreak(path)) {
        notices::lineBreakNames({path});
        done(Opened::NotSupported);
        return;
    }
    m_commands.run(
        {Command::HandOverFile, HandOver{path, [done](bool written) { done(written ? Opened::Appended : Opened::Failed); }}});
}

// --------------------------------------------------------------- properties

QString MprisPlayer::playbackStatus() const
{
    // While songs that cannot be opened are passed one after the other,
    // nothing plays.
    const bool songPlays = !m_core.media.url().isEmpty() && !m_core.supervision.failing();
    return mpris::playbackStatus(m_core.engine.state(), songPlays);
}

QVariantMap MprisPlayer::metadata() const
{
    return mpris::trackMetadata(m_core.engine.nowPlaying());
}

double MprisPlayer::volume() const
{
    return qBound(0.0, m_bars.knobVolume() / 100, 1.0);
}

void MprisPlayer::setVolume(double volume)
{
    if (std::isfinite(volume))
        m_commands.run({Command::SetVolume, qBound(0.0, volume, 1.0) * 100});
}

qint64 MprisPlayer::positionUs() const
{
    return qint64(std::llround(std::max(0.0, m_core.media.currentPosition()) * kUsPerSecond));
}

bool MprisPlayer::canGoNext() const
{
    return !m_core.playlist.isEmpty() && m_core.engine.buttons().nextEnabled;
}

bool MprisPlayer::canGoPrevious() const
{
    return !m_core.playlist.isEmpty() && m_core.engine.buttons().previousEnabled;
}

bool MprisPlayer::canPlay() const
{
    return !m_core.playlist.isEmpty();
}

bool MprisPlayer::canPause() const
{
    return !m_core.playlist.isEmpty();
}

bool MprisPlayer::canSeek() const
{
    const MediaComponent& media = m_core.media;
    return m_core.engine.state() != PlayerState::Stopped && media.currentPosition() >= 0
        && media.duration() > 0;
}

QVariantMap MprisPlayer::changingProperties() const
{
    QVariantMap properties;
    for (const ChangingProperty& property : kChanging)
        properties.insert(QLatin1String(property.name), property.read(*this));
    return properties;
}

void MprisPlayer::refresh()
{
    refreshTimer.stop();
    const QVariantMap now = changingProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_told.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_told = now;
    if (!changed.isEmpty())
        emit propertiesChanged(changed);
}

}  // namespace qpt
