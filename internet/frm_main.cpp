#include "frm_main.h"

#include "frm_getting_info.h"
#include "online_files.h"
#include "online_system.h"
#include "web_browser.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/event_loop.h"
#include "common/failures.h"
#include "common/marker_files.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/single_instance.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "common/product.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

namespace qpt::internet {

namespace {

const char* const kVersionCopy = "inet-version.tmp";

QString appFile(const char* name)
{
    return AppFolder::file(QLatin1String(name));
}

}  // namespace

FrmMain::FrmMain(OnlineSystem& system)
    : m_system(system), m_gettingInfo(*system.frmGettingInfo())
{
    setWindowTitle(QLatin1String(kCaption) + QLatin1String(OnlineSystem::kVersion));
    setMinimumSize(560, 440);
    resize(700, 560);

    Browser = new WebBrowser(this);
    buildReportForm();
    Browser->raise();  // the form lies underneath the browser

    lblStatus = new CaptionLabel(QStringLiteral("Getting Information... Please Wait..."), this);
    QFont statusFont(QStringLiteral("Tahoma"));
    statusFont.setPointSize(7);
    lblStatus->setFont(statusFont);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblStatus->setStyleSheet(QStringLiteral("QLabel { color: #1d2025; background: transparent; }"));
    connect(lblStatus, &CaptionLabel::doubleClicked, this, &FrmMain::hideToTray);

    timBugReport = new PollTimer(this);
    timBugReport->setHandler([this] { timBugReport_Timer(); });

    Winsock = new QTcpSocket(this);
    connect(Winsock, &QTcpSocket::connected, this, &FrmMain::Winsock_Connect);
    connect(Winsock, &QTcpSocket::errorOccurred, this, &FrmMain::Winsock_Error);
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, [this] {
        if (m_sending && !m_inDialogue && Winsock->state() != QAbstractSocket::ConnectedState)
            Winsock_Error();
    });

    ti = new QSystemTrayIcon(appIcon(), this);
    ti->setToolTip(QStringLiteral("Quorbel Player Tirk Online System"));
    connect(ti, &QSystemTrayIcon::activated, this, &FrmMain::ti_Activated);

    Resize();
}

FrmMain::~FrmMain() = default;

QString FrmMain::hostUrl(const QString& file)
{
    return Product::updateUrl() + QLatin1String(kHostPath) + file;
}

QString FrmMain::normalisePlayerVersion(const QString& stored)
{
    QString text = stored;
    while (text.contains(QLatin1Char('v'))) {
        text.remove(0, 1);
        yieldEvents();
    }
    return QLatin1Char('v') + text;
}

// ---------------------------------------------------------------- loading

void FrmMain::load()
{
    if (m_loaded) {
        showMain();
        return;
    }
    m_loaded = true;
    if (SingleInstance::anotherIsRunning(QLatin1String(programs::Internet))) {
        m_system.endProgram();
        return;
    }
    timBugReport->setInterval(kBugReportInterval);
    runStartUp();
}

void FrmMain::runStartUp()
{
    for (;;) {
        if (m_system.hasEnded())
            return;
        try {
            if (startPass() == Pass::Finished)
                return;
        } catch (const Ended&) {
            return;
        } catch (const std::exception&) {
            if (m_system.hasEnded())
                return;
            m_gettingInfo.closeWindow();
            const MsgAnswer answer = Dialogs::message(
                QStringLiteral("Error"),
                QStringLiteral("An error occur\r\nPress Retry, or Cancel to Exit OS"),
                MsgIcon::Critical, MsgButtons::RetryCancel, dialogParent());
            if (answer != MsgAnswer::Retry) {
                m_system.endProgram();
                return;
            }
        }
    }
}

FrmMain::Pass FrmMain::startPass()
{
    // START
    Browser->navigate(AppFolder::file(QStringLiteral("loading.ifo")));
    SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("YES"));
    m_started = true;
    m_gettingInfo.showWindow();
    yieldEvents();
    checkEnded();
    setWindowTitle(QLatin1String(kCaption) + QLatin1String(OnlineSystem::kVersion));

    const QByteArray versionFile = DownloadString(hostUrl(QStringLiteral("version.txt")));
    checkEnded();
    if (versionFile.isEmpty()) {
        m_gettingInfo.closeWindow();
        const MsgAnswer answer = Dialogs::message(
            QStringLiteral("No Internet Connection"),
            QStringLiteral("You Have No Connection To The Internet\r\nPress Retry, or Cancel to Exit OS"),
            MsgIcon::Information, MsgButtons::RetryCancel, dialogParent());
        if (answer == MsgAnswer::Retry)
            return Pass::Again;
        m_system.endProgram();
        throw Ended{};
    }

    // The copy of the version file is what the check reads, line by line.
    {
        QFile copy(appFile(kVersionCopy));
        const QByteArray bytes = versionFile + "\r\n";
        if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size())
            throw RuntimeFailure("cannot write the version file");
    }

    const QString installedPlayer = normalisePlayerVersion(SettingsStore::read(QLatin1String(keys::PlayerVer)));
    checkEnded();
    setStatus(QStringLiteral("Your Player Ver.: ") + installedPlayer);

    {
        QFile copy(appFile(kVersionCopy));
        if (!copy.open(QIODevice::ReadOnly))
            throw RuntimeFailure("cannot read the version file");
        m_versionLines = splitLines(QString::fromLocal8Bit(copy.readAll()));
        m_nextLine = 0;
    }

    // Player
    QString latestPlayer = skipPrefix(nextVersionLine(), 8);
    QString shownPlayer = latestPlayer;
    if (latestPlayer.isEmpty()) {
        latestPlayer = installedPlayer;
        shownPlayer = QStringLiteral("N/A");
    }
    appendStatus(QStringLiteral(", Latest Player Ver.: ") + shownPlayer);
    if (latestPlayer == installedPlayer) {
        Browser->navigate(hostUrl(QStringLiteral("index.txt")));
    } else {
        Browser->navigate(hostUrl(QStringLiteral("notuptodate.txt")));
        m_gettingInfo.closeWindow();
        showMain();
        const MsgAnswer answer = Dialogs::message(
            QStringLiteral("Newer Player Version Available"),
            QStringLiteral("There's a newer version of Quorbel Player Tirk available now.\r\n"
                           "Do you wan't to auto update your player now?\r\n"
                           "Press YES for auto update and NO for update later."),
            MsgIcon::Information, MsgButtons::YesNo, dialogParent());
        checkEnded();
        if (answer == MsgAnswer::Yes)
            return playerUpdate();
    }

    // Option program
    const QString latestOption = skipPrefix(nextVersionLine(), 8);
    const QString installedOption = SettingsStore::read(QLatin1String(keys::Option));
    appendStatus(QStringLiteral("\r\nYour Option Ver.: ") + installedOption
                 + QStringLiteral(", Latest Option Ver.: ") + latestOption);
    if (latestOption != installedOption) {
        showMain();
        Browser->navigate(hostUrl(QStringLiteral("notuptodate.txt")));
        m_gettingInfo.closeWindow();
        const MsgAnswer answer = Dialogs::message(
            QStringLiteral("A Newer Version Of Option Available"),
            QStringLiteral("There's a newer version of Option available.\r\n"
                           "Do you wan't to Auto update it now?\r\n"
                           "Press YES for auto update now and press NO for manual update later."),
            MsgIcon::Information, MsgButtons::YesNo, dialogParent());
        checkEnded();
        if (answer == MsgAnswer::Yes)
            return optionUpdate();
    }

    // Online System
    const QString ownVersion = QLatin1String(OnlineSystem::kVersion);
    const QString latestOnlineSystem = skipPrefix(nextVersionLine(), 4);
    appendStatus(QStringLiteral("\r\nYour OnSys Ver.: ") + ownVersion
                 + QStringLiteral(", Latest OnSys Ver.: ") + latestOnlineSystem);
    if (latestOnlineSystem != ownVersion) {
        showMain();
        Browser->navigate(hostUrl(QStringLiteral("notuptodate.txt")));
        m_gettingInfo.closeWindow();
        const MsgAnswer answer = Dialogs::message(
            QStringLiteral("A Newer Version Of OS Available"),
            QStringLiteral("There's a newer version of the OS (Online System) available.\r\n"
                           "Do you wan't to Auto update it now?\r\n"
                           "Press YES for auto update now and press NO for manual update later."),
            MsgIcon::Information, MsgButtons::YesNo, dialogParent());
        checkEnded();
        if (answer == MsgAnswer::Yes) {
            onlineSystemUpdate();
            throw Ended{};
        }
    }

    // Date of the latest online update
    const QString dateLine = nextVersionLine();
    const QString date = latestOnlineSystem != QLatin1String("N/A") ? skipPrefix(dateLine, 7) : QStringLiteral("N/A");
    setWindowTitle(windowTitle() + QStringLiteral(" (Latest Online Update: ") + date + QLatin1Char(')'));
    m_versionLines.clear();

    // From here on a failure only skips to the end of the start-up.
    tryStep([this] {
        const auto onTop = SettingsStore::readNumber(QLatin1String(keys::OSOT));
        if (!onTop)
            throw RuntimeFailure("OSOT missing");
        if (*onTop == 1) {
            MakeTopMost(this, true);
            Resize();
        }
    });
    MarkerFiles::remove(appFile(kVersionCopy));
    showMain();
    m_gettingInfo.closeWindow();
    return Pass::Finished;
}

// ---------------------------------------------------------------- updates

FrmMain::Pass FrmMain::playerUpdate()
{
    m_gettingInfo.showMessage(QStringLiteral("Updating QuorbelPlayer Tirk...\r\nPlease Wait..."));
    // Where the new player goes is known before the running one is asked
    // to close, so that a bad "AppPath" does not close it for nothing.
    const QString folder = installFolder();

    const QString shutdown = appFile("shutdown.os");
    if (!MarkerFiles::createOrTruncate(shutdown))
        throw RuntimeFailure("cannot ask the player to close");
    // The player deletes "Running.chk" as the last step of its exit. A
    // marker left by a player that crashed has no process behind it and
    // does not hold the update up.
    const QString running = appFile("Running.chk");
    while (MarkerFiles::exists(running) && SingleInstance::isRunning(QLatin1String(programs::Player))) {
        letEventsRun(50);
        checkEnded();
    }
    // No running player took the request; left lying, it would close the
    // new player at its first look.
    MarkerFiles::remove(shutdown);

    downloadImage(QStringLiteral("download/QuorbelPlayerTirk.exe"));
    m_gettingInfo.closeWindow();
    m_versionLines.clear();

    const QString player = folder + QLatin1Char('/') + QLatin1String(programs::Player);
    if (!replaceProgram(player, imagePath()))
        throw RuntimeFailure("cannot install the player");
    if (!ProgramStarter::start(player, QString(), WindowStyle::NormalFocus))
        throw RuntimeFailure("cannot start the player");
    MarkerFiles::remove(imagePath());
    return Pass::Again;
}

FrmMain::Pass FrmMain::optionUpdate()
{
    const QString folder = installFolder();
    // An open Option program saves and closes when its marker goes.
    const QString active = folder + QStringLiteral("/activeoption.inf");
    if (MarkerFiles::exists(active))
        MarkerFiles::remove(active);
    m_gettingInfo.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
    downloadImage(QStringLiteral("download/option.dat"));
    m_gettingInfo.closeWindow();

    const QString option = folder + QLatin1Char('/') + QLatin1String(programs::Option);
    if (!replaceProgram(option, imagePath()))
        throw RuntimeFailure("cannot install the Option program");
    MarkerFiles::remove(imagePath());
    if (!ProgramStarter::start(option, QLatin1String(words::Updatet), WindowStyle::NormalFocus))
        throw RuntimeFailure("cannot start the Option program");
    return Pass::Again;
}

void FrmMain::onlineSystemUpdate()
{
    m_gettingInfo.showMessage(QStringLiteral("Updating Online System...\r\nPlease Wait..."));
    downloadImage(QStringLiteral("download/Internet.dat"));
    const QString folder = installFolder();
    yieldEvents();
    checkEnded();
    // The updater waits for this program to end, then puts the image in
    // place of "internet.dat" and starts it.
    if (!ProgramStarter::start(folder + QLatin1Char('/') + QLatin1String(programs::Updater), QString(),
                               WindowStyle::MinimizedFocus))
        throw RuntimeFailure("cannot start the updater");
    m_system.endProgram();
}

void FrmMain::downloadImage(const QString& file)
{
    const Download download = m_downloader.fetch(hostUrl(file));
    checkEnded();
    // An empty, cut-short or refused download is never installed.
    if (!download.isWholeProgram())
        throw RuntimeFailure("incomplete download");
    if (!writeImage(download.body))
        throw RuntimeFailure("cannot keep the downloaded image");
}

// ---------------------------------------------------------------- helpers

void FrmMain::checkEnded() const
{
    if (m_system.hasEnded())
        throw Ended{};
}

QString FrmMain::nextVersionLine()
{
    if (m_nextLine >= m_versionLines.size())
        throw RuntimeFailure("the version file ends early");
    return m_versionLines.at(m_nextLine++);
}

QString FrmMain::skipPrefix(const QString& line, int prefix)
{
    if (line.size() < prefix)
        throw RuntimeFailure("a version line is shorter than its prefix");
    return line.mid(prefix);
}

QString FrmMain::installFolder() const
{
    // Updates go into the player's folder only: with "AppPath" empty or not
    // naming a folder there is nowhere sound to put a program.
    const QString appPath = SettingsStore::read(QLatin1String(keys::AppPath));
    if (appPath.isEmpty() || !QDir::isAbsolutePath(appPath) || !QFileInfo(appPath).isDir())
        throw RuntimeFailure("no installation folder");
    return QDir::cleanPath(appPath);
}

void FrmMain::setStatus(const QString& text)
{
    lblStatus->setCaption(text);
}

void FrmMain::appendStatus(const QString& text)
{
    lblStatus->setCaption(lblStatus->caption() + text);
}

void FrmMain::showMain()
{
    if (!isVisible() && !m_placed) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        m_placed = true;
    }
    ti->hide();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

QWidget* FrmMain::dialogParent()
{
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- window

void FrmMain::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    CancelDownload();
    timBugReport->setInterval(0);
    m_connectTimer->stop();
    Winsock->abort();
    ti->hide();
    hide();
    if (m_started)
        SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("NO"));
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_system.endProgram();
}

void FrmMain::paintEvent(QPaintEvent*)
{
    // The whole window, and a panel of its own for the status strip.
    QPainter painter(this);
    paintDialogBackground(painter, rect());
    const int top = Browser->geometry().bottom() + 1;
    paintDialogBackground(painter, QRect(0, top, width(), height() - top));
}

void FrmMain::resizeEvent(QResizeEvent* event)
{
    SkinnedWindow::resizeEvent(event);
    Resize();
}

void FrmMain::Resize()
{
    // In twips: the browser at 5, 10, the inner width less 10 and the inner
    // height less 660; the strip below holds the status line.
    const double innerWidth = pxToTwips(width());
    const double innerHeight = pxToTwips(height());
    const QRect area = twipsRect(5, 10, innerWidth - 10, qMax(0.0, innerHeight - 660));
    Browser->setGeometry(area);
    reportForm->setGeometry(area);
    const int top = area.bottom() + 1;
    lblStatus->setGeometry(18, top + 1, qMax(0, width() - 36), qMax(0, height() - top - 2));
}

void FrmMain::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        hideToTray();
}

void FrmMain::hideToTray()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
        ti->show();
    } else {
        // Without a tray there would be no way back: minimize instead.
        showMinimized();
    }
}

void FrmMain::ti_Activated()
{
    showMain();
    setFocus();
    ti->hide();
}

}  // namespace qpt::internet
