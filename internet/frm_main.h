#pragma once
// The Online System's main window: the embedded browser with the update
// host's pages, the status label, and the bug-report form underneath the
// browser. Loading it runs the version check and offers the updates.

#include "common/clock.h"
#include "download.h"
#include "program_image.h"
#include "skinned.h"
#include "version_file.h"

#include <QStringList>
#include <QTcpSocket>

#include <memory>
#include <optional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTimer;

namespace qpt {
class PollTimer;
}

namespace qpt::internet {

class FrmGettingInfo;
class OnlineSystem;
class WebBrowser;

// How much the update host may send and how long it may stay silent, and
// how long an open Option program is given to close before its file is
// replaced.
struct UpdateLimits {
    qint64 versionFileBytes = kMaxVersionFileBytes;
    qint64 imageBytes = ImageLimits{}.maxBytes;
    int idleMs = ImageLimits{}.idleMs;
    int optionCloseMs = 10000;
};

class FrmMain : public SkinnedWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel Player Tirk Online System ";
    static constexpr const char* kHostPath = "/mainpage/os/Tirk/";
    static constexpr int kBugReportInterval = 4000;

    explicit FrmMain(OnlineSystem& system);
    ~FrmMain() override;

    // Form load: the single-instance test, then the start-up.
    void load();
    bool isLoaded() const { return m_loaded; }
    // Form unload: the socket closes, "OSRunning" becomes "NO".
    void unload();

    // The full address of a file on the update host ("version.txt" ...).
    static QString hostUrl(const QString& file);

    // HTTP download and the responsive pause.
    QByteArray DownloadString(const QString& url) { return m_downloader.DownloadString(url); }
    void CancelDownload() { m_downloader.CancelDownload(); }
    void Pause(double seconds) { pauseFor(seconds); }
    Downloader& downloader() { return m_downloader; }
    void setLimits(const UpdateLimits& limits) { m_limits = limits; }

    // The box that tells once per run that the program's folder cannot be
    // written (and so nothing can be updated).
    static QString folderNotWritableText(const QString& folder);

    // "Quorbel Player Tirk v1.00" -> "v1.00"; empty -> "v".
    static QString normalisePlayerVersion(const QString& stored);

    // Re-lays out the browser, the form and the status label.
    void Resize();

    // Hiding to the tray and back.
    void hideToTray();
    void ti_Activated();

    // Bug report.
    void timBugReport_Timer();
    void lblSendReport_Click();
    void lblCancelreport_Click();
    void Winsock_Connect();
    void Winsock_Error();
    QString buildMessageBody() const;
    // Gives up on a silent relay after this long (milliseconds).
    void setMailReplyTimeout(int ms) { m_mailReplyTimeoutMs = ms; }

    // The controls.
    WebBrowser* Browser;
    CaptionLabel* lblStatus;
    QWidget* reportForm;
    QLineEdit* txtEmail;
    QComboBox* cmbOS;
    QComboBox* cmbMhz;
    QComboBox* cmbOften;
    QPlainTextEdit* txtDescription;
    LabelButton* lblSendReport;
    LabelButton* lblCancelreport;
    PollTimer* timBugReport;
    QTcpSocket* Winsock;
    QSystemTrayIcon* ti;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    enum class Pass { Again, Finished };
    struct Ended {};  // the program ended while a pass was running

    void runStartUp();
    Pass startPass();
    Pass playerUpdate();
    Pass optionUpdate();
    void onlineSystemUpdate();

    // Helpers of the start-up; a failure throws RuntimeFailure, which ends in
    // the "Error" question.
    void checkEnded() const;
    std::optional<VersionFile> downloadVersionFile(QByteArray& bytes);
    void keepVersionCopy(const QByteArray& bytes);
    QString installFolder() const;
    std::unique_ptr<ProgramImage> downloadImage(const QString& file);
    void waitForOptionToClose();
    void appendStatus(const QString& text);
    void setStatus(const QString& text);
    void showMain();
    QWidget* dialogParent();

    void buildReportForm();
    void resetReportForm();
    void reportSent();
    void reportFailed();
    void showBrowser(bool visible);

    OnlineSystem& m_system;
    FrmGettingInfo& m_gettingInfo;
    Downloader m_downloader;
    bool m_loaded = false;
    bool m_started = false;  // "OSRunning" has been set by this instance
    bool m_unloaded = false;
    bool m_placed = false;
    UpdateLimits m_limits;
    bool m_folderNoticeShown = false;
    QString m_savedStatus;
    bool m_inDialogue = false;
    bool m_sending = false;
    int m_mailReplyTimeoutMs = 30000;
    QTimer* m_connectTimer;
};

}  // namespace qpt::internet
