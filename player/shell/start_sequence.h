#pragma once
// What the player does when its main window is created (after the
// single-instance test in main()): the markers and keys the other programs
// read, the saved playlist queued, the file associations refreshed, and on
// the very first run the hand-over to the Option program with a welcome
// question.

#include <QString>

namespace qpt {

class BatchLoader;
class NowPlayingAnimation;

// Window operations the start needs.
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
    StartSequence(StartWindows& windows, BatchLoader& loader, NowPlayingAnimation& animation);

    // False when the process is to end now (the Option program took over
    // the first run).
    bool run();

    static QString welcomeText();
    static QString optionNotFoundText();

private:
    bool firstRunBranch();
    // Queues the saved playlist ahead of every waiting batch file.
    void queueSavedPlaylist();

    StartWindows& m_windows;
    BatchLoader& m_loader;
    NowPlayingAnimation& m_animation;
};

}  // namespace qpt
