#include "tests/support/fake_media_component.h"


namespace qpt {

void FakeMediaComponent::open(const Request& song, const Request& nextSong)
{
    const QByteArray& url = song.url;
    m_url = url;
    m_token = url.isEmpty() ? 0 : song.token;
    next = nextSong.url;
    nextToken = nextSong.token;
    nextSets = 0;
    calls << QStringLiteral("url %1").arg(QString::fromUtf8(url));
    position = url.isEmpty() ? -1 : 0;
    errorText.clear();
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

bool FakeMediaComponent::setCurrentPosition(double seconds)
{
    if (m_url.isEmpty())
        return false;
    calls << QStringLiteral("seek %1").arg(seconds);
    seeks << seconds;
    position = seconds;
    return true;
}

bool FakeMediaComponent::setVolume(int volume)
{
    if (volume < 0)
        return false;
    m_volume = volume;
    volumeWrites << volume;
    return true;
}

}  // namespace qpt
