#pragma once
// When and how the player ends: the double-click on the time display,
// Alt+F4 and every orderly end from outside (the Online System's request,
// SIGTERM, SIGHUP, the session's logout, the desktop's remote control).
// What must be kept is kept first: the playlist when the option says so
// (a failed save is told, by a box, or on standard error when nobody may
// be there to answer one), the measured lengths, then the instance lock
// and the markers are let go before anything could wait on a share.

#include "player/shell/exit_sequence.h"

#include <QObject>

#include <functional>

namespace qpt {

class BatchLoader;
class PlayerCore;
class PlayerWindows;
class PlaylistFileJobs;
class TerminationRequests;

class ExitPolicy : public QObject {
    Q_OBJECT
public:
    ExitPolicy(PlayerCore& core, BatchLoader& loader, PlaylistFileJobs& files, PlayerWindows& windows,
               QObject* parent = nullptr);

    // How the process ends; tests replace it.
    std::function<void()> onTerminate;

    // Signals, the session manager and the end of the event loop from
    // outside end the player in order from now on.
    void listenForSessionEnd();

    void closeFromTimeDisplay();
    // Saves the playlist first when the option says so.
    void closeInOrder();
    // The window goes at once; the end comes when the playlist is on disk.
    void autosaveAndQuit();
    void quitNow();

signals:
    // The main window is about to go (the player is ending).
    void quitting();

private:
    void saveForExit();
    void saveFromAnyThread();
    static void tellNotSavedOnStandardError(const QString& file, const QString& cause);

    PlayerCore& m_core;
    BatchLoader& m_loader;
    PlaylistFileJobs& m_files;
    PlayerWindows& m_windows;
    ExitSequence m_sequence;
    TerminationRequests* m_termination = nullptr;
    bool m_unloading = false;
    // The end was asked for by a signal: nobody may be there to answer a
    // box, so a failed save is told on standard error.
    bool m_endBySignal = false;
};

}  // namespace qpt
