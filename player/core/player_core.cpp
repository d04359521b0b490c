#include "player/core/player_core.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "player/core/media/media_component.h"

#include <algorithm>
#include <cmath>

namespace qpt {

PlayerCore::PlayerCore(MediaComponent& mediaComponent, QObject* parent)
    : QObject(parent),
      engine(playlist, mediaComponent),
      supervision(playlist, engine, mediaComponent, lengths),
      media(mediaComponent),
      fade(mediaComponent)
{
    statusTimer.setHandler([this] { statusTick(); });
    positionTimer.setHandler([this] { positionTick(); });
    connect(&lengths, &SongLengthService::measured, this, [this](const SongLengthService::Results& results) {
        playlist.setLengths(results);
        // One box for a batch, however many of its songs are too long: the
        // box waits for the user while further batches arrive.
        if (std::any_of(results.cbegin(), results.cend(), [](const auto& result) { return result.tooLong; }))
            emit errorOccurred(PlayerError::LengthNotRepresentable, QStringLiteral("Overflow"));
    });
    // A cleared list wants none of the lengths still under way.
    connect(&playlist, &QAbstractItemModel::modelReset, &lengths, &SongLengthService::cancelAll);
    supervision.onNothingPlayed = [this](const SongSupervision::NothingPlayed& what) { emit nothingPlayed(what); };
    connect(&media, &MediaComponent::advanced, this, [this](quint64 entry) {
        supervision.songPlayed();
        engine.onMediaAdvanced(entry);
        updateNext();
    });
    // The next song follows the list as it changes.
    connect(&engine, &PlaybackEngine::songStarted, this, &PlayerCore::updateNext);
    connect(&engine, &PlaybackEngine::stateChanged, this, &PlayerCore::updateNext);
    connect(&playlist, &PlaylistModel::rowsChanged, this, &PlayerCore::updateNext);
    connect(&playlist, &PlaylistModel::currentChanged, this, &PlayerCore::updateNext);
    connect(&media, &MediaComponent::playStateChanged, this, [this](int code) {
        if (code == playstate::Playing)
            supervision.songPlayed();
        engine.onMediaStateChanged(code);
        // A song that could not be opened: the next one, at once.
        if (code == playstate::Stopped && !media.lastError().isEmpty()) {
            if (media.gaveNoData())
                emit songDidNotAnswer(media.url());
            supervision.songFailed();
        }
    });
}

void PlayerCore::updateNext()
{
    // A song being started takes its next with it.
    if (engine.startingSong())
        return;
    const MediaComponent::Request next = engine.nextEntry();
    media.setNext(next.url, next.token);
}

void PlayerCore::startTimers()
{
    statusTimer.setInterval(kStatusTickMs);
    positionTimer.setInterval(kPositionTickMs);
}

void PlayerCore::statusTick()
{
    engine.applyRunLook();
    const QString closeRequest = AppFolder::file(QLatin1String(files::Shutdown));
    // Another user's request closes another user's player.
    if (MarkerFiles::existsOwn(closeRequest)) {
        MarkerFiles::remove(closeRequest);
        emit closeRequested();
        return;
    }
    supervision.check();
}

void PlayerCore::positionTick()
{
    const double position = std::floor(media.currentPosition());
    const double duration = std::floor(media.duration());
    if (!m_positionSeen || position != m_position || duration != m_duration) {
        m_positionSeen = true;
        m_position = position;
        m_duration = duration;
        emit positionChanged(position, duration);
    }
    // Kept alive while the player runs: the Online System waits for it to go.
    MarkerFiles::keepNoFollow(AppFolder::file(QLatin1String(files::Running)));
}

}  // namespace qpt
