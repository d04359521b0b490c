#include "player/core/media/fake_media_component.h"

#include "common/failures.h"

namespace qpt {

void FakeMediaComponent::setUrl(const QByteArray& url)
{
    m_url = url;
    calls << QStringLiteral("url %1").arg(QString::fromUtf8(url));
    position = url.isEmpty() ? -1 : 0;
    statusText = url.isEmpty() ? QStringLiteral("Ready") : QStringLiteral("Playing");
    if (notifyOnSetUrl && !url.isEmpty()) {
        emit playStateChanged(playstate::Transitioning);
        emit playStateChanged(playstate::Playing);
    }
}

void FakeMediaComponent::play()
{
    calls << QStringLiteral("play");
    statusText = QStringLiteral("Playing");
}

void FakeMediaComponent::pause()
{
    calls << QStringLiteral("pause");
    statusText = QStringLiteral("Paused");
}

void FakeMediaComponent::stop()
{
    calls << QStringLiteral("stop");
    statusText = QStringLiteral("Stopped");
}

void FakeMediaComponent::setCurrentPosition(double seconds)
{
    if (m_url.isEmpty())
        throw RuntimeFailure("no media");
    calls << QStringLiteral("seek %1").arg(seconds);
    seeks << seconds;
    position = seconds;
}

void FakeMediaComponent::setVolume(int volume)
{
    if (volume < 0)
        throw RuntimeFailure("volume out of range");
    m_volume = volume;
    volumeWrites << volume;
}

}  // namespace qpt
