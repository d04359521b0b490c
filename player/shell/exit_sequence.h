#pragma once
// How the player ends: the window goes, an open Option dialog is told to
// save and close, the volume fades out when the option says so, the
// "Running.chk" marker goes, and the process ends.

#include <functional>

namespace qpt {

class PlayerCore;

class ExitSequence {
public:
    ExitSequence(PlayerCore& core, std::function<void()> hideMainWindow, std::function<void()> terminate);

    // Never returns in the program (terminate ends the process).
    void run();

    static bool fadeWanted();

private:
    PlayerCore& m_core;
    std::function<void()> m_hideMainWindow;
    std::function<void()> m_terminate;
};

}  // namespace qpt
