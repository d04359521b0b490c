#include "common/clock.h"
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
#include <QElapsedTimer>
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

    // The progress window's Cancel stops the transfer in progress, which
    // then ends as a failed download.
    connect(&m_gettingInfo, &FrmGettingInfo::cancelRequested, this, [this] { CancelDownload(); });

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

    QByteArray versionBytes;
    const std::optional<VersionFile> published = downloadVersionFile(versionBytes);
    checkEnded();
    // An error page, a captive portal's page, a cut or endless body: no
    // version file came, whatever the server said.
    if (!published) {
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
    keepVersionCopy(versionBytes);

    const QString installedPlayer = normalisePlayerVersion(SettingsStore::read(QLatin1String(keys::PlayerVer)));
    checkEnded();
    setStatus(QStringLiteral("Your Player Ver.: ") + installedPlayer);

    // Player
    QString latestPlayer = published->player;
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
    const QString latestOption = published->option;
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
    const QString latestOnlineSystem = published->onlineSystem;
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
    setWindowTitle(windowTitle() + QStringLiteral(" (Latest Online Update: ") + published->date + QLatin1Char(')'));

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
    const QString player = folder + QLatin1Char('/') + QLatin1String(programs::Player);

    // The running player is asked to close only once its replacement has
    // been accepted and lies ready beside it: a bad download, a folder that
    // cannot be written or a full disk leave it running.
    const std::unique_ptr<ProgramImage> image = downloadImage(QStringLiteral("download/QuorbelPlayerTirk.exe"));
    StagedProgram staged(player, image->path());
    if (!staged.isReady())
        throw RuntimeFailure("cannot prepare the new player");

    const QString shutdown = appFile("shutdown.os");
    if (!MarkerFiles::createNoFollow(shutdown))
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
    m_gettingInfo.closeWindow();

    if (!staged.commit()) {
        // The old player is still in place: it comes back as it was.
        ProgramStarter::start(player, QString(), WindowStyle::NormalFocus);
        throw RuntimeFailure("cannot install the player");
    }
    if (!ProgramStarter::start(player, QString(), WindowStyle::NormalFocus))
        throw RuntimeFailure("cannot start the player");
    return Pass::Again;
}

FrmMain::Pass FrmMain::optionUpdate()
{
    const QString folder = installFolder();
    m_gettingInfo.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
    const std::unique_ptr<ProgramImage> image = downloadImage(QStringLiteral("download/option.dat"));
    const QString option = folder + QLatin1Char('/') + QLatin1String(programs::Option);
    StagedProgram staged(option, image->path());
    if (!staged.isReady())
        throw RuntimeFailure("cannot prepare the new Option program");

    // Only now is an open Option program asked to close: it saves and ends
    // when its marker goes.
    MarkerFiles::remove(folder + QStringLiteral("/activeoption.inf"));
    waitForOptionToClose();
    m_gettingInfo.closeWindow();

    if (!staged.commit())
        throw RuntimeFailure("cannot install the Option program");
    if (!ProgramStarter::start(option, QLatin1String(words::Updatet), WindowStyle::NormalFocus))
        throw RuntimeFailure("cannot start the Option program");
    return Pass::Again;
}

void FrmMain::onlineSystemUpdate()
{
    m_gettingInfo.showMessage(QStringLiteral("Updating Online System...\r\nPlease Wait..."));
    const std::unique_ptr<ProgramImage> image = downloadImage(QStringLiteral("download/Internet.dat"));
    const QString folder = installFolder();
    yieldEvents();
    checkEnded();
    // The updater can only do what this program could: find out now, while
    // this program still runs, whether the new one can be put in place.
    if (!StagedProgram(folder + QLatin1Char('/') + QLatin1String(programs::Internet), image->path()).isReady())
        throw RuntimeFailure("cannot prepare the new Online System");
    if (!image->keepAs(imagePath()))
        throw RuntimeFailure("cannot keep the downloaded image");
    // The updater waits for this program to end, then puts the image in
    // place of "internet.dat" and starts it.
    if (!ProgramStarter::start(folder + QLatin1Char('/') + QLatin1String(programs::Updater), QString(),
                               WindowStyle::MinimizedFocus)) {
        MarkerFiles::remove(imagePath());
        throw RuntimeFailure("cannot start the updater");
    }
    m_system.endProgram();
}

std::optional<VersionFile> FrmMain::downloadVersionFile(QByteArray& bytes)
{
    m_gettingInfo.setCancellable(true);
    const Download download =
        m_downloader.fetch(hostUrl(QStringLiteral("version.txt")), {m_limits.versionFileBytes, m_limits.idleMs});
    m_gettingInfo.setCancellable(false);
    checkEnded();
    if (!download.succeeded())
        return std::nullopt;
    bytes = download.body;
    return parseVersionFile(download.body);
}

void FrmMain::keepVersionCopy(const QByteArray& bytes)
{
    // The check reads the version file from memory; the copy beside the
    // program is for whoever looks while it runs. A folder that cannot take
    // it cannot take an update either, which the user hears once.
    if (MarkerFiles::replaceNoFollow(appFile(kVersionCopy), bytes + "\r\n") || m_folderNoticeShown)
        return;
    m_folderNoticeShown = true;
    m_gettingInfo.closeWindow();
    Dialogs::message(QStringLiteral("Quorbel Player Tirk Online System"), folderNotWritableText(AppFolder::path()),
                     MsgIcon::Exclamation, MsgButtons::Ok, dialogParent());
    checkEnded();
}

QString FrmMain::folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder of Quorbel Player Tirk cannot be written:\r\n") + folder
         + QStringLiteral("\r\n\r\nThe Online System shows its news and takes bug reports as usual,\r\n"
                          "but no update can be installed until this folder can be written.");
}

std::unique_ptr<ProgramImage> FrmMain::downloadImage(const QString& file)
{
    m_gettingInfo.setCancellable(true);
    FetchedImage fetched = fetchProgramImage(m_downloader, hostUrl(file), {m_limits.imageBytes, m_limits.idleMs});
    m_gettingInfo.setCancellable(false);
    checkEnded();
    // An empty, cut-short, refused or foreign download is never installed.
    if (!fetched.image)
        throw RuntimeFailure("the downloaded image was refused");
    return std::move(fetched.image);
}

void FrmMain::waitForOptionToClose()
{
    // The new Option program must not meet the old one: its single-instance
    // test would end it at once. An Option program closes within 600 ms of
    // losing its marker; one that does not is not waited for any longer.
    QElapsedTimer clock;
    clock.start();
    while (SingleInstance::isRunning(QLatin1String(programs::Option)) && clock.elapsed() < m_limits.optionCloseMs) {
        letEventsRun(50);
        checkEnded();
    }
}

// ---------------------------------------------------------------- helpers

void FrmMain::checkEnded() const
{
    if (m_system.hasEnded())
        throw Ended{};
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
