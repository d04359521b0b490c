#pragma once
// The seek bar and the volume bar: two dots dragged with the mouse (or the
// volume keys), positions in twips. The seek happens when the seek dot is
// released; the volume follows the volume dot as it moves.

#include <QtGlobal>

namespace qpt {

struct PlayerContext;

class SeekVolumeBars {
public:
    explicit SeekVolumeBars(PlayerContext& context);

    // Mouse on the seek dot; x is the pointer within the dot (twips).
    void picProgressBarDot_MouseDown(double x);
    void picProgressBarDot_MouseMove(double x);
    void picProgressBarDot_MouseUp();

    // Mouse on the volume dot; y is the pointer within the dot (twips).
    void picVolBarDot_MouseDown(double y);
    void picVolBarDot_MouseMove(double y);
    void picVolBarDot_MouseUp();

    // The volume keys: 33 twips up or 17 down, within the bar.
    void volumeStepUp();
    void volumeStepDown();

    // The seek fraction of a dot position, 0 at the left limit, 1 at the right.
    static float seekFraction(double dotLeft);
    static double seekMin();
    static double seekMax();
    static double volumeMin();
    static double volumeMax();

    qint16 SeekGrabX = 0;
    bool VolumeDragging = false;
    float VolumeGrabY = 0;

private:
    void moveVolumeDotTo(double top);
    void applyVolume();

    PlayerContext& c;
};

}  // namespace qpt
