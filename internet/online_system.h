#pragma once
// The Online System as a whole: its three windows and the end of the
// program. The start-message window comes first; Connect loads the main
// window, whose loading runs the version check.

#include <QObject>

namespace qpt::internet {

class FrmStartMSG;
class FrmMain;
class FrmGettingInfo;

class OnlineSystem : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "v1.00";

    OnlineSystem();
    ~OnlineSystem() override;

    // Loads the start-message window (the first window of the program).
    void start();

    // Ends the program: every window goes, the main window records that
    // the Online System no longer runs, and ended() tells the application.
    void endProgram();
    bool hasEnded() const { return m_ended; }

    FrmStartMSG* frmStartMSG() const { return m_startMsg; }
    FrmMain* frmMain() const { return m_main; }
    FrmGettingInfo* frmGettingInfo() const { return m_gettingInfo; }

signals:
    void ended();

private:
    FrmGettingInfo* m_gettingInfo;
    FrmMain* m_main;
    FrmStartMSG* m_startMsg;
    bool m_ended = false;
};

}  // namespace qpt::internet
