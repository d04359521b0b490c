#pragma once
// The seek bar and the volume bar: two knobs dragged with the mouse (or the
// volume keys), positions in twips. The seek happens when the seek knob is
// released; the volume follows the volume knob as it moves. What a drag
// asks for is said (seekAsked, volumeAsked) and carried out as a command,
// like a key or a media control asking the same.

#include <QObject>

namespace qpt {

class MainDisplay;
class MediaComponent;

class SeekAndVolumeBars : public QObject {
    Q_OBJECT
public:
    SeekAndVolumeBars(MainDisplay& display, MediaComponent& media, QObject* parent = nullptr);

    // The mouse on the seek knob; x is the pointer within the knob (twips).
    void onSeekKnobPressed(double x);
    void onSeekKnobMoved(double x);
    void onSeekKnobReleased();

    // The mouse on the volume knob; y is the pointer within the knob.
    void onVolumeKnobPressed(double y);
    void onVolumeKnobMoved(double y);
    void onVolumeKnobReleased();

    // The volume keys: 33 twips up or 17 down, within the bar.
    void volumeStepUp();
    void volumeStepDown();

    // The last volume computed from the knob (it may exceed 100 a little).
    double volumeLevel() const { return m_volumeLevel; }
    // Puts the knob where a volume of 0..100 stands (unless it stands there
    // already: the knob's top is a little over 100) and applies it.
    void setVolume(double volume);
    // The volume the knob's place stands for: 0 at the bottom, a little
    // over 100 at the very top.
    double knobVolume() const;

    // Jumps to a second of the song, as releasing the seek knob there does
    // (the desktop's remote controls seek this way). False without media.
    bool seekTo(double seconds);

    // The seek fraction of a knob position, 0 at the left limit, 1 at the right.
    static float seekFraction(double knobLeft);
    static double seekMin();
    static double seekMax();
    static double volumeMin();
    static double volumeMax();

signals:
    // The seek knob was let go here; the volume knob moved to this volume.
    void seekAsked(double seconds);
    void volumeAsked(double volume);
    // The song jumped to this second: the seek knob was let go, or a
    // remote control asked.
    void seeked(double seconds);

private:
    void moveVolumeKnobTo(double top);
    void applyVolume();

    MainDisplay& m_display;
    MediaComponent& m_media;
    qint16 m_seekGrabX = 0;
    bool m_volumeDragging = false;
    float m_volumeGrabY = 0;
    double m_volumeLevel = 0;
};

}  // namespace qpt
