#include "update_check.h"

#include "installation.h"
#include "leftovers.h"
#include "online_files.h"
#include "release_keys.h"
#include "update_host.h"

#include "internet/shared/online_log.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/options.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/single_instance.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace qpt::internet {

using release::Backing;
using release::ReleaseStatus;

namespace {

constexpr int kWaitLookMs = 50;

QString appFile(const char* name)
{
    return AppFolder::file(QLatin1String(name));
}

// A box that says why nothing can be installed (exclamation icon, OK).
struct Notice {
    const char* title;
    const char* text;
};
constexpr Notice kNotVerified{"Update Information Not Verified",
                              "The update information of the update host cannot be verified.\r\n"
                              "No update can be installed now."};

// Why the release information of a pass cannot be trusted: said once a
// pass, whether or not anything is offered, so that a host that freezes or
// fakes updates is noticed even when it offers none.
constexpr std::pair<ReleaseStatus, Notice> kReleaseNotices[] = {
    {ReleaseStatus::NotSigned, kNotVerified},
    {ReleaseStatus::Unreadable, kNotVerified},
    {ReleaseStatus::Expired, {"Update Information Out Of Date", "The update information is out of date"}},
    {ReleaseStatus::Superseded,
     {"Old Update Information",
      "The update host sent older update information than it did before.\r\nNo update can be installed from it."}},
    {ReleaseStatus::ClockBehind,
     {"Check The Clock", "The update information was issued later than the clock of this computer shows.\r\n"
                         "Set the clock right to install updates."}},
};

// Why an offer that trusted release information does not back is not
// installable: said for each such offer.
constexpr std::pair<Backing, Notice> kRefusals[] = {
    {Backing::NotListed,
     {"Update Not Verified", "The update offered by the update host cannot be verified.\r\nNothing has been installed."}},
    {Backing::NotNewer,
     {"No Newer Version", "The update offered is not newer than the installed version.\r\nNothing has been installed."}},
};

template <typename Key, std::size_t N>
const Notice& noticeFor(const std::pair<Key, Notice> (&table)[N], Key key)
{
    for (const auto& [rowKey, notice] : table) {
        if (rowKey == key)
            return notice;
    }
    return kNotVerified;
}

}  // namespace

// A newer program: the question that offers it, the image that carries it,
// how it is installed and what the pass does after a No.
struct UpdateCheck::Offer {
    const char* title;
    const char* text;
    const char* hostImage;
    void (UpdateCheck::*install)(const release::ReleaseImage& signedImage);
    Step next;
};

UpdateCheck::UpdateCheck(UpdateDisplay& display, UpdateProgress& progress, std::function<void()> endProgram)
    : m_display(display), m_progress(progress), m_endProgram(std::move(endProgram))
{
    connect(&m_waitTimer, &QTimer::timeout, this, &UpdateCheck::waitTick);
}

UpdateCheck::~UpdateCheck()
{
    stop();
}

QString UpdateCheck::folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder of Quorbel Player Tirk cannot be written:\r\n") + folder
         + QStringLiteral("\r\n\r\nThe Online System shows its news and takes bug reports as usual,\r\n"
                          "but no update can be installed until this folder can be written.");
}

bool UpdateCheck::isTransferring() const
{
    return m_transfer.isBusy() || m_imageDownload.isBusy();
}

void UpdateCheck::cancelTransfer()
{
    m_transfer.cancel();
    m_imageDownload.cancel();
}

void UpdateCheck::run()
{
    // An update kept for an updater that never ran (the program was killed
    // between keeping it and starting the updater) is not left lying about.
    if (const auto kept = keptUpdate())
        kept->remove();
    startPass();
}

void UpdateCheck::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_busy = false;
    m_transfer.abandon();
    m_imageDownload.abandon();
    m_waitTimer.stop();
    m_waitThen = {};
    m_staged.reset();
    if (m_closeRequested)
        withdrawCloseRequest();
    if (m_markedRunning)
        removeVersionCopy();
}

// ---------------------------------------------------------------- the pass

void UpdateCheck::startPass()
{
    if (m_stopped)
        return;
    // START
    m_busy = true;
    m_pass = Pass{};
    m_display.showPage(appFile(files::LoadingPage));
    SettingsStore::write(QLatin1String(keys::OSRunning), QStringLiteral("YES"));
    m_markedRunning = true;
    m_progress.open();
    m_display.resetCaption();
    fetch(host::VersionFile, m_limits.versionFileBytes, [this](const Download& download) { versionFileArrived(download); });
}

void UpdateCheck::versionFileArrived(const Download& download)
{
    if (download.end == TransferEnd::Cancelled)
        return cancelled();
    if (download.end == TransferEnd::NotTrusted)
        return hostNotTrusted();
    // An error page, a captive portal's page, a cut or endless body: no
    // version file came, whatever the server said.
    const std::optional<VersionFile> published =
        download.succeeded() ? parseVersionFile(download.body) : std::nullopt;
    if (!published)
        return noConnection();
    m_pass.published = *published;
    // The check reads the version file from memory; the copy beside the
    // program is for whoever looks while it runs. A folder that cannot take
    // it cannot take an update either, which the user hears once.
    if (MarkerFiles::replaceNoFollow(appFile(files::VersionCopy), download.body + "\r\n")) {
        leftovers::note(appFile(files::VersionCopy));
        return fetchRelease();
    }
    if (m_folderNoticeShown)
        return fetchRelease();
    m_folderNoticeShown = true;
    m_progress.unload();
    ask(QStringLiteral("Quorbel Player Tirk Online System"), folderNotWritableText(AppFolder::path()),
        MsgIcon::Exclamation, MsgButtons::Ok, [this](MsgAnswer) { fetchRelease(); });
}

void UpdateCheck::fetchRelease()
{
    fetch(host::ReleaseManifest, release::kMaxManifestBytes, [this](const Download& manifest) {
        if (manifest.end == TransferEnd::Cancelled)
            return cancelled();
        if (manifest.end == TransferEnd::NotTrusted)
            return hostNotTrusted();
        m_pass.manifest = manifest.succeeded() ? manifest.body : QByteArray();
        fetch(host::ReleaseSignature, release::kMaxSignatureFileBytes, [this](const Download& signature) {
            if (signature.end == TransferEnd::Cancelled)
                return cancelled();
            if (signature.end == TransferEnd::NotTrusted)
                return hostNotTrusted();
            m_pass.signature = signature.succeeded() ? signature.body : QByteArray();
            m_pass.release = release::checkRelease(m_pass.manifest, m_pass.signature, release::trustedKeys(),
                                                   QDateTime::currentDateTimeUtc(), latestReleaseSeen());
            const bool kept = m_pass.release->status != ReleaseStatus::Trusted
                           || noteReleaseSeen(m_pass.release->manifest.issued);
            if (kept || m_markNoticeShown)
                return reportRelease();
            // Without the mark a replayed older manifest is told apart by its
            // expiry alone: the check goes on, but the user hears it once.
            m_markNoticeShown = true;
            m_progress.unload();
            ask(QStringLiteral("Quorbel Player Tirk Online System"), markNotKeptText(), MsgIcon::Exclamation,
                MsgButtons::Ok, [this](MsgAnswer) { reportRelease(); });
        });
    });
}

void UpdateCheck::reportRelease()
{
    const ReleaseStatus status = m_pass.release->status;
    if (status == ReleaseStatus::Trusted)
        return checkPlayer();
    qCWarning(lcUpdate) << "release information refused:" << int(status);
    m_progress.unload();
    const Notice& notice = noticeFor(kReleaseNotices, status);
    tell(notice.title, notice.text, &UpdateCheck::checkPlayer);
}

void UpdateCheck::checkPlayer()
{
    static const Offer kOffer{"Newer Player Version Available",
                              "There's a newer version of Quorbel Player Tirk available now.\r\n"
                              "Do you wan't to auto update your player now?\r\n"
                              "Press YES for auto update and NO for update later.",
                              host::PlayerImage, &UpdateCheck::playerUpdate, &UpdateCheck::checkOption};
    const QString installed = installedPlayerVersion();
    const QString& published = m_pass.published.player;
    // A host that publishes no player version offers none.
    const bool isPublished = !published.isEmpty();
    m_display.setStatus(QStringLiteral("Your Player Ver.: ") + installed + QStringLiteral(", Latest Player Ver.: ")
                        + (isPublished ? published : QStringLiteral("N/A")));
    // Where the settings hold no version, what the installation remembers
    // installing is not offered again.
    if (!isPublished || published == installed
        || published == versionToJudge(host::imageName(host::PlayerImage), installed)) {
        m_display.showPage(host::url(host::IndexPage));
        return checkOption();
    }
    offerNewer(kOffer, installed, published);
}

void UpdateCheck::checkOption()
{
    static const Offer kOffer{"A Newer Version Of Option Available",
                              "There's a newer version of Option available.\r\n"
                              "Do you wan't to Auto update it now?\r\n"
                              "Press YES for auto update now and press NO for manual update later.",
                              host::OptionImage, &UpdateCheck::optionUpdate, &UpdateCheck::checkOnlineSystem};
    const QString installed = installedOptionVersion();
    const QString& published = m_pass.published.option;
    m_display.appendStatus(QStringLiteral("\r\nYour Option Ver.: ") + installed
                           + QStringLiteral(", Latest Option Ver.: ") + published);
    if (published == installed || published == versionToJudge(host::imageName(host::OptionImage), installed))
        return checkOnlineSystem();
    offerNewer(kOffer, installed, published);
}

void UpdateCheck::checkOnlineSystem()
{
    static const Offer kOffer{"A Newer Version Of OS Available",
                              "There's a newer version of the OS (Online System) available.\r\n"
                              "Do you wan't to Auto update it now?\r\n"
                              "Press YES for auto update now and press NO for manual update later.",
                              host::OnlineSystemImage, &UpdateCheck::onlineSystemUpdate, &UpdateCheck::finishPass};
    const QString own = QLatin1String(kOnlineSystemVersion);
    const QString& published = m_pass.published.onlineSystem;
    m_display.appendStatus(QStringLiteral("\r\nYour OnSys Ver.: ") + own + QStringLiteral(", Latest OnSys Ver.: ")
                           + published);
    // "N/A": the host publishes no Online System, so there is none to offer
    // (no manifest could back one).
    if (published == own || published == QLatin1String(kNotPublished))
        return finishPass();
    offerNewer(kOffer, own, published);
}

void UpdateCheck::finishPass()
{
    m_display.appendToCaption(QStringLiteral(" (Latest Online Update: ") + m_pass.published.date + QLatin1Char(')'));
    if (Options::read().onlineSystemOnTop())
        m_display.putOnTop();
    removeVersionCopy();
    m_display.showWindow();
    m_progress.unload();
    m_busy = false;
    emit finished();
}

void UpdateCheck::offerNewer(const Offer& offer, const QString& installed, const QString& published)
{
    // A reset or unwritable settings store does not make an installed
    // program older: where it holds no version, the installation's counts.
    const QString image = host::imageName(offer.hostImage);
    const release::OfferCheck check =
        release::checkOffer(*m_pass.release, image, published, versionToJudge(image, installed));
    // The window comes up with the page already on its way and without the
    // progress window in front.
    m_display.showPage(host::url(host::NotUpToDatePage));
    m_progress.unload();
    m_display.showWindow();
    // Release information that cannot be trusted was said once for the pass.
    if (check.backing == Backing::ReleaseRefused)
        return (this->*offer.next)();
    if (check.backing != Backing::Installable)
        return refuse(check.backing, offer.next);
    const release::ReleaseImage signedImage = check.image;
    ask(QLatin1String(offer.title), QLatin1String(offer.text), MsgIcon::Information, MsgButtons::YesNo,
        [this, &offer, signedImage](MsgAnswer answer) {
            if (answer == MsgAnswer::Yes)
                (this->*offer.install)(signedImage);
            else
                (this->*offer.next)();
        });
}

void UpdateCheck::refuse(Backing backing, Step next)
{
    qCWarning(lcUpdate) << "offer refused:" << int(backing);
    const Notice& notice = noticeFor(kRefusals, backing);
    tell(notice.title, notice.text, next);
}

void UpdateCheck::tell(const char* title, const char* text, Step next)
{
    ask(QLatin1String(title), QLatin1String(text), MsgIcon::Exclamation, MsgButtons::Ok,
        [this, next](MsgAnswer) { (this->*next)(); });
}

// ---------------------------------------------------------------- updates

void UpdateCheck::playerUpdate(const release::ReleaseImage& signedImage)
{
    m_progress.showMessage(QStringLiteral("Updating QuorbelPlayer Tirk...\r\nPlease Wait..."));
    // Where the new player goes is known before the running one is asked
    // to close, so that a bad "AppPath" does not close it for nothing.
    const std::optional<QString> folder = installFolder();
    if (!folder)
        return failed("no installation folder");
    const QString player = programPath(*folder, programs::Player);

    // The running player is asked to close only once its replacement has
    // been accepted and lies ready beside it: a bad download, a folder that
    // cannot be written or a full disk leave it running.
    downloadImage(host::PlayerImage, signedImage, [this, player, signedImage](std::unique_ptr<ProgramImage> image) {
        m_staged = std::make_unique<StagedProgram>(player, image->path(), &signedImage);
        if (!m_staged->isReady())
            return failed("cannot prepare the new player");
        if (!MarkerFiles::createNoFollow(appFile(files::Shutdown)))
            return failed("cannot ask the player to close");
        m_closeRequested = true;
        leftovers::note(appFile(files::Shutdown));
        // The player deletes "Running.chk" while it still tears down its
        // threads; a new player started then would meet the old one's
        // instance lock and end at once. So the update waits until the old
        // process has let its lock go. A marker left by a player that
        // crashed has no process behind it and does not hold the update up.
        const auto playerGone = [] { return !SingleInstance::isRunning(QLatin1String(programs::Player)); };
        waitFor(playerGone, 0, [this, player, signedImage] {
            // No running player took the request; left lying, it would
            // close the new player at its first look.
            withdrawCloseRequest();
            m_progress.unload();
            const bool installed = m_staged->commit();
            m_staged.reset();
            if (installed)
                noteInstalled(signedImage.file, signedImage.version);
            // Without the new player the old one comes back as it was.
            if (!ProgramStarter::start(player, QString(), WindowStyle::NormalFocus) || !installed)
                return failed(installed ? "cannot start the player" : "cannot install the player");
            startPass();
        });
    });
}

void UpdateCheck::optionUpdate(const release::ReleaseImage& signedImage)
{
    const std::optional<QString> folder = installFolder();
    if (!folder)
        return failed("no installation folder");
    m_progress.showMessage(QStringLiteral("Updating Option...\r\nPlease Wait..."));
    const QString option = programPath(*folder, programs::Option);
    downloadImage(host::OptionImage, signedImage, [this, option, signedImage](std::unique_ptr<ProgramImage> image) {
        m_staged = std::make_unique<StagedProgram>(option, image->path(), &signedImage);
        if (!m_staged->isReady())
            return failed("cannot prepare the new Option program");
        // Only now is an open Option program asked to close: it saves and
        // ends when its marker goes. The new one must not meet it (its
        // single-instance test would end it at once); one that does not
        // close within the limit is not waited for any longer. Another
        // user's Option program, sharing the folder, is not ours to close.
        MarkerFiles::removeOwn(appFile(files::ActiveOption));
        const auto optionGone = [] { return !SingleInstance::isRunning(QLatin1String(programs::Option)); };
        waitFor(optionGone, m_limits.optionCloseMs, [this, option, signedImage] {
            m_progress.unload();
            const bool installed = m_staged->commit();
            m_staged.reset();
            if (!installed)
                return failed("cannot install the Option program");
            noteInstalled(signedImage.file, signedImage.version);
            if (!ProgramStarter::start(option, QLatin1String(words::Updatet), WindowStyle::NormalFocus))
                return failed("cannot start the Option program");
            startPass();
        });
    });
}

void UpdateCheck::onlineSystemUpdate(const release::ReleaseImage& signedImage)
{
    m_progress.showMessage(QStringLiteral("Updating Online System...\r\nPlease Wait..."));
    downloadImage(host::OnlineSystemImage, signedImage, [this, signedImage](std::unique_ptr<ProgramImage> image) {
        const std::optional<QString> folder = installFolder();
        if (!folder)
            return failed("no installation folder");
        // The updater can only do what this program could: find out now,
        // while this program still runs, whether the new one would fit in
        // place.
        if (!hasRoomFor(programPath(*folder, programs::Internet), signedImage.size))
            return failed("no room for the new Online System");
        // The updater verifies the image again from what vouches for it.
        const std::optional<KeptUpdate> kept = keptUpdate();
        if (!kept || !image->keepAs(kept->image) || !keepReleaseForUpdater(*kept)) {
            if (kept)
                kept->remove();
            return failed("cannot keep the downloaded image");
        }
        // The updater waits for this program to end, then puts the image
        // in place of "internet.dat" and starts it.
        if (!ProgramStarter::start(programPath(*folder, programs::Updater), QString(), WindowStyle::MinimizedFocus)) {
            kept->remove();
            return failed("cannot start the updater");
        }
        m_endProgram();
    });
}

// ---------------------------------------------------------------- helpers

void UpdateCheck::fetch(const char* hostFile, qint64 maxBytes, std::function<void(const Download&)> then)
{
    m_progress.setCancellable(true);
    disconnect(&m_transfer, &Transfer::finished, this, nullptr);
    connect(&m_transfer, &Transfer::finished, this, [this, then](const Download& download) {
        m_progress.setCancellable(false);
        then(download);
    });
    m_transfer.start(host::url(hostFile), {maxBytes, m_limits.idleMs, m_limits.deadlineMs});
}

void UpdateCheck::downloadImage(const char* hostFile, const release::ReleaseImage& signedImage, ImageReady then)
{
    m_progress.setCancellable(true);
    m_imageDownload.start(host::url(hostFile), signedImage, {m_limits.idleMs, m_limits.imageDeadlineMs},
                          [this, hostFile, then](FetchedImage&& fetched) {
                              m_progress.setCancellable(false);
                              if (fetched.refusal == ImageRefusal::Cancelled)
                                  return cancelled();
                              if (fetched.refusal == ImageRefusal::NotTrusted)
                                  return hostNotTrusted();
                              if (fetched.refusal == ImageRefusal::NoPrivatePlace)
                                  return noPrivateFolder();
                              // An empty, cut-short, unsigned or foreign download is never installed.
                              if (!fetched.image) {
                                  qCWarning(lcUpdate) << hostFile << "refused:" << int(fetched.refusal);
                                  return failed("image refused");
                              }
                              then(std::move(fetched.image));
                          });
}

bool UpdateCheck::keepReleaseForUpdater(const KeptUpdate& kept) const
{
    return MarkerFiles::writeNoFollow(kept.manifest, m_pass.manifest)
        && MarkerFiles::writeNoFollow(kept.signature, m_pass.signature)
        && MarkerFiles::writeNoFollow(kept.replaces, QByteArray(kOnlineSystemVersion));
}

void UpdateCheck::waitFor(std::function<bool()> condition, int limitMs, std::function<void()> then)
{
    m_waitCondition = std::move(condition);
    m_waitThen = std::move(then);
    m_waitLimitMs = limitMs;
    m_waitClock.start();
    m_waitTimer.start(kWaitLookMs);
    waitTick();
}

void UpdateCheck::waitTick()
{
    if (!m_waitThen)
        return;
    if (!m_waitCondition() && (m_waitLimitMs == 0 || m_waitClock.elapsed() < m_waitLimitMs))
        return;
    m_waitTimer.stop();
    const std::function<void()> then = std::move(m_waitThen);
    m_waitThen = {};
    then();
}

void UpdateCheck::ask(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons,
                      std::function<void(MsgAnswer)> then)
{
    Dialogs::show(
        title, text, icon, buttons, this,
        [this, then](MsgAnswer answer) {
            if (!m_stopped)
                then(answer);
        },
        m_display.dialogParent());
}

void UpdateCheck::askRetry(const char* title, const char* text, MsgIcon icon)
{
    removeVersionCopy();
    m_progress.unload();
    ask(QLatin1String(title), QLatin1String(text), icon, MsgButtons::RetryCancel, [this](MsgAnswer answer) {
        if (answer == MsgAnswer::Retry)
            startPass();
        else
            m_endProgram();
    });
}

void UpdateCheck::noConnection()
{
    askRetry("No Internet Connection", "You Have No Connection To The Internet\r\nPress Retry, or Cancel to Exit OS",
             MsgIcon::Information);
}

void UpdateCheck::hostNotTrusted()
{
    // Not a missing connection: one was there, to a host that is not the
    // update host as far as anyone can tell (the log says why).
    askRetry("Update Host Not Verified",
             "The update host could not prove its identity.\r\nNothing has been taken from it.\r\n"
             "Press Retry, or Cancel to Exit OS",
             MsgIcon::Exclamation);
}

QString UpdateCheck::markNotKeptText()
{
    return QStringLiteral("The latest update information seen cannot be remembered:\r\n"
                          "neither the settings nor the folder of Quorbel Player Tirk can be written.\r\n"
                          "Older update information could then be offered again as new.");
}

QString UpdateCheck::noPrivateFolderText(const QString& problem)
{
    return QStringLiteral("An error occur: there is no private folder for the download.\r\n") + problem
         + QStringLiteral("\r\nPress Retry, or Cancel to Exit OS");
}

void UpdateCheck::noPrivateFolder()
{
    const QString problem = findPrivateFolder().problem;
    qCWarning(lcUpdate).noquote() << "no private folder for the download:" << problem;
    removeVersionCopy();
    m_progress.unload();
    ask(QStringLiteral("Error"), noPrivateFolderText(problem), MsgIcon::Critical, MsgButtons::RetryCancel,
        [this](MsgAnswer answer) {
            if (answer == MsgAnswer::Retry)
                startPass();
            else
                m_endProgram();
        });
}

void UpdateCheck::cancelled()
{
    askRetry("Download Cancelled", "The download was cancelled.\r\nPress Retry, or Cancel to Exit OS",
             MsgIcon::Information);
}

void UpdateCheck::failed(const char* why)
{
    qCWarning(lcUpdate) << "update failed:" << why;
    m_staged.reset();
    askRetry("Error", "An error occur\r\nPress Retry, or Cancel to Exit OS", MsgIcon::Critical);
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

void UpdateCheck::removeVersionCopy()
{
    MarkerFiles::remove(appFile(files::VersionCopy));
    leftovers::forget(appFile(files::VersionCopy));
}

void UpdateCheck::withdrawCloseRequest()
{
    MarkerFiles::remove(appFile(files::Shutdown));
    leftovers::forget(appFile(files::Shutdown));
    m_closeRequested = false;
}

}  // namespace qpt::internet
