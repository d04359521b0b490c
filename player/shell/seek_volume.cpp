#include "player/shell/seek_volume.h"

#include "common/twips.h"
#include "player/core/media/media_component.h"
#include "player/shell/main_display.h"

#include <cmath>

namespace qpt {

namespace {
// The volume is measured from this fixed bottom line, not from the bar.
constexpr double kVolumeZeroTop = 2120;
}  // namespace

SeekAndVolumeBars::SeekAndVolumeBars(MainDisplay& display, MediaComponent& media, QObject* parent)
    : QObject(parent), m_display(display), m_media(media)
{
}

double SeekAndVolumeBars::seekMin()
{
    return design::ProgressBarLeft + 3;
}

double SeekAndVolumeBars::seekMax()
{
    return design::ProgressBarLeft + design::ProgressBarWidth - 7 - design::DotSize;
}

double SeekAndVolumeBars::volumeMin()
{
    return design::VolBarTop + 3;
}

double SeekAndVolumeBars::volumeMax()
{
    return design::VolBarTop + design::VolBarHeight - 5 - design::DotSize;
}

float SeekAndVolumeBars::seekFraction(double knobLeft)
{
    return float(knobLeft - design::ProgressBarLeft - 3) / float(design::ProgressBarWidth - 10 - design::DotSize);
}

void SeekAndVolumeBars::onSeekKnobPressed(double x)
{
    m_display.setSeekDragging(true);
    m_seekGrabX = qint16(roundHalfEven(x));
}

void SeekAndVolumeBars::onSeekKnobMoved(double x)
{
    if (!m_display.seekDragging())
        return;
    KnobModel& knob = m_display.seekKnob;
    // The grabbed point stays under the pointer, within the bar.
    knob.setLeft(qBound(seekMin(), knob.left() + x - m_seekGrabX, seekMax()));
}

void SeekAndVolumeBars::onSeekKnobReleased()
{
    m_display.setSeekDragging(false);
    // Also after a click without a move: it seeks to the second it stands for.
    const float fraction = seekFraction(m_display.seekKnob.left());
    emit seekAsked(std::floor(double(fraction) * m_media.duration()));
}

bool SeekAndVolumeBars::seekTo(double seconds)
{
    if (!m_media.setCurrentPosition(seconds))
        return false;
    emit seeked(seconds);
    return true;
}

void SeekAndVolumeBars::onVolumeKnobPressed(double y)
{
    m_volumeGrabY = float(y);
    m_volumeDragging = true;
}

void SeekAndVolumeBars::moveVolumeKnobTo(double top)
{
    // The lower bound first, then the upper.
    if (top < volumeMin())
        top = volumeMin();
    if (top > volumeMax())
        top = volumeMax();
    m_display.volumeKnob.setTop(top);
}

double SeekAndVolumeBars::knobVolume() const
{
    return (kVolumeZeroTop - m_display.volumeKnob.top()) / 5;
}

void SeekAndVolumeBars::applyVolume()
{
    m_volumeLevel = knobVolume();
    m_media.setVolume(int(roundHalfEven(m_volumeLevel)));
}

void SeekAndVolumeBars::onVolumeKnobMoved(double y)
{
    if (m_volumeDragging)
        moveVolumeKnobTo(m_display.volumeKnob.top() + y - m_volumeGrabY);
    // Also without a press: resting the pointer on the knob re-applies it.
    emit volumeAsked(knobVolume());
}

void SeekAndVolumeBars::onVolumeKnobReleased()
{
    m_volumeDragging = false;
}

void SeekAndVolumeBars::volumeStepUp()
{
    moveVolumeKnobTo(m_display.volumeKnob.top() - 25 - 8);
    applyVolume();
}

void SeekAndVolumeBars::volumeStepDown()
{
    moveVolumeKnobTo(m_display.volumeKnob.top() + 25 - 8);
    applyVolume();
}

void SeekAndVolumeBars::setVolume(double volume)
{
    if (volume != knobVolume())
        moveVolumeKnobTo(kVolumeZeroTop - qBound(0.0, volume, 100.0) * 5);
    applyVolume();
}

}  // namespace qpt
