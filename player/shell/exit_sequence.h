#pragma once
// How the player ends, once what must be kept is saved: the window goes,
// an open Option dialog is told to save and close, the volume fades out
// when the option says so, the "Running.chk" marker goes, and the process
// ends. The fade is timed by the event loop; the end comes from its
// `finished`, so nothing waits.

#include <QObject>

#include <functional>

namespace qpt {

class PlayerCore;

class ExitSequence : public QObject {
    Q_OBJECT
public:
    ExitSequence(PlayerCore& core, std::function<void()> hideMainWindow, std::function<void()> terminate,
                 QObject* parent = nullptr);

    // Starts the end; the process ends when the fade is over (at once
    // without one). A second call does nothing.
    void run();
    bool isRunning() const { return m_running; }

private:
    void finish();

    PlayerCore& m_core;
    std::function<void()> m_hideMainWindow;
    std::function<void()> m_terminate;
    bool m_running = false;
};

}  // namespace qpt
