#include "player/core/seek_volume.h"

#include "common/failures.h"
#include "common/twips.h"
#include "player/core/media/media_component.h"
#include "player/core/player_context.h"

#include <cmath>

namespace qpt {

namespace {
// The volume is measured from this fixed bottom line, not from the bar.
constexpr double kVolumeZeroTop = 2120;
}  // namespace

SeekVolumeBars::SeekVolumeBars(PlayerContext& context) : c(context) {}

double SeekVolumeBars::seekMin()
{
    return design::ProgressBarLeft + 3;
}

double SeekVolumeBars::seekMax()
{
    return design::ProgressBarLeft + design::ProgressBarWidth - 7 - design::DotSize;
}

double SeekVolumeBars::volumeMin()
{
    return design::VolBarTop + 3;
}

double SeekVolumeBars::volumeMax()
{
    return design::VolBarTop + design::VolBarHeight - 5 - design::DotSize;
}

float SeekVolumeBars::seekFraction(double dotLeft)
{
    return float(dotLeft - design::ProgressBarLeft - 3) / float(design::ProgressBarWidth - 10 - design::DotSize);
}

void SeekVolumeBars::picProgressBarDot_MouseDown(double x)
{
    c.s.SeekDragging = true;
    SeekGrabX = qint16(roundHalfEven(x));
}

void SeekVolumeBars::picProgressBarDot_MouseMove(double x)
{
    if (!c.s.SeekDragging)
        return;
    DotModel& dot = c.display.picProgressBarDot;
    double left = dot.left() + x - SeekGrabX;
    if (left < seekMin())
        left = seekMin();
    if (left > seekMax())
        left = seekMax();
    dot.setLeft(left);
}

void SeekVolumeBars::picProgressBarDot_MouseUp()
{
    c.s.SeekDragging = false;
    tryStep([&] {
        const float fraction = seekFraction(c.display.picProgressBarDot.left());
        const double position = std::floor(double(fraction) * c.media.duration());
        c.media.setCurrentPosition(position);
    });
}

void SeekVolumeBars::picVolBarDot_MouseDown(double y)
{
    VolumeGrabY = float(y);
    VolumeDragging = true;
}

void SeekVolumeBars::moveVolumeDotTo(double top)
{
    if (top < volumeMin())
        top = volumeMin();
    if (top > volumeMax())
        top = volumeMax();
    c.display.picVolBarDot.setTop(top);
}

void SeekVolumeBars::applyVolume()
{
    c.s.VolumeLevel = (kVolumeZeroTop - c.display.picVolBarDot.top()) / 5;
    tryStep([&] { c.media.setVolume(int(roundHalfEven(c.s.VolumeLevel))); });
}

void SeekVolumeBars::picVolBarDot_MouseMove(double y)
{
    if (VolumeDragging)
        moveVolumeDotTo(c.display.picVolBarDot.top() + y - VolumeGrabY);
    // Also without a press: resting the pointer on the dot re-applies it.
    applyVolume();
}

void SeekVolumeBars::picVolBarDot_MouseUp()
{
    VolumeDragging = false;
}

void SeekVolumeBars::volumeStepUp()
{
    moveVolumeDotTo(c.display.picVolBarDot.top() - 25 - 8);
    applyVolume();
}

void SeekVolumeBars::volumeStepDown()
{
    moveVolumeDotTo(c.display.picVolBarDot.top() + 25 - 8);
    applyVolume();
}

}  // namespace qpt
