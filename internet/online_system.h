#pragma once
// The Online System as a whole: its three windows and the end of the
// program. The start-message window comes first; Connect loads the main
// window, whose loading runs the version check.

#include "internet/update/installation.h"

#include <QObject>

namespace qpt::internet {

class OnlineWindow;
class ProgressWindow;
class StartMessageWindow;

class OnlineSystem : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kVersion = kOnlineSystemVersion;

    OnlineSystem();
    ~OnlineSystem() override;

    // Opens the start-message window (the first window of the program).
    void start();

    // Ends the program: every window goes, the main window records that
    // the Online System no longer runs, what an update was making is
    // removed, and ended() tells the application. Also the way out on
    // SIGTERM, SIGHUP and SIGINT.
    void endProgram();
    bool hasEnded() const { return m_ended; }

    // What endProgram() leaves as it was, done from any thread while the
    // window thread may be busy: every file the program made and has not
    // handed on goes, and "OSRunning" becomes "NO" when it was set.
    void removeLeftoversFromAnyThread();

    StartMessageWindow* startMessage() const { return m_startMessage; }
    OnlineWindow* mainWindow() const { return m_main; }
    ProgressWindow* progress() const { return m_progress; }

signals:
    void ended();

private:
    ProgressWindow* m_progress;
    OnlineWindow* m_main;
    StartMessageWindow* m_startMessage;
    bool m_ended = false;
};

}  // namespace qpt::internet
