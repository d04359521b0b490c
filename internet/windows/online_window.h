#pragma once
// The Online System's main window: the embedded browser with the update
// host's pages, the status line below it, the bug-report form underneath
// the browser, and the tray icon it hides in. Loading it runs the version
// check (UpdateCheck), for which it is the display.

#include "internet/update/update_check.h"

#include "skin/caption_label.h"
#include "skin/skinned_window.h"

class QSystemTrayIcon;

namespace qpt::internet {

class BugReportForm;
class OnlineSystem;
class ProgressWindow;
class WebBrowser;

class OnlineWindow : public SkinnedWindow, public UpdateDisplay {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel Player Tirk Online System ";

    explicit OnlineWindow(OnlineSystem& system);
    ~OnlineWindow() override;

    // Form load: the single-instance test, then the version check.
    void load();
    bool isLoaded() const { return m_loaded; }
    // Form unload: the mail and the update stop (leaving nothing of theirs
    // behind), "OSRunning" becomes "NO".
    void unload();

    UpdateCheck& updateCheck() { return m_check; }

    // Lays out the browser, the form and the status line for the size.
    void layOut();

    // Hiding to the tray and back.
    void hideToTray();
    void onTrayActivated();

    WebBrowser* browser;
    CaptionLabel* statusLabel;
    BugReportForm* reportForm;
    QSystemTrayIcon* trayIcon;

    // UpdateDisplay
    void showPage(const QString& urlOrPath) override;
    void setStatus(const QString& text) override;
    void appendStatus(const QString& text) override;
    void resetCaption() override;
    void appendToCaption(const QString& text) override;
    void showWindow() override;
    void putOnTop() override;
    QWidget* dialogParent() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    OnlineSystem& m_system;
    UpdateCheck m_check;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_placed = false;
};

}  // namespace qpt::internet
