#include "online_window.h"

#include "bug_report_form.h"
#include "progress_window.h"

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"

#include "common/app_folder.h"
#include "common/settings_store.h"
#include "common/single_instance.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QSystemTrayIcon>

namespace qpt::internet {

OnlineWindow::OnlineWindow(OnlineSystem& system)
    : m_system(system), m_check(*this, *system.progress(), [&system] { system.endProgram(); })
{
    connect(system.progress(), &ProgressWindow::cancelRequested, &m_check, &UpdateCheck::cancelTransfer);
    setMainWindow(true);
    useControlStyle();
    resetCaption();
    setMinimumSize(560, 440);
    resize(700, 560);

    statusLabel = new CaptionLabel(QStringLiteral("Getting Information... Please Wait..."), this);
    QFont statusFont(QStringLiteral("Tahoma"));
    statusFont.setPointSize(7);
    statusLabel->setFont(statusFont);
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLabel->setStyleSheet(QStringLiteral("QLabel { color: #1d2025; background: transparent; }"));
    connect(statusLabel, &CaptionLabel::doubleClicked, this, &OnlineWindow::hideToTray);
    // The keyboard's way to the tray: the player's Alt+M.
    auto* toTray = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_M), this);
    connect(toTray, &QShortcut::activated, this, &OnlineWindow::hideToTray);

    browser = new WebBrowser(this);
    reportForm = new BugReportForm(*browser, *statusLabel, this);
    browser->raise();  // the form lies underneath the browser
    browser->setAccessibleName(QStringLiteral("Online System page"));
    // Escape leaves the form as its cancel button does; while the browser
    // covers the form the button does not show and Escape does nothing.
    setEscapeButton(reportForm->cancelButton);

    trayIcon = new QSystemTrayIcon(Skin::appIcon(), this);
    trayIcon->setToolTip(QStringLiteral("Quorbel Player Tirk Online System"));
    connect(trayIcon, &QSystemTrayIcon::activated, this, &OnlineWindow::onTrayActivated);

    layOut();
}

OnlineWindow::~OnlineWindow() = default;

void OnlineWindow::load()
{
    if (m_loaded) {
        showWindow();
        return;
    }
    m_loaded = true;
    if (SingleInstance::anotherIsRunning(QLatin1String(programs::Internet))) {
        m_system.endProgram();
        return;
    }
    reportForm->startWatching();
    m_check.run();
}

void OnlineWindow::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_check.stop();
    reportForm->stop();
    trayIcon->hide();
    hide();
    if (m_check.hasMarkedRunning())
        SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("NO"));
}

// ---------------------------------------------------------------- display

void OnlineWindow::showPage(const QString& urlOrPath)
{
    browser->navigate(urlOrPath);
}

void OnlineWindow::setStatus(const QString& text)
{
    statusLabel->setCaption(text);
}

void OnlineWindow::appendStatus(const QString& text)
{
    statusLabel->setCaption(statusLabel->caption() + text);
}

void OnlineWindow::resetCaption()
{
    setWindowTitle(QLatin1String(kCaption) + QLatin1String(OnlineSystem::kVersion));
}

void OnlineWindow::appendToCaption(const QString& text)
{
    setWindowTitle(windowTitle() + text);
}

void OnlineWindow::showWindow()
{
    if (!isVisible() && !m_placed) {
        centreOver(nullptr);
        m_placed = true;
    }
    trayIcon->hide();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void OnlineWindow::putOnTop()
{
    makeTopMost(this, true);
    layOut();
}

QWidget* OnlineWindow::dialogParent()
{
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- window

void OnlineWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_system.endProgram();
}

void OnlineWindow::paintEvent(QPaintEvent*)
{
    // The whole window, and a panel of its own for the status strip.
    QPainter painter(this);
    Skin::paintDialogBackground(painter, rect());
    const int top = browser->geometry().bottom() + 1;
    Skin::paintDialogBackground(painter, QRect(0, top, width(), height() - top));
}

void OnlineWindow::resizeEvent(QResizeEvent* event)
{
    SkinnedWindow::resizeEvent(event);
    layOut();
}

void OnlineWindow::layOut()
{
    // In twips: the browser at 5, 10, the inner width less 10 and the inner
    // height less 660; the strip below holds the status line.
    const double innerWidth = pxToTwips(width());
    const double innerHeight = pxToTwips(height());
    const QRect area = twipsRect(5, 10, innerWidth - 10, qMax(0.0, innerHeight - 660));
    browser->setGeometry(area);
    reportForm->setGeometry(area);
    const int top = area.bottom() + 1;
    statusLabel->setGeometry(18, top + 1, qMax(0, width() - 36), qMax(0, height() - top - 2));
}

void OnlineWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        hideToTray();
}

void OnlineWindow::hideToTray()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
        trayIcon->show();
    } else {
        // Without a tray there would be no way back: minimize instead.
        showMinimized();
    }
}

void OnlineWindow::onTrayActivated()
{
    showWindow();
    setFocus();
    trayIcon->hide();
}

}  // namespace qpt::internet
