#include "update_check.h"

#include "online_files.h"
#include "online_log.h"
#include "online_system.h"
#include "progress_window.h"
#include "update_host.h"

#include "common/app_folder.h"
#include "common/clock.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/event_loop.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace qpt::internet {

namespace {

QString appFile(const char* name)
{
    return AppFolder::file(QLatin1String(name));
}

QString programIn(const QString& folder, const char* program)
{
    return folder + QLatin1Char('/') + QLatin1String(program);
}

}  // namespace

// A newer program: the question that offers it and how it is installed.
struct UpdateCheck::Offer {
    const char* title;
    const char* text;
    Outcome (UpdateCheck::*install)();
};

UpdateCheck::UpdateCheck(OnlineSystem& system, UpdateDisplay& display, ProgressWindow& progress)
    : m_system(system), m_display(display), m_progress(progress)
{
    // The progress window's Cancel stops the transfer in progress, which
    // then ends as a failed download.
    connect(&m_progress, &ProgressWindow::cancelRequested, this, [this] { m_downloader.cancel(); });
}

QString UpdateCheck::normalisePlayerVersion(const QString& stored)
{
    return QLatin1Char('v') + stored.mid(stored.lastIndexOf(QLatin1Char('v')) + 1);
}

QString UpdateCheck::folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder of Quorbel Player Tirk cannot be written:\r\n") + folder
         + QStringLiteral("\r\n\r\nThe Online System shows its news and takes bug reports as usual,\r\n"
                          "but no update can be installed until this folder can be written.");
}

void UpdateCheck::run()
{
    while (!ended()) {
        const Outcome outcome = startPass();
        if (outcome == Outcome::Finished || outcome == Outcome::Ended || ended())
            return;
        if (outcome == Outcome::Again)
            continue;
        m_progress.unload();
        const MsgAnswer answer = Dialogs::message(
            QStringLiteral("Error"), QStringLiteral("An error occur\r\nPress Retry, or Cancel to Exit OS"),
            MsgIcon::Critical, MsgButtons::RetryCancel, m_display.dialogParent());
        if (answer != MsgAnswer::Retry) {
            m_system.endProgram();
            return;
        }
    }
}

UpdateCheck::Outcome UpdateCheck::startPass()
{
    // START
    m_display.showPage(appFile(files::LoadingPage));
    SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("YES"));
    m_markedRunning = true;
    m_progress.open();
    yieldEvents();
    if (ended())
        return Outcome::Ended;
    m_display.resetCaption();

    QByteArray versionBytes;
    const std::optional<VersionFile> published = downloadVersionFile(versionBytes);
    if (ended())
        return Outcome::Ended;
    // An error page, a captive portal's page, a cut or endless body: no
    // version file came, whatever the server said.
    if (!published)
        return noConnection();
    if (const Outcome outcome = keepVersionCopy(versionBytes); outcome != Outcome::Continue)
        return outcome;

    const QString installedPlayer = normalisePlayerVersion(SettingsStore::read(QLatin1String(keys::PlayerVer)));
    m_display.setStatus(QStringLiteral("Your Player Ver.: ") + installedPlayer);
    if (const Outcome outcome = checkPlayer(*published, installedPlayer); outcome != Outcome::Continue)
        return outcome;
    if (const Outcome outcome = checkOption(*published); outcome != Outcome::Continue)
        return outcome;
    if (const Outcome outcome = checkOnlineSystem(*published); outcome != Outcome::Continue)
        return outcome;
    finishPass(*published);
    return Outcome::Finished;
}

UpdateCheck::Outcome UpdateCheck::noConnection()
{
    m_progress.unload();
    const MsgAnswer answer = Dialogs::message(
        QStringLiteral("No Internet Connection"),
        QStringLiteral("You Have No Connection To The Internet\r\nPress Retry, or Cancel to Exit OS"),
        MsgIcon::Information, MsgButtons::RetryCancel, m_display.dialogParent());
    if (answer == MsgAnswer::Retry)
        return Outcome::Again;
    m_system.endProgram();
    return Outcome::Ended;
}

UpdateCheck::Outcome UpdateCheck::keepVersionCopy(const QByteArray& bytes)
{
    // The check reads the version file from memory; the copy beside the
    // program is for whoever looks while it runs. A folder that cannot take
    // it cannot take an update either, which the user hears once.
    if (MarkerFiles::replaceNoFollow(appFile(files::VersionCopy), bytes + "\r\n") || m_folderNoticeShown)
        return Outcome::Continue;
    m_folderNoticeShown = true;
    m_progress.unload();
    Dialogs::message(QStringLiteral("Quorbel Player Tirk Online System"), folderNotWritableText(AppFolder::path()),
                     MsgIcon::Exclamation, MsgButtons::Ok, m_display.dialogParent());
    return ended() ? Outcome::Ended : Outcome::Continue;
}

UpdateCheck::Outcome UpdateCheck::offerNewer(const Offer& offer)
{
    // Nothing runs between these steps, so the window comes up with the
    // page already on its way and without the progress window in front.
    m_display.showPage(host::url(host::NotUpToDatePage));
    m_progress.unload();
    m_display.showWindow();
    const MsgAnswer answer = Dialogs::message(QLatin1String(offer.title), QLatin1String(offer.text),
                                              MsgIcon::Information, MsgButtons::YesNo, m_display.dialogParent());
    if (ended())
        return Outcome::Ended;
    return answer == MsgAnswer::Yes ? (this->*offer.install)() : Outcome::Continue;
}

UpdateCheck::Outcome UpdateCheck::checkPlayer(const VersionFile& published, const QString& installed)
{
    static const Offer kOffer{"Newer Player Version Available",
                              "There's a newer version of Quorbel Player Tirk available now.\r\n"
                              "Do you wan't to auto update your player now?\r\n"
                              "Press YES for auto update and NO for update later.",
                              &UpdateCheck::playerUpdate};
    // A host that publishes no player version offers none.
    const bool isPublished = !published.player.isEmpty();
    m_display.appendStatus(QStringLiteral(", Latest Player Ver.: ")
                           + (isPublished ? published.player : QStringLiteral("N/A")));
    if (!isPublished || published.player == installed) {
        m_display.showPage(host::url(host::IndexPage));
        return Outcome::Continue;
    }
    return offerNewer(kOffer);
}

UpdateCheck::Outcome UpdateCheck::checkOption(const VersionFile& published)
{
    static const Offer kOffer{"A Newer Version Of Option Available",
                              "There's a newer version of Option available.\r\n"
                              "Do you wan't to Auto update it now?\r\n"
                              "Press YES for auto update now and press NO for manual update later.",
                              &UpdateCheck::optionUpdate};
    const QString installed = SettingsStore::read(QLatin1String(keys::Option));
    m_display.appendStatus(QStringLiteral("\r\nYour Option Ver.: ") + installed
                           + QStringLiteral(", Latest Option Ver.: ") + published.option);
    return published.option == installed ? Outcome::Continue : offerNewer(kOffer);
}

UpdateCheck::Outcome UpdateCheck::checkOnlineSystem(const VersionFile& published)
{
    static const Offer kOffer{"A Newer Version Of OS Available",
                              "There's a newer version of the OS (Online System) available.\r\n"
                              "Do you wan't to Auto update it now?\r\n"
                              "Press YES for auto update now and press NO for manual update later.",
                              &UpdateCheck::onlineSystemUpdate};
    const QString own = QLatin1String(OnlineSystem::kVersion);
    m_display.appendStatus(QStringLiteral("\r\nYour OnSys Ver.: ") + own + QStringLiteral(", Latest OnSys Ver.: ")
                           + published.onlineSystem);
    return published.onlineSystem == own ? Outcome::Continue : offerNewer(kOffer);
}

void UpdateCheck::finishPass(const VersionFile& published)
{
    m_display.appendToCaption(QStringLiteral(" (Latest Online Update: ") + published.date + QLatin1Char(')'));
    // A missing or non-numeric "OSOT" counts as off.
    if (SettingsStore::readNumber(QLatin1String(keys::OSOT)) == 1.0)
        m_display.putOnTop();
    MarkerFiles::remove(appFile(files::VersionCopy));
    m_display.showWindow();
    m_progress.unload();
}

// ---------------------------------------------------------------- updates

UpdateCheck::Outcome UpdateCheck::playerUpdate()
{
    m_progress.showMessage(QStringLiteral("Updating QuorbelPlayer Tirk...\r\nPlease Wait..."));
    // Where the new player goes is known before the running one is asked
    // to close, so that a bad "AppPath" does not close it for nothing.
    const std::optional<QString> folder = installFolder();
    if (!folder)
        return failed("no installation folder");
    const QString player = programIn(*folder, programs::Player);

    // The running player is asked to close only once its replacement has
    // been accepted and lies ready beside it: a bad download, a folder that
    // cannot be written or a full disk leave it running.
    std::unique_ptr<ProgramImage> image;
    if (const Outcome outcome = downloadImage(host::PlayerImage, image); outcome != Outcome::Continue)
        return outcome;
    StagedProgram staged(player, image->path());
    if (!staged.isReady())
        return failed("cannot prepare the new player");

    const QString shutdown = appFile(files::Shutdown);
    if (!MarkerFiles::createNoFollow(shutdown))
        return failed("cannot ask the player to close");
    // The player deletes "Running.chk" as the last step of its exit. A
    // marker left by a player that crashed has no process behind it and
    // does not hold the update up.
    const QString running = appFile(files::Running);
    while (MarkerFiles::exists(running) && SingleInstance::isRunning(QLatin1String(programs::Player))) {
        letEventsRun(50);
        if (ended())
            return Outcome::Ended;
    }
    // No running player took the request; left lying, it would close the
    // new player at its first look.
    MarkerFiles::remove(shutdown);
    m_progress.unload();

    if (!staged.commit()) {
        // The old player is still in place: it comes back as it was.
        ProgramStarter::start(player, QString(), WindowStyle::NormalFocus);
        return failed("cannot install the player");
    }
    if (!ProgramStarter::start(player, QString(), WindowStyle::NormalFocus))
        return failed("cannot start the player");
    return Outcome::Again;
}

UpdateCheck::Outcome UpdateCheck::optionUpdate()
{
    const std::optional<QString> folder = installFolder();
    if (!folder)
        return failed("no installation folder");
    m_progress.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
    std::unique_ptr<ProgramImage> image;
    if (const Outcome outcome = downloadImage(host::OptionImage, image); outcome != Outcome::Continue)
        return outcome;
    const QString option = programIn(*folder, programs::Option);
    StagedProgram staged(option, image->path());
    if (!staged.isReady())
        return failed("cannot prepare the new Option program");

    // Only now is an open Option program asked to close: it saves and ends
    // when its marker goes.
    MarkerFiles::remove(appFile(files::ActiveOption));
    if (!waitForOptionToClose())
        return Outcome::Ended;
    m_progress.unload();

    if (!staged.commit())
        return failed("cannot install the Option program");
    if (!ProgramStarter::start(option, QLatin1String(words::Updatet), WindowStyle::NormalFocus))
        return failed("cannot start the Option program");
    return Outcome::Again;
}

UpdateCheck::Outcome UpdateCheck::onlineSystemUpdate()
{
    m_progress.showMessage(QStringLiteral("Updating Online System...\r\nPlease Wait..."));
    std::unique_ptr<ProgramImage> image;
    if (const Outcome outcome = downloadImage(host::OnlineSystemImage, image); outcome != Outcome::Continue)
        return outcome;
    const std::optional<QString> folder = installFolder();
    if (!folder)
        return failed("no installation folder");
    yieldEvents();
    if (ended())
        return Outcome::Ended;
    // The updater can only do what this program could: find out now, while
    // this program still runs, whether the new one can be put in place.
    if (!StagedProgram(programIn(*folder, programs::Internet), image->path()).isReady())
        return failed("cannot prepare the new Online System");
    if (!image->keepAs(imagePath()))
        return failed("cannot keep the downloaded image");
    // The updater waits for this program to end, then puts the image in
    // place of "internet.dat" and starts it.
    if (!ProgramStarter::start(programIn(*folder, programs::Updater), QString(), WindowStyle::MinimizedFocus)) {
        MarkerFiles::remove(imagePath());
        return failed("cannot start the updater");
    }
    m_system.endProgram();
    return Outcome::Ended;
}

// ---------------------------------------------------------------- helpers

std::optional<VersionFile> UpdateCheck::downloadVersionFile(QByteArray& bytes)
{
    m_progress.setCancellable(true);
    const Download download =
        m_downloader.fetch(host::url(host::VersionFile), {m_limits.versionFileBytes, m_limits.idleMs});
    m_progress.setCancellable(false);
    if (!download.succeeded())
        return std::nullopt;
    bytes = download.body;
    return parseVersionFile(download.body);
}

UpdateCheck::Outcome UpdateCheck::downloadImage(const char* hostFile, std::unique_ptr<ProgramImage>& image)
{
    m_progress.setCancellable(true);
    FetchedImage fetched =
        fetchProgramImage(m_downloader, host::url(hostFile), {m_limits.imageBytes, m_limits.idleMs});
    m_progress.setCancellable(false);
    if (ended())
        return Outcome::Ended;
    // An empty, cut-short, refused or foreign download is never installed.
    if (!fetched.image) {
        qCWarning(lcUpdate) << hostFile << "refused:" << int(fetched.refusal);
        return Outcome::Failed;
    }
    image = std::move(fetched.image);
    return Outcome::Continue;
}

std::optional<QString> UpdateCheck::installFolder() const
{
    // Updates go into the player's folder only: with "AppPath" empty or not
    // naming a folder there is nowhere sound to put a program.
    const QString appPath = SettingsStore::read(QLatin1String(keys::AppPath));
    if (appPath.isEmpty() || !QDir::isAbsolutePath(appPath) || !QFileInfo(appPath).isDir())
        return std::nullopt;
    return QDir::cleanPath(appPath);
}

bool UpdateCheck::waitForOptionToClose()
{
    // The new Option program must not meet the old one: its single-instance
    // test would end it at once. An Option program closes within 600 ms of
    // losing its marker; one that does not is not waited for any longer.
    QElapsedTimer clock;
    clock.start();
    while (SingleInstance::isRunning(QLatin1String(programs::Option)) && clock.elapsed() < m_limits.optionCloseMs) {
        letEventsRun(50);
        if (ended())
            return false;
    }
    return true;
}

bool UpdateCheck::ended() const
{
    return m_system.hasEnded();
}

UpdateCheck::Outcome UpdateCheck::failed(const char* why) const
{
    qCWarning(lcUpdate) << "update failed:" << why;
    return Outcome::Failed;
}

}  // namespace qpt::internet
