#include "player/core/volume_fade.h"

#include "player/core/media/media_component.h"

namespace qpt {

VolumeFade::VolumeFade(MediaComponent& media, QObject* parent) : QObject(parent), m_media(media)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &VolumeFade::tick);
}

void VolumeFade::start()
{
    m_done = 0;
    m_timer.start();
    tick();
}

void VolumeFade::tick()
{
    if (m_done == kSteps) {
        m_timer.stop();
        emit finished();
        return;
    }
    ++m_done;
    // Below 0 is refused: the volume stays where it was.
    const int lowered = m_media.volume() - kStep;
    if (lowered >= 0)
        m_media.setVolume(lowered);
}

}  // namespace qpt
