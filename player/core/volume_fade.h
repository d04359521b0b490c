#pragma once
// The volume fading out as the player closes: 13 steps of 8, the first at
// once and each next one 90 ms later, then `finished` 90 ms after the last.
// A step that would go below 0 is refused by the media component and the
// volume stays where it was. Timed by the event loop: nothing waits.

#include <QObject>
#include <QTimer>

namespace qpt {

class MediaComponent;

class VolumeFade : public QObject {
    Q_OBJECT
public:
    static constexpr int kSteps = 13;
    static constexpr int kStep = 8;
    static constexpr int kIntervalMs = 90;

    explicit VolumeFade(MediaComponent& media, QObject* parent = nullptr);

    void start();
    bool isRunning() const { return m_timer.isActive(); }
    // The next step now, as the timer would take it (tests).
    void tick();

signals:
    void finished();

private:
    MediaComponent& m_media;
    QTimer m_timer;
    int m_done = 0;
};

}  // namespace qpt
