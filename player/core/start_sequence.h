#pragma once
// What the player does when its main window is created (after the
// single-instance test in main()), and the first-run hand-over to the Option
// program.

#include <QString>

namespace qpt {

struct PlayerContext;
class BatchLoader;

// Window operations only the start needs.
class StartWindows {
public:
    virtual ~StartWindows() = default;
    virtual void createPlaylistWindowHidden() = 0;
    virtual void sizeMainWindow(double widthTwips, double heightTwips) = 0;
    virtual QString mainWindowCaption() const = 0;
    virtual void showMainWindow() = 0;
};

class StartSequence {
public:
    StartSequence(PlayerContext& context, StartWindows& windows, BatchLoader& loader);

    // Steps 2 to 11 and the first-run branch. Returns false when the process
    // is to end now (the Option program took over the first run).
    bool run();

    static QString welcomeText();
    static QString optionNotFoundText();

private:
    bool firstRunBranch();
    // Queues the saved playlist ahead of every waiting batch file.
    void queueSavedPlaylist();

    PlayerContext& c;
    StartWindows& windows;
    BatchLoader& loader;
};

}  // namespace qpt
